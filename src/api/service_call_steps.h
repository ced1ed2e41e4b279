// The steps of one service call that every way of running it shares: the
// request written into a packet, the connection started, the answer parsed
// and a REJECT turned into the caller's record.
#ifndef VORANT_API_SERVICE_CALL_STEPS_H
#define VORANT_API_SERVICE_CALL_STEPS_H

#include <cstdint>

#include "transport/call_connection.h"
#include "vorant/cstring.hpp"
#include "vorant/cvorant.hpp"

class CAddressList;
class CCallTrace;
class CMsg;

// The bounds of one call with every default filled in (configured values
// for fields left 0). False when an option is out of range.
bool ResolveCallBounds(const CCallOptions* p_pOptions, CCallOptions* p_pBounds);
// Why options were refused, for the record: "Invalid call options(...)".
CString InvalidOptionsText(const CCallOptions& p_Options);

// One call from its request to its answer. Owns its connection (and so its
// socket and packets); the messages and the trace stay the caller's. One
// thread at a time; not copyable.
class CServiceCall {
public:
    // p_Bounds as ResolveCallBounds gives them; p_pTrace may be null.
    CServiceCall(int p_iSvcNum, const CCallOptions& p_Bounds, CCallTrace* p_pTrace);
    CServiceCall(const CServiceCall&) = delete;
    CServiceCall& operator=(const CServiceCall&) = delete;

    // Writes p_pIn as the request packet. 0, or VORANT_STEP_WRITE with the
    // message's last error kept for Finish. A packet that cannot be framed
    // fails the send step once connected, as it always has.
    int WriteRequest(CMsg* p_pIn, int p_iRefNum);
    // Starts connecting to the server of the bounds over p_Addresses
    // (taken over), or fails the connect step when p_iResolved (a
    // getaddrinfo result) says the name was not found or the port is out of
    // range. p_llStartMs: when the call started (MonotonicMillis).
    void Begin(CAddressList&& p_Addresses, int p_iResolved, int64_t p_llStartMs);
    // Fails the call with VORANT_CALL_CANCELLED (its connection closed), if it has
    // not ended yet.
    void Cancel();

    CCallConnection& Connection() { return m_Connection; }
    const CCallOptions& Bounds() const { return m_Bounds; }
    bool Finished() const { return m_iStep != 0 || m_Connection.Finished(); }
    // The result of CVorant::CallServiceCore for the finished connection:
    // 0 with the answer parsed into p_pOut, or a VorantCallStep with its text.
    int ReadAnswer(CMsg* p_pOut, CString* p_pstrText);

private:
    int m_iSvcNum;
    CCallOptions m_Bounds;
    CCallTrace* m_pTrace;
    CString m_strHost;  // the server's name, the call's own copy
    CCallConnection m_Connection;
    CStream m_Packet;
    int m_iStep = 0;  // a step that failed before the connection could
    CString m_strStepText;
};

// The caller's record and result for a call whose core ended with
// p_iCoreResult (0 or a VorantCallStep, p_strText its text): VORANT_OK
// answered, VORANT_CALL_FAILED, or VORANT_REJECTED (the server's code,
// reason and service from p_pOut).
int RecordCallResult(int p_iSvcNum, int p_iCoreResult, const CString& p_strText, CMsg* p_pOut, CVorantError* p_pErr);

// The bounds of the connection for a call's resolved bounds.
CConnectionBounds ConnectionBounds(const CCallOptions& p_Bounds);

#endif  // VORANT_API_SERVICE_CALL_STEPS_H
