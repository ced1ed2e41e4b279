// The key file: the caller's user key, encrypted, behind a substitution
// table and an MD5 digest.
#ifndef VORANT_PROTECT_KEY_FILE_H
#define VORANT_PROTECT_KEY_FILE_H

#include "vorant/cstring.hpp"
#include "vorant/stream.hpp"

// Layout: the digest of bytes [16, 4144) at 0; the substitution area at 16,
// whose first 256 bytes are the table S; the encoded block E at 4112. Bytes
// from 4144 on are ignored.
enum {
    KEY_FILE_DIGEST_OFFSET = 0,
    KEY_FILE_TABLE_OFFSET = 16,
    KEY_FILE_TABLE_SIZE = 4096,
    KEY_FILE_BLOCK_OFFSET = 4112,
    KEY_FILE_BLOCK_SIZE = 32,
    KEY_FILE_SIZE = 4144,
};

// Decodes the bytes of a key file. The cipher bytes are S[E[i]] up to E's
// first zero: one block when E[16] is zero, else two; a zero anywhere inside
// those blocks rejects the file. They decrypt as protected data, and the key
// is the plain text up to its first zero (it may be empty).
// Returns 0 and sets p_strKey, or -1 with p_strErr "Corrupted UserKey data"
// (short file or misplaced zero), "Corrupted UserKey data(checksum)" or the
// decryption's text; p_strKey is then unchanged.
int DecodeUserKey(const CStream& p_Data, CString& p_strKey, CString& p_strErr);

#endif  // VORANT_PROTECT_KEY_FILE_H
