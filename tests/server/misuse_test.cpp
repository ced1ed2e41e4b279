// Clients that misbehave (idle, dribbling, resetting, half-closed, too
// many) cost the server a descriptor each, never the other clients' time;
// deadlines and the connection limit close them; a stop lets calls in
// flight finish.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "fd_leak_check.h"
#include "server_client.h"

namespace {

using ServerMisuse = FdLeakCheck;

int Open(int p_iPort) {
    const int iFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(p_iPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(0, connect(iFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr));
    return iFd;
}

// True when the server closes p_iFd within p_iMillis.
bool ClosedWithin(int p_iFd, int p_iMillis) {
    pollfd pfd = {p_iFd, POLLIN, 0};
    char c;
    return poll(&pfd, 1, p_iMillis) == 1 && recv(p_iFd, &c, 1, 0) <= 0;
}

size_t CountLines(const std::vector<std::string>& p_Lines, const std::string& p_strPart) {
    return static_cast<size_t>(std::count_if(
        p_Lines.begin(), p_Lines.end(), [&](const std::string& s) { return s.find(p_strPart) != std::string::npos; }));
}

bool WaitOpen(const TestServer& p_Server, long long p_llOpen) {
    for (int i = 0; i < 200 && p_Server.Stats().m_llOpen != p_llOpen; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return p_Server.Stats().m_llOpen == p_llOpen;
}

TEST_F(ServerMisuse, SlowAndBrokenClientsNeverHoldUpTheOthers) {
    TestServer server("100 echo\n", 2);
    const int iPort = server.Port();
    std::vector<int> idle, halfClosed;
    for (int i = 0; i < 100; ++i) {
        idle.push_back(Open(iPort));
    }
    for (int i = 0; i < 20; ++i) {
        halfClosed.push_back(Open(iPort));
        ASSERT_EQ(7, send(halfClosed.back(), "QRB-XMP", 7, MSG_NOSIGNAL));
        shutdown(halfClosed.back(), SHUT_WR);
        const int iReset = Open(iPort);
        ASSERT_EQ(12, send(iReset, "QRB-XMP-V1.0", 12, MSG_NOSIGNAL));
        linger abort = {1, 0};
        setsockopt(iReset, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        close(iReset);
    }
    std::atomic<bool> bDone{false};
    std::thread dribbler([&]() {
        std::vector<int> fds;
        for (int i = 0; i < 20; ++i) {
            fds.push_back(Open(iPort));
        }
        for (size_t n = 0; !bDone; ++n) {
            for (int iFd : fds) {
                send(iFd, &"QRB-XMP-V1.0"[n % 12], 1, MSG_NOSIGNAL);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        for (int iFd : fds) {
            close(iFd);
        }
    });
    // Each call has 2 s for itself: a server held up by the others fails it.
    std::atomic<int> ok{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t) {
        callers.emplace_back([&]() {
            for (int i = 0; i < 25; ++i) {
                auto r = Call(iPort, 100, 1001, kShortXml, 2);
                ok += r->m_iCode == 0 && r->Body() == kShortXml;
            }
        });
    }
    for (std::thread& t : callers) {
        t.join();
    }
    EXPECT_EQ(100, ok.load());
    EXPECT_GE(server.Stats().m_llPeak, 120);  // the idle and half-closed ones at least
    for (int iFd : halfClosed) {
        EXPECT_TRUE(ClosedWithin(iFd, 2000));  // answered by the server's close
        close(iFd);
    }
    bDone = true;
    dribbler.join();
    for (int iFd : idle) {
        close(iFd);
    }
    server.Stop();
    const std::vector<std::string> lines = server.LogLines();
    EXPECT_EQ(100u, CountLines(lines, "echo: sent"));
    EXPECT_EQ(20u, CountLines(lines, "request failed: Socket closed(-9)((Connection reset by peer))"));
    EXPECT_LE(20u, CountLines(lines, "request failed: Socket closed(-9)(OK)"));  // and idle ones
}

TEST_F(ServerMisuse, DribblersCloseAtTheDeadlineIdlersAtTheIdleLimit) {
    TestServer deadline("100 echo\n", 2, [](vorant_server::CServerOptions* p_pOpts) { p_pOpts->m_iTimeout = 1; });
    TestServer idle("100 echo\n", 2, [](vorant_server::CServerOptions* p_pOpts) {
        p_pOpts->m_iTimeout = 5;
        p_pOpts->m_iIdleTimeout = 1;
    });
    const int iDribbler = Open(deadline.Port());
    const int iIdle = Open(idle.Port());
    // A header, then part of the body, then nothing.
    const int iHalfBody = Open(idle.Port());
    const std::string strPacket = RequestPacket(100, 0, kShortXml);
    ASSERT_EQ(140, send(iHalfBody, strPacket.data(), 140, MSG_NOSIGNAL));
    const auto tStart = std::chrono::steady_clock::now();
    bool bClosed = false;
    for (int i = 0; i < 15 && !bClosed; ++i) {  // a byte every 200 ms: never idle
        send(iDribbler, "Q", 1, MSG_NOSIGNAL);
        bClosed = ClosedWithin(iDribbler, 200);
    }
    EXPECT_TRUE(bClosed);
    EXPECT_GE(std::chrono::steady_clock::now() - tStart, std::chrono::milliseconds(900));
    EXPECT_TRUE(ClosedWithin(iIdle, 2500));
    EXPECT_TRUE(ClosedWithin(iHalfBody, 2500));
    for (int iFd : {iDribbler, iIdle, iHalfBody}) {
        close(iFd);
    }
    EXPECT_EQ(1, deadline.Stats().m_llDeadline);
    EXPECT_EQ(2, idle.Stats().m_llDeadline);
    deadline.Stop();
    idle.Stop();
    const std::vector<std::string> lines = deadline.LogLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos,
              lines[0].find(" out=- request failed: Socket timeout(-8)((recv to=1)): closed at the deadline"))
        << lines[0];
    EXPECT_EQ(1u, CountLines(idle.LogLines(), "request failed: Socket timeout(-8)((recv to=1)): closed idle"));
    EXPECT_EQ(1u, CountLines(idle.LogLines(),
                             " svc=100 msg=0 key= in=0/N out=- request failed: Packet is "
                             "corrupted(-17)(uncompleted packet timeout(body)): closed idle"));
}

TEST_F(ServerMisuse, ConnectionsOverTheLimitAreClosedAtOnce) {
    TestServer server("100 echo\n", 2, [](vorant_server::CServerOptions* p_pOpts) { p_pOpts->m_iMaxConnections = 3; });
    std::vector<int> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(Open(server.Port()));
    }
    ASSERT_TRUE(WaitOpen(server, 3));
    const int iOver = Open(server.Port());
    EXPECT_TRUE(ClosedWithin(iOver, 1000));
    close(iOver);
    for (int iFd : held) {
        close(iFd);
    }
    ASSERT_TRUE(WaitOpen(server, 0));
    auto r = Call(server.Port(), 100, 1001, kShortXml);
    EXPECT_EQ(0, r->m_iCode) << r->m_strError;
    const vorant_server::CServerStats stats = server.Stats();
    EXPECT_EQ(1, stats.m_llRefused);
    EXPECT_EQ(3, stats.m_llPeak);
    server.Stop();
    EXPECT_EQ(1u, CountLines(server.LogLines(), " out=- refused: 3 connections open"));
}

TEST_F(ServerMisuse, StopLetsCallsInFlightFinishThenRefusesNewOnes) {
    TestServer server("8 delay 1 echo\n300 reject 501 denied\n");
    const int iPort = server.Port();
    std::unique_ptr<CallResult> delayed;
    std::thread caller([&]() { delayed = Call(iPort, 8, 1001, kShortXml, 3); });
    ASSERT_TRUE(WaitOpen(server, 1));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the request is in
    server.Stop();
    caller.join();
    ASSERT_EQ(0, delayed->m_iCode) << delayed->m_strError;
    EXPECT_EQ(kShortXml, delayed->Body());
    EXPECT_EQ(-5, Call(iPort, 8, 1001, kShortXml, 1)->m_iCode);
    const std::string strStats = vorant_server::FormatStats(server.Stats());
    EXPECT_EQ(0u, strStats.find("requests=1 open=0 peak=1 deadline=0 refused=0 failed=0 answers: "
                                "8 delay 1 echo=1, 300 reject 501 denied=0, 9001 no rule=0"))
        << strStats;
}

}  // namespace
