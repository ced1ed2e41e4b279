// CVorant::SetCallBounds and the checks shared with the configuration file.
#include "api/call_bounds.h"

#include "api/library_state.h"
#include "transport/protocol.h"
#include "vorant/cvorant.hpp"

int StoreCallBounds(int p_iConnectTimeoutMs, int p_iDeadlineMs, int p_iMaxAnswer, CString* p_pstrReason) {
    if (p_iConnectTimeoutMs < 0) {
        p_pstrReason->Format("connect time-out %d ms is negative", p_iConnectTimeoutMs);
        return -1;
    }
    if (p_iDeadlineMs < 0) {
        p_pstrReason->Format("deadline %d ms is negative", p_iDeadlineMs);
        return -1;
    }
    if (p_iMaxAnswer < 0 || (p_iMaxAnswer > 0 && p_iMaxAnswer < kMinAnswerBound)) {
        p_pstrReason->Format("answer bound %d bytes is below %d", p_iMaxAnswer, kMinAnswerBound);
        return -1;
    }
    g_iConnectTimeoutMs = p_iConnectTimeoutMs > 0 ? p_iConnectTimeoutMs : vorant::protocol::DEFAULT_CONNECT_TIMEOUT_MS;
    g_iDeadlineMs = p_iDeadlineMs;
    g_iMaxAnswer = p_iMaxAnswer > 0 ? p_iMaxAnswer : vorant::protocol::DEFAULT_MAX_PACKET_LENGTH;
    return 0;
}

int CVorant::SetCallBounds(int p_iConnectTimeoutMs, int p_iDeadlineMs, int p_iMaxAnswer, CVorantError* p_pErr) {
    if (p_pErr == nullptr)
        return -12;
    p_pErr->Clear();
    CString strReason;
    if (StoreCallBounds(p_iConnectTimeoutMs, p_iDeadlineMs, p_iMaxAnswer, &strReason) < 0) {
        p_pErr->SetError(0, strReason, 0);
        return -1;
    }
    return 0;
}
