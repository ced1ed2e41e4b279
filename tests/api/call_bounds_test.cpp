// Bounded calls through the facade: configured bounds, per-call options in
// both directions, the flat options struct of any size, and the settings.
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

#include "service_test_util.h"
#include "transport/never_accepting.h"
#include "vorant/cvorant.hpp"
#include "vorant/vorant.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

CCallOptions Options(int connectMs, int recvMs, int deadlineMs, int maxAnswer) {
    CCallOptions opts;
    opts.m_iConnectTimeoutMs = connectMs;
    opts.m_iRecvTimeoutMs = recvMs;
    opts.m_iDeadlineMs = deadlineMs;
    opts.m_iMaxAnswer = maxAnswer;
    return opts;
}

// The echo answer, after a pause.
AnswerScript SlowEcho(int delayMs) {
    return [delayMs](const std::string& request) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        return EchoAnswer(request);
    };
}

class CallBounds : public ::testing::Test {
protected:
    void SetUp() override { Server().SetScript(EchoAnswer); }
    void TearDown() override { Server().SetScript(nullptr); }

    int Call(const CCallOptions* opts) {
        MsgPtr in(NewExampleOrder());
        out_.reset(new CMsg());
        return CVorant::CallServiceByMsg(7, in.get(), out_.get(), opts, &err_);
    }

    StateOverride state_;
    MsgPtr out_;
    CVorantError err_;
};

TEST_F(CallBounds, OptionsOverrideTheConfiguredBoundsBothWays) {
    struct Case {
        const char* name;
        int configuredDeadlineMs;
        CCallOptions opts;
        int delayMs;
        const char* failure;  // null: answered
    };
    const Case cases[] = {
        {"configured deadline", 200, Options(0, 0, 0, 0), 600, "Socket timeout(-8)((recv deadline=0.2))"},
        {"longer deadline for the call", 200, Options(0, 0, 2000, 0), 300, nullptr},
        {"no deadline for the call", 200, Options(0, 0, -1, 0), 300, nullptr},
        {"shorter deadline for the call", 0, Options(0, 0, 250, 0), 600, "Socket timeout(-8)((recv deadline=0.25))"},
        {"shorter wait for the call", 0, Options(0, 200, 0, 0), 600, "Socket timeout(-8)((recv to=0.2))"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_iDeadlineMs = c.configuredDeadlineMs;
        Server().SetScript(SlowEcho(c.delayMs));
        const Clock::time_point start = Clock::now();
        const int result = Call(&c.opts);
        const double elapsed = SecondsSince(start);
        if (c.failure == nullptr) {
            EXPECT_EQ(result, 0) << err_.GetText().ToStr();
            EXPECT_EQ(out_->GetMsgNum(), 1001);
            continue;
        }
        EXPECT_EQ(result, -3);
        ExpectError(err_, -5, c.failure, -1);
        EXPECT_LT(elapsed, 1.0);
        // Nothing was parsed into the answer.
        EXPECT_EQ(out_->GetMsgNum(), 0);
        // Let the server finish its pause before the next case connects.
        std::this_thread::sleep_for(std::chrono::milliseconds(c.delayMs + 50) -
                                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start));
    }
}

TEST_F(CallBounds, ConnectTimeoutConfiguredAndPerCall) {
    NeverAcceptingListener never;
    ASSERT_TRUE(never.IsFull());
    g_iServerPort = never.Port();
    g_iConnectTimeoutMs = 300;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(Call(nullptr), -3);
    EXPECT_LT(SecondsSince(start), 1.3);
    ExpectError(err_, -3, "Failed in connect()(-5)((connect to=0.3))", -1);

    g_iConnectTimeoutMs = 60000;
    const CCallOptions opts = Options(200, 0, 0, 0);
    start = Clock::now();
    EXPECT_EQ(Call(&opts), -3);
    EXPECT_LT(SecondsSince(start), 1.2);
    ExpectError(err_, -3, "Failed in connect()(-5)((connect to=0.2))", -1);
}

TEST_F(CallBounds, AnswerBoundConfiguredAndPerCall) {
    const std::string tooLong = "Packet is corrupted(-17)(packet length " +
                                std::to_string(128 + strlen(kExampleOrderXml)) + " outside 128..200)";
    g_iMaxAnswer = 200;
    EXPECT_EQ(Call(nullptr), -3);
    ExpectError(err_, -5, tooLong, -1);
    const CCallOptions roomy = Options(0, 0, 0, 1 << 20);
    EXPECT_EQ(Call(&roomy), 0) << err_.GetText().ToStr();

    g_iMaxAnswer = 64 * 1024 * 1024;
    const CCallOptions tight = Options(0, 0, 0, 200);
    EXPECT_EQ(Call(&tight), -3);
    ExpectError(err_, -5, tooLong, -1);
}

