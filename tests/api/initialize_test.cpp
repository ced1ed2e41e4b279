// CVorant::Initialize: codes and texts, and what a failure leaves behind.
#include <gtest/gtest.h>

#include <string>

#include "api/library_state.h"
#include "api_env.h"
#include "vorant/cvorant.hpp"

namespace {

// The library-wide state, to show that a failed initialisation changes none of it.
struct StateSnapshot {
    bool initialized = g_bInitialized.load();
    std::string key = g_strUserKey.ToStr();
    std::string host = g_strServerHost.ToStr();
    int port = g_iServerPort;
    int timeout = g_iTimeout;

    void ExpectUnchanged() const {
        EXPECT_EQ(g_bInitialized.load(), initialized);
        EXPECT_EQ(g_strUserKey.ToStr(), key);
        EXPECT_EQ(g_strServerHost.ToStr(), host);
        EXPECT_EQ(g_iServerPort, port);
        EXPECT_EQ(g_iTimeout, timeout);
    }
};

int InitExplicit(const std::string& keyFile, const char* host, CVorantError* err) {
    return CVorant::Initialize(keyFile.c_str(), TestDictionary().c_str(), host, 7000, 90, err);
}

TEST(Initialize, StoresTheExplicitSettingsAsGiven) {
    // The test environment initialised with a 2-second time-out: no lower bound here.
    EXPECT_TRUE(g_bInitialized.load());
    EXPECT_STREQ(g_strUserKey, kTestUserKey);
    EXPECT_STREQ(g_strServerHost, "127.0.0.1");
    EXPECT_EQ(g_iServerPort, Server().Port());
    EXPECT_EQ(g_iTimeout, kTestTimeout);
}

TEST(Initialize, NullRecord) {
    StateSnapshot before;
    EXPECT_EQ(CVorant::Initialize("/nonexistent.conf", nullptr), -12);
    EXPECT_EQ(CVorant::Initialize(TestKeyFile().c_str(), TestDictionary().c_str(), "h", 1, 1, nullptr), -12);
    before.ExpectUnchanged();
}

TEST(Initialize, ConfigFailuresComeBeforeAnythingElse) {
    CVorantError err;
    err.SetError(7, "stale", 9);
    std::string path = ScratchDir() + "/none.conf";
    EXPECT_EQ(CVorant::Initialize(path.c_str(), &err), -1);
    EXPECT_EQ(err.GetCode(), 0);
    EXPECT_EQ(err.GetRefSvcNum(), 0);
    EXPECT_EQ(std::string(err.GetText()), "File open failed [" + path + "](2,No such file or directory)");
}

TEST(Initialize, KeyFileFailures) {
    StateSnapshot before;
    CVorantError err;

    std::string missing = ScratchDir() + "/missing.key";
    EXPECT_EQ(InitExplicit(missing, "h", &err), -1);
    EXPECT_EQ(std::string(err.GetText()), "File not found(" + missing + ")");
    EXPECT_EQ(err.GetCode(), 0);

    EXPECT_EQ(CVorant::Initialize(nullptr, TestDictionary().c_str(), "h", 1, 1, &err), -1);
    EXPECT_STREQ(err.GetText(), "p_szFileName is NULL");

    // The decoder's own text (its cases are the key file tests').
    EXPECT_EQ(InitExplicit(WriteScratch("short.key", std::string(4143, 'k')), "h", &err), -1);
    EXPECT_STREQ(err.GetText(), "Corrupted UserKey data");

    // A key that decodes to nothing replaces nothing either.
    EXPECT_EQ(InitExplicit(WriteKeyFile("empty.key", ""), "h", &err), -1);
    EXPECT_STREQ(err.GetText(), "Invalid UserKey");
    EXPECT_EQ(err.GetCode(), 0);
    before.ExpectUnchanged();
}

TEST(Initialize, MissingHostIsRefused) {
    StateSnapshot before;
    CVorantError err;
    EXPECT_EQ(InitExplicit(TestKeyFile(), nullptr, &err), -1);
    EXPECT_STREQ(err.GetText(), "Invalid server host");
    EXPECT_EQ(InitExplicit(TestKeyFile(), "", &err), -1);
    before.ExpectUnchanged();
}

TEST(Initialize, DictionaryFailureKeepsTheState) {
    StateSnapshot before;
    CVorantError err;
    std::string otherKey = WriteKeyFile("other.key", "OTHERKEY");
    std::string dic = ScratchDir() + "/none.exml";
    EXPECT_EQ(CVorant::Initialize(otherKey.c_str(), dic.c_str(), "otherhost", 1, 5, &err), -2);
    EXPECT_EQ(err.GetCode(), 0);
    EXPECT_EQ(std::string(err.GetText()), "InitDictionary(Handler error : File not found(" + dic + "))");
    before.ExpectUnchanged();
}

TEST(Initialize, FromAConfigFileReachesTheExplicitForm) {
    // Everything in the file is read; the key file then fails, before any
    // state would change.
    std::string conf = WriteScratch("full.conf", "msg_dic=" + TestDictionary() + "\nkey_file=" + ScratchDir() +
                                                     "/nokey\nserver=127.0.0.1 1\ntimeout=5\n");
    CVorantError err;
    EXPECT_EQ(CVorant::Initialize(conf.c_str(), &err), -1);
    EXPECT_EQ(std::string(err.GetText()), "File not found(" + ScratchDir() + "/nokey)");
}

}  // namespace
