#include "e2e_env.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "protect/key_file_writer.h"
#include "server.h"
#include "vorant/cvorant.hpp"

namespace {

std::unique_ptr<vorant_server::CMessageServer> g_server;
std::string g_scratch, g_keyFile, g_config;

const char kRules[] =
    "100 echo\n"
    "300 reject 501 denied\n"
    "402 header-only echo\n"
    "901 delay 1 echo\n";

// The encrypted example dictionary when it has been made, else the plain one.
std::string ExampleDictionary() {
    std::string exml = VORANT_SOURCE_DIR "/examples/msg_dic.exml";
    return access(exml.c_str(), R_OK) == 0 ? exml : VORANT_SOURCE_DIR "/examples/msg_dic.xml";
}

class E2eEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/vorant-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        g_scratch = pattern;

        CStream key;
        CString error;
        ASSERT_EQ(BuildKeyFile("E2E-USER", key, error), 0) << error.ToStr();
        g_keyFile = g_scratch + "/user.key";
        std::ofstream(g_keyFile, std::ios::binary).write(key.GetData(), key.GetSize());

        vorant_server::CServerOptions options;
        options.m_strDictionary = ExampleDictionary();
        options.m_strRules = kRules;
        options.m_iTimeout = 5;
        g_server = std::make_unique<vorant_server::CMessageServer>();
        std::string problem;
        ASSERT_TRUE(g_server->Start(options, &problem)) << problem;

        g_config = g_scratch + "/vorant.conf";
        std::ofstream(g_config) << "msg_dic=" << ExampleDictionary() << "\nkey_file=" << g_keyFile
                                << "\nserver=127.0.0.1 " << g_server->GetPort() << "\n";

        CVorantError err;
        ASSERT_EQ(CVorant::Initialize(g_keyFile.c_str(), ExampleDictionary().c_str(), "127.0.0.1", g_server->GetPort(),
                                      kE2eTimeout, &err),
                  0)
            << err.GetText().ToStr();
    }
    void TearDown() override {
        g_server.reset();
        std::error_code ec;
        std::filesystem::remove_all(g_scratch, ec);
    }
};

::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new E2eEnvironment);

}  // namespace

std::string DictionaryPath() { return ExampleDictionary(); }
std::string KeyFilePath() { return g_keyFile; }
std::string ConfigPath() { return g_config; }
const std::string& ScratchDir() { return g_scratch; }

ProcessRun RunCommand(const std::string& p_strCommand, bool p_bSplit) {
    const std::string errFile = g_scratch + "/command.err";
    ProcessRun run;
    FILE* pipe = popen((p_strCommand + (p_bSplit ? " 2>" + errFile : " 2>&1")).c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), pipe)) > 0)
        run.out.append(buf, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (p_bSplit) {
        std::ifstream file(errFile);
        run.err.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    return run;
}

bool Contains(const std::string& p_strText, const std::string& p_strPart) {
    return p_strText.find(p_strPart) != std::string::npos;
}
