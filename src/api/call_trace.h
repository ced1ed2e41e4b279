// The trace of one service call: the marks the facade sets, what the
// transport saw, and the record handed to the trace hook.
#ifndef VORANT_API_CALL_TRACE_H
#define VORANT_API_CALL_TRACE_H

#include <atomic>
#include <chrono>

#include "transport/wire_trace.h"
#include "vorant/cstring.hpp"
#include "vorant/trace.h"

class CCallConnection;
class CPacketInfo;

// The hook and its user pointer, set before calls start and only read by
// calls. The user pointer is stored before the hook (release), so a call
// that sees the hook (acquire) sees its user pointer.
extern std::atomic<VorantTraceHook> g_pTraceHook;
extern void* g_pTraceUser;

// Owns the transport's trace of one call (and its packet copies). One
// thread: the calling one.
class CCallTrace {
public:
    using Clock = std::chrono::steady_clock;
    enum Mark { START, SERIALIZED, CONNECTED, SENT, RECEIVED, PARSED, MARK_COUNT };

    CCallTrace();
    void Stamp(Mark p_eMark);
    CWireTrace* Wire() { return &m_Wire; }
    // Takes the sizes and message numbers of the packet records.
    void SetRequest(const CPacketInfo& p_Request);
    // p_llBodyBytes: the answer's body once inflated.
    void SetAnswer(const CPacketInfo& p_Answer, long long p_llBodyBytes);
    // Takes the address reached, the connect time and when the connect and
    // send steps ended.
    void SetConnection(const CCallConnection& p_Connection);
    void SetResolveMicros(long long p_llMicros) { m_Record.resolveUs = p_llMicros; }
    void SetQueueMicros(long long p_llMicros) { m_Record.queueUs = p_llMicros; }
    void SetSysErrno(int p_iErrno) { m_Record.sysErrno = p_iErrno; }
    // The packet is framed before connecting; it counts as sending time.
    void SetFramingMicros(long long p_llMicros) { m_llFramingUs = p_llMicros; }
    void SetAnswerMsgNum(int p_iMsgNum) { m_Record.answerMsgNum = p_iMsgNum; }
    // The server the call went to (the trace keeps its own copy).
    void SetServer(const char* p_szHost, int p_iPort) {
        m_strHost = p_szHost;
        m_Record.host = m_strHost.ToStr();
        m_Record.port = p_iPort;
    }
    // Fills the rest of the record and calls the hook.
    void Report(VorantTraceHook p_pHook, void* p_pUser, int p_iSvcNum, int p_iResult, int p_iCode);

private:
    long long Between(Mark p_eFrom, Mark p_eTo) const;

    Clock::time_point m_Marks[MARK_COUNT];
    bool m_bReached[MARK_COUNT];
    CWireTrace m_Wire;
    VorantTrace m_Record;
    long long m_llFramingUs = 0;
    CString m_strHost;
};

#endif  // VORANT_API_CALL_TRACE_H
