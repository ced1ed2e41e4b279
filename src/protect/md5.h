// MD5 message digest (RFC 1321).
#ifndef VORANT_PROTECT_MD5_H
#define VORANT_PROTECT_MD5_H

#include <cstddef>
#include <cstdint>

// An MD5 computation in progress. Owns its chaining state and a partial
// 64-byte block; Update may be called any number of times before Final.
class CMd5 {
public:
    enum { DIGEST_SIZE = 16 };

    CMd5();

    void Update(const void* p_pData, size_t p_nSize);
    // Writes the 16-byte digest. The object must not be updated afterwards.
    void Final(uint8_t p_aDigest[DIGEST_SIZE]);

    // The digest of one buffer.
    static void Digest(const void* p_pData, size_t p_nSize, uint8_t p_aDigest[DIGEST_SIZE]);

private:
    void Transform(const uint8_t* p_pBlock);

    uint32_t m_aState[4];
    uint64_t m_nLength;  // bytes hashed so far
    uint8_t m_aBuffer[64];
};

#endif  // VORANT_PROTECT_MD5_H
