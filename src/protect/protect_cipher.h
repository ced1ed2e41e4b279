// SEED under the library's built-in key, in the library's word order.
#ifndef VORANT_PROTECT_PROTECT_CIPHER_H
#define VORANT_PROTECT_PROTECT_CIPHER_H

#include "protect/seed.h"

// The cipher of protected files. Each instance assembles the built-in key on
// its own stack frame, runs the key schedule, and wipes the key bytes; it owns
// the resulting CSeed (round keys wiped on destruction). Key and blocks are
// read as four little-endian 32-bit words, unlike the cipher's published
// big-endian layout: stored files depend on this order.
class CProtectCipher {
public:
    enum { BLOCK_SIZE = 16 };

    CProtectCipher();

    CProtectCipher(const CProtectCipher&) = delete;
    CProtectCipher& operator=(const CProtectCipher&) = delete;

    // p_pIn and p_pOut may be the same 16 bytes.
    void EncryptBlock(const unsigned char* p_pIn, unsigned char* p_pOut) const;
    void DecryptBlock(const unsigned char* p_pIn, unsigned char* p_pOut) const;

private:
    CSeed m_Seed;
};

#endif  // VORANT_PROTECT_PROTECT_CIPHER_H
