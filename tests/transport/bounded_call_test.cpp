// Bounds of a connection: the connect time-out, the address loop (IPv4 and
// IPv6) and the deadline over connect, send and receive.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "fd_leak_check.h"
#include "never_accepting.h"
#include "scripted_peer.h"
#include "transport/address_list.h"
#include "transport/tcp_adaptor.h"

namespace {

using Clock = std::chrono::steady_clock;
using BoundedCall = FdLeakCheck;

double SecondsSince(Clock::time_point p_Start) { return std::chrono::duration<double>(Clock::now() - p_Start).count(); }

// A bound fires no earlier than its value and within a second of it.
void ExpectFiredAt(double p_dSeconds, Clock::time_point p_Start) {
    const double dElapsed = SecondsSince(p_Start);
    EXPECT_GE(dElapsed, p_dSeconds - 0.02);
    EXPECT_LT(dElapsed, p_dSeconds + 1.0);
}

TEST_F(BoundedCall, ConnectTimeoutEndsAConnectThatIsNeverAccepted) {
    NeverAcceptingListener listener;
    ASSERT_TRUE(listener.IsFull());
    CTcpAdaptor a;
    a.SetConnectTimeoutMillis(300);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(-5, a.Connect("127.0.0.1", listener.Port()));
    ExpectFiredAt(0.3, start);
    EXPECT_STREQ("Failed in connect()(-5)((connect to=0.3))", a.GetLastError());
    EXPECT_FALSE(a.IsConnected());
    EXPECT_STREQ("", a.GetConnectedAddress());
}

TEST_F(BoundedCall, IPv6LiteralsWithAndWithoutBrackets) {
    for (const char* szHost : {"::1", "[::1]"}) {
        ScriptedPeer peer([](PeerConnection& c) { c.WaitForClientClose(); }, "::1");
        CTcpAdaptor a;
        ASSERT_GE(a.Connect(szHost, peer.Port()), 0) << szHost << ": " << a.GetLastError();
        EXPECT_STREQ(szHost, a.GetHost());
        EXPECT_STREQ("::1", a.GetConnectedAddress());
    }
}

// Each address gets its turn, in order, and a share of the connect
// time-out: one that never answers does not leave the next without time.
TEST_F(BoundedCall, AddressesAreTriedInOrderUntilOneConnects) {
    NeverAcceptingListener never;
    ASSERT_TRUE(never.IsFull());
    ScriptedPeer live4([](PeerConnection& c) { c.WaitForClientClose(); });
    ScriptedPeer live6([](PeerConnection& c) { c.WaitForClientClose(); }, "::1");
    struct Case {
        const char* m_szFirst;
        int m_iFirstPort;
        const char* m_szSecond;
        int m_iSecondPort;
        int m_iResult;  // 0: connected to the second
        double m_dMinSeconds, m_dMaxSeconds;
        const char* m_szText;
    };
    const Case cases[] = {
        {"::1", UnusedPort("::1"), "127.0.0.1", live4.Port(), 0, 0, 0.5, "Failed in connect()(-5)((connect))"},
        {"127.0.0.1", never.Port(), "::1", live6.Port(), 0, 0.28, 0.5, "Failed in connect()(-5)((connect to=0.6))"},
        {"127.0.0.1", UnusedPort(), "::1", UnusedPort("::1"), -5, 0, 0.5, "Failed in connect()(-5)((connect))"},
        {"::1", UnusedPort("::1"), "127.0.0.1", never.Port(), -5, 0.58, 1.6,
         "Failed in connect()(-5)((connect to=0.6))"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.m_szFirst) + " then " + c.m_szSecond);
        CAddressList addresses;
        ASSERT_EQ(0, addresses.Append(c.m_szFirst, c.m_iFirstPort));
        ASSERT_EQ(0, addresses.Append(c.m_szSecond, c.m_iSecondPort));
        ASSERT_EQ(2u, addresses.Size());
        CTcpAdaptor a;
        a.SetConnectTimeoutMillis(600);
        const Clock::time_point start = Clock::now();
        const int iResult = a.ConnectTo(addresses, "name", 7);
        const double dElapsed = SecondsSince(start);
        EXPECT_GE(dElapsed, c.m_dMinSeconds);
        EXPECT_LT(dElapsed, c.m_dMaxSeconds);
        if (c.m_iResult == 0) {
            ASSERT_GE(iResult, 0) << a.GetLastError();
            EXPECT_STREQ(c.m_szSecond, a.GetConnectedAddress());
            EXPECT_STREQ("name", a.GetHost());
            EXPECT_EQ(7, a.GetPort());
            EXPECT_STREQ(c.m_szText, a.GetLastError());  // what the first one left
        } else {
            EXPECT_EQ(c.m_iResult, iResult);
            EXPECT_STREQ(c.m_szText, a.GetLastError());
            EXPECT_FALSE(a.IsConnected());
        }
    }
}

