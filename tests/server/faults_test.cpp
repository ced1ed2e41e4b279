// Every fault the server injects reaches the adaptor as the right code and
// record text; a damaged request gets a reasoned REJECT.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "answers.h"
#include "fd_leak_check.h"
#include "server_client.h"
#include "transport/packet_decode.h"
#include "transport/packet_layout.h"
#include "vorant/msg.hpp"

namespace {

using ServerFaults = FdLeakCheck;

TEST_F(ServerFaults, EachFaultIsReportedByTheAdaptor) {
    TestServer server(
        "1 close-after 50 echo\n"
        "2 close-after 140 echo\n"
        "3 bad-checksum echo\n"
        "4 bad-protocol echo\n"
        "5 header-only echo\n"
        "6 bad-length echo\n"
        "7 bad-length 100\n"
        "8 delay 2 echo\n"
        "9 delay 1 reject 7 late\n",
        8);
    struct Case {
        int svc;
        int code;
        std::string text;  // exact, or a prefix when it ends in '*'
    } cases[] = {
        {1, -9, "Socket closed(-9)(OK)"},
        {2, -9, "Socket closed(-9)(OK)"},
        {3, -13, "Checksum is incorrect(-13)((M:*"},
        {4, -15, "Header format is incorrect(-15)(Unknown BeginString[QRB-XMP-V9.9])"},
        {5, -17, "Packet is corrupted(-17)(uncompleted packet timeout(body))"},
        {6, -17, "Packet is corrupted(-17)(packet length 9999999999 outside 128..67108864)"},
        {7, -17, "Packet is corrupted(-17)(packet length 100 outside 128..67108864)"},
        {8, -8, "Socket timeout(-8)((recv to=1))"},
        {9, 0, ""},
    };
    // All at once: the waits overlap instead of adding up.
    std::vector<std::unique_ptr<CallResult>> results(sizeof cases / sizeof cases[0]);
    std::vector<std::thread> clients;
    for (size_t i = 0; i < results.size(); ++i) {
        const int iTimeout = cases[i].svc == 9 ? 3 : 1;
        clients.emplace_back(
            [&, i, iTimeout]() { results[i] = Call(server.Port(), cases[i].svc, 1001, kShortXml, iTimeout); });
    }
    for (std::thread& t : clients) {
        t.join();
    }
    for (size_t i = 0; i < results.size(); ++i) {
        SCOPED_TRACE(cases[i].svc);
        EXPECT_EQ(cases[i].code, results[i]->m_iCode);
        const std::string& strWant = cases[i].text;
        if (!strWant.empty() && strWant.back() == '*') {
            EXPECT_EQ(0u, results[i]->m_strError.find(strWant.substr(0, strWant.size() - 1))) << results[i]->m_strError;
        } else {
            EXPECT_EQ(strWant, results[i]->m_strError);
        }
    }
    int iCode = 0, iSvc = 0;
    std::string strReason;
    ASSERT_TRUE(ReadReject(results[8]->Body(), &iCode, &strReason, &iSvc));
    EXPECT_EQ(7, iCode);
    EXPECT_EQ("late", strReason);
}

TEST_F(ServerFaults, DamagedRequestGetsARejectNamingTheDamage) {
    TestServer server("100 echo\n");
    CTcpAdaptor a;
    ASSERT_GE(a.Connect("127.0.0.1", server.Port()), 0);
    std::string strPacket = RequestPacket(100, 1001, kShortXml);
    const int iSumAt = static_cast<int>(strPacket.size()) - vorant::packet::CHECKSUM_SIZE;
    const int iSum = CheckSum(strPacket.data(), iSumAt);
    strPacket.replace(static_cast<size_t>(iSumAt), 3, iSum == 0 ? "001" : "000");
    ASSERT_EQ(0, a.SendData(strPacket.data(), static_cast<int>(strPacket.size()), 2));
    CPacketInfo answer;
    ASSERT_EQ(0, a.ReceiveFrom(&answer, 2)) << a.GetLastError();
    int iCode = 0, iSvc = 0;
    std::string strReason;
    ASSERT_TRUE(ReadReject(std::string(answer.m_Body.GetData(), answer.m_Body.GetSize()), &iCode, &strReason, &iSvc));
    EXPECT_EQ(9002, iCode);
    EXPECT_EQ(
        "Checksum is incorrect(-13)((M:" + std::to_string(iSum) + ",C:" + std::to_string(iSum == 0 ? 1 : 0) + "))",
        strReason);
    EXPECT_EQ(100, iSvc);
}

TEST_F(ServerFaults, StopEndsConnectionsThatAreStillWaiting) {
    {
        TestServer server("5 header-only echo\n8 delay 60 echo\n");
        const int iPort = server.Port();
        std::unique_ptr<CallResult> silent, delayed;
        std::thread t1([&]() { silent = Call(iPort, 5, 1001, kShortXml, 30); });
        std::thread t2([&]() { delayed = Call(iPort, 8, 1001, kShortXml, 30); });
        // Let both requests arrive, then stop long before their waits end.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        server.Stop();
        t1.join();
        t2.join();
        EXPECT_EQ(-9, silent->m_iCode) << silent->m_strError;
        EXPECT_EQ(-9, delayed->m_iCode) << delayed->m_strError;
    }
}

}  // namespace

