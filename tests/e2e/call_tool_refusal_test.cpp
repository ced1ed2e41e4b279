// vorant-call refusing what the user did not mean (exit 2, nothing sent),
// checking a configuration, and telling plainly where a call failed.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "e2e_env.h"

namespace {

using nlohmann::json;

ProcessRun Tool(const std::string& p_strArgs) { return RunCommand(std::string(VORANT_CALL) + " " + p_strArgs, true); }

std::string WriteFile(const std::string& p_strName, const std::string& p_strText) {
    const std::string strPath = ScratchDir() + "/" + p_strName;
    std::ofstream(strPath, std::ios::binary) << p_strText;
    return strPath;
}

std::string ReadFile(const std::string& p_strPath) {
    std::ifstream file(p_strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The test key and dictionary with a server port nothing listens on: a
// request that got as far as a call would fail with 1, not 2.
std::string RefusingConfig() {
    return WriteFile("refusing.conf",
                     "msg_dic=" + DictionaryPath() + "\nkey_file=" + KeyFilePath() + "\nserver=127.0.0.1 1\n");
}

TEST(CallToolRefusals, BadInputsAreUsageErrorsNamingTheProblem) {
    const std::string strConfig = "-c " + RefusingConfig() + " -s 100 ";
    const std::string strXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<msg no=\"1001\" ver=\"\">\n";
    struct Case {
        std::string m_strArgs;
        std::string m_strText;
    } cases[] = {
        // --set: types, ranges, empty text, text ISO-8859-1 cannot carry, row gaps
        {"--msg 1001 --set qty=abc", "--set qty=abc: tag 'qty' (integer) needs an integer, got 'abc'"},
        {"--msg 1001 --set qty=99999999999",
         "tag 'qty' (integer) is out of range: it needs an integer from -2147483648 to 2147483647, got '99999999999'"},
        {"--msg 1001 --set price=1e999", "tag 'price' (double) is out of range"},
        {"--msg 1001 --set price=x1", "tag 'price' (double) needs a number, got 'x1'"},
        {"--msg 1001 --set urgent=maybe", "tag 'urgent' (bool) needs true, false, 1 or 0, got 'maybe'"},
        {"--msg 1001 --set due=20230229", "tag 'due' (date) needs a calendar date yyyymmdd, got '20230229'"},
        {"--msg 1001 --set acct=",
         "--set acct=: tag 'acct' (string) needs a text, got an empty value (an empty value is not sent)"},
        {"--msg 1001 --set 'acct=\xe2\x82\xacuro'",
         "tag 'acct' (string): only ISO-8859-1 characters can travel, got '\xe2\x82\xacuro'"},
        {"--msg 1001 --set 'lines[5].code=X'",
         "no item 5 of tag 'lines' (m2001) in 'lines[5].code': it has 0 items, so the next one is lines[0]"},
        {"--msg 1001 --set nosuch=1", "unknown tag 'nosuch' in message 1001 AccountRequest"},
        {"--msg 1001 --set lines=5", "tag 'lines' (m2001) is a sub-message and takes no value, got '5'"},
        {"--msg 1001 --set qty=1 --set qty=2", "tag 'qty' (integer) is not an array and is already set"},
        // JSON: syntax errors with their position, and typed values
        {WriteFile("comma.json", "{\"msg\": 1001,\n \"fields\": {\"acct\": \"A\",}}"),
         "the JSON request is not valid JSON: parse error at line 2, column 25"},
        {WriteFile("huge.json", "{\"msg\": 1001,\n \"fields\": {\"price\": 1e999}}"),
         "the JSON request is not valid JSON at line 2, column 22: number overflow parsing '1e999'"},
        {WriteFile("empty.json", " \n"), "the JSON request is empty"},
        {WriteFile("list.json", "[1]"), "the JSON request must be a JSON object"},
        {WriteFile("qty.json", R"({"msg":1001,"fields":{"qty":"5"}})"),
         "tag 'qty' (integer) needs a JSON integer, got \"5\""},
        {WriteFile("nested.json", R"({"msg":1001,"fields":{"lines":[{"nosuch":1}]}})"),
         "unknown tag 'nosuch' in message 2001"},
        {WriteFile("blank.json", R"({"msg":1001,"fields":{"acct":""}})"), "tag 'acct' (string) needs a text"},
        // request files: one per refused value type, named by file, line, tag, type and value
        {WriteFile("int.xml", strXmlHead + "<t2>five</t2></msg>"),
         "int.xml line 3: tag 'qty' (integer) needs an integer, got 'five'"},
        {WriteFile("dbl.xml", strXmlHead + "<t3>1,5</t3></msg>"),
         "dbl.xml line 3: tag 'price' (double) needs a number, got '1,5'"},
        {WriteFile("bool.xml", strXmlHead + "<t4>yes</t4></msg>"),
         "bool.xml line 3: tag 'urgent' (bool) needs true, false, 1 or 0, got 'yes'"},
        {WriteFile("date.xml", strXmlHead + "<t5>2024-01-31</t5></msg>"),
         "date.xml line 3: tag 'due' (date) needs a calendar date yyyymmdd, got '2024-01-31'"},
        {WriteFile("euro.xml", strXmlHead + "<t1>\xe2\x82\xacuro</t1></msg>"),
         "euro.xml line 3: tag 'acct' (string): only ISO-8859-1 characters can travel, got '\xe2\x82\xacuro'"},
        {WriteFile("empty.xml", strXmlHead + "<t1></t1></msg>"), "empty.xml line 3: tag 'acct' (string) needs a text"},
        {WriteFile("range.xml", strXmlHead + "<t6><t2>99999999999</t2></t6></msg>"),
         "range.xml line 3: tag 'count' (integer) is out of range"},
        {WriteFile("named.xml", "<msg no=\"1001\" type=\"name\"><lines><cnt>1</cnt></lines></msg>"),
         "named.xml line 1: unknown tag <cnt> in message 2001 AccountLine"},
        {WriteFile("cut.xml", strXmlHead + "<t1>A</t1>"), "cut.xml line 3, column 11: not well-formed XML"},
        // --server
        {"--msg 1001 --server ::1:7300", "--server: an IPv6 address goes in brackets, as [::1]:7300"},
        {"--msg 1001 --server 127.0.0.1:99999", "--server needs a port from 1 to 65535, got '99999'"},
        {"--msg 1001 --server localhost", "--server needs HOST:PORT (IPv6 as [::1]:7300), got 'localhost'"},
    };
    for (const Case& c : cases) {
        const ProcessRun run = Tool(strConfig + c.m_strArgs);
        EXPECT_EQ(run.status, 2) << c.m_strArgs << ": " << run.err;
        EXPECT_TRUE(Contains(run.err, c.m_strText)) << c.m_strArgs << "\n" << run.err;
    }
    // Good values get as far as the (absent) server.
    EXPECT_EQ(
        Tool(strConfig + "--msg 1001 --set qty=7 --set urgent=0 --set due=20240229 --set 'lines[1].code=X'").status,
        2);  // item 1 before item 0
    EXPECT_EQ(Tool(strConfig + "--msg 1001 --set qty=7 --set 'lines[0].code=X' --set 'lines[1].code=Y'").status, 1);
}

TEST(CallToolRefusals, TextIsTakenAsUtf8AndArrivesAsMeant) {
    // é is two bytes in UTF-8 and one in ISO-8859-1; it must come back as é.
    const ProcessRun set = Tool("-c " + ConfigPath() + " -s 100 --msg 1001 --set 'acct=caf\xc3\xa9' --json");
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(json::parse(set.out)["fields"]["acct"], "caf\xc3\xa9");
    const std::string strFile = WriteFile("latin.xml",
                                          "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><msg no=\"1001\" ver=\"2\">"
                                          "<t1>caf\xc3\xa9</t1><t6><t1>X1</t1></t6><t6><t2>3</t2></t6></msg>");
    const ProcessRun file = Tool("-c " + ConfigPath() + " -s 100 " + strFile + " --json");
    ASSERT_EQ(file.status, 0) << file.err;
    const json answer = json::parse(file.out);
    EXPECT_EQ(answer["fields"]["acct"], "caf\xc3\xa9");
    EXPECT_EQ(answer["fields"]["lines"], json::parse(R"([{"code":"X1"},{"count":3}])"));
}

TEST(CallToolRefusals, CheckConfigNamesEveryMistake) {
    const std::string strPath = WriteFile("mistakes.conf", "msg_dic = " + DictionaryPath() +
                                                               "\n"
                                                               "key_file = /nonexistent/user.key\n"
                                                               "server = 127.0.0.1 99999\n"
                                                               "timeout = ninety\n"
                                                               "deadlin = 1\n"
                                                               "connect_timeout = -2\n"
                                                               "max_answer = 12k\n"
                                                               "deadline 5\n"
                                                               "timeout = 100\n"
                                                               "frobnicate = 3\n");
    const ProcessRun run = Tool("-c " + strPath + " --check-config");
    EXPECT_EQ(run.status, 1) << run.err;
    const std::string p = strPath + ":";
    EXPECT_EQ(run.out,
              p + "2: 'key_file' file /nonexistent/user.key cannot be read: No such file or directory\n" + p +
                  "3: 'server' port must be a number from 1 to 65535, got '99999'\n" + p +
                  "4: 'timeout' needs whole seconds, got 'ninety' (the library would wait 60 s)\n" + p +
                  "5: unknown key 'deadlin', which the library ignores (did you mean 'deadline'?)\n" + p +
                  "6: 'connect_timeout' needs seconds above 0 (decimals allowed), got '-2'\n" + p +
                  "7: 'max_answer' needs a number of bytes of at least 128, got '12k'\n" + p +
                  "8: 'deadline 5' has no '=': write key = value\n" + p +
                  "9: 'timeout' is given again; the first one, on line 4, is the one used\n" + p +
                  "10: unknown key 'frobnicate', which the library ignores (known keys: msg_dic, key_file, server, "
                  "timeout, deadline, connect_timeout, max_answer)\n" +
                  strPath + ": 9 problems\n");

    const ProcessRun missing = Tool("-c " + ScratchDir() + "/none.conf --check-config");
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Contains(missing.out, "none.conf: cannot be read: No such file or directory\n")) << missing.out;
    const std::string strNoServer =
        WriteFile("noserver.conf", "msg_dic=" + DictionaryPath() + "\nkey_file=" + KeyFilePath() + "\ntimeout=30\n");
    EXPECT_EQ(Tool("-c " + strNoServer + " --check-config").out,
              strNoServer + ":3: 'timeout' of 30 s is raised to 60 s, the least the library takes (connect_timeout " +
                  "and deadline bound a call more tightly)\n" + strNoServer + ": no 'server' key, which is required\n" +
                  strNoServer + ": 2 problems\n");

    const ProcessRun good = Tool("-c " + ConfigPath() + " --check-config");
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out, ConfigPath() + ": no problems found\n");

    // A call reads the file as before, and says what is wrong with it first.
    const std::string strTypo = WriteFile("typo.conf", ReadFile(ConfigPath()) + "deadlin = 1\n");
    const ProcessRun call = Tool("-c " + strTypo + " -s 100 --msg 1001 --set acct=T");
    EXPECT_EQ(call.status, 0) << call.err;
    EXPECT_TRUE(Contains(call.err, "vorant-call: warning: " + strTypo +
                                       ":4: unknown key 'deadlin', which the library ignores (did you mean "
                                       "'deadline'?)\n"))
        << call.err;
}

TEST(CallToolRefusals, AFailedCallNamesTheAddressAndTheReason) {
    const ProcessRun run = Tool("-c " + ConfigPath() + " --server 127.0.0.1:1 -s 100 --msg 1001 --set acct=F");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "  text      : Failed in connect()(-5)((connect))\n")) << run.err;
    // The reason comes from the trace record's errno when it carries one.
    const std::string strPlace = "  problem   : could not connect to 127.0.0.1 port 1";
    EXPECT_TRUE(Contains(run.err, strPlace + ": Connection refused\n") || Contains(run.err, strPlace + "\n"))
        << run.err;

    const ProcessRun asJson =
        Tool("-c " + ConfigPath() + " --server localhost.invalid:7300 -s 100 --msg 1001 --set acct=F --json");
    EXPECT_EQ(asJson.status, 1);
    EXPECT_EQ(json::parse(asJson.out)["error"]["problem"], "could not resolve localhost.invalid") << asJson.out;
}

