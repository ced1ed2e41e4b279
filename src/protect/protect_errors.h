// vorant protect: the codes of reading protected files and their data. Each
// failure comes with its text in the caller's CString.
#ifndef VORANT_PROTECT_PROTECT_ERRORS_H
#define VORANT_PROTECT_PROTECT_ERRORS_H

// ReadWholeFile and ReadProtectedFile.
enum {
    PROTECT_FILE_NULL_NAME = -1,      // "p_szFileName is NULL"
    PROTECT_FILE_NOT_FOUND = -2,      // "File not found(%s)"
    PROTECT_FILE_CORRUPTED = -3,      // "File may be corrupted": not whole blocks
    PROTECT_FILE_TOO_LARGE = -4,      // "File too large(%s)" or "Out of memory"
    PROTECT_FILE_CANNOT_OPEN = -5,    // "File cannot be open(%s)"
    PROTECT_FILE_READ_FAILED = -6,    // "(fread) failed"
    PROTECT_FILE_DATA_CORRUPTED = -7  // "Input data is corrupted"
};

// DecryptProtectedData and EncryptProtectedData.
enum {
    PROTECT_DATA_INVALID = -1,  // not whole blocks, or a null or negative input
    PROTECT_DATA_NO_ROOM = -2   // "Out of memory" or "Input too large"
};

#endif  // VORANT_PROTECT_PROTECT_ERRORS_H
