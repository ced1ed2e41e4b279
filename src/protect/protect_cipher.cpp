#include "protect/protect_cipher.h"

#include <cstddef>
#include <cstdint>

#include "protect/byte_order.h"

namespace {

// Owns the built-in key words, assembled where they are used and wiped when
// done. The key is never stored whole, only as scrambled words and the
// exchanges that undo the scrambling.
class CBuiltinKey {
public:
    CBuiltinKey() {
        static const uint32_t kScrambled[4] = {0xa5e74801, 0x3c2bf89e, 0x6213b4d6, 0x7d910c5a};
        static const unsigned char kExchanges[12][2] = {
            {0, 9}, {3, 14}, {5, 12}, {1, 7}, {10, 2}, {15, 4}, {6, 11}, {13, 8}, {0, 5}, {2, 15}, {7, 12}, {9, 3},
        };
        unsigned char bytes[16];
        for (int i = 0; i < 4; ++i)
            StoreLe32(kScrambled[i], bytes + 4 * i);
        for (const auto& x : kExchanges) {
            const unsigned char t = bytes[x[0]];
            bytes[x[0]] = bytes[x[1]];
            bytes[x[1]] = t;
        }
        for (int i = 0; i < 4; ++i)
            m_aWords[i] = LoadLe32(bytes + 4 * i);
        Wipe(bytes, sizeof bytes);
    }
    ~CBuiltinKey() { Wipe(m_aWords, sizeof m_aWords); }

    CBuiltinKey(const CBuiltinKey&) = delete;
    CBuiltinKey& operator=(const CBuiltinKey&) = delete;

    const uint32_t* Words() const { return m_aWords; }

private:
    static void Wipe(void* p_p, size_t p_n) {
        volatile unsigned char* p = static_cast<unsigned char*>(p_p);
        while (p_n-- != 0)
            *p++ = 0;
    }

    uint32_t m_aWords[4];
};

}  // namespace

CProtectCipher::CProtectCipher() : m_Seed(CBuiltinKey().Words()) {}

void CProtectCipher::EncryptBlock(const unsigned char* p_pIn, unsigned char* p_pOut) const {
    uint32_t w[4];
    for (int i = 0; i < 4; ++i)
        w[i] = LoadLe32(p_pIn + 4 * i);
    m_Seed.EncryptBlock(w);
    for (int i = 0; i < 4; ++i)
        StoreLe32(w[i], p_pOut + 4 * i);
}

void CProtectCipher::DecryptBlock(const unsigned char* p_pIn, unsigned char* p_pOut) const {
    uint32_t w[4];
    for (int i = 0; i < 4; ++i)
        w[i] = LoadLe32(p_pIn + 4 * i);
    m_Seed.DecryptBlock(w);
    for (int i = 0; i < 4; ++i)
        StoreLe32(w[i], p_pOut + 4 * i);
}
