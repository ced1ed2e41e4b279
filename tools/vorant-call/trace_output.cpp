#include "trace_output.h"

#include <cstdio>

#include "transport/packet_layout.h"

namespace {

using vorant::packet::Field;

struct NamedField {
    const char* name;
    Field field;
};

const NamedField kHeader[] = {
    {"BeginString", vorant::packet::BEGIN},     {"PacketLength", vorant::packet::PACKET_LENGTH},
    {"SvcNum", vorant::packet::SVC_NUM},        {"MsgNum", vorant::packet::MSG_NUM},
    {"RefNum", vorant::packet::REF_NUM},        {"TimeStamp", vorant::packet::TIME_STAMP},
    {"UserKey", vorant::packet::USER_KEY},      {"Reserved1", vorant::packet::RESERVED1},
    {"Compressed", vorant::packet::COMPRESSED}, {"BodyLength", vorant::packet::BODY_LENGTH},
    {"Reserved2", vorant::packet::RESERVED2},   {"Reserved3", vorant::packet::RESERVED3},
};

std::string Printable(const unsigned char* p_pData, size_t p_nSize) {
    std::string out;
    for (size_t i = 0; i < p_nSize; ++i)
        out += (p_pData[i] >= 0x20 && p_pData[i] < 0x7f) ? static_cast<char>(p_pData[i]) : '.';
    return out;
}

// Each header field as "[bytes]" at its offset and width.
std::string HeaderLines(const unsigned char* p_pPacket, size_t p_nSize, const char* p_szPrefix) {
    if (p_pPacket == nullptr || p_nSize < static_cast<size_t>(vorant::packet::HEADER_SIZE))
        return std::string(p_szPrefix) + " (no whole header)\n";
    std::string out;
    char line[160];
    for (const NamedField& f : kHeader) {
        std::snprintf(line, sizeof line, "%s %-13s @%-3d [%s]\n", p_szPrefix, f.name, f.field.m_iOffset,
                      Printable(p_pPacket + f.field.m_iOffset, static_cast<size_t>(f.field.m_iWidth)).c_str());
        out += line;
    }
    return out;
}

std::string Body(const char* p_szPrefix, const char* p_szVerb, long long p_llBody, long long p_llWire,
                 int p_iCompressed) {
    char line[160];
    if (p_llBody < 0 && p_llWire < 0)
        return "";
    if (p_iCompressed)
        std::snprintf(line, sizeof line, "%s body %lld bytes, %s zlib-compressed as %lld bytes\n", p_szPrefix, p_llBody,
                      p_szVerb, p_llWire);
    else
        std::snprintf(line, sizeof line, "%s body %lld bytes, %s uncompressed\n", p_szPrefix,
                      p_llBody >= 0 ? p_llBody : p_llWire, p_szVerb);
    return line;
}

std::string Us(long long p_llMicros) { return p_llMicros < 0 ? std::string("-") : std::to_string(p_llMicros) + " us"; }

}  // namespace

std::string HexDump(const unsigned char* p_pData, size_t p_nSize, const char* p_szPrefix) {
    std::string out;
    char line[160];
    for (size_t at = 0; at < p_nSize; at += 16) {
        int n = std::snprintf(line, sizeof line, "%s %06zx ", p_szPrefix, at);
        for (size_t i = 0; i < 16; ++i) {
            if (at + i < p_nSize)
                n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), " %02x", p_pData[at + i]);
            else
                n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), "   ");
        }
        const size_t count = p_nSize - at < 16 ? p_nSize - at : 16;
        out += std::string(line) + "  |" + Printable(p_pData + at, count) + "|\n";
    }
    return out;
}

std::string FormatTrace(const VorantTrace& p_Trace, bool p_bPackets) {
    std::string strOut;
    char szLine[512];
    std::snprintf(szLine, sizeof szLine, "* server %s port %d\n", p_Trace.host ? p_Trace.host : "", p_Trace.port);
    strOut += szLine;
    if (p_Trace.resolveUs >= 0) {
        std::snprintf(szLine, sizeof szLine, "* resolved %s in %s\n", p_Trace.host ? p_Trace.host : "",
                      Us(p_Trace.resolveUs).c_str());
        strOut += szLine;
    }
    if (p_Trace.address[0] != '\0') {
        std::snprintf(szLine, sizeof szLine, "* connected to %s port %d in %s\n", p_Trace.address, p_Trace.port,
                      Us(p_Trace.connectUs).c_str());
        strOut += szLine;
    }
    if (p_Trace.requestPacketSize > 0) {
        std::snprintf(szLine, sizeof szLine, "> request packet, %zu bytes\n", p_Trace.requestPacketSize);
        strOut += szLine + HeaderLines(p_Trace.requestPacket, p_Trace.requestPacketSize, ">");
        strOut += Body(">", "sent", p_Trace.requestBodyBytes, p_Trace.requestWireBytes, p_Trace.requestCompressed);
    }
    if (p_Trace.answerPacketSize > 0) {
        std::snprintf(szLine, sizeof szLine, "< answer packet, %zu bytes\n", p_Trace.answerPacketSize);
        strOut += szLine + HeaderLines(p_Trace.answerPacket, p_Trace.answerPacketSize, "<");
        strOut += Body("<", "received", p_Trace.answerBodyBytes, p_Trace.answerWireBytes, p_Trace.answerCompressed);
    }
    std::snprintf(szLine, sizeof szLine,
                  "* timings: serialize %s, resolve %s, connect %s, send %s, first byte %s, receive %s, parse %s, "
                  "total %s\n",
                  Us(p_Trace.serializeUs).c_str(), Us(p_Trace.resolveUs).c_str(), Us(p_Trace.connectUs).c_str(),
                  Us(p_Trace.sendUs).c_str(), Us(p_Trace.firstByteUs).c_str(), Us(p_Trace.receiveUs).c_str(),
                  Us(p_Trace.parseUs).c_str(), Us(p_Trace.totalUs).c_str());
    strOut += szLine;
    std::snprintf(szLine, sizeof szLine, "* result %d, code %d, answer message %d\n", p_Trace.result, p_Trace.code,
                  p_Trace.answerMsgNum);
    strOut += szLine;
    if (p_bPackets) {
        if (p_Trace.requestPacketSize > 0)
            strOut += "> request packet:\n" + HexDump(p_Trace.requestPacket, p_Trace.requestPacketSize, ">");
        if (p_Trace.answerPacketSize > 0)
            strOut += "< answer packet:\n" + HexDump(p_Trace.answerPacket, p_Trace.answerPacketSize, "<");
    }
    return strOut;
}
