// Reading a whole file into a stream, as the protected-file and key-file
// readers need it.
#ifndef VORANT_PROTECT_FILE_READER_H
#define VORANT_PROTECT_FILE_READER_H

#include "vorant/cstring.hpp"
#include "vorant/stream.hpp"

// Reads the regular file p_szFileName into p_Out (emptied first). Returns 0
// with exactly the file's bytes (zero-terminated), or:
// -1 "p_szFileName is NULL"; -2 "File not found(%s)" when its status cannot
// be read; -4 "File too large(%s)" or "Out of memory" when it does not fit a
// stream; -5 "File cannot be open(%s)" (also for a directory or device);
// -6 "(fread) failed" when a read fails or the file's size changes while it
// is read. On failure p_Out is empty.
int ReadWholeFile(const char* p_szFileName, CStream& p_Out, CString& p_strErr);

#endif  // VORANT_PROTECT_FILE_READER_H
