// Making key files (for the tools; the library only reads them).
#ifndef VORANT_PROTECT_KEY_FILE_WRITER_H
#define VORANT_PROTECT_KEY_FILE_WRITER_H

#include "vorant/cstring.hpp"
#include "vorant/stream.hpp"

enum { KEY_FILE_MAX_KEY_LENGTH = 31 };

// BuildKeyFile's failures.
enum {
    KEY_FILE_INVALID_KEY = -1,  // "Invalid user key"
    KEY_FILE_NOT_MADE = -2      // the random source or memory failed
};

// Writes into p_Out (emptied first) a key file that decodes to p_szUserKey:
// one cipher block for keys of up to 15 characters, two for up to 31. The
// substitution area is random and its first 256 bytes are a permutation.
// An empty key is allowed here (the file then decodes to an empty key).
// Returns 0; KEY_FILE_INVALID_KEY for a null key or one longer than 31
// characters; KEY_FILE_NOT_MADE for a failure of the random source or of
// memory.
int BuildKeyFile(const char* p_szUserKey, CStream& p_Out, CString& p_strErr);

#endif  // VORANT_PROTECT_KEY_FILE_WRITER_H