TEST(CallToolRefusals, ALoadRunAgainstARefusingServerSaysSo) {
    const std::string strSvg = ScratchDir() + "/refused.svg";
    const ProcessRun run = Tool("-c " + RefusingConfig() +
                                " -s 100 --msg 1001 --rate 40 --duration 0.5 --max-in-flight 2 --report " + strSvg);
    EXPECT_EQ(run.status, 1) << run.err;
    for (const char* szLine :
         {"calls      : 20 scheduled, 20 started: 0 answered, 20 failed\n", "throughput : 0.0 answered calls/s\n",
          "not started: 0 calls\n", "latency    : no answered calls\n", "errors     : code -3 x20\n"})
        EXPECT_TRUE(Contains(run.out, szLine)) << szLine << "\n" << run.out;
    EXPECT_TRUE(Contains(run.out, "failed     : 20 calls (")) << run.out;

    const std::string strPicture = ReadFile(strSvg);
    for (const char* szPart :
         {"<polyline class=\"failed\"", "<polyline class=\"not-started\"", "<polyline class=\"answered\"",
          "<g class=\"legend\">", ">failed</text>", ">not started</text>", ">answered</text>", ">p99</text>",
          "no answered calls", "20 failed, 0 not started"})
        EXPECT_TRUE(Contains(strPicture, szPart)) << szPart;
    // Every failure is drawn: the failed line leaves the panel's floor.
    const size_t nFailed = strPicture.find("<polyline class=\"failed\"");
    const size_t nAnswered = strPicture.find("<polyline class=\"answered\"");
    const std::string strFailed = strPicture.substr(nFailed, strPicture.find("/>", nFailed) - nFailed);
    const std::string strAnswered = strPicture.substr(nAnswered, strPicture.find("/>", nAnswered) - nAnswered);
    EXPECT_NE(strFailed.substr(strFailed.find("points=")), strAnswered.substr(strAnswered.find("points=")));

    const ProcessRun closed = Tool("-c " + RefusingConfig() + " -s 100 --msg 1001 --repeat 5 --json");
    const json summary = json::parse(closed.out);
    EXPECT_EQ(summary["throughput"], 0.0);
    EXPECT_TRUE(summary["latencyMs"].is_null()) << closed.out;
    EXPECT_EQ(summary["failed"], 5);
}

}  // namespace
