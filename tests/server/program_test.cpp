// The vorant-server program: port on the first line, a log line per
// request, a clean exit on SIGTERM, a clear refusal of bad arguments.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "server_client.h"

extern char** environ;

namespace {

// The program with its standard output on a pipe.
struct Program {
    pid_t pid = -1;
    FILE* out = nullptr;

    explicit Program(const std::vector<std::string>& p_Args) {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        for (const std::string& s : p_Args) {
            argv.push_back(const_cast<char*>(s.c_str()));
        }
        argv.push_back(nullptr);
        posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out = fdopen(fds[0], "r");
    }
    std::string Line() {
        char buf[1024];
        if (out == nullptr || fgets(buf, sizeof buf, out) == nullptr) {
            return "";
        }
        std::string s = buf;
        if (!s.empty() && s.back() == '\n') {
            s.pop_back();
        }
        return s;
    }
    int Wait() {
        int iStatus = 0;
        waitpid(pid, &iStatus, 0);
        if (out != nullptr) {
            fclose(out);
            out = nullptr;
        }
        return iStatus;
    }
};

TEST(ServerProgram, PrintsItsPortServesAndStopsOnSigterm) {
    Program server({VORANT_SERVER_PROGRAM, "--dictionary", TestData("msg_dic.xml"), "--rules", TestData("rules.txt"),
                    "--port", "0"});
    ASSERT_GT(server.pid, 0);
    const int iPort = std::atoi(server.Line().c_str());
    ASSERT_GT(iPort, 0);

    const std::string strXml =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>"
        "<msg no=\"1001\" ver=\"\"><t2>5</t2></msg>";
    auto echo = Call(iPort, 100, 1001, strXml);
    EXPECT_EQ(0, echo->m_iCode) << echo->m_strError;
    EXPECT_EQ(strXml, echo->Body());
    // The rules file names its answer file relative to itself.
    auto answer = Call(iPort, 200, 1001, strXml);
    EXPECT_EQ(0, answer->m_iCode) << answer->m_strError;
    EXPECT_NE(std::string::npos, answer->Body().find("<t1><![CDATA[ACME]]></t1>"));

    // Lines come as requests end, not necessarily in call order.
    const std::string strLog = server.Line() + "\n" + server.Line();
    EXPECT_NE(std::string::npos, strLog.find(" svc=100 msg=1001 key=TESTKEY ")) << strLog;
    EXPECT_NE(std::string::npos, strLog.find(" svc=200 ")) << strLog;
    kill(server.pid, SIGTERM);
    const int iStatus = server.Wait();
    EXPECT_TRUE(WIFEXITED(iStatus));
    EXPECT_EQ(0, WEXITSTATUS(iStatus));
}

// The program run to its end with standard error joined to standard output.
struct CFinishedRun {
    int m_iStatus = -1;
    std::string m_strOutput;
};

CFinishedRun RunToEnd(const std::string& p_strArgs) {
    CFinishedRun run;
    FILE* pPipe = popen((std::string(VORANT_SERVER_PROGRAM) + " " + p_strArgs + " 2>&1").c_str(), "r");
    if (pPipe == nullptr) {
        return run;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pPipe)) > 0) {
        run.m_strOutput.append(buf, n);
    }
    const int iStatus = pclose(pPipe);
    run.m_iStatus = WIFEXITED(iStatus) ? WEXITSTATUS(iStatus) : -1;
    return run;
}

TEST(ServerProgram, RefusesBadArgumentsNamingTheProblem) {
    const std::string strDic = TestData("msg_dic.xml"), strRules = TestData("rules.txt");
    struct Case {
        std::string m_strArgs;
        int m_iStatus;
        std::string m_strText;
    } cases[] = {
        {"", 2, "vorant-server: no dictionary (-d FILE) and no rules file (-r FILE)\nusage: vorant-server"},
        {"-d " + strDic, 2, "vorant-server: no rules file (-r FILE)\nusage: vorant-server"},
        {"-r " + strRules, 2, "vorant-server: no dictionary (-d FILE)\nusage: vorant-server"},
        {"--port 70000", 2, "vorant-server: bad value for --port: 70000\n"},
        {"--bogus", 2, "vorant-server: unknown argument --bogus\n"},
        {"-d " + TestData("missing.xml") + " -r " + strRules, 1,
         "vorant-server: dictionary " + TestData("missing.xml") + " cannot be read: No such file or directory\n"},
        {"-d " + std::string(SERVER_TEST_DATA) + " -r " + strRules, 1,
         "vorant-server: dictionary " + std::string(SERVER_TEST_DATA) + " cannot be read: Is a directory\n"},
        {"-d " + strDic + " -r " + TestData("no-such-rules.txt"), 1,
         "vorant-server: rules file " + TestData("no-such-rules.txt") + " cannot be read: No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const CFinishedRun run = RunToEnd(c.m_strArgs);
        EXPECT_EQ(c.m_iStatus, run.m_iStatus) << c.m_strArgs;
        EXPECT_EQ(0u, run.m_strOutput.find(c.m_strText)) << c.m_strArgs << "\n" << run.m_strOutput;
    }
    // More connections than descriptors the process may ever have.
    rlimit limit;
    ASSERT_EQ(0, getrlimit(RLIMIT_NOFILE, &limit));
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < 1000000) {
        Program tooMany({VORANT_SERVER_PROGRAM, "-d", TestData("msg_dic.xml"), "-r", TestData("rules.txt"),
                         "--max-connections", "1000000"});
        EXPECT_EQ(1, WEXITSTATUS(tooMany.Wait()));
    }
}

}  // namespace
