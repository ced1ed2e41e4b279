// The socket layer against a scripted peer on 127.0.0.1: error codes and
// record texts, time-outs, and no descriptor left behind.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <thread>

#include "fd_leak_check.h"
#include "scripted_peer.h"
#include "transport/adaptor_errors.h"
#include "transport/tcp_adaptor.h"

namespace {

using SocketLayer = FdLeakCheck;

TEST_F(SocketLayer, ErrorRecordKeepsOnlyTheLastErrorAndFallsBackToSlotZero) {
    CTcpAdaptor a;
    EXPECT_STREQ("", a.GetLastError());
    EXPECT_EQ(0, a.GetLastErrorCode());

    a.SetError(-99, "x");
    EXPECT_STREQ("Unknown error(-99)(x)", a.GetLastError());
    a.SetError(-18, "reserved slot");
    EXPECT_STREQ("Unknown error(-18)(reserved slot)", a.GetLastError());
    a.SetError(INT_MIN, "min");
    EXPECT_STREQ("Unknown error(-2147483648)(min)", a.GetLastError());
    a.SetError(-17, "%s(%d)", "detail", 7);
    EXPECT_STREQ("Packet is corrupted(-17)(detail(7))", a.GetLastError());
    EXPECT_EQ(-17, a.GetLastErrorCode());

    // Details longer than the first 1024-byte buffer are kept whole.
    const std::string strLong(3000, 'd');
    a.SetError(-7, "%s", strLong.c_str());
    EXPECT_EQ("Failed in recv()(-7)(" + strLong + ")", std::string(a.GetLastError()));
    a.SetError(-1, nullptr);
    EXPECT_STREQ("Memory error(-1)()", a.GetLastError());
}

TEST_F(SocketLayer, EveryOperationOnAnUnconnectedAdaptorFailsWithMinus12) {
    CTcpAdaptor a;
    char buf[4];
    EXPECT_EQ(-12, a.SendData("abc", 3, 1));
    EXPECT_STREQ("Socket not connected(-12)((SendData))", a.GetLastError());
    EXPECT_EQ(-12, a.ReceiveData(buf, 3, 1));
    EXPECT_STREQ("Socket not connected(-12)((ReceiveData))", a.GetLastError());
    CPacketInfo info;
    EXPECT_EQ(-12, a.SendTo(&info, 1));
    EXPECT_EQ(-12, a.ReceiveFrom(&info, 1));
    EXPECT_EQ(-2, a.SendTo(nullptr, 1));
    EXPECT_STREQ("Parameter is NULL(-2)((SendTo))", a.GetLastError());
    EXPECT_EQ(-2, a.ReceiveFrom(nullptr, 1));
    EXPECT_STREQ("Parameter is NULL(-2)(p_pInfo)", a.GetLastError());
}

TEST_F(SocketLayer, ConnectFailuresCloseTheirSocket) {
    CTcpAdaptor a;
    EXPECT_EQ(-5, a.Connect("127.0.0.1", UnusedPort()));
    EXPECT_STREQ("Failed in connect()(-5)((connect))", a.GetLastError());
    EXPECT_FALSE(a.IsConnected());

    EXPECT_EQ(-4, a.Connect("nosuchhost.invalid", 80));
    EXPECT_STREQ("Failed in gethostbyname()(-4)((hostname=nosuchhost.invalid))", a.GetLastError());
    EXPECT_EQ(-4, a.Connect(nullptr, 80));
    EXPECT_STREQ("Failed in gethostbyname()(-4)((hostname=))", a.GetLastError());

    // 70000 would otherwise be cut to port 4464.
    EXPECT_EQ(-5, a.Connect("127.0.0.1", 70000));
    EXPECT_STREQ("Failed in connect()(-5)((port=70000))", a.GetLastError());
    EXPECT_FALSE(a.IsConnected());
}

TEST_F(SocketLayer, ArgumentsAreCheckedWithoutTouchingTheSocket) {
    ScriptedPeer peer([](PeerConnection& c) { c.WaitForClientClose(); });
    CTcpAdaptor a;
    ASSERT_GE(a.Connect("localhost", peer.Port()), 0) << a.GetLastError();
    EXPECT_STREQ("localhost", a.GetHost());
    EXPECT_EQ(peer.Port(), a.GetPort());

    EXPECT_EQ(-2, a.SendData(nullptr, 5, 1));
    EXPECT_STREQ("Parameter is NULL(-2)(p_pData)", a.GetLastError());
    EXPECT_EQ(0, a.SendData("x", 0, 1));
    char buf[8];
    EXPECT_EQ(0, a.ReceiveData(buf, 0, 1));
    EXPECT_EQ(-3, a.ReceiveData(buf, -3, 1));
    EXPECT_EQ(-2, a.ReceiveData(nullptr, 5, 1));
    EXPECT_STREQ("Parameter is NULL(-2)(p_pBuffer)", a.GetLastError());
}

TEST_F(SocketLayer, SilentPeerTimesOutAndNegativeTimeoutTakesTheDefault) {
    ScriptedPeer peer([](PeerConnection& c) { c.WaitForClientClose(); });
    CTcpAdaptor a;
    ASSERT_GE(a.Connect("127.0.0.1", peer.Port()), 0);
    char buf[10];
    EXPECT_EQ(-8, a.ReceiveData(buf, sizeof buf, 1));
    EXPECT_STREQ("Socket timeout(-8)((recv to=1))", a.GetLastError());

    EXPECT_EQ(60, a.GetRecvTimeout());
    EXPECT_EQ(90, a.GetSendTimeout());
    a.SetDefaultTimeouts(1, 0);
    EXPECT_EQ(-8, a.ReceiveData(buf, sizeof buf, -1));
    EXPECT_STREQ("Socket timeout(-8)((recv to=0))", a.GetLastError());
}

TEST_F(SocketLayer, PeerClosingOrResettingMidReadIsSocketClosed) {
    {
        ScriptedPeer peer([](PeerConnection& c) { c.Send("12345"); });
        CTcpAdaptor a;
        ASSERT_GE(a.Connect("127.0.0.1", peer.Port()), 0);
        char buf[10];
        EXPECT_EQ(-9, a.ReceiveData(buf, sizeof buf, 2));
        EXPECT_STREQ("Socket closed(-9)(OK)", a.GetLastError());
    }
    {
        ScriptedPeer peer([](PeerConnection& c) {
            c.Read(1);
            c.Reset();
        });
        CTcpAdaptor a;
        ASSERT_GE(a.Connect("127.0.0.1", peer.Port()), 0);
        ASSERT_EQ(0, a.SendData("x", 1, 1));
        char buf[10];
        EXPECT_EQ(-9, a.ReceiveData(buf, sizeof buf, 2));
        EXPECT_STREQ("Socket closed(-9)((Connection reset by peer))", a.GetLastError());
    }
}

TEST_F(SocketLayer, SendingToAClosedPeerIsAnErrorNotASignal) {
    ScriptedPeer peer([](PeerConnection& c) { c.Reset(); });
    CTcpAdaptor a;
    ASSERT_GE(a.Connect("127.0.0.1", peer.Port()), 0);
    peer.Join();
    const std::string strChunk(65536, 'z');
    int iResult = 0;
    for (int i = 0; i < 100 && iResult == 0; ++i) {
        iResult = a.SendData(strChunk.data(), static_cast<int>(strChunk.size()), 1);
    }
    EXPECT_EQ(-6, iResult);
    EXPECT_EQ(0, std::strncmp(a.GetLastError(), "Failed in send()(-6)((send errno=", 33)) << a.GetLastError();
}

TEST_F(SocketLayer, PeerThatStopsReadingMakesSendTimeOut) {
    std::atomic<bool> bDone{false};
    ScriptedPeer peer([&bDone](PeerConnection&) {
        for (int i = 0; i < 500 && !bDone; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    CTcpAdaptor a;
    ASSERT_GE(a.Connect("127.0.0.1", peer.Port()), 0);
    // More than loopback's socket buffers can hold.
    const std::string strBig(48 * 1024 * 1024, 'b');
    EXPECT_EQ(-8, a.SendData(strBig.data(), static_cast<int>(strBig.size()), 1));
    EXPECT_STREQ("Socket timeout(-8)((send to=1))", a.GetLastError());
    bDone = true;
}

TEST_F(SocketLayer, TheTimeoutBoundsEachWaitNotTheWholeTransfer) {
    // Four bytes a third of a second apart: 1.2 s in all, each wait < 1 s.
    ScriptedPeer peer([](PeerConnection& c) {
        for (char ch : std::string("wxyz")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            c.Send(std::string(1, ch));
        }
        c.WaitForClientClose();
    });
    CTcpAdaptor a;
    ASSERT_GE(a.Connect("127.0.0.1", peer.Port()), 0);
    char buf[5] = {0};
    EXPECT_EQ(4, a.ReceiveData(buf, 4, 1)) << a.GetLastError();
    EXPECT_STREQ("wxyz", buf);
}

void IgnoreSignal(int) {}

TEST_F(SocketLayer, SignalsDuringAWaitDoNotEndIt) {
    struct sigaction act;
    std::memset(&act, 0, sizeof act);
    act.sa_handler = IgnoreSignal;  // no SA_RESTART: poll returns EINTR
    struct sigaction old;
    sigaction(SIGUSR1, &act, &old);

    ScriptedPeer peer([](PeerConnection& c) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        c.Send("ok");
        c.WaitForClientClose();
    });
    CTcpAdaptor a;
    ASSERT_GE(a.Connect("127.0.0.1", peer.Port()), 0);
    std::atomic<bool> bDone{false};
    const pthread_t self = pthread_self();
    std::thread pest([&]() {
        while (!bDone) {
            pthread_kill(self, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    char buf[3] = {0};
    const int iResult = a.ReceiveData(buf, 2, 2);
    bDone = true;
    pest.join();
    sigaction(SIGUSR1, &old, nullptr);
    EXPECT_EQ(2, iResult) << a.GetLastError();
    EXPECT_STREQ("ok", buf);
}

TEST(TransportErrorTable, CodesMapToTheirTexts) {
    EXPECT_STREQ("Unknown error", AdaptorErrorText(0));
    EXPECT_STREQ("Failed in gethostbyname()", AdaptorErrorText(-4));
    EXPECT_STREQ("Failed in select()", AdaptorErrorText(-10));
    EXPECT_STREQ("Invalid trailer data", AdaptorErrorText(-14));
    EXPECT_STREQ("Packet is corrupted", AdaptorErrorText(-17));
    EXPECT_STREQ("Unknown error", AdaptorErrorText(-49));
    EXPECT_STREQ("Unknown error", AdaptorErrorText(-50));
    EXPECT_STREQ("Unknown error", AdaptorErrorText(INT_MIN));
}

}  // namespace
