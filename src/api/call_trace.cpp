#include "api/call_trace.h"

#include <cstring>

#include "api/library_state.h"
#include "transport/call_connection.h"
#include "transport/packet_info.h"

std::atomic<VorantTraceHook> g_pTraceHook{nullptr};
void* g_pTraceUser = nullptr;

namespace {

long long MicrosBetween(CCallTrace::Clock::time_point p_From, CCallTrace::Clock::time_point p_To) {
    return std::chrono::duration_cast<std::chrono::microseconds>(p_To - p_From).count();
}

}  // namespace

CCallTrace::CCallTrace() : m_bReached() {
    std::memset(&m_Record, 0, sizeof m_Record);
    m_Record.size = sizeof m_Record;
    m_Record.requestWireBytes = m_Record.requestBodyBytes = -1;
    m_Record.answerWireBytes = m_Record.answerBodyBytes = -1;
    m_Record.serializeUs = m_Record.resolveUs = m_Record.connectUs = -1;
    Stamp(START);
}

void CCallTrace::Stamp(Mark p_eMark) {
    m_Marks[p_eMark] = Clock::now();
    m_bReached[p_eMark] = true;
}

long long CCallTrace::Between(Mark p_eFrom, Mark p_eTo) const {
    return m_bReached[p_eFrom] && m_bReached[p_eTo] ? MicrosBetween(m_Marks[p_eFrom], m_Marks[p_eTo]) : -1;
}

void CCallTrace::SetRequest(const CPacketInfo& p_Request) {
    m_Record.msgNum = p_Request.m_iMsgNum;
    m_Record.requestBodyBytes = p_Request.m_Body.GetSize();
    m_Record.requestCompressed = p_Request.m_bCompressed ? 1 : 0;
}

void CCallTrace::SetAnswer(const CPacketInfo& p_Answer, long long p_llBodyBytes) {
    m_Record.answerBodyBytes = p_llBodyBytes;
    m_Record.answerCompressed = p_Answer.m_bCompressed ? 1 : 0;
}

void CCallTrace::SetConnection(const CCallConnection& p_Connection) {
    std::strncpy(m_Record.address, p_Connection.ConnectedAddress(), sizeof m_Record.address - 1);
    m_Record.connectUs = p_Connection.ConnectMicros();
    if (m_Wire.m_bConnectEnded) {
        m_Marks[CONNECTED] = m_Wire.m_ConnectEndedAt;
        m_bReached[CONNECTED] = true;
    }
    if (m_Wire.m_bSent) {
        m_Marks[SENT] = m_Wire.m_SentAt;
        m_bReached[SENT] = true;
    }
}

void CCallTrace::Report(VorantTraceHook p_pHook, void* p_pUser, int p_iSvcNum, int p_iResult, int p_iCode) {
    const Clock::time_point tEnd = Clock::now();
    VorantTrace& r = m_Record;
    r.svcNum = p_iSvcNum;
    if (r.host == nullptr) {
        r.host = g_strServerHost.ToStr();
        r.port = g_iServerPort;
    }
    r.result = p_iResult;
    r.code = p_iCode;

    const int iOverhead = 128 + 3;  // header and checksum digits
    if (m_Wire.m_RequestPacket.GetSize() >= iOverhead)
        r.requestWireBytes = m_Wire.m_RequestPacket.GetSize() - iOverhead;
    r.answerWireBytes = m_Wire.m_llAnswerWire;
    if (!m_bReached[RECEIVED])
        r.answerBodyBytes = -1;

    r.serializeUs = Between(START, SERIALIZED);
    r.sendUs = Between(CONNECTED, SENT);
    if (r.sendUs >= 0)
        r.sendUs += m_llFramingUs;
    r.firstByteUs = m_bReached[SENT] && m_Wire.m_bHeaderArrived ? MicrosBetween(m_Marks[SENT], m_Wire.m_HeaderAt) : -1;
    r.receiveUs =
        m_bReached[RECEIVED] && m_Wire.m_bHeaderArrived ? MicrosBetween(m_Wire.m_HeaderAt, m_Marks[RECEIVED]) : -1;
    r.parseUs = Between(RECEIVED, PARSED);
    r.totalUs = MicrosBetween(m_Marks[START], tEnd);

    r.requestPacket = reinterpret_cast<const unsigned char*>(m_Wire.m_RequestPacket.GetData());
    r.requestPacketSize = r.requestPacket ? static_cast<size_t>(m_Wire.m_RequestPacket.GetSize()) : 0;
    r.answerPacket = reinterpret_cast<const unsigned char*>(m_Wire.m_AnswerPacket.GetData());
    r.answerPacketSize = r.answerPacket ? static_cast<size_t>(m_Wire.m_AnswerPacket.GetSize()) : 0;
    p_pHook(&r, p_pUser);
}