TEST_F(BoundedCall, DeadlineEndsADribblingAnswerThatNoWaitAloneWould) {
    ScriptedPeer peer([](PeerConnection& c) {
        for (int i = 0; i < 40 && c.Send("x"); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    CTcpAdaptor a;
    ASSERT_GE(a.Connect("127.0.0.1", peer.Port()), 0);
    char buf[40];
    const Clock::time_point start = Clock::now();
    a.StartDeadline(400);
    EXPECT_EQ(-8, a.ReceiveData(buf, sizeof buf, 1));
    ExpectFiredAt(0.4, start);
    EXPECT_STREQ("Socket timeout(-8)((recv deadline=0.4))", a.GetLastError());
    EXPECT_TRUE(a.DeadlinePassed());
    // Once passed, every later wait fails at once.
    EXPECT_EQ(-8, a.ReceiveData(buf, 1, 1));
    EXPECT_LT(SecondsSince(start), 1.0);
}

// The deadline reports itself in every step, also once a packet's header is
// in (where a per-wait time-out is a corrupted packet).
TEST_F(BoundedCall, DeadlineInEveryStep) {
    const std::string strHeaderOnly = "QRB-XMP-V1.0000000013000010001000000000020240101-000000" + std::string(73, ' ');
    {
        ScriptedPeer silent([](PeerConnection& c) { c.WaitForClientClose(); });
        CTcpAdaptor a;
        ASSERT_GE(a.Connect("127.0.0.1", silent.Port()), 0);
        CPacketInfo info;
        const Clock::time_point start = Clock::now();
        a.StartDeadline(300);
        EXPECT_EQ(-8, a.ReceiveFrom(&info, 5));
        ExpectFiredAt(0.3, start);
        EXPECT_STREQ("Socket timeout(-8)((recv deadline=0.3))", a.GetLastError());
    }
    {
        ScriptedPeer headerOnly([&strHeaderOnly](PeerConnection& c) {
            c.Send(strHeaderOnly);
            c.WaitForClientClose();
        });
        CTcpAdaptor a;
        ASSERT_GE(a.Connect("127.0.0.1", headerOnly.Port()), 0);
        a.StartDeadline(300);
        CPacketInfo info;
        EXPECT_EQ(-8, a.ReceiveFrom(&info, 5));
        EXPECT_STREQ("Socket timeout(-8)((recv deadline=0.3))", a.GetLastError());
    }
    {
        std::atomic<bool> bDone{false};
        ScriptedPeer notReading([&bDone](PeerConnection&) {
            for (int i = 0; i < 300 && !bDone; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        CTcpAdaptor a;
        ASSERT_GE(a.Connect("127.0.0.1", notReading.Port()), 0);
        const std::string strBig(48 * 1024 * 1024, 'b');
        const Clock::time_point start = Clock::now();
        a.StartDeadline(300);
        EXPECT_EQ(-8, a.SendData(strBig.data(), static_cast<int>(strBig.size()), 5));
        ExpectFiredAt(0.3, start);
        EXPECT_STREQ("Socket timeout(-8)((send deadline=0.3))", a.GetLastError());
        bDone = true;
    }
    {
        NeverAcceptingListener never;
        ASSERT_TRUE(never.IsFull());
        CTcpAdaptor a;
        a.SetConnectTimeoutMillis(5000);
        const Clock::time_point start = Clock::now();
        a.StartDeadline(300);
        EXPECT_EQ(-5, a.Connect("127.0.0.1", never.Port()));
        ExpectFiredAt(0.3, start);
        EXPECT_STREQ("Failed in connect()(-5)((connect deadline=0.3))", a.GetLastError());
    }
}

TEST(SecondsText, WholeSecondsStayIntegers) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0"}, {1, "0.001"}, {250, "0.25"}, {1500, "1.5"}, {10000, "10"}, {90000, "90"}, {2147483647, "2147483.647"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(c.second, SecondsText(c.first)) << c.first;
    }
}

TEST(AddressList, NamesAndLiterals) {
    CAddressList list;
    EXPECT_NE(0, list.Append(nullptr, 1));
    EXPECT_NE(0, list.Append("", 1));
    EXPECT_NE(0, list.Append("nosuchhost.invalid", 1));
    EXPECT_EQ(0u, list.Size());
    ASSERT_EQ(0, list.Append("[::1]", 1));
    ASSERT_EQ(0, list.Append("127.0.0.1", 2));
    ASSERT_EQ(2u, list.Size());
    EXPECT_STREQ("::1", CAddressList::NumericText(list.At(0), list.LengthAt(0)));
    EXPECT_STREQ("127.0.0.1", CAddressList::NumericText(list.At(1), list.LengthAt(1)));
}

}  // namespace
