// Protected data: whole 16-byte blocks under the built-in key, the count of
// pad bytes in the last byte of the last block.
#ifndef VORANT_PROTECT_PROTECTED_DATA_H
#define VORANT_PROTECT_PROTECTED_DATA_H

#include "vorant/cstring.hpp"
#include "vorant/stream.hpp"

// Decrypts p_iSize cipher bytes into p_Out, which is emptied first and must
// not hold the input. The last byte of the last plain block is a pad count p:
// p < 16 keeps the block's first 16 - p bytes, p >= 16 drops the block.
// Returns 0 with the plain bytes (zero-terminated, the zero not counted);
// -1 "Input data is corrupted" when the size is not a multiple of 16;
// -2 "Out of memory" when the output cannot be allocated. On failure p_Out
// is empty: a shortened result is never handed on.
int DecryptProtectedData(const char* p_pIn, int p_iSize, CStream& p_Out, CString& p_strErr);
int DecryptProtectedData(const CStream& p_In, CStream& p_Out, CString& p_strErr);

// The inverse, for the tools that make protected files: any p_iSize bytes
// (0 included) become whole blocks that decrypt back to exactly them. Every
// pad byte holds the pad count; a size that is a multiple of 16 gets a whole
// block of pad. Returns 0; -1 "Invalid input" for a null input or negative
// size; -2 "Input too large" or "Out of memory".
int EncryptProtectedData(const char* p_pIn, int p_iSize, CStream& p_Out, CString& p_strErr);

#endif  // VORANT_PROTECT_PROTECTED_DATA_H
