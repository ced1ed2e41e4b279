// The vorant-protect program, run as a user would run it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "protect/key_file.h"
#include "protect/protected_file.h"
#include "temp_dir.h"

namespace {

const std::string kTool = std::string(VORANT_BINARY_DIR) + "/bin/vorant-protect";

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

class ToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(kTool.c_str(), X_OK) != 0)
            GTEST_SKIP() << kTool << " is not built";
    }

    // p_strArgs is passed to the shell as it stands: quote what needs it.
    ToolRun Tool(const std::string& p_strArgs) {
        const std::string out = m_Dir.Path("stdout"), err = m_Dir.Path("stderr");
        const int r = std::system((kTool + " " + p_strArgs + " >" + out + " 2>" + err).c_str());
        return {WIFEXITED(r) ? WEXITSTATUS(r) : -1, CTempDir::Read(out), CTempDir::Read(err)};
    }

    CTempDir m_Dir;
};

TEST_F(ToolTest, EncryptThenDecryptGivesTheInputBack) {
    for (size_t n : {0u, 1u, 15u, 16u, 32u, 1000u}) {
        std::string bytes;
        for (size_t i = 0; i < n; ++i)
            bytes += char(i * 31 % 256);
        const std::string in = m_Dir.Write("in", bytes), exml = m_Dir.Path("in.exml"), back = m_Dir.Path("back");
        ASSERT_EQ(Tool("encrypt " + in + " " + exml).status, 0) << n;
        EXPECT_EQ(CTempDir::Read(exml).size(), n / 16 * 16 + 16) << n;

        // The library's reader agrees with the tool's decrypt.
        CStream plain;
        CString err;
        ASSERT_EQ(ReadProtectedFile(exml.c_str(), plain, err), 0) << n;
        EXPECT_EQ(std::string(plain.GetData(), size_t(plain.GetSize())), bytes) << n;
        ASSERT_EQ(Tool("decrypt " + exml + " " + back).status, 0) << n;
        EXPECT_EQ(CTempDir::Read(back), bytes) << n;
    }
}

TEST_F(ToolTest, KeyFileRoundTripsThroughShowKeyAndTheDecoder) {
    const std::string path = m_Dir.Path("user.key");
    ASSERT_EQ(Tool("keyfile --key 'user key #1' " + path).status, 0);
    const ToolRun r = Tool("showkey " + path);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "user key #1\n");

    CStream data;
    data.AppendData(CTempDir::Read(path).data(), 4144);
    CString key, err;
    EXPECT_EQ(DecodeUserKey(data, key, err), 0);
    EXPECT_STREQ(key, "user key #1");
}

TEST_F(ToolTest, DecryptAndShowKeyReportTheLibrarysText) {
    const ToolRun odd = Tool("decrypt " + m_Dir.Write("odd.exml", "12345") + " " + m_Dir.Path("out"));
    EXPECT_EQ(odd.status, 1);
    EXPECT_NE(odd.err.find("File may be corrupted"), std::string::npos) << odd.err;
    EXPECT_NE(access(m_Dir.Path("out").c_str(), F_OK), 0);

    const std::string path = m_Dir.Path("user.key");
    ASSERT_EQ(Tool("keyfile --key abc " + path).status, 0);
    std::string bytes = CTempDir::Read(path);
    bytes[100] ^= 1;
    const ToolRun r = Tool("showkey " + m_Dir.Write("bad.key", bytes));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "vorant-protect: " + m_Dir.Path("bad.key") + ": Corrupted UserKey data(checksum)\n");
}

