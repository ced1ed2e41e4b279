// Key files: what the writer makes, and what the decoder accepts or rejects.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "protect/key_file.h"
#include "protect/key_file_writer.h"
#include "protect/md5.h"
#include "protect/protected_data.h"

namespace {

std::string MakeKeyFile(const char* p_szKey) {
    CStream out;
    CString err;
    EXPECT_EQ(BuildKeyFile(p_szKey, out, err), 0) << err.ToStr();
    return std::string(out.GetData(), size_t(out.GetSize()));
}

struct Decoded {
    int code;
    std::string key;
    std::string text;
};

Decoded Decode(const std::string& p_strFile) {
    CStream data;
    data.AppendData(p_strFile.data(), int(p_strFile.size()));
    CString key = "unchanged", err;
    const int r = DecodeUserKey(data, key, err);
    return {r, key.ToStr(), err.ToStr()};
}

// Makes the stored digest right again after an edit of the covered bytes.
void Redigest(std::string& p_strFile) {
    uint8_t digest[16];
    CMd5::Digest(p_strFile.data() + 16, 4128, digest);
    p_strFile.replace(0, 16, reinterpret_cast<const char*>(digest), 16);
}

TEST(KeyFile, WriterAndDecoderAgreeOnEveryKeyLength) {
    std::string key;
    for (int n = 0; n <= 31; ++n) {
        const std::string file = MakeKeyFile(key.c_str());
        ASSERT_EQ(file.size(), 4144u);
        const Decoded d = Decode(file);
        EXPECT_EQ(d.code, 0) << n;
        EXPECT_EQ(d.key, key) << n;
        EXPECT_EQ(d.text, "") << n;
        // One cipher block (marked by E[16] == 0) holds up to 15 characters.
        EXPECT_EQ(file[4112 + 16] == '\0', n <= 15) << n;
        key += char('!' + n * 3);
    }
}

TEST(KeyFile, TableIsAPermutation) {
    const std::string file = MakeKeyFile("sample-user");
    const std::set<unsigned char> values(file.begin() + 16, file.begin() + 16 + 256);
    EXPECT_EQ(values.size(), 256u);
}

TEST(KeyFile, ShortFileIsCorrupted) {
    const std::string file = MakeKeyFile("abc");
    for (size_t n : {0u, 16u, 4143u}) {
        const Decoded d = Decode(file.substr(0, n));
        EXPECT_EQ(d.code, -1) << n;
        EXPECT_EQ(d.text, "Corrupted UserKey data") << n;
        EXPECT_EQ(d.key, "unchanged") << n;
    }
}

TEST(KeyFile, AnyChangedByteFailsTheChecksumButTrailingBytesAreIgnored) {
    const std::string file = MakeKeyFile("abc");
    for (size_t at : {0u, 15u, 16u, 271u, 2000u, 4112u, 4128u, 4143u}) {
        std::string bad = file;
        bad[at] = char(bad[at] ^ 0x40);
        const Decoded d = Decode(bad);
        EXPECT_EQ(d.code, -1) << at;
        EXPECT_EQ(d.text, "Corrupted UserKey data(checksum)") << at;
    }
    EXPECT_EQ(Decode(file + "anything at all").key, "abc");
}

TEST(KeyFile, ZeroInsideTheCipherBlocksIsCorruptedOrEndsThem) {
    // One block: a zero before E[16]; two blocks: a zero after E[16].
    for (const char* key : {"short", "a-key-of-twenty-chars"}) {
        for (size_t at : {0u, 7u, 15u, 17u, 31u}) {
            std::string file = MakeKeyFile(key);
            const bool twoBlocks = file[4112 + 16] != '\0';
            if (!twoBlocks && at > 15)
                continue;
            file[4112 + at] = '\0';
            Redigest(file);
            const Decoded d = Decode(file);
            EXPECT_EQ(d.code, -1) << key << " " << at;
            EXPECT_EQ(d.text, "Corrupted UserKey data") << key << " " << at;
        }
    }
    // Right after the first block it ends the cipher bytes: a two-block key
    // cut to its first block decodes that block alone, whose last plain byte
    // becomes the pad count.
    std::string file = MakeKeyFile("0123456789abcdefXYZ");
    file[4112 + 16] = '\0';
    Redigest(file);
    const Decoded d = Decode(file);
    EXPECT_EQ(d.code, 0);
    EXPECT_EQ(d.key, "");  // 'f' (102) as a pad count drops the block
}

TEST(KeyFile, WriterRejectsKeysThatDoNotFit) {
    CStream out;
    CString err;
    EXPECT_EQ(BuildKeyFile(std::string(32, 'k').c_str(), out, err), -1);
    EXPECT_STREQ(err, "Invalid user key");
    EXPECT_EQ(BuildKeyFile(nullptr, out, err), -1);
    EXPECT_EQ(out.GetSize(), 0);
}

}  // namespace
