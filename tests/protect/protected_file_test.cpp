// Reading protected files from disk: codes, texts and the file-size rules.
#include <gtest/gtest.h>

#include <string>

#include "protect/file_reader.h"
#include "protect/protected_data.h"
#include "protect/protected_file.h"
#include "temp_dir.h"

namespace {

std::string Protect(const std::string& p_strPlain) {
    CStream out;
    CString err;
    EXPECT_EQ(EncryptProtectedData(p_strPlain.data(), int(p_strPlain.size()), out, err), 0);
    return std::string(out.GetData(), size_t(out.GetSize()));
}

struct Outcome {
    int code;
    std::string text;
    std::string bytes;
};

Outcome Read(const char* p_szPath) {
    CStream out;
    out.AppendData("stale", 5);
    CString err = "stale";
    const int r = ReadProtectedFile(p_szPath, out, err);
    return {r, err.ToStr(), out.GetData() ? std::string(out.GetData(), size_t(out.GetSize())) : ""};
}

TEST(ProtectedFile, DecryptsAWholeFileAndAnEmptyOne) {
    CTempDir dir;
    std::string plain = "<msg_dictionary>\n";
    plain += std::string(5000, 'x') + std::string(1, '\0') + "tail";
    for (const std::string& file : {Protect(plain), std::string()}) {
        const Outcome o = Read(dir.Write("dic.exml", file).c_str());
        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.text, "");
        EXPECT_EQ(o.bytes, file.empty() ? "" : plain);
    }
}

TEST(ProtectedFile, FailuresCarryTheirCodeAndText) {
    CTempDir dir;
    EXPECT_EQ(Read(nullptr).code, -1);
    EXPECT_EQ(Read(nullptr).text, "p_szFileName is NULL");

    const std::string missing = dir.Path("missing.exml");
    Outcome o = Read(missing.c_str());
    EXPECT_EQ(o.code, -2);
    EXPECT_EQ(o.text, "File not found(" + missing + ")");
    EXPECT_EQ(o.bytes, "");

    for (size_t n : {15u, 17u}) {
        o = Read(dir.Write("odd.exml", std::string(n, 'a')).c_str());
        EXPECT_EQ(o.code, -3) << n;
        EXPECT_EQ(o.text, "File may be corrupted") << n;
        EXPECT_EQ(o.bytes, "") << n;
    }

    // A directory stats fine but is not a file to read.
    o = Read(dir.Path("").c_str());
    EXPECT_EQ(o.code, -5);
    EXPECT_EQ(o.text, "File cannot be open(" + dir.Path("") + ")");
}

// A file whose content differs from its stated size (here a proc file that
// stats as empty) is refused, not cut or zero-filled.
TEST(FileReader, ContentLongerThanStatedSizeFails) {
    CStream out;
    CString err;
    EXPECT_EQ(ReadWholeFile("/proc/self/status", out, err), -6);
    EXPECT_STREQ(err, "(fread) failed");
    EXPECT_EQ(out.GetSize(), 0);
}

}  // namespace
