// The C11 client and vorant-call, each run as its own process against the
// server of this test process.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "e2e_env.h"

namespace {

TEST(ProgramsE2e, CClientThroughTheSharedLibrary) {
    ProcessRun run = RunCommand(std::string(E2E_C_CLIENT) + " " + ConfigPath() + " " + std::to_string(kEchoService) +
                                " " + std::to_string(kRejectService));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(Contains(run.out, "c-client ok")) << run.out;
}

#ifdef VORANT_CALL
std::string CallTool(const std::string& args) { return std::string(VORANT_CALL) + " -c " + ConfigPath() + " " + args; }

TEST(ProgramsE2e, CallToolAnswersAndErrors) {
    ProcessRun run = RunCommand(CallTool("-s 100 " VORANT_SOURCE_DIR "/examples/order.xml"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(Contains(run.out, "  MsgNum : 1001\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "    [1](acct) A-17\n")) << run.out;

    run =
        RunCommand(CallTool("-s 100 --msg 1001 --set acct=B-2 --set memo=x --set memo=y "
                            "--set lines.code=X1 --set lines[1].count=4 --xml"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out,
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"1001\" type=\"name\" ver=\"\">"
              "<acct><![CDATA[B-2]]></acct><lines><code><![CDATA[X1]]></code></lines><lines><count>4</count></lines>"
              "<memo><![CDATA[x]]></memo><memo><![CDATA[y]]></memo></msg>\n");

    run = RunCommand(CallTool("-s 300 --msg 1001 --set acct=C"));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_TRUE(Contains(run.out, "code      : 501\n  text      : denied\n  refSvcNum : 300\n")) << run.out;

    run = RunCommand(std::string(VORANT_CALL) + " -c " + ScratchDir() + "/none.conf -s 1 --msg 1001");
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_TRUE(Contains(run.out, "File open failed")) << run.out;

    run = RunCommand(std::string(VORANT_CALL) + " --help");
    EXPECT_EQ(run.status, 0);
    for (const char* option : {"--config", "--service", "--msg", "--set", "--xml", "--repeat", "--threads",
                               "--connect-timeout", "--deadline"})
        EXPECT_TRUE(Contains(run.out, option)) << option;
}

TEST(ProgramsE2e, CallToolBounds) {
    // The header arrives, the rest never does: the deadline ends the call.
    ProcessRun run = RunCommand(CallTool("-s 402 --msg 1001 --set acct=D --deadline 0.3 --connect-timeout 2.5"));
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_TRUE(Contains(run.out, "Socket timeout(-8)((recv deadline=0.3))")) << run.out;

    // The same bound from the configuration file.
    std::ifstream base(ConfigPath());
    std::stringstream text;
    text << base.rdbuf() << "deadline = 0.3\nconnect_timeout = 2.5\n";
    const std::string config = ScratchDir() + "/bounded.conf";
    std::ofstream(config) << text.str();
    run = RunCommand(std::string(VORANT_CALL) + " -c " + config + " -s 402 --msg 1001 --set acct=D");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_TRUE(Contains(run.out, "Socket timeout(-8)((recv deadline=0.3))")) << run.out;
    std::ofstream(config) << text.str() << "max_answer = 12k\n";
    run = RunCommand(std::string(VORANT_CALL) + " -c " + config + " -s 100 --msg 1001");
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_TRUE(Contains(run.out, "'max_answer' key syntax is [max_answer=bytes]")) << run.out;

    for (const char* bad : {"--deadline 0", "--deadline -1", "--deadline x", "--connect-timeout 1e99", "--deadline"}) {
        run = RunCommand(CallTool(std::string("-s 100 --msg 1001 ") + bad));
        EXPECT_EQ(run.status, 2) << bad << run.out;
        EXPECT_TRUE(Contains(run.out, "seconds above 0")) << bad << run.out;
    }
}

TEST(ProgramsE2e, CallToolRepeats) {
    ProcessRun run = RunCommand(CallTool("-s 100 --msg 1001 --set acct=R --repeat 40 --threads 4"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(Contains(run.out, "40 answered, 0 failed")) << run.out;
    EXPECT_TRUE(Contains(run.out, "calls/s")) << run.out;
    EXPECT_TRUE(Contains(run.out, "p99")) << run.out;
}
#endif

}  // namespace
