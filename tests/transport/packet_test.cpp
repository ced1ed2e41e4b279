// Packets on the wire: the header byte for byte, compression, and every
// way a broken or hostile answer fails, with its record text.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "fd_leak_check.h"
#include "scripted_peer.h"
#include "transport/packet_decode.h"
#include "transport/packet_info.h"
#include "transport/packet_layout.h"
#include "transport/tcp_adaptor.h"
#include "wire.h"

namespace {

std::string BodyOf(CPacketInfo& p_Info) {
    return std::string(p_Info.m_Body.GetData() ? p_Info.m_Body.GetData() : "",
                       static_cast<size_t>(p_Info.m_Body.GetSize()));
}

void SetBody(CPacketInfo* p_pInfo, const std::string& p_strBody) {
    p_pInfo->m_Body.Clear();
    p_pInfo->m_Body.AppendData(p_strBody.data(), static_cast<int>(p_strBody.size()));
}

// Any body of p_nSize bytes that is not all one byte.
std::string SampleBody(size_t p_nSize) {
    std::string s;
    for (size_t i = 0; s.size() < p_nSize; ++i) {
        s += "<t" + std::to_string(i % 97) + ">v" + std::to_string(i) + "</t>";
    }
    s.resize(p_nSize);
    return s;
}

// Sends p_Info to a peer that only records what arrives; returns the bytes.
std::string SendAndCapture(CPacketInfo* p_pInfo, int* p_pResult, std::string* p_pError) {
    std::string strGot;
    ScriptedPeer peer([&strGot](PeerConnection& c) { strGot = c.ReadPacket(); });
    CTcpAdaptor a;
    EXPECT_GE(a.Connect("127.0.0.1", peer.Port()), 0);
    *p_pResult = a.SendTo(p_pInfo, 2);
    *p_pError = a.GetLastError();
    a.Close();
    peer.Join();
    return strGot;
}

// Receives whatever p_strBytes is, after which the peer does p_iThen.
enum Then { CLOSE, STAY_SILENT };
int ReceiveAnswer(const std::string& p_strBytes, Then p_Then, CPacketInfo* p_pInfo, std::string* p_pError,
                  int p_iMaxPacket = 0) {
    ScriptedPeer peer([&](PeerConnection& c) {
        c.Send(p_strBytes);
        if (p_Then == STAY_SILENT) {
            c.WaitForClientClose();
        }
    });
    CTcpAdaptor a;
    EXPECT_GE(a.Connect("127.0.0.1", peer.Port()), 0);
    if (p_iMaxPacket > 0) {
        a.SetMaxPacketLength(p_iMaxPacket);
    }
    const int iResult = a.ReceiveFrom(p_pInfo, 1);
    *p_pError = a.GetLastError();
    return iResult;
}

// The same bytes decoded in memory: the record text, or the body when whole.
std::string Decode(const std::string& p_strPacket, int p_iMaxPacket = 0) {
    CPacketInfo info;
    vorant::packet::Frame frame;
    std::string strDetails;
    const int iMax = p_iMaxPacket > 0 ? p_iMaxPacket : 64 * 1024 * 1024;
    int iCode = vorant::packet::DecodeHeader(p_strPacket.data(), iMax, &info, &frame, &strDetails);
    if (iCode == 0) {
        EXPECT_EQ(p_strPacket.size(), 128u + static_cast<size_t>(frame.m_iWireBody) + 3u);
        const char* p = p_strPacket.data();
        iCode = vorant::packet::DecodeBody(p, p + 128, p + 128 + frame.m_iWireBody, frame, &info, &strDetails);
    }
    return iCode == 0 ? BodyOf(info) : vorant::packet::ErrorRecord(iCode, strDetails);
}

using Packets = FdLeakCheck;

TEST_F(Packets, UncompressedRequestIsWrittenFieldByField) {
    CPacketInfo info;
    info.m_iSvcNum = 7;
    info.m_iMsgNum = 12;
    info.m_strUserKey = "USER01";
    const std::string strBody = SampleBody(200);
    SetBody(&info, strBody);
    int iResult;
    std::string strError;
    const std::string p = SendAndCapture(&info, &iResult, &strError);
    ASSERT_EQ(0, iResult) << strError;

    ASSERT_EQ(331u, p.size());
    EXPECT_EQ("QRB-XMP-V1.0", p.substr(0, 12));
    EXPECT_EQ("0000000328", p.substr(12, 10));
    EXPECT_EQ("0007", p.substr(22, 4));
    EXPECT_EQ("0012", p.substr(26, 4));
    EXPECT_EQ("0000000000", p.substr(30, 10));
    EXPECT_EQ(15, info.m_strTimeStamp.GetLength());
    EXPECT_EQ(std::string(info.m_strTimeStamp.ToStr()), p.substr(40, 15));
    EXPECT_EQ('-', p[48]);
    EXPECT_EQ(Pad("USER01", 20), p.substr(55, 20));
    EXPECT_EQ(std::string(13, ' '), p.substr(75, 13));
    EXPECT_EQ('N', p[88]);
    EXPECT_EQ("0000000200", p.substr(89, 10));
    EXPECT_EQ(std::string(29, ' '), p.substr(99, 29));
    EXPECT_EQ(strBody, p.substr(128, 200));
    EXPECT_EQ(Digits(ByteSum(p.substr(0, 328)), 3), p.substr(328, 3));
}

TEST_F(Packets, CompressedBodyCarriesBothLengthsAndDeflatesAtTheDefaultLevel) {
    CPacketInfo info;
    info.m_bCompressed = true;
    const std::string strBody = SampleBody(3000);
    SetBody(&info, strBody);
    int iResult;
    std::string strError;
    const std::string p = SendAndCapture(&info, &iResult, &strError);
    ASSERT_EQ(0, iResult) << strError;

    const std::string strWire = Deflate(strBody);
    ASSERT_EQ(128 + strWire.size() + 3, p.size());
    EXPECT_EQ(Digits(128 + static_cast<long long>(strWire.size()), 10), p.substr(12, 10));
    EXPECT_EQ('Y', p[88]);
    EXPECT_EQ("0000003000", p.substr(89, 10));
    EXPECT_EQ(strWire, p.substr(128, strWire.size()));
    EXPECT_EQ(Digits(ByteSum(p.substr(0, p.size() - 3)), 3), p.substr(p.size() - 3));
}

TEST_F(Packets, FieldsAreCutOrSignedAndAnOverflowingNumberSendsNothing) {
    CTcpAdaptor a;
    CPacketInfo info;
    info.m_iSvcNum = -1;
    info.m_iRefNum = -42;
    info.m_strUserKey = "ABCDEFGHIJKLMNOPQRSTUVWXY";  // 25 characters
    info.m_strReserved3 = "r3";
    CStream packet;
    ASSERT_EQ(0, a.BuildPacket(&info, &packet));
    const std::string p(packet.GetData(), static_cast<size_t>(packet.GetSize()));
    EXPECT_EQ("-001", p.substr(22, 4));
    EXPECT_EQ("-000000042", p.substr(30, 10));
    EXPECT_EQ("ABCDEFGHIJKLMNOPQRST", p.substr(55, 20));
    EXPECT_EQ(Pad("r3", 21), p.substr(107, 21));
    EXPECT_EQ(131u, p.size());

    info.m_iSvcNum = 12345;
    int iResult;
    std::string strError;
    const std::string strGot = SendAndCapture(&info, &iResult, &strError);
    EXPECT_EQ(-15, iResult);
    EXPECT_EQ("", strGot);
    // The fifth digit spills into the message number, which then overwrites it.
    const std::string strHeader = "QRB-XMP-V1.0000000012812340000-000000042" +
                                  std::string(info.m_strTimeStamp.ToStr()) + "ABCDEFGHIJKLMNOPQRST" +
                                  std::string(13, ' ') + "N0000000000" + std::string(8, ' ') + Pad("r3", 21);
    EXPECT_EQ("Header format is incorrect(-15)((SendTo) size mismatch(128, 129)[" + strHeader + "])", strError);
}

TEST_F(Packets, LargeBodiesTravelWholeBothWays) {
    for (bool bCompressed : {false, true}) {
        CPacketInfo out;
        out.m_bCompressed = bCompressed;
        out.m_iSvcNum = 9;
        const std::string strBody = SampleBody(5 * 1024 * 1024);
        SetBody(&out, strBody);
        // The peer sends the very packet back.
        ScriptedPeer peer([](PeerConnection& c) { c.Send(c.ReadPacket()); });
        CTcpAdaptor a;
        ASSERT_GE(a.Connect("127.0.0.1", peer.Port()), 0);
        ASSERT_EQ(0, a.SendTo(&out, 2)) << a.GetLastError();
        CPacketInfo in;
        ASSERT_EQ(0, a.ReceiveFrom(&in, 2)) << a.GetLastError();
        EXPECT_EQ(bCompressed, in.m_bCompressed);
        EXPECT_EQ(9, in.m_iSvcNum);
        EXPECT_TRUE(BodyOf(in) == strBody);
        EXPECT_EQ('\0', in.m_Body.GetData()[in.m_Body.GetSize()]);
    }
}

TEST_F(Packets, AnswerFieldsAreReadAsTheyStandExceptTheTrimmedUserKey) {
    WireHeader h;
    h.svc = "1234";
    h.msg = "  10";
    h.ref = "-000000005";
    h.userKey = "  KEY-1 \t";
    h.reserved1 = " r1 ";
    CPacketInfo info;
    std::string strError;
    ASSERT_EQ(0, ReceiveAnswer(Packet(h, "<msg/>"), CLOSE, &info, &strError)) << strError;
    EXPECT_EQ("<msg/>", Decode(Packet(h, "<msg/>")));
    EXPECT_EQ(1234, info.m_iSvcNum);
    EXPECT_EQ(10, info.m_iMsgNum);
    EXPECT_EQ(-5, info.m_iRefNum);
    EXPECT_STREQ("20240131-235959", info.m_strTimeStamp);
    EXPECT_STREQ("KEY-1", info.m_strUserKey);
    EXPECT_STREQ(Pad(" r1 ", 13).c_str(), info.m_strReserved1);
    EXPECT_STREQ(Pad("r3", 21).c_str(), info.m_strReserved3);
    EXPECT_FALSE(info.m_bCompressed);
    EXPECT_EQ("<msg/>", BodyOf(info));

    // Only 'Y' means compressed: zlib bytes under 'y' arrive as they are.
    h.compressed = 'y';
    const std::string strZ = Deflate("<msg/>");
    CPacketInfo raw;
    ASSERT_EQ(0, ReceiveAnswer(Packet(h, strZ), CLOSE, &raw, &strError)) << strError;
    EXPECT_EQ(strZ, BodyOf(raw));

    h.compressed = 'Y';
    const std::string strBody = SampleBody(5000);
    CPacketInfo inflated;
    ASSERT_EQ(0, ReceiveAnswer(Packet(h, strBody), CLOSE, &inflated, &strError)) << strError;
    EXPECT_TRUE(inflated.m_bCompressed);
    EXPECT_EQ(strBody, BodyOf(inflated));
    EXPECT_EQ(strBody, Decode(Packet(h, strBody)));

    // The uncompressed length is room, not a promise: a body that inflates
    // to less is kept whole at its own length.
    h.bodyLength = Digits(6000, 10);
    CPacketInfo roomy;
    ASSERT_EQ(0, ReceiveAnswer(Packet(h, strBody), CLOSE, &roomy, &strError)) << strError;
    EXPECT_EQ(strBody, BodyOf(roomy));
    EXPECT_EQ('\0', roomy.m_Body.GetData()[roomy.m_Body.GetSize()]);
}

struct BadAnswer {
    const char* name;
    std::string bytes;
    Then then;
    int code;
    std::string text;
    int maxPacket;
};

std::string WithBody(WireHeader h, const std::string& p_strBody) { return Packet(h, p_strBody); }

std::vector<BadAnswer> BadAnswers() {
    std::vector<BadAnswer> v;
    const std::string strGood = Packet(WireHeader(), "<body>");
    const std::string strHeader = strGood.substr(0, 128);
    const int iSum = ByteSum(strGood.substr(0, strGood.size() - 3));
    auto Corrupted = [](const std::string& d) { return "Packet is corrupted(-17)(" + d + ")"; };

    std::string s = strGood;
    s.replace(0, 12, "ABCDEFGHIJKL");
    v.push_back(
        {"protocol name", s, CLOSE, -15, "Header format is incorrect(-15)(Unknown BeginString[ABCDEFGHIJKL])", 0});

    s = strGood;
    s[130] ^= 1;
    v.push_back({"body byte", s, CLOSE, -13,
                 "Checksum is incorrect(-13)((M:" + std::to_string(ByteSum(s.substr(0, 134))) +
                     ",C:" + std::to_string(iSum) + "))",
                 0});
    s = strGood;
    s[45] = 'x';
    v.push_back({"time stamp byte", s, CLOSE, -13,
                 "Checksum is incorrect(-13)((M:" + std::to_string(ByteSum(s.substr(0, 134))) +
                     ",C:" + std::to_string(iSum) + "))",
                 0});
    s = strGood.substr(0, strGood.size() - 3) + "1x\x01";
    v.push_back({"checksum not digits", s, CLOSE, -13,
                 "Checksum is incorrect(-13)((M:" + std::to_string(iSum) + ",C:[1x?]))", 0});

    v.push_back({"closed in header", strGood.substr(0, 60), CLOSE, -9, "Socket closed(-9)(OK)", 0});
    v.push_back({"closed in body", strGood.substr(0, 131), CLOSE, -9, "Socket closed(-9)(OK)", 0});
    v.push_back({"closed in checksum", strGood.substr(0, strGood.size() - 1), CLOSE, -9, "Socket closed(-9)(OK)", 0});
    v.push_back({"silent in header", strGood.substr(0, 60), STAY_SILENT, -8, "Socket timeout(-8)((recv to=1))", 0});
    v.push_back(
        {"silent in body", strGood.substr(0, 131), STAY_SILENT, -17, Corrupted("uncompleted packet timeout(body)"), 0});
    v.push_back({"silent before checksum", strGood.substr(0, strGood.size() - 3), STAY_SILENT, -17,
                 Corrupted("uncompleted packet timeout(checksum)"), 0});
    WireHeader h;
    h.packetLength = "0000000128";
    v.push_back({"no body, no checksum", Header(h, "", 0), STAY_SILENT, -17,
                 Corrupted("uncompleted packet timeout(checksum)"), 0});

    // Lengths are refused before any body byte is read: the peer stays silent.
    h.packetLength = "0000000127";
    v.push_back({"length below header", Header(h, "", 0), STAY_SILENT, -17,
                 Corrupted("packet length 127 outside 128..67108864"), 0});
    h.packetLength = "9999999999";
    v.push_back({"length beyond bound", Header(h, "", 0), STAY_SILENT, -17,
                 Corrupted("packet length 9999999999 outside 128..67108864"), 0});
    h.packetLength = "0000000200";
    v.push_back({"length beyond a set bound", Header(h, "", 0), STAY_SILENT, -17,
                 Corrupted("packet length 200 outside 128..199"), 199});
    h.packetLength = "00000abcde";
    v.push_back({"length not a number", Header(h, "", 0), STAY_SILENT, -17,
                 Corrupted("packet length[00000abcde] is not a number"), 0});
    h.packetLength = "0000000328";
    h.compressed = 'Y';
    h.bodyLength = "9999999999";
    v.push_back({"uncompressed length beyond bound", Header(h, "", 0), STAY_SILENT, -17,
                 Corrupted("uncompressed length 9999999999 outside 0..67108864"), 0});
    h.bodyLength = "-000000001";
    v.push_back({"negative uncompressed length", Header(h, "", 0), STAY_SILENT, -17,
                 Corrupted("uncompressed length -1 outside 0..67108864"), 0});
    h.bodyLength = "12 4";
    h.bodyLength.resize(10, ' ');
    v.push_back({"uncompressed length not a number", Header(h, "", 0), STAY_SILENT, -17,
                 Corrupted("uncompressed length[12 4      ] is not a number"), 0});

    // Inflating to another length than announced.
    WireHeader z;
    z.compressed = 'Y';
    const std::string strPlain = SampleBody(200);
    z.bodyLength = Digits(100, 10);
    v.push_back(
        {"inflates to more", WithBody(z, strPlain), CLOSE, -16, "Compression failed(-16)(ReceiveFrom(-5)(100))", 0});
    WireHeader g;
    g.compressed = 'Y';
    const std::string strGarbage = "this is not zlib data";
    s = Header(g, strGarbage, 50);
    s += strGarbage + Digits((ByteSum(s) + ByteSum(strGarbage)) % 256, 3);
    v.push_back({"not zlib at all", s, CLOSE, -16, "Compression failed(-16)(ReceiveFrom(-3)(0))", 0});
    return v;
}

TEST_F(Packets, BrokenAnswersFailWithTheirCodeAndText) {
    for (const BadAnswer& bad : BadAnswers()) {
        SCOPED_TRACE(bad.name);
        const int iFds = CountOpenFds();
        CPacketInfo info;
        std::string strError;
        EXPECT_EQ(bad.code, ReceiveAnswer(bad.bytes, bad.then, &info, &strError, bad.maxPacket));
        EXPECT_EQ(bad.text, strError);
        EXPECT_EQ(iFds, CountOpenFds());
        // Bytes that are all there decode in memory to the same record.
        if (bad.code != -8 && bad.code != -9 && bad.text.find("uncompleted") == std::string::npos) {
            EXPECT_EQ(bad.text, Decode(bad.bytes, bad.maxPacket));
        }
    }
}

TEST(CompressCapacity, IsTheBodyPlusTwelvePlusOnePerMilleAndOne) {
    EXPECT_EQ(3016u, vorant::packet::CompressCapacity(3000));
    EXPECT_EQ(13u, vorant::packet::CompressCapacity(0));
    // Never below what zlib may need for incompressible input.
    for (int iSize : {1, 1000, 4096, 65536, 1 << 24}) {
        EXPECT_GE(vorant::packet::CompressCapacity(iSize), compressBound(static_cast<uLong>(iSize))) << iSize;
    }
}

TEST(CheckSum, SumsUnsignedBytesModulo256) {
    EXPECT_EQ(0, CheckSum("\xff\x01", 2));
    EXPECT_EQ(0xfe, CheckSum("\xff\xff", 2));
    EXPECT_EQ(0, CheckSum(nullptr, 5));
    EXPECT_EQ(0, CheckSum("abc", 0));
    EXPECT_EQ(0, CheckSum("abc", -1));
}

}  // namespace
