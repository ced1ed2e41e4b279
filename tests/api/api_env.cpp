#include "api_env.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "protect/key_file_writer.h"
#include "vorant/cvorant.hpp"

const char kTestUserKey[] = "TESTKEY-0123";

namespace {

std::unique_ptr<FakeServer> g_server;
std::string g_scratch;
std::string g_keyFile;

class ApiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/vorant-api-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        g_scratch = pattern;
        g_keyFile = WriteKeyFile("user.key", kTestUserKey);
        g_server = std::make_unique<FakeServer>();
        CVorantError err;
        ASSERT_EQ(CVorant::Initialize(g_keyFile.c_str(), TestDictionary().c_str(), "127.0.0.1", g_server->Port(),
                                      kTestTimeout, &err),
                  0)
            << err.GetText().ToStr();
    }
    void TearDown() override {
        g_server.reset();
        std::error_code ec;
        std::filesystem::remove_all(g_scratch, ec);
    }
};

::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new ApiEnvironment);

}  // namespace

FakeServer& Server() { return *g_server; }

const std::string& ScratchDir() { return g_scratch; }

std::string TestDictionary() { return VORANT_SOURCE_DIR "/tests/api/data/test_dic.xml"; }

std::string TestKeyFile() { return g_keyFile; }

std::string WriteScratch(const std::string& name, const std::string& text) {
    std::string path = g_scratch + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string WriteKeyFile(const std::string& name, const char* userKey) {
    CStream data;
    CString err;
    EXPECT_EQ(BuildKeyFile(userKey, data, err), 0) << err.ToStr();
    return WriteScratch(name, std::string(data.GetData(), static_cast<size_t>(data.GetSize())));
}
