// The C11 client and vorant-call, each run as its own process against the
// server of this test process.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "e2e_env.h"

namespace {

struct ProcessRun {
    int status = -1;
    std::string output;
};

// Runs a shell command; stdout and stderr together.
ProcessRun RunCommand(const std::string& command) {
    ProcessRun run;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), pipe)) > 0)
        run.output.append(buf, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ProgramsE2e, CClientThroughTheSharedLibrary) {
    ProcessRun run = RunCommand(std::string(E2E_C_CLIENT) + " " + ConfigPath() + " " + std::to_string(kEchoService) +
                                " " + std::to_string(kRejectService));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "c-client ok")) << run.output;
}

#ifdef VORANT_CALL
std::string CallTool(const std::string& args) { return std::string(VORANT_CALL) + " -c " + ConfigPath() + " " + args; }

TEST(ProgramsE2e, CallToolAnswersAndErrors) {
    ProcessRun run = RunCommand(CallTool("-s 100 " VORANT_SOURCE_DIR "/examples/order.xml"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "  MsgNum : 1001\n")) << run.output;
    EXPECT_TRUE(Contains(run.output, "    [1](acct) A-17\n")) << run.output;

    run =
        RunCommand(CallTool("-s 100 --msg 1001 --set acct=B-2 --set memo=x --set memo=y "
                            "--set lines.code=X1 --set lines[1].count=4 --xml"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output,
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"1001\" type=\"name\" ver=\"\">"
              "<acct><![CDATA[B-2]]></acct><lines><code><![CDATA[X1]]></code></lines><lines><count>4</count></lines>"
              "<memo><![CDATA[x]]></memo><memo><![CDATA[y]]></memo></msg>\n");

    run = RunCommand(CallTool("-s 300 --msg 1001 --set acct=C"));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, "code      : 501\n  text      : denied\n  refSvcNum : 300\n")) << run.output;

    run = RunCommand(CallTool("-s 100 --msg 1001 --set nosuch=1"));
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_TRUE(Contains(run.output, "nosuch")) << run.output;

    run = RunCommand(std::string(VORANT_CALL) + " -c " + ScratchDir() + "/none.conf -s 1 --msg 1001");
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_TRUE(Contains(run.output, "File open failed")) << run.output;

    run = RunCommand(std::string(VORANT_CALL) + " --help");
    EXPECT_EQ(run.status, 0);
    for (const char* option : {"--config", "--service", "--msg", "--set", "--xml", "--repeat", "--threads",
                               "--connect-timeout", "--deadline"})
        EXPECT_TRUE(Contains(run.output, option)) << option;
}

TEST(ProgramsE2e, CallToolBounds) {
    // The header arrives, the rest never does: the deadline ends the call.
    ProcessRun run = RunCommand(CallTool("-s 402 --msg 1001 --set acct=D --deadline 0.3 --connect-timeout 2.5"));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, "Socket timeout(-8)((recv deadline=0.3))")) << run.output;

    // The same bound from the configuration file.
    std::ifstream base(ConfigPath());
    std::stringstream text;
    text << base.rdbuf() << "deadline = 0.3\nconnect_timeout = 2.5\n";
    const std::string config = ScratchDir() + "/bounded.conf";
    std::ofstream(config) << text.str();
    run = RunCommand(std::string(VORANT_CALL) + " -c " + config + " -s 402 --msg 1001 --set acct=D");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, "Socket timeout(-8)((recv deadline=0.3))")) << run.output;
    std::ofstream(config) << text.str() << "max_answer = 12k\n";
    run = RunCommand(std::string(VORANT_CALL) + " -c " + config + " -s 100 --msg 1001");
    EXPECT_EQ(run.status, 3) << run.output;
    EXPECT_TRUE(Contains(run.output, "'max_answer' key syntax is [max_answer=bytes]")) << run.output;

    for (const char* bad : {"--deadline 0", "--deadline -1", "--deadline x", "--connect-timeout 1e99", "--deadline"}) {
        run = RunCommand(CallTool(std::string("-s 100 --msg 1001 ") + bad));
        EXPECT_EQ(run.status, 2) << bad << run.output;
        EXPECT_TRUE(Contains(run.output, "seconds above 0")) << bad << run.output;
    }
}

TEST(ProgramsE2e, CallToolRepeats) {
    ProcessRun run = RunCommand(CallTool("-s 100 --msg 1001 --set acct=R --repeat 40 --threads 4"));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "40 answered, 0 failed")) << run.output;
    EXPECT_TRUE(Contains(run.output, "calls/s")) << run.output;
    EXPECT_TRUE(Contains(run.output, "p99")) << run.output;

    run = RunCommand(CallTool("-s 300 --msg 1001 --set acct=R --repeat 5 --threads 2"));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, "0 answered, 5 failed")) << run.output;
}
#endif

}  // namespace