// A request whose body inflates past what is inflated at once is read as it
// inflates: its echo, and every way it can be broken, are answered as a
// whole-body read answers them.
TEST_F(ServerFaults, LargeCompressedRequestsAreAnsweredAsWholeOnesAre) {
    TestServer server("100 echo\n");
    const std::string strText(300 * 1024, 'q');  // spans many of the reader's buffers
    const std::string strXml =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"1001\" ver=\"\"><t1><![CDATA[" + strText +
        "]]></t1><t2>42</t2></msg>";
    auto packetOf = [](const std::string& p_strBody) { return RequestPacket(100, 1001, p_strBody, true); };
    auto send = [&server](const std::string& p_strPacket, std::string* p_pBody) {
        CTcpAdaptor a;
        if (a.Connect("127.0.0.1", server.Port()) < 0 ||
            a.SendData(p_strPacket.data(), static_cast<int>(p_strPacket.size()), 2) != 0)
            return false;
        CPacketInfo answer;
        if (a.ReceiveFrom(&answer, 5) != 0)
            return false;
        p_pBody->assign(answer.m_Body.GetData(), static_cast<size_t>(answer.m_Body.GetSize()));
        return true;
    };
    // What a whole-body read records for the same packet.
    auto wholeRecord = [](const std::string& p_strPacket) {
        CPacketInfo info;
        vorant::packet::Frame frame;
        std::string strDetails;
        EXPECT_EQ(0, vorant::packet::DecodeHeader(p_strPacket.data(), 1 << 30, &info, &frame, &strDetails));
        const char* pWire = p_strPacket.data() + vorant::packet::HEADER_SIZE;
        const int iCode =
            vorant::packet::DecodeBody(p_strPacket.data(), pWire, pWire + frame.m_iWireBody, frame, &info, &strDetails);
        return vorant::packet::ErrorRecord(iCode, strDetails);
    };

    const std::string strPacket = packetOf(strXml);
    std::string strBody;
    ASSERT_TRUE(send(strPacket, &strBody));
    EXPECT_EQ(strXml, strBody);

    // The last element's end tag broken: the parser's reason, as for a
    // body parsed whole.
    std::string strBroken = strXml;
    strBroken.replace(strBroken.size() - 10, 4, "</t3");
    ASSERT_TRUE(send(packetOf(strBroken), &strBody));
    int iCode = 0, iSvc = 0;
    std::string strReason;
    ASSERT_TRUE(ReadReject(strBody, &iCode, &strReason, &iSvc));
    EXPECT_EQ(9003, iCode);
    CMsgDic dic;
    dic.InitDictionary(TestData("msg_dic.xml").c_str());
    vorant_server::CAnswer unused;
    std::string strWholeError;
    EXPECT_FALSE(vorant_server::NormaliseMessage(&dic, strBroken.c_str(), &unused, &strWholeError));
    EXPECT_EQ("request does not parse: " + strWholeError, strReason);

    // A damaged deflate stream (sum resealed) and a wrong sum.
    std::string strDamaged = strPacket;
    strDamaged[vorant::packet::HEADER_SIZE + 40] ^= 0x55;
    const size_t nSum = strDamaged.size() - vorant::packet::CHECKSUM_SIZE;
    char szSum[8];
    snprintf(szSum, sizeof szSum, "%03d", CheckSum(strDamaged.data(), static_cast<int>(nSum)) % 256);
    strDamaged.replace(nSum, vorant::packet::CHECKSUM_SIZE, szSum);
    std::string strWrongSum = strPacket;
    strWrongSum[nSum + 2] = strWrongSum[nSum + 2] == '0' ? '1' : '0';
    for (const std::string& packet : {strDamaged, strWrongSum}) {
        ASSERT_TRUE(send(packet, &strBody));
        ASSERT_TRUE(ReadReject(strBody, &iCode, &strReason, &iSvc));
        EXPECT_EQ(9002, iCode);
        EXPECT_EQ(wholeRecord(packet), strReason);
    }

    server.Stop();
    const std::vector<std::string> lines = server.LogLines();
    ASSERT_EQ(4u, lines.size());
    int iWhole = 0;
    for (const std::string& line : lines)
        iWhole += line.find(" in=" + std::to_string(strXml.size()) + "/Y ") != std::string::npos;
    EXPECT_EQ(3, iWhole);  // the echo, the broken text and the wrong sum
}
