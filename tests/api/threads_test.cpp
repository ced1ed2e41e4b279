// Many calls at once: each thread's answers must be its own.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "service_test_util.h"
#include "vorant/cvorant.hpp"
#include "vorant/vorant.h"

namespace {

TEST(Threads, EightThreadsEachGetTheirOwnAnswers) {
    Server().SetScript(EchoAnswer);
    const int kThreads = 8, kCalls = 40;
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &good] {
            for (int i = 0; i < kCalls; ++i) {
                std::string acct = "T" + std::to_string(t) + "-" + std::to_string(i);
                // Half the calls through the class interface, half through C.
                CMsg* in = MA_NewMsg(1001);
                in->SetValue(1, acct.c_str());
                in->SetValue(2, t * 1000 + i);
                in->SetValue(7, std::string(600 * (i % 3), 'm').c_str());  // some compressed
                CMsg* out = MA_NewMsg(0);
                int result;
                if (i % 2 == 0) {
                    CVorantError err;
                    result = CVorant::CallServiceByMsg(100 + t, in, out, &err);
                } else {
                    VorantErrorInfo info;
                    result = Vorant_CallService(100 + t, in, out, &info);
                }
                CString gotAcct;
                int gotQty = -1;
                if (result == 0 && out->GetValue(1, &gotAcct) == 0 && out->GetValue(2, &gotQty) == 0 &&
                    acct == gotAcct.ToStr() && gotQty == t * 1000 + i)
                    good.fetch_add(1);
                MA_FreeMsg(in);
                MA_FreeMsg(out);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    Server().SetScript(nullptr);
    EXPECT_EQ(good.load(), kThreads * kCalls);
}

}  // namespace
