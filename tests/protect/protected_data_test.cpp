// Protected data: the built-in key, word order, pad rule and round trips.
#include <gtest/gtest.h>

#include <string>

#include "protect/protect_cipher.h"
#include "protect/protected_data.h"

namespace {

std::string Bytes(const CStream& p_Stream) {
    return p_Stream.GetData() ? std::string(p_Stream.GetData(), size_t(p_Stream.GetSize())) : std::string();
}

// Encrypts raw plain blocks (no pad added) with the built-in key.
std::string EncryptRaw(const std::string& p_strPlain) {
    std::string out(p_strPlain.size(), '\0');
    const CProtectCipher cipher;
    for (size_t i = 0; i + 16 <= p_strPlain.size(); i += 16)
        cipher.EncryptBlock(reinterpret_cast<const unsigned char*>(p_strPlain.data() + i),
                            reinterpret_cast<unsigned char*>(&out[i]));
    return out;
}

std::string Decrypt(const std::string& p_strCipher, int* p_pResult = nullptr, CString* p_pErr = nullptr) {
    CStream out;
    CString err;
    const int r = DecryptProtectedData(p_strCipher.data(), int(p_strCipher.size()), out, err);
    if (p_pResult)
        *p_pResult = r;
    if (p_pErr)
        *p_pErr = err;
    return Bytes(out);
}

// Computed independently with a standard SEED routine, the bytes of every
// 4-byte group reversed around it: pins the built-in key, the little-endian
// word order and the pad layout that stored files depend on.
TEST(ProtectedData, KnownAnswerForBuiltInKey) {
    const unsigned char kCipher[32] = {0x39, 0x00, 0x74, 0x93, 0xc5, 0x97, 0x95, 0x99, 0x5d, 0x0a, 0x05,
                                       0xaf, 0x19, 0x04, 0x1b, 0x8d, 0x2c, 0x4e, 0xdf, 0xc7, 0xd2, 0xe8,
                                       0x91, 0x31, 0x5e, 0xef, 0xa0, 0x08, 0x5b, 0xd6, 0xfb, 0xb3};
    const std::string cipher(reinterpret_cast<const char*>(kCipher), sizeof kCipher);
    EXPECT_EQ(Decrypt(cipher), "<msg_dictionary/>");

    CStream out;
    CString err;
    ASSERT_EQ(EncryptProtectedData("<msg_dictionary/>", 17, out, err), 0);
    EXPECT_EQ(Bytes(out), cipher);
}

TEST(ProtectedData, RoundTripsEveryLengthUpTo48) {
    std::string plain;
    for (int n = 0; n <= 48; ++n) {
        CStream cipher;
        CString err;
        ASSERT_EQ(EncryptProtectedData(plain.data(), n, cipher, err), 0) << n;
        // Always whole blocks, with a whole pad block on a multiple of 16.
        EXPECT_EQ(cipher.GetSize(), (n / 16 + 1) * 16) << n;

        CStream back;
        ASSERT_EQ(DecryptProtectedData(cipher, back, err), 0) << n;
        EXPECT_EQ(Bytes(back), plain) << n;
        ASSERT_NE(back.GetData(), nullptr);
        EXPECT_EQ(back.GetData()[n], '\0') << n;
        // Bytes that are themselves zero or pad-like survive.
        plain += char(n % 3 == 0 ? 0 : n);
    }
}

TEST(ProtectedData, PadCountInLastBlockOnly) {
    // The first block ends in 5 as well: only the last block's count applies.
    std::string first = "ABCDEFGHIJKLMNO";
    first += char(5);
    const std::string body = "abcdefghijklmno";

    EXPECT_EQ(Decrypt(EncryptRaw(first + body + char(0))), first + body + std::string(1, '\0'));
    EXPECT_EQ(Decrypt(EncryptRaw(first + body + char(5))), first + "abcdefghijk");
    EXPECT_EQ(Decrypt(EncryptRaw(first + body + char(16))), first);
    EXPECT_EQ(Decrypt(EncryptRaw(first + body + char(200))), first);
}

TEST(ProtectedData, RejectsPartialBlocksAndEmptiesOutput) {
    for (int n : {1, 15, 17, 31}) {
        CStream out;
        out.AppendData("stale", 5);
        CString err = "old";
        const std::string cipher(size_t(n), 'x');
        EXPECT_EQ(DecryptProtectedData(cipher.data(), n, out, err), -1) << n;
        EXPECT_STREQ(err, "Input data is corrupted");
        EXPECT_EQ(out.GetSize(), 0);
    }
    CStream out;
    CString err;
    EXPECT_EQ(DecryptProtectedData(nullptr, 16, out, err), -1);
    EXPECT_EQ(DecryptProtectedData("x", -16, out, err), -1);
}

}  // namespace