TEST_F(CallBounds, OptionsOutOfRangeAreRefusedBeforeConnecting) {
    Server().ClearRequests();
    const CCallOptions bad[] = {Options(-1, 0, 0, 0), Options(0, -1, 0, 0), Options(0, 0, 0, -1),
                                Options(0, 0, 0, 127)};
    for (const CCallOptions& opts : bad) {
        EXPECT_EQ(Call(&opts), -2);
        EXPECT_EQ(err_.GetCode(), -12);
        EXPECT_EQ(err_.GetRefSvcNum(), 7);
        EXPECT_EQ(std::string(err_.GetText()).rfind("Invalid call options(connect=", 0), 0u) << err_.GetText().ToStr();
    }
    EXPECT_TRUE(Server().Requests().empty());
}

// A C caller's struct is read only as far as its size reaches.
TEST_F(CallBounds, FlatOptionsOfEverySize) {
    struct Newer {
        VorantCallOptions opts;
        int later[2];
    };
    const size_t kJustSize = offsetof(VorantCallOptions, connectTimeoutMs);
    const size_t kOlder = offsetof(VorantCallOptions, maxAnswer);
    const struct {
        const char* name;
        size_t size;
        int maxAnswer;
        int connectMs;
        int result;
    } cases[] = {
        {"zero size", 0, 130, -1, 0},
        {"only the size field", kJustSize, 130, -1, 0},
        {"older caller", kOlder, 130, 0, 0},
        {"today's caller", sizeof(VorantCallOptions), 130, 0, -3},
        {"newer caller", sizeof(Newer), 130, 0, -3},
        {"today's caller, bad option", sizeof(VorantCallOptions), 0, -1, -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Newer flat{};
        flat.opts.size = static_cast<unsigned int>(c.size);
        flat.opts.maxAnswer = c.maxAnswer;
        flat.opts.connectTimeoutMs = c.connectMs;
        flat.later[0] = flat.later[1] = -1;
        MsgPtr in(NewExampleOrder());
        CMsg out;
        VorantErrorInfo err{};
        EXPECT_EQ(Vorant_CallServiceEx(7, in.get(), &out, &flat.opts, &err), c.result) << err.text;
        if (c.result == -3) {
            EXPECT_EQ(err.code, -5);
        }
    }
    MsgPtr in(NewExampleOrder());
    CMsg out;
    VorantErrorInfo err{};
    EXPECT_EQ(Vorant_CallServiceEx(7, in.get(), &out, nullptr, &err), 0) << err.text;
    EXPECT_EQ(Vorant_CallServiceEx(7, in.get(), &out, nullptr, nullptr), -12);
}

TEST(CallBoundsSetter, StoresCheckedValuesAndZeroMeansTheDefault) {
    StateOverride state;
    CVorantError err;
    EXPECT_EQ(CVorant::SetCallBounds(0, 0, 0, nullptr), -12);
    ASSERT_EQ(CVorant::SetCallBounds(250, 1500, 4096, &err), 0);
    EXPECT_EQ(g_iConnectTimeoutMs, 250);
    EXPECT_EQ(g_iDeadlineMs, 1500);
    EXPECT_EQ(g_iMaxAnswer, 4096);

    const struct {
        int connect, deadline, maxAnswer;
        const char* text;
    } bad[] = {
        {-1, 0, 0, "connect time-out -1 ms is negative"},
        {0, -5, 0, "deadline -5 ms is negative"},
        {0, 0, 127, "answer bound 127 bytes is below 128"},
    };
    for (const auto& b : bad) {
        EXPECT_EQ(CVorant::SetCallBounds(b.connect, b.deadline, b.maxAnswer, &err), -1);
        EXPECT_STREQ(err.GetText(), b.text);
        EXPECT_EQ(err.GetCode(), 0);
        EXPECT_EQ(g_iConnectTimeoutMs, 250);
        EXPECT_EQ(g_iDeadlineMs, 1500);
        EXPECT_EQ(g_iMaxAnswer, 4096);
    }
    VorantErrorInfo info{};
    EXPECT_EQ(Vorant_SetCallBounds(0, 0, 100, &info), -1);
    EXPECT_STREQ(info.text, "answer bound 100 bytes is below 128");

    ASSERT_EQ(Vorant_SetCallBounds(0, 0, 0, &info), 0);
    EXPECT_EQ(g_iConnectTimeoutMs, 10000);
    EXPECT_EQ(g_iDeadlineMs, 0);
    EXPECT_EQ(g_iMaxAnswer, 64 * 1024 * 1024);
}

}  // namespace
