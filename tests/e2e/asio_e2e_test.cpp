// The Asio adapter: calls driven by an io_context, which returns once every
// call is done.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "e2e_env.h"
#include "vorant/asio.hpp"
#include "vorant/msg.hpp"

namespace {

TEST(AsioE2e, AnIoContextRunsCallsToTheirEnd) {
    std::unique_ptr<CMsg> in(MA_NewMsg(1001));
    in->SetValue(1, "A-1");
    CMsg outs[4];
    int results[4] = {1, 1, 1, 1};
    asio::io_context io;
    CVorantMulti multi;
    {
        vorant::CAsioMulti driver(io, multi);
        const int svcs[4] = {kEchoService, kRejectService, kEchoService, kSlowEchoService};
        CCallOptions quick;
        quick.m_iDeadlineMs = 200;
        for (int i = 0; i < 4; ++i)
            ASSERT_GT(multi.Start(svcs[i], in.get(), &outs[i], i == 3 ? &quick : nullptr,
                                  [&results, i](int, int result, const CVorantError&) { results[i] = result; }),
                      0);
        // A timer of the program's own shares the loop.
        bool ticked = false;
        asio::steady_timer tick(io, std::chrono::milliseconds(10));
        tick.async_wait([&](const asio::error_code&) { ticked = true; });
        io.run();
        EXPECT_TRUE(ticked);
    }
    EXPECT_EQ(results[0], 0);
    EXPECT_EQ(results[1], -4);
    EXPECT_EQ(results[2], 0);
    EXPECT_EQ(results[3], -3);  // the deadline ended it
    EXPECT_EQ(outs[0].GetMsgNum(), 1001);
    EXPECT_EQ(multi.Pending(), 0);
    // Without the driver the handle is polled again.
    ASSERT_GT(multi.Start(kEchoService, in.get(), &outs[0], nullptr,
                          [&](int, int r, const CVorantError&) { results[0] = r + 7; }),
              0);
    EXPECT_EQ(multi.Run(), 0);
    EXPECT_EQ(results[0], 7);
}

}  // namespace
