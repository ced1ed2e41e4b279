#include "protect/md5.h"

#include <cstring>

#include "protect/byte_order.h"

namespace {

// floor(abs(sin(i + 1)) * 2^32), i = 0..63.
constexpr uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left-rotation amounts, four per round.
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

inline uint32_t RotateLeft(uint32_t p_x, int p_n) { return (p_x << p_n) | (p_x >> (32 - p_n)); }

}  // namespace

CMd5::CMd5() : m_aState{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, m_nLength(0), m_aBuffer{} {}

void CMd5::Transform(const uint8_t* p_pBlock) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = LoadLe32(p_pBlock + 4 * i);

    uint32_t a = m_aState[0], b = m_aState[1], c = m_aState[2], d = m_aState[3];
    for (int i = 0; i < 64; ++i) {
        const int round = i / 16;
        uint32_t f;
        int k;
        switch (round) {
            case 0:
                f = (b & c) | (~b & d);
                k = i;
                break;
            case 1:
                f = (b & d) | (c & ~d);
                k = (1 + 5 * i) % 16;
                break;
            case 2:
                f = b ^ c ^ d;
                k = (5 + 3 * i) % 16;
                break;
            default:
                f = c ^ (b | ~d);
                k = (7 * i) % 16;
                break;
        }
        const uint32_t t = d;
        d = c;
        c = b;
        b = b + RotateLeft(a + f + x[k] + kT[i], kShift[round][i % 4]);
        a = t;
    }
    m_aState[0] += a;
    m_aState[1] += b;
    m_aState[2] += c;
    m_aState[3] += d;
}

void CMd5::Update(const void* p_pData, size_t p_nSize) {
    const uint8_t* p = static_cast<const uint8_t*>(p_pData);
    size_t used = static_cast<size_t>(m_nLength % 64);
    m_nLength += p_nSize;
    if (used != 0) {
        const size_t take = p_nSize < 64 - used ? p_nSize : 64 - used;
        memcpy(m_aBuffer + used, p, take);
        p += take;
        p_nSize -= take;
        used += take;
        if (used < 64)
            return;
        Transform(m_aBuffer);
    }
    for (; p_nSize >= 64; p += 64, p_nSize -= 64)
        Transform(p);
    if (p_nSize != 0)
        memcpy(m_aBuffer, p, p_nSize);
}

void CMd5::Final(uint8_t p_aDigest[DIGEST_SIZE]) {
    const uint64_t bits = m_nLength * 8;
    static const uint8_t kPad[64] = {0x80};
    const size_t used = static_cast<size_t>(m_nLength % 64);
    Update(kPad, used < 56 ? 56 - used : 120 - used);
    uint8_t length[8];
    StoreLe32(uint32_t(bits), length);
    StoreLe32(uint32_t(bits >> 32), length + 4);
    Update(length, 8);
    for (int i = 0; i < 4; ++i)
        StoreLe32(m_aState[i], p_aDigest + 4 * i);
}

void CMd5::Digest(const void* p_pData, size_t p_nSize, uint8_t p_aDigest[DIGEST_SIZE]) {
    CMd5 md5;
    md5.Update(p_pData, p_nSize);
    md5.Final(p_aDigest);
}
