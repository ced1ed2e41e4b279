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

TEST(ServiceE2e, RejectsAndBrokenAnswers) {
    const struct {
        int svc, result, code;
        const char* text;
        int refSvc;
    } cases[] = {
        {kRejectService, -4, 501, "denied", kRejectService},
        // A service without a rule is refused by the server itself.
        {777, -4, 9001, nullptr, 777},
        {kHeaderOnlyService, -3, -5, "Packet is corrupted(-17)(uncompleted packet timeout(body))", -1},
    };
    MsgPtr in = NewRequest(1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.svc);
        CMsg out;
        CVorantError err;
        EXPECT_EQ(CVorant::CallServiceByMsg(c.svc, in.get(), &out, &err), c.result);
        EXPECT_EQ(err.GetCode(), c.code);
        if (c.text) {
            EXPECT_STREQ(err.GetText(), c.text);
        }
        EXPECT_EQ(err.GetRefSvcNum(), c.refSvc);
    }
}

// Each call's record is its own: a hook on many threads sees every call
// once, with the sizes of that call's own request.
void CheckTrace(const VorantTrace* p_pTrace, void* p_pUser) {
    const bool ok = p_pTrace->result == 0 &&
                    p_pTrace->requestPacketSize == static_cast<size_t>(p_pTrace->requestWireBytes) + 131 &&
                    p_pTrace->answerBodyBytes == p_pTrace->requestBodyBytes;
    static_cast<std::atomic<int>*>(p_pUser)->fetch_add(ok ? 1 : 1000);
}

TEST(ServiceE2e, EightThreadsAtOnceEachCheckingEveryAnswerAndItsTrace) {
    const int kThreads = 8, kCalls = 50;
    std::atomic<int> good{0}, traced{0};
    CVorant::SetTraceHook(CheckTrace, &traced);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &good] {
            for (int i = 0; i < kCalls; ++i) {
                int n = t * 1000 + i;
                MsgPtr in = NewRequest(n, i % 5 == 0 ? 3000 : 0);
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
    CVorant::SetTraceHook(nullptr, nullptr);
    EXPECT_EQ(good.load(), kThreads * kCalls);
    EXPECT_EQ(traced.load(), kThreads * kCalls);
}

// Answers large enough to take the largest blocks, parsed on some threads
// and freed on others: the freed blocks go from thread to thread.
TEST(ServiceE2e, LargeAnswersParsedOnOneThreadAndFreedOnAnother) {
    MsgPtr big = NewRequest(5);
    for (int i = 0; i < 40000; ++i) {
        CMsg* line = new CMsg(2001, 1001, 6);
        line->SetValue(2, i);
        big->SetValue(6, line);
    }
    const std::string xml = Xml(big.get());
    const int kPairs = 3, kRounds = 4;
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int p = 0; p < kPairs; ++p) {
        auto handOver = std::make_shared<std::vector<std::atomic<CMsg*>>>(kRounds);
        threads.emplace_back([handOver, &xml] {
            for (auto& slot : *handOver) {
                CMsg* msg = MA_NewMsg(0);
                msg->LoadXml(xml.c_str());
                slot.store(msg, std::memory_order_release);
            }
        });
        threads.emplace_back([handOver, &xml, &good] {
            for (auto& slot : *handOver) {
                CMsg* msg = nullptr;
                while ((msg = slot.load(std::memory_order_acquire)) == nullptr)
                    std::this_thread::yield();
                good.fetch_add(Xml(msg) == xml ? 1 : 0);
                MA_FreeMsg(msg);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(good.load(), kPairs * kRounds);
}

}  // namespace
