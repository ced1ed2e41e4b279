// SEED and MD5 against their published test vectors.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "protect/md5.h"
#include "protect/seed.h"

namespace {

std::string Hex(const uint8_t* p, size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += kDigits[p[i] >> 4];
        s += kDigits[p[i] & 15];
    }
    return s;
}

// Big-endian words of 16 bytes given in hex, as the published vectors read.
void Words(const char* p_szHex, uint32_t p_aWords[4]) {
    for (int i = 0; i < 4; ++i) {
        p_aWords[i] = 0;
        for (int j = 0; j < 8; ++j) {
            const char c = p_szHex[8 * i + j];
            p_aWords[i] = p_aWords[i] << 4 | uint32_t(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
        }
    }
}

std::string WordsHex(const uint32_t p_aWords[4]) {
    uint8_t b[16];
    for (int i = 0; i < 16; ++i)
        b[i] = uint8_t(p_aWords[i / 4] >> (24 - 8 * (i % 4)));
    return Hex(b, 16);
}

TEST(Seed, PublishedVectorsEncryptAndDecrypt) {
    struct Vector {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    const Vector vectors[] = {
        {"00000000000000000000000000000000", "000102030405060708090a0b0c0d0e0f", "5ebac6e0054e166819aff1cc6d346cdb"},
        {"000102030405060708090a0b0c0d0e0f", "00000000000000000000000000000000", "c11f22f20140505084483597e4370f43"},
        {"4706480851e61be85d74bfb3fd956185", "83a2f8a288641fb9a4e9a5cc2f131c7d", "ee54d13ebcae706d226bc3142cd40d4a"},
        {"28dbc3bc49ffd87dcfa509b11d422be7", "b41e6be2eba84a148e2eed84593c5ec7", "9b9b7bfcd1813cb95d0b3618f40f5122"},
    };
    for (const Vector& v : vectors) {
        uint32_t key[4], block[4];
        Words(v.key, key);
        Words(v.plain, block);
        const CSeed seed(key);
        seed.EncryptBlock(block);
        EXPECT_EQ(WordsHex(block), v.cipher) << v.key;
        seed.DecryptBlock(block);
        EXPECT_EQ(WordsHex(block), v.plain) << v.key;
    }
}

TEST(Md5, PublishedSuite) {
    const char* cases[][2] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        uint8_t digest[16];
        CMd5::Digest(c[0], strlen(c[0]), digest);
        EXPECT_EQ(Hex(digest, 16), c[1]) << '"' << c[0] << '"';
    }
}

// Pieces that straddle the 64-byte block and the 56-byte padding boundary
// must give the one-shot digest.
TEST(Md5, PiecewiseUpdatesMatchOneShot) {
    std::string data;
    for (int i = 0; i < 300; ++i)
        data += char(i * 7 + 3);
    for (size_t split : {1u, 55u, 56u, 63u, 64u, 65u, 119u, 128u}) {
        for (size_t len : {55u, 56u, 64u, 120u, 300u}) {
            uint8_t whole[16], pieces[16];
            CMd5::Digest(data.data(), len, whole);
            CMd5 md5;
            for (size_t at = 0; at < len; at += split)
                md5.Update(data.data() + at, std::min(split, len - at));
            md5.Final(pieces);
            EXPECT_EQ(Hex(whole, 16), Hex(pieces, 16)) << split << "/" << len;
        }
    }
}

}  // namespace
