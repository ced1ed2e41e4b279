// Service calls against the bundled server: answers, REJECT, a broken answer
// and many threads at once, through the class and the C interface.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e_env.h"
#include "vorant/cvorant.hpp"
#include "vorant/msg.hpp"
#include "vorant/vorant.h"

namespace {

struct MsgFree {
    void operator()(CMsg* msg) const { MA_FreeMsg(msg); }
};
using MsgPtr = std::unique_ptr<CMsg, MsgFree>;

// The example account request, varied by n.
MsgPtr NewRequest(int n, int memoLength = 0) {
    MsgPtr msg(MA_NewMsg(1001));
    msg->SetValue(1, ("A-" + std::to_string(n)).c_str());
    msg->SetValue(2, n);
    msg->SetValue(3, n / 4.0);
    msg->SetValue(4, n % 2 == 0);
    msg->SetValue(5, CDate(20240101 + n % 28));
    for (int i = 0; i < 2; ++i) {
        CMsg* line = new CMsg(2001, 1001, 6);
        line->SetValue(1, ("L" + std::to_string(i)).c_str());
        line->SetValue(2, n + i);
        msg->SetValue(6, line);
    }
    if (memoLength > 0)
        msg->SetValue(7, std::string(static_cast<size_t>(memoLength), 'm').c_str());
    return msg;
}

std::string Xml(CMsg* msg) {
    CStream stream;
    msg->ToXml(&stream, false, false, 1);
    return stream.GetData();
}

TEST(ServiceE2e, EchoReturnsTheRequestSmallAndCompressed) {
    for (int memo : {0, 5000}) {
        MsgPtr in = NewRequest(17, memo);
        CMsg out;
        CVorantError err;
        ASSERT_EQ(CVorant::CallServiceByMsg(kEchoService, in.get(), &out, &err), 0) << err.GetText().ToStr();
        EXPECT_EQ(Xml(&out), Xml(in.get()));
        EXPECT_EQ(out.GetMsgNum(), 1001);
    }
}

TEST(ServiceE2e, Reject) {
    MsgPtr in = NewRequest(1);
    CMsg out;
    CVorantError err;
    EXPECT_EQ(CVorant::CallServiceByMsg(kRejectService, in.get(), &out, &err), -4);
    EXPECT_EQ(err.GetCode(), 501);
    EXPECT_STREQ(err.GetText(), "denied");
    EXPECT_EQ(err.GetRefSvcNum(), kRejectService);

    // A service without a rule is refused by the server itself.
    EXPECT_EQ(CVorant::CallServiceByMsg(777, in.get(), &out, &err), -4);
    EXPECT_EQ(err.GetCode(), 9001);
    EXPECT_EQ(err.GetRefSvcNum(), 777);
}

TEST(ServiceE2e, AnswerThatStopsAfterItsHeader) {
    MsgPtr in = NewRequest(2);
    CMsg out;
    CVorantError err;
    EXPECT_EQ(CVorant::CallServiceByMsg(kHeaderOnlyService, in.get(), &out, &err), -3);
    EXPECT_EQ(err.GetCode(), -5);
    EXPECT_STREQ(err.GetText(), "Packet is corrupted(-17)(uncompleted packet timeout(body))");
    EXPECT_EQ(err.GetRefSvcNum(), -1);
}

TEST(ServiceE2e, EightThreadsAtOnceEachCheckingEveryAnswer) {
    const int kThreads = 8, kCalls = 50;
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &good] {
            for (int i = 0; i < kCalls; ++i) {
                int n = t * 1000 + i;
                MsgPtr in = NewRequest(n, i % 5 == 0 ? 2000 : 0);
                CMsg out;
                int result;
                if (i % 2 == 0) {
                    CVorantError err;
                    result = CVorant::CallServiceByMsg(kEchoService, in.get(), &out, &err);
                } else {
                    VorantErrorInfo info;
                    result = Vorant_CallService(kEchoService, in.get(), &out, &info);
                }
                int qty = -1;
                if (result == 0 && out.GetValue(2, &qty) == 0 && qty == n && Xml(&out) == Xml(in.get()))
                    good.fetch_add(1);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(good.load(), kThreads * kCalls);
}

// Each call's record is its own: a hook on many threads sees every call
// once, with the sizes of that call's own request.
void CheckTrace(const VorantTrace* p_pTrace, void* p_pUser) {
    const bool ok = p_pTrace->result == 0 &&
                    p_pTrace->requestPacketSize == static_cast<size_t>(p_pTrace->requestWireBytes) + 131 &&
                    p_pTrace->answerBodyBytes == p_pTrace->requestBodyBytes;
    static_cast<std::atomic<int>*>(p_pUser)->fetch_add(ok ? 1 : 1000);
}

TEST(ServiceE2e, TraceHookOnFourThreads) {
    std::atomic<int> traced{0};
    CVorant::SetTraceHook(CheckTrace, &traced);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 10; ++i) {
                MsgPtr in = NewRequest(t * 100 + i, i % 3 == 0 ? 3000 : 0);
                CMsg out;
                CVorantError err;
                CVorant::CallServiceByMsg(kEchoService, in.get(), &out, &err);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    CVorant::SetTraceHook(nullptr, nullptr);
    EXPECT_EQ(traced.load(), 40);
}

}  // namespace
