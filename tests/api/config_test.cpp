// The configuration file and the settings read from it.
#include <gtest/gtest.h>

#include <string>

#include "api/config.h"
#include "api/init_settings.h"
#include "api_env.h"

namespace {

struct Parsed {
    int result;
    CInitSettings settings;
    CVorantError err;
};

Parsed ParseConfig(const std::string& text) {
    Parsed p;
    p.result = ReadInitSettings(WriteScratch("vorant.conf", text).c_str(), &p.settings, &p.err);
    return p;
}

const char kBase[] = "msg_dic=d.xml\nkey_file=k.key\n";

TEST(Config, CommentsBlanksAndDefaults) {
    Parsed p = ParseConfig(
        "# settings\nmsg_dic = dic.xml   # dictionary\n\n   \nkey_file=user.key\r\n"
        "server=10.0.0.5 7000\n");
    ASSERT_EQ(p.result, 0) << p.err.GetText().ToStr();
    EXPECT_STREQ(p.settings.m_strMsgDic, "dic.xml");
    EXPECT_STREQ(p.settings.m_strKeyFile, "user.key");
    EXPECT_STREQ(p.settings.m_strHost, "10.0.0.5");
    EXPECT_EQ(p.settings.m_iPort, 7000);
    EXPECT_EQ(p.settings.m_iTimeout, 90);
}

TEST(Config, TimeoutHasALowerBoundAndTheFirstValueWins) {
    const std::pair<const char*, int> cases[] = {
        {"timeout=30\n", 60},
        {"timeout=60\n", 60},
        {"timeout=abc\n", 60},
        {"timeout=61\n", 61},
        {"timeout=100\ntimeout=200\n", 100},
    };
    for (const auto& c : cases) {
        Parsed p = ParseConfig(std::string(kBase) + "server=h 1\n" + c.first);
        ASSERT_EQ(p.result, 0);
        EXPECT_EQ(p.settings.m_iTimeout, c.second) << c.first;
    }
}

TEST(Config, ServerValue) {
    Parsed p = ParseConfig(std::string(kBase) + "server=10.0.0.5\n");
    EXPECT_EQ(p.result, -1);
    EXPECT_EQ(p.err.GetCode(), 0);
    EXPECT_STREQ(p.err.GetText(), "'server' key syntax is [server=ip_address port]");

    // Repeated blanks between host and port separate them like one; IPv6
    // literals stand with or without brackets.
    const std::pair<const char*, const char*> good[] = {
        {"10.0.0.5   7000 extra", "10.0.0.5"}, {" ::1 7000", "::1"}, {" [::1] 7000", "[::1]"}};
    for (const auto& g : good) {
        p = ParseConfig(std::string(kBase) + "server=" + g.first + "\n");
        ASSERT_EQ(p.result, 0) << g.first;
        EXPECT_STREQ(p.settings.m_strHost, g.second);
        EXPECT_EQ(p.settings.m_iPort, 7000);
    }
}

TEST(Config, CallBoundKeys) {
    const struct {
        const char* lines;
        int connectMs, deadlineMs, maxAnswer;
    } good[] = {
        {"", 0, 0, 0},
        {"connect_timeout = 2.5\ndeadline = 30\nmax_answer = 1048576\n", 2500, 30000, 1048576},
        {"connect_timeout=0.0015\ndeadline=0\nmax_answer=128\n", 2, 0, 128},
        {"deadline=2147483.647\ndeadline=1\n", 0, 2147483647, 0},
    };
    for (const auto& g : good) {
        Parsed p = ParseConfig(std::string(kBase) + "server=h 1\n" + g.lines);
        ASSERT_EQ(p.result, 0) << g.lines << p.err.GetText().ToStr();
        EXPECT_EQ(p.settings.m_iConnectTimeoutMs, g.connectMs) << g.lines;
        EXPECT_EQ(p.settings.m_iDeadlineMs, g.deadlineMs) << g.lines;
        EXPECT_EQ(p.settings.m_iMaxAnswer, g.maxAnswer) << g.lines;
    }
    const std::pair<const char*, const char*> bad[] = {
        {"connect_timeout=0", "'connect_timeout' key syntax is [connect_timeout=seconds] above 0 (got '0')"},
        {"connect_timeout=-1", "'connect_timeout' key syntax is [connect_timeout=seconds] above 0 (got '-1')"},
        {"connect_timeout=abc", "'connect_timeout' key syntax is [connect_timeout=seconds] above 0 (got 'abc')"},
        {"deadline=1e3", "'deadline' key syntax is [deadline=seconds] (got '1e3')"},
        {"deadline=2147484", "'deadline' key syntax is [deadline=seconds] (got '2147484')"},
        {"deadline=.", "'deadline' key syntax is [deadline=seconds] (got '.')"},
        {"max_answer=127", "'max_answer' key syntax is [max_answer=bytes] of at least 128 (got '127')"},
        {"max_answer=64k", "'max_answer' key syntax is [max_answer=bytes] of at least 128 (got '64k')"},
        {"max_answer=99999999999", "'max_answer' key syntax is [max_answer=bytes] of at least 128 (got '99999999999')"},
    };
    for (const auto& b : bad) {
        Parsed p = ParseConfig(std::string(kBase) + "server=h 1\n" + b.first + "\n");
        EXPECT_EQ(p.result, -1) << b.first;
        EXPECT_STREQ(p.err.GetText(), b.second);
        EXPECT_EQ(p.err.GetCode(), 0);
    }
}

TEST(Config, MissingKeysAreReportedInOrder) {
    Parsed p = ParseConfig("key_file=k\nserver=h 1\n");
    EXPECT_EQ(p.result, -1);
    EXPECT_STREQ(p.err.GetText(), "cannot found 'msg_dic' key in config file");
    p = ParseConfig("msg_dic=d\n");
    EXPECT_STREQ(p.err.GetText(), "cannot found 'key_file' key in config file");
    p = ParseConfig(std::string(kBase) + "#server=h 1\n");
    EXPECT_STREQ(p.err.GetText(), "cannot found 'server' key in config file");
    EXPECT_EQ(p.err.GetCode(), 0);
    EXPECT_EQ(p.err.GetRefSvcNum(), 0);
}

TEST(Config, MissingFile) {
    CInitSettings settings;
    CVorantError err;
    std::string path = ScratchDir() + "/cfg.txt";
    EXPECT_EQ(ReadInitSettings(path.c_str(), &settings, &err), -1);
    EXPECT_EQ(std::string(err.GetText()), "File open failed [" + path + "](2,No such file or directory)");
    EXPECT_EQ(ReadInitSettings(nullptr, &settings, &err), -1);
    EXPECT_EQ(std::string(err.GetText()), "File open failed [(null)](22,Invalid argument)");
}

TEST(Config, LinePieces) {
    CConfig config;
    ASSERT_EQ(config.Load(WriteScratch("pieces.conf",
                                       "key_file=a#b\nbare\nempty=\n=orphan\na = b = c\n"
                                       "dup=1\ndup=2\n")
                              .c_str()),
              0);
    CString value;
    ASSERT_EQ(config.GetString("key_file", value), 0);
    EXPECT_STREQ(value, "a");
    ASSERT_EQ(config.GetString("bare", value), 0);
    EXPECT_STREQ(value, "");
    ASSERT_EQ(config.GetString("empty", value), 0);
    EXPECT_STREQ(value, "");
    ASSERT_EQ(config.GetString("", value), 0);
    EXPECT_STREQ(value, "orphan");
    ASSERT_EQ(config.GetString("a", value), 0);
    EXPECT_STREQ(value, "b");
    int number = 0;
    ASSERT_EQ(config.GetInt("dup", &number), 0);
    EXPECT_EQ(number, 1);
    EXPECT_EQ(config.GetInt("absent", &number), -1);
    EXPECT_STREQ(config.GetLastError(), "cannot found 'absent' key in config file");
}

TEST(Config, LongLinesContinueAsTheNextLine) {
    // 2047 characters fill one read; the rest of the line is read as a line
    // of its own.
    std::string longValue(3000, 'v');
    std::string text = "long=" + longValue + "\nafter=" + std::string(2047 - 6, 'x') + "tail=1\nlast=ok\n";
    CConfig config;
    ASSERT_EQ(config.Load(WriteScratch("long.conf", text).c_str()), 0);
    CString value;
    ASSERT_EQ(config.GetString("long", value), 0);
    EXPECT_EQ(value.GetLength(), 2047 - 5);
    ASSERT_EQ(config.GetString("tail", value), 0);
    EXPECT_STREQ(value, "1");
    ASSERT_EQ(config.GetString("last", value), 0);
    EXPECT_STREQ(value, "ok");
}

}  // namespace
