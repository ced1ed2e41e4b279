// Packets decoded from bytes in memory get the codes and record texts the
// adaptor gives when it reads the same bytes from a socket.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transport/packet_decode.h"
#include "transport/packet_info.h"
#include "wire.h"

namespace {

struct Decoded {
    int code = 0;
    std::string record;
    std::string body;
};

Decoded Decode(const std::string& p_strPacket, int p_iMaxPacket = 64 * 1024 * 1024) {
    Decoded d;
    CPacketInfo info;
    vorant::packet::Frame frame;
    std::string strDetails;
    d.code = vorant::packet::DecodeHeader(p_strPacket.data(), p_iMaxPacket, &info, &frame, &strDetails);
    if (d.code == 0) {
        EXPECT_EQ(p_strPacket.size(), 128u + static_cast<size_t>(frame.m_iWireBody) + 3u);
        const char* p = p_strPacket.data();
        d.code = vorant::packet::DecodeBody(p, p + 128, p + 128 + frame.m_iWireBody, frame, &info, &strDetails);
        d.body.assign(info.m_Body.GetData() ? info.m_Body.GetData() : "", static_cast<size_t>(info.m_Body.GetSize()));
    }
    d.record = d.code == 0 ? "" : vorant::packet::ErrorRecord(d.code, strDetails);
    return d;
}

TEST(PacketDecode, WholePacketsDecodeAndDamageReadsAsTheAdaptorReportsIt) {
    const std::string strPlain(3000, 'x');
    WireHeader z;
    z.compressed = 'Y';
    EXPECT_EQ("<body>", Decode(Packet(WireHeader(), "<body>")).body);
    EXPECT_EQ(strPlain, Decode(Packet(z, strPlain)).body);

    const std::string strGood = Packet(WireHeader(), "<body>");
    const int iSum = ByteSum(strGood.substr(0, strGood.size() - 3));
    auto Corrupted = [](const std::string& d) { return "Packet is corrupted(-17)(" + d + ")"; };
    struct Case {
        const char* name;
        std::string bytes;
        std::string record;
        int maxPacket;
    };
    std::vector<Case> cases;
    std::string s = strGood;
    s.replace(0, 12, "ABCDEFGHIJKL");
    cases.push_back({"protocol name", s, "Header format is incorrect(-15)(Unknown BeginString[ABCDEFGHIJKL])", 0});
    s = strGood;
    s[130] ^= 1;
    cases.push_back({"body byte", s,
                     "Checksum is incorrect(-13)((M:" + std::to_string(ByteSum(s.substr(0, 134))) +
                         ",C:" + std::to_string(iSum) + "))",
                     0});
    s = strGood.substr(0, strGood.size() - 3) + "1x\x01";
    cases.push_back(
        {"checksum not digits", s, "Checksum is incorrect(-13)((M:" + std::to_string(iSum) + ",C:[1x?]))", 0});
    WireHeader h;
    h.packetLength = "0000000127";
    cases.push_back({"length below header", Header(h, "", 0), Corrupted("packet length 127 outside 128..67108864"), 0});
    h.packetLength = "0000000200";
    cases.push_back(
        {"length beyond a set bound", Header(h, "", 0), Corrupted("packet length 200 outside 128..199"), 199});
    h.packetLength = "00000abcde";
    cases.push_back(
        {"length not a number", Header(h, "", 0), Corrupted("packet length[00000abcde] is not a number"), 0});
    h.packetLength = "0000000328";
    h.compressed = 'Y';
    h.bodyLength = "-000000001";
    cases.push_back(
        {"negative uncompressed length", Header(h, "", 0), Corrupted("uncompressed length -1 outside 0..67108864"), 0});
    h.bodyLength = "12 4      ";
    cases.push_back({"uncompressed length not a number", Header(h, "", 0),
                     Corrupted("uncompressed length[12 4      ] is not a number"), 0});
    z.bodyLength = Digits(100, 10);
    cases.push_back(
        {"inflates to more", Packet(z, std::string(200, 'y')), "Compression failed(-16)(ReceiveFrom(-5)(100))", 0});
    WireHeader g;
    g.compressed = 'Y';
    const std::string strGarbage = "this is not zlib data";
    s = Header(g, strGarbage, 50);
    s += strGarbage + Digits((ByteSum(s) + ByteSum(strGarbage)) % 256, 3);
    cases.push_back({"not zlib at all", s, "Compression failed(-16)(ReceiveFrom(-3)(0))", 0});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.record, Decode(c.bytes, c.maxPacket > 0 ? c.maxPacket : 64 * 1024 * 1024).record);
    }
}

}  // namespace
