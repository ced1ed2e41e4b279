// Helpers shared by the service call tests.
#ifndef VORANT_TESTS_API_SERVICE_TEST_UTIL_H
#define VORANT_TESTS_API_SERVICE_TEST_UTIL_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "api/library_state.h"
#include "api_env.h"
#include "vorant/cvorant.hpp"
#include "vorant/msg.hpp"

// Overrides parts of the library-wide state for one test and restores them.
class StateOverride {
public:
    StateOverride() = default;
    ~StateOverride() {
        g_bInitialized.store(initialized_);
        g_iServerPort = port_;
        g_iTimeout = timeout_;
        g_iConnectTimeoutMs = connectTimeoutMs_;
        g_iDeadlineMs = deadlineMs_;
        g_iMaxAnswer = maxAnswer_;
    }
    StateOverride(const StateOverride&) = delete;
    StateOverride& operator=(const StateOverride&) = delete;

private:
    bool initialized_ = g_bInitialized.load();
    int port_ = g_iServerPort;
    int timeout_ = g_iTimeout;
    int connectTimeoutMs_ = g_iConnectTimeoutMs;
    int deadlineMs_ = g_iDeadlineMs;
    int maxAnswer_ = g_iMaxAnswer;
};

// A message the test owns, freed the library's way.
struct MsgFree {
    void operator()(CMsg* msg) const { MA_FreeMsg(msg); }
};
using MsgPtr = std::unique_ptr<CMsg, MsgFree>;

// The record's code, text and service number, each checked.
inline void ExpectError(const CVorantError& err, int code, const std::string& text, int refSvcNum) {
    EXPECT_EQ(err.GetCode(), code);
    EXPECT_EQ(std::string(err.GetText()), text);
    EXPECT_EQ(err.GetRefSvcNum(), refSvcNum);
}

// The worked example order: every scalar type, a sub-message array and a
// string array.
CMsg* NewExampleOrder();
// The numbered-form XML the example order serialises to.
extern const char kExampleOrderXml[];

// The answer script that sends the request's own body back.
std::string EchoAnswer(const std::string& request);

// A port on the loopback interface where nothing listens.
int ClosedPort();

#endif  // VORANT_TESTS_API_SERVICE_TEST_UTIL_H
