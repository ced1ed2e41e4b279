// The message server's answers: echo, answer files, REJECT, compression,
// many clients at once, its log, its rules and a clean stop.
#include <gtest/gtest.h>

#include <thread>

#include "fd_leak_check.h"
#include "server_client.h"

namespace {

const char kQuoteXml[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"1001\" ver=\"\">"
    "<t1><![CDATA[ACME]]></t1><t2>42</t2><t3>1.250000000000000e+000</t3></msg>";

std::string QuoteWithNotes(int p_iNotes) {
    std::string s =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"1001\" ver=\"\">"
        "<t1><![CDATA[ACME]]></t1>";
    for (int i = 0; i < p_iNotes; ++i) {
        s += "<t4><![CDATA[note " + std::to_string(i) + "]]></t4>";
    }
    return s + "</msg>";
}

using Server = FdLeakCheck;

TEST_F(Server, EchoSendsTheRequestMessageBackCompressedWhenLarge) {
    TestServer server("100 echo\n");
    auto small = Call(server.Port(), 100, 1001, kQuoteXml);
    ASSERT_EQ(0, small->m_iCode) << small->m_strError;
    EXPECT_EQ(kQuoteXml, small->Body());
    EXPECT_EQ(100, small->m_Answer.m_iSvcNum);
    EXPECT_EQ(1001, small->m_Answer.m_iMsgNum);
    EXPECT_STREQ("TESTKEY", small->m_Answer.m_strUserKey);
    EXPECT_FALSE(small->m_Answer.m_bCompressed);

    const std::string strLarge = QuoteWithNotes(200);
    auto large = Call(server.Port(), 100, 1001, strLarge);
    ASSERT_EQ(0, large->m_iCode) << large->m_strError;
    EXPECT_EQ(strLarge, large->Body());
    EXPECT_TRUE(large->m_Answer.m_bCompressed);

    // Message 1 always travels compressed, however small.
    const std::string strLogin =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>"
        "<msg no=\"1\" ver=\"\"><t1><![CDATA[me]]></t1></msg>";
    auto login = Call(server.Port(), 100, 1, strLogin);
    ASSERT_EQ(0, login->m_iCode) << login->m_strError;
    EXPECT_TRUE(login->m_Answer.m_bCompressed);
    EXPECT_EQ(strLogin, login->Body());
}

TEST_F(Server, RefusalsAreRejectMessagesTheClientCanRead) {
    TestServer server("300 reject 501 denied, see ]]> docs\n100 echo\n");
    struct Case {
        int svc;
        std::string body;
        int code;
        std::string reason;
    } cases[] = {
        {300, kQuoteXml, 501, "denied, see ]] > docs"},
        {555, kQuoteXml, 9001, "no rule for service 555"},
        {100, "<msg no=\"77\" ver=\"\"></msg>", 9003, "request does not parse: -21, Handler error : Unknown msgno(77)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.svc);
        auto r = Call(server.Port(), c.svc, 1001, c.body);
        ASSERT_EQ(0, r->m_iCode) << r->m_strError;
        EXPECT_EQ(10, r->m_Answer.m_iMsgNum);
        int iCode = 0, iSvc = 0;
        std::string strReason;
        ASSERT_TRUE(ReadReject(r->Body(), &iCode, &strReason, &iSvc)) << r->Body();
        EXPECT_EQ(c.code, iCode);
        EXPECT_EQ(c.reason, strReason);
        EXPECT_EQ(c.svc, iSvc);
    }
}

TEST_F(Server, ManyClientsAtOnceEachGetTheirOwnAnswer) {
    TestServer server("100 echo\n", 4);
    const int kClients = 24;
    std::vector<std::thread> clients;
    std::vector<int> ok(kClients, 0);
    for (int i = 0; i < kClients; ++i) {
        clients.emplace_back([&, i]() {
            const std::string strXml = QuoteWithNotes(i * 7);
            auto r = Call(server.Port(), 100, 1001, strXml);
            ok[i] = r->m_iCode == 0 && r->Body() == strXml;
        });
    }
    for (std::thread& t : clients) {
        t.join();
    }
    for (int i = 0; i < kClients; ++i) {
        EXPECT_TRUE(ok[i]) << "client " << i;
    }
    server.Stop();
    EXPECT_EQ(static_cast<size_t>(kClients), server.LogLines().size());
}

TEST_F(Server, LogsOneLinePerRequest) {
    TestServer server("100 echo\n300 reject 501 denied\n");
    Call(server.Port(), 100, 1001, kQuoteXml);
    Call(server.Port(), 300, 1001, kQuoteXml);
    server.Stop();
    std::vector<std::string> lines = server.LogLines();
    ASSERT_EQ(2u, lines.size());
    if (lines[0].find(" svc=100 ") == std::string::npos) {
        std::swap(lines[0], lines[1]);
    }
    const std::string strSize = std::to_string(sizeof kQuoteXml - 1);
    EXPECT_NE(std::string::npos,
              lines[0].find(" svc=100 msg=1001 key=TESTKEY in=" + strSize + "/N out=" + strSize + "/N echo: sent"))
        << lines[0];
    EXPECT_NE(std::string::npos, lines[0].find(" 127.0.0.1:")) << lines[0];
    EXPECT_NE(std::string::npos, lines[1].find(" svc=300 ")) << lines[1];
    EXPECT_NE(std::string::npos, lines[1].find("reject 501 denied: sent")) << lines[1];
}

TEST_F(Server, ListensOnIpv6) {
    for (const char* szHost : {"::1", "::", "[::1]"}) {
        TestServer server("100 echo\n", 1,
                          [szHost](vorant_server::CServerOptions* p_pOpts) { p_pOpts->m_strHost = szHost; });
        ASSERT_GT(server.Port(), 0) << szHost;
        auto echo = Call(server.Port(), 100, 1001, kQuoteXml, 2, "::1");
        EXPECT_EQ(0, echo->m_iCode) << szHost << ": " << echo->m_strError;
        EXPECT_EQ(kQuoteXml, echo->Body()) << szHost;
        server.Stop();
        const std::vector<std::string> lines = server.LogLines();
        ASSERT_EQ(1u, lines.size()) << szHost;
        EXPECT_NE(std::string::npos, lines[0].find(" [::1]:")) << lines[0];
    }
}

TEST_F(Server, BadRulesOrFilesStopTheStartWithTheReason) {
    struct Case {
        std::string rules;
        std::string error;
    } cases[] = {
        {"100 echo\n100 frobnicate\n", "line 2: unknown word 'frobnicate'"},
        {"abc echo\n", "line 1: service must be 0 to 9999 or *, not 'abc'"},
        {"300 reject\n", "line 1: reject needs a code"},
        {"400 delay soon echo\n", "line 1: delay needs seconds (0 to 3600)"},
        {"500 answer\n", "line 1: answer needs a file"},
        {"500 answer /nonexistent/x.xml\n", "answer file /nonexistent/x.xml cannot be read: No such file or directory"},
    };
    for (const Case& c : cases) {
        vorant_server::CServerOptions opts;
        opts.m_strDictionary = TestData("msg_dic.xml");
        opts.m_strRules = c.rules;
        vorant_server::CMessageServer server;
        std::string strError;
        EXPECT_FALSE(server.Start(opts, &strError));
        EXPECT_EQ(c.error, strError);
    }
    vorant_server::CServerOptions opts;
    opts.m_strDictionary = TestData("missing.xml");
    vorant_server::CMessageServer server;
    std::string strError;
    EXPECT_FALSE(server.Start(opts, &strError));
    EXPECT_EQ(0u, strError.find("dictionary ")) << strError;
}

// An answer file goes out in the numbered form; '*' serves services without a rule.
TEST_F(Server, AnswerFileAndTheDefaultRule) {
    TestServer server("200 answer " + TestData("quote.xml") + "\n* echo\n");
    for (int iSvc : {200, 4321}) {
        auto r = Call(server.Port(), iSvc, 1001, kQuoteXml);
        ASSERT_EQ(0, r->m_iCode) << r->m_strError;
        EXPECT_EQ(kQuoteXml, r->Body());
        EXPECT_EQ(1001, r->m_Answer.m_iMsgNum);
    }
}

}  // namespace
