#include "protect/seed.h"

#include <cstddef>
#include <utility>

namespace {

// Multiplication in GF(2^8) modulo x^8 + x^6 + x^5 + x + 1.
constexpr uint8_t GfMul(uint8_t p_a, uint8_t p_b) {
    unsigned a = p_a, r = 0;
    for (unsigned b = p_b; b != 0; b >>= 1) {
        if (b & 1)
            r ^= a;
        a <<= 1;
        if (a & 0x100)
            a ^= 0x163;
    }
    return static_cast<uint8_t>(r);
}

constexpr uint8_t GfPow(uint8_t p_x, unsigned p_e) {
    uint8_t r = 1;
    for (; p_e != 0; p_e >>= 1) {
        if (p_e & 1)
            r = GfMul(r, p_x);
        p_x = GfMul(p_x, p_x);
    }
    return r;
}

constexpr unsigned Parity(unsigned p_v) {
    unsigned r = 0;
    for (; p_v != 0; p_v >>= 1)
        r ^= p_v & 1;
    return r;
}

// S(x) = A * x^e xor c, with A given as its rows, top row (output bit 7)
// first and the input's bit 7 in each row's high bit.
constexpr uint8_t SBox(const uint8_t (&p_aRows)[8], unsigned p_e, uint8_t p_c, uint8_t p_x) {
    const uint8_t y = p_x == 0 ? 0 : GfPow(p_x, p_e);
    unsigned z = 0;
    for (int i = 0; i < 8; ++i)
        z |= Parity(p_aRows[i] & y) << (7 - i);
    return static_cast<uint8_t>(z ^ p_c);
}

// The affine matrices of S1 (x^247, then xor 169) and S2 (x^251, xor 56).
constexpr uint8_t kA1[8] = {0x8a, 0xfe, 0x85, 0x42, 0x45, 0x21, 0x88, 0x14};
constexpr uint8_t kA2[8] = {0x45, 0x85, 0xfe, 0x21, 0x8a, 0x88, 0x42, 0x14};

// The G function's byte masks m0..m3.
constexpr uint8_t kM[4] = {0xfc, 0xf3, 0xcf, 0x3f};

// G(X) = SS[0][X0] ^ SS[1][X1] ^ SS[2][X2] ^ SS[3][X3], X0 the low byte:
// each table folds one S-box output through the masks into all four bytes.
struct SsTables {
    uint32_t ss[4][256];
};

constexpr SsTables MakeSsTables() {
    SsTables t{};
    for (unsigned x = 0; x < 256; ++x) {
        const uint8_t s1 = SBox(kA1, 247, 169, static_cast<uint8_t>(x));
        const uint8_t s2 = SBox(kA2, 251, 56, static_cast<uint8_t>(x));
        for (unsigned k = 0; k < 4; ++k) {
            // Output byte k takes S(X_j) & m[(j + k) % 4] from input byte j.
            t.ss[0][x] |= uint32_t(s1 & kM[(0 + k) % 4]) << (8 * k);
            t.ss[1][x] |= uint32_t(s2 & kM[(1 + k) % 4]) << (8 * k);
            t.ss[2][x] |= uint32_t(s1 & kM[(2 + k) % 4]) << (8 * k);
            t.ss[3][x] |= uint32_t(s2 & kM[(3 + k) % 4]) << (8 * k);
        }
    }
    return t;
}

constexpr SsTables kSs = MakeSsTables();

inline uint32_t G(uint32_t p_x) {
    return kSs.ss[0][p_x & 0xff] ^ kSs.ss[1][(p_x >> 8) & 0xff] ^ kSs.ss[2][(p_x >> 16) & 0xff] ^ kSs.ss[3][p_x >> 24];
}

// The round function on the right half (r0, r1) with round keys k0, k1;
// writes the result into f0, f1.
inline void F(uint32_t p_r0, uint32_t p_r1, uint32_t p_k0, uint32_t p_k1, uint32_t& p_f0, uint32_t& p_f1) {
    const uint32_t a = p_r0 ^ p_k0;
    const uint32_t b = p_r1 ^ p_k1;
    const uint32_t d = G(a ^ b);
    const uint32_t e = G(d + a);
    p_f1 = G(e + d);
    p_f0 = p_f1 + e;
}

// KC_i: the golden-ratio constant rotated left by i bits.
constexpr uint32_t Kc(int p_i) { return p_i == 0 ? 0x9e3779b9u : (0x9e3779b9u << p_i) | (0x9e3779b9u >> (32 - p_i)); }

}  // namespace

CSeed::CSeed(const uint32_t p_aKey[4]) {
    uint32_t a = p_aKey[0], b = p_aKey[1], c = p_aKey[2], d = p_aKey[3];
    for (int i = 0; i < 16; ++i) {
        m_aRoundKeys[2 * i] = G(a + c - Kc(i));
        m_aRoundKeys[2 * i + 1] = G(b - d + Kc(i));
        if (i % 2 == 0) {
            // Rotate A||B right by 8 bits.
            const uint32_t t = a;
            a = (a >> 8) | (b << 24);
            b = (b >> 8) | (t << 24);
        } else {
            // Rotate C||D left by 8 bits.
            const uint32_t t = c;
            c = (c << 8) | (d >> 24);
            d = (d << 8) | (t >> 24);
        }
    }
}

CSeed::~CSeed() {
    // Round keys are key material: do not leave them behind on the stack.
    volatile uint32_t* p = m_aRoundKeys;
    for (size_t i = 0; i < 32; ++i)
        p[i] = 0;
}

void CSeed::EncryptBlock(uint32_t p_aBlock[4]) const { Crypt(p_aBlock, false); }

void CSeed::DecryptBlock(uint32_t p_aBlock[4]) const { Crypt(p_aBlock, true); }

// Sixteen Feistel rounds without the final swap; decryption takes the round
// keys in reverse order.
void CSeed::Crypt(uint32_t p_aBlock[4], bool p_bDecrypt) const {
    uint32_t l0 = p_aBlock[0], l1 = p_aBlock[1], r0 = p_aBlock[2], r1 = p_aBlock[3];
    for (int i = 0; i < 16; ++i) {
        const int k = p_bDecrypt ? 15 - i : i;
        uint32_t f0, f1;
        F(r0, r1, m_aRoundKeys[2 * k], m_aRoundKeys[2 * k + 1], f0, f1);
        l0 ^= f0;
        l1 ^= f1;
        if (i != 15) {
            std::swap(l0, r0);
            std::swap(l1, r1);
        }
    }
    p_aBlock[0] = l0;
    p_aBlock[1] = l1;
    p_aBlock[2] = r0;
    p_aBlock[3] = r1;
}
