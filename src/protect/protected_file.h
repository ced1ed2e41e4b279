// Reading a protected file (an encrypted dictionary).
#ifndef VORANT_PROTECT_PROTECTED_FILE_H
#define VORANT_PROTECT_PROTECTED_FILE_H

#include "vorant/cstring.hpp"
#include "vorant/stream.hpp"

// Reads and decrypts the file p_szFileName into p_Out (emptied first).
// Returns 0 with the plain bytes (GetSize() is their length, zero-terminated),
// or a negative code with its text in p_strErr, p_Out then empty:
// -1 "p_szFileName is NULL"; -2 "File not found(%s)"; -3 "File may be
// corrupted" (size not a multiple of 16); -4 "File too large(%s)" or "Out of
// memory"; -5 "File cannot be open(%s)"; -6 "(fread) failed" (a read error,
// or the file changed size while read); -7 "Input data is corrupted".
int ReadProtectedFile(const char* p_szFileName, CStream& p_Out, CString& p_strErr);

#endif  // VORANT_PROTECT_PROTECTED_FILE_H
