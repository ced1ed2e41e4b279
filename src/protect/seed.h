// SEED-128 block cipher (RFC 4269) on 32-bit words.
#ifndef VORANT_PROTECT_SEED_H
#define VORANT_PROTECT_SEED_H

#include <cstdint>

// One SEED-128 key schedule. Owns the 32 round-key words, which are wiped
// when the object dies; meant to live on the stack of one operation.
// Words are in the cipher's own order: word 0 holds the first four bytes of
// the big-endian key or block. Callers decide how bytes map onto words.
class CSeed {
public:
    explicit CSeed(const uint32_t p_aKey[4]);
    ~CSeed();

    CSeed(const CSeed&) = delete;
    CSeed& operator=(const CSeed&) = delete;

    void EncryptBlock(uint32_t p_aBlock[4]) const;
    void DecryptBlock(uint32_t p_aBlock[4]) const;

private:
    void Crypt(uint32_t p_aBlock[4], bool p_bDecrypt) const;

    uint32_t m_aRoundKeys[32];
};

#endif  // VORANT_PROTECT_SEED_H
