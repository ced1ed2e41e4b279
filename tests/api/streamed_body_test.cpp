// A compressed answer read straight from the wire into the message reports
// exactly what inflating it whole, checking it and LoadXml report, in the
// same order, and leaves the message alone when the packet is damaged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/streamed_body.h"
#include "transport/packet_info.h"
#include "transport/packet_layout.h"
#include "transport/tcp_adaptor.h"
#include "vorant/exception.hpp"
#include "vorant/msg.hpp"

namespace {

using vorant::packet::CHECKSUM_SIZE;
using vorant::packet::HEADER_SIZE;

class StreamedBodyTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_Dic.SetMsgInfo(50, CString("M"), CString(""), CString("0"));
        m_Dic.SetMsgDetail(50, 1, CString("s"), CString("string"), CString("N"));
        m_Dic.SetMsgDetail(50, 2, CString("i"), CString("integer"), CString("N"));
    }

    std::string Packet(const std::string& p_strXml) {
        CPacketInfo info;
        info.m_iSvcNum = 7;
        info.m_iMsgNum = 50;
        info.m_bCompressed = true;
        info.m_Body.AppendData(p_strXml.data(), static_cast<int>(p_strXml.size()));
        CTcpAdaptor builder;
        CStream built;
        EXPECT_EQ(builder.BuildPacket(&info, &built), 0);
        return std::string(built.GetData(), static_cast<size_t>(built.GetSize()));
    }

    // "<code> <details or parse error>|<message XML after>" of one way.
    std::string Today(const std::string& p_strPacket) { return Read(p_strPacket, false); }
    std::string Streamed(const std::string& p_strPacket) { return Read(p_strPacket, true); }

    std::string Read(const std::string& p_strPacket, bool p_bStreamed) {
        CPacketInfo info;
        vorant::packet::Frame frame;
        std::string strDetails;
        const char* pPacket = p_strPacket.data();
        EXPECT_EQ(vorant::packet::DecodeHeader(pPacket, 1 << 30, &info, &frame, &strDetails), 0);
        const char* pWire = pPacket + HEADER_SIZE;
        const char* pSum = pWire + frame.m_iWireBody;
        CMsg msg(0, 0, 0, &m_Dic);
        msg.LoadXml("<msg no='50'><t1>before</t1></msg>");
        int iCode = 0;
        try {
            if (p_bStreamed) {
                iCode = LoadCompressedBody(pPacket, pWire, pSum, frame, &msg, &strDetails);
            } else {
                iCode = vorant::packet::DecodeBody(pPacket, pWire, pSum, frame, &info, &strDetails);
                if (iCode == 0)
                    msg.LoadXml(info.m_Body.GetData());
            }
        } catch (const CException& e) {
            strDetails = e.GetText();
            iCode = e.GetCode();
        }
        CStream xml;
        msg.ToXml(&xml, false, false, 1);
        return std::to_string(iCode) + " " + (iCode ? strDetails : "") + "|" + xml.GetData();
    }

    CMsgDic m_Dic;
};

TEST_F(StreamedBodyTest, ReportsAsTheWholeDecodeThenLoadXml) {
    const std::string strGood = "<msg no='50'><t1>" + std::string(100000, 'g') + "</t1><t2>4</t2></msg>";
    const std::string strBad = "<msg no='50'><t1>" + std::string(100000, 'b') + "</t1><t9>4</t9></msg>";
    std::vector<std::string> packets;
    for (const std::string& strXml : {strGood, strBad, std::string("<msg no='50'><t2>1</t2></msg>\0x", 30)}) {
        const std::string strPacket = Packet(strXml);
        const size_t nWire = strPacket.size() - HEADER_SIZE - CHECKSUM_SIZE;
        packets.push_back(strPacket);
        // A wrong sum, and a damaged body with a right or a wrong sum.
        std::string strBroken = strPacket;
        strBroken[strBroken.size() - 1] = strBroken[strBroken.size() - 1] == '0' ? '1' : '0';
        packets.push_back(strBroken);
        for (size_t nAt : {size_t(2), nWire / 2, nWire - 3}) {
            strBroken = strPacket;
            strBroken[HEADER_SIZE + nAt] ^= 0x55;
            packets.push_back(strBroken);
            strBroken[strBroken.size() - 1] = strBroken[strBroken.size() - 1] == '0' ? '1' : '0';
            packets.push_back(strBroken);
        }
    }
    for (size_t i = 0; i < packets.size(); ++i)
        EXPECT_EQ(Streamed(packets[i]), Today(packets[i])) << "packet " << i;
    EXPECT_EQ(Streamed(packets[0]).substr(0, 3), "0 |");
    EXPECT_EQ(Streamed(packets[1]).substr(0, 4), "-13 ");
    EXPECT_EQ(Streamed(packets[2]).substr(0, 4), "-16 ");
}

}  // namespace