TEST_F(ToolTest, CheckDicListsPlainAndEncryptedAlike) {
    const std::string plain = m_Dir.Write("dic.xml",
                                          "<msg_dictionary><msg no='10' name='REJECT' ver='1' hash='8'>"
                                          "<tag no='6' name='SysCode' type='integer'/>"
                                          "<tag no='7' name='SysReasonText' type='string'/>"
                                          "</msg></msg_dictionary>");
    const std::string exml = m_Dir.Path("dic.exml");
    ASSERT_EQ(Tool("encrypt " + plain + " " + exml).status, 0);

    const ToolRun fromPlain = Tool("check-dic " + plain);
    ASSERT_EQ(fromPlain.status, 0) << fromPlain.err;
    EXPECT_NE(fromPlain.out.find("SysReasonText"), std::string::npos) << fromPlain.out;
    const ToolRun fromExml = Tool("check-dic " + exml);
    EXPECT_EQ(fromExml.status, 0) << fromExml.err;
    EXPECT_EQ(fromExml.out, fromPlain.out);

    const ToolRun missing = Tool("check-dic " + m_Dir.Path("none.exml"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "vorant-protect: error -36: InitDictionary(Handler error : File not found(" +
                               m_Dir.Path("none.exml") + "))\n");
    const ToolRun odd = Tool("check-dic " + m_Dir.Write("odd.exml", "0123456789abcdefX"));
    EXPECT_EQ(odd.err, "vorant-protect: error -36: InitDictionary(Handler error : File may be corrupted)\n");
}

TEST_F(ToolTest, CheckDicRefusesBrokenDictionariesNamingMessageTagAndLine) {
    const std::string head =
        "<msg_dictionary>\n<msg no='10' name='REJECT'>\n<tag no='6' name='SysCode' type='integer'/>\n";
    struct Case {
        const char* name;
        std::string xml;
        std::string err;
    } cases[] = {
        {"nosub.xml", head + "<tag no='7' name='lines' type='m3001' array='Y'/>\n</msg></msg_dictionary>",
         "line 4: message 10 (REJECT) tag 7 (lines) has type m3001, but the dictionary defines no message 3001\n"},
        {"twice.xml", head + "<tag no='6' name='Other' type='string'/>\n</msg></msg_dictionary>",
         "line 4: message 10 (REJECT) tag 6 (Other) has the number of tag 'SysCode' (line 3); the loader would keep "
         "only the first\n"},
        {"samename.xml", head + "<tag no='9' name='SysCode' type='string'/>\n</msg></msg_dictionary>",
         "line 4: message 10 (REJECT) tag 9 (SysCode) has the name of tag 6 (line 3); a lookup by name finds only "
         "one of them\n"},
        {"type.xml", head + "<tag no='9' name='when' type='dat'/>\n</msg></msg_dictionary>",
         "line 4: message 10 (REJECT) tag 9 (when) has type 'dat'; the types are string, integer, double, bool, "
         "date and m<message number>\n"},
        {"array.xml", head + "<tag no='9' name='memo' type='string' array='yes'/>\n</msg></msg_dictionary>",
         "line 4: message 10 (REJECT) tag 9 (memo) has array='yes', which is read as N (give Y or N)\n"},
        {"msgtwice.xml", head + "</msg>\n<msg no='10' name='Again'/>\n</msg_dictionary>",
         "line 5: message 10 (Again) is defined again (first on line 2)\n"},
        {"cut.xml", head + "</msg>", "line 4, column 7: not well-formed XML: "},
    };
    for (const Case& c : cases) {
        const std::string path = m_Dir.Write(c.name, c.xml);
        const ToolRun r = Tool("check-dic " + path);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_EQ(r.err.find("vorant-protect: " + path + " " + c.err), 0u) << c.name << "\n" << r.err;
    }
    // The same mistake inside an encrypted dictionary is found alike.
    const std::string exml = m_Dir.Path("nosub.exml");
    ASSERT_EQ(Tool("encrypt " + m_Dir.Path("nosub.xml") + " " + exml).status, 0);
    const ToolRun r = Tool("check-dic " + exml);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("line 4: message 10 (REJECT) tag 7 (lines) has type m3001"), std::string::npos) << r.err;
}

TEST_F(ToolTest, BadUsageFailsWithUsageText) {
    for (const char* args : {"", "frobnicate", "encrypt onlyone", "keyfile out.key", "keyfile --key abc", "showkey"}) {
        const ToolRun r = Tool(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("usage: vorant-protect"), std::string::npos) << args;
    }
    const ToolRun tooLong = Tool("keyfile --key " + std::string(32, 'k') + " " + m_Dir.Path("k"));
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_EQ(tooLong.err, "vorant-protect: the user key must have 1 to 31 characters\n");
    EXPECT_EQ(Tool("help").status, 0);
}

}  // namespace
