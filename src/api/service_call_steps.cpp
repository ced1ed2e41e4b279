#include "api/service_call_steps.h"

#include <netdb.h>

#include <utility>

#include "api/call_bounds.h"
#include "api/call_trace.h"
#include "api/library_state.h"
#include "msg/msg_xml_source.h"
#include "transport/address_list.h"
#include "transport/inflating_body.h"
#include "transport/packet_encode.h"
#include "transport/packet_info.h"
#include "transport/protocol.h"
#include "transport/socket_io.h"
#include "vorant/msg.hpp"
#include "vorant/msg_error.hpp"

namespace protocol = vorant::protocol;

namespace {

const int kMaxPort = 65535;

// A read of one REJECT tag: absent is accepted; any other failure is final.
bool RejectReadFailed(int p_iResult, const char* p_szPrefix, CMsg* p_pOut, int p_iSvcNum, CVorantError* p_pErr) {
    if (p_iResult >= 0 || p_iResult == MA_ERR_NO_DATA)
        return false;
    p_pErr->SetError(p_iResult, CString(p_szPrefix) + p_pOut->GetLastError(), p_iSvcNum);
    return true;
}

}  // namespace

bool ResolveCallBounds(const CCallOptions* p_pOptions, CCallOptions* p_pBounds) {
    const CCallOptions none;
    const CCallOptions& opts = p_pOptions ? *p_pOptions : none;
    if (opts.m_iConnectTimeoutMs < 0 || opts.m_iRecvTimeoutMs < 0 || opts.m_iMaxAnswer < 0 ||
        (opts.m_iMaxAnswer > 0 && opts.m_iMaxAnswer < kMinAnswerBound) || opts.m_iPort < 0 || opts.m_iPort > kMaxPort)
        return false;
    p_pBounds->m_iConnectTimeoutMs = opts.m_iConnectTimeoutMs > 0 ? opts.m_iConnectTimeoutMs : g_iConnectTimeoutMs;
    p_pBounds->m_iRecvTimeoutMs = opts.m_iRecvTimeoutMs;
    p_pBounds->m_iDeadlineMs = opts.m_iDeadlineMs > 0 ? opts.m_iDeadlineMs : opts.m_iDeadlineMs < 0 ? 0 : g_iDeadlineMs;
    p_pBounds->m_iMaxAnswer = opts.m_iMaxAnswer > 0 ? opts.m_iMaxAnswer : g_iMaxAnswer;
    p_pBounds->m_szHost =
        opts.m_szHost != nullptr && opts.m_szHost[0] != '\0' ? opts.m_szHost : g_strServerHost.ToStr();
    p_pBounds->m_iPort = opts.m_iPort > 0 ? opts.m_iPort : g_iServerPort;
    return true;
}

CString InvalidOptionsText(const CCallOptions& p_Options) {
    if (p_Options.m_iPort < 0 || p_Options.m_iPort > kMaxPort)
        return CFormat("Invalid call options(port=%d)", p_Options.m_iPort);
    return CFormat("Invalid call options(connect=%d, recv=%d, deadline=%d, max_answer=%d)",
                   p_Options.m_iConnectTimeoutMs, p_Options.m_iRecvTimeoutMs, p_Options.m_iDeadlineMs,
                   p_Options.m_iMaxAnswer);
}

CConnectionBounds ConnectionBounds(const CCallOptions& p_Bounds) {
    CConnectionBounds bounds;
    bounds.m_llConnectMs = p_Bounds.m_iConnectTimeoutMs;
    bounds.m_llSendMs = protocol::DEFAULT_SEND_TIMEOUT_MS;
    // The configured receive time-out is whole seconds; a call's own is ms.
    if (p_Bounds.m_iRecvTimeoutMs > 0)
        bounds.m_llRecvMs = p_Bounds.m_iRecvTimeoutMs;
    else
        bounds.m_llRecvMs = g_iTimeout < 0 ? protocol::DEFAULT_RECV_TIMEOUT_MS : g_iTimeout * int64_t{1000};
    bounds.m_llDeadlineMs = p_Bounds.m_iDeadlineMs;
    bounds.m_iMaxPacketLength = p_Bounds.m_iMaxAnswer;
    return bounds;
}

CServiceCall::CServiceCall(int p_iSvcNum, const CCallOptions& p_Bounds, CCallTrace* p_pTrace)
    : m_iSvcNum(p_iSvcNum), m_Bounds(p_Bounds), m_pTrace(p_pTrace), m_strHost(p_Bounds.m_szHost) {
    // The caller's host text may go as soon as the call has started.
    m_Bounds.m_szHost = m_strHost.ToStr();
    if (m_pTrace)
        m_Connection.SetTrace(m_pTrace->Wire());
}

int CServiceCall::WriteRequest(CMsg* p_pIn, int p_iRefNum) {
    CPacketInfo request;
    if (p_pIn->ToXml(&request.m_Body, false, false, 1) < 0) {
        m_iStep = VORANT_STEP_WRITE;
        m_strStepText = p_pIn->GetLastError();
        return m_iStep;
    }
    request.m_iSvcNum = m_iSvcNum;
    request.m_iMsgNum = p_pIn->GetMsgNum();
    request.m_iRefNum = p_iRefNum;
    request.m_strUserKey = g_strUserKey;
    request.m_bCompressed = protocol::TravelsCompressed(request.m_Body.GetSize(), request.m_iMsgNum);
    if (m_pTrace) {
        m_pTrace->SetServer(m_Bounds.m_szHost, m_Bounds.m_iPort);
        m_pTrace->Stamp(CCallTrace::SERIALIZED);
        m_pTrace->SetRequest(request);
    }
    std::string strDetails;
    const int64_t llFramingStart = MonotonicMicros();
    const int iEncoded = vorant::packet::EncodePacket(&request, &m_Packet, &strDetails);
    if (m_pTrace)
        m_pTrace->SetFramingMicros(MonotonicMicros() - llFramingStart);
    if (iEncoded < 0)
        m_Connection.FailSendWith(iEncoded, strDetails);
    return 0;
}

void CServiceCall::Begin(CAddressList&& p_Addresses, int p_iResolved, int64_t p_llStartMs) {
    if (p_iResolved != 0)
        m_Connection.FailResolve(m_Bounds.m_szHost);
    else if (m_Bounds.m_iPort < 0 || m_Bounds.m_iPort > kMaxPort)
        m_Connection.FailPort(m_Bounds.m_iPort);
    else
        m_Connection.Start(std::move(p_Addresses), m_Bounds.m_szHost, m_Bounds.m_iPort, std::move(m_Packet),
                           ConnectionBounds(m_Bounds), p_llStartMs, MonotonicMillis());
}

void CServiceCall::Cancel() {
    if (Finished())
        return;
    m_Connection.Abort();
    m_iStep = VORANT_CALL_CANCELLED;
    m_strStepText = "Call cancelled";
}

int CServiceCall::ReadAnswer(CMsg* p_pOut, CString* p_pstrText) {
    if (m_pTrace) {
        if (m_Connection.GetState() != CCallConnection::IDLE)
            m_pTrace->SetConnection(m_Connection);
        m_pTrace->SetSysErrno(m_Connection.SysErrno());
    }
    if (m_iStep != 0) {
        *p_pstrText = m_strStepText;
        return m_iStep;
    }
    if (m_Connection.GetState() == CCallConnection::FAILED) {
        *p_pstrText = m_Connection.ErrorText();
        switch (m_Connection.FailedStep()) {
            case CCallConnection::CONNECTING: return VORANT_STEP_CONNECT;
            case CCallConnection::SENDING: return VORANT_STEP_SEND;
            default: return VORANT_STEP_RECEIVE;
        }
    }
    CPacketInfo& answer = m_Connection.Answer();
    if (m_pTrace) {
        m_pTrace->Stamp(CCallTrace::RECEIVED);
        m_pTrace->SetAnswer(answer, m_Connection.BodyLength());
    }
    try {
        if (m_Connection.BodyKeptCompressed()) {
            // Inflated as it is parsed: the whole body is never held.
            CInflatingBody body(m_Connection.CompressedBody(), m_Connection.CompressedLength(),
                                m_Connection.BodyCeiling());
            CMsgXmlReaderSource<CInflatingBody> source(body);
            LoadMsgXml(p_pOut, source);
        } else {
            // An empty body has no buffer; it is parsed as the empty document.
            const char* pBody = answer.m_Body.GetData() ? answer.m_Body.GetData() : "";
            if (p_pOut->LoadXml(pBody) < 0) {
                *p_pstrText = p_pOut->GetLastError();
                return VORANT_STEP_PARSE;
            }
        }
    } catch (const CException& e) {
        p_pstrText->Format("%d, %s(%s)", e.GetCode(), MA_GetErrorStr(e.GetCode()), e.GetText());
        return VORANT_STEP_PARSE_RAISED;
    }
    answer.m_Body = CStream();
    if (m_pTrace) {
        m_pTrace->Stamp(CCallTrace::PARSED);
        m_pTrace->SetAnswerMsgNum(p_pOut->GetMsgNum());
    }
    return 0;
}

int RecordCallResult(int p_iSvcNum, int p_iCoreResult, const CString& p_strText, CMsg* p_pOut, CVorantError* p_pErr) {
    if (p_iCoreResult < 0) {
        p_pErr->SetError(p_iCoreResult, p_strText, -1);
        return VORANT_CALL_FAILED;
    }
    if (p_pOut->GetMsgNum() != protocol::REJECT_MSG_NUM)
        return 0;

    int iCode = 0, iRefSvcNum = 0;
    CString strReason;
    if (RejectReadFailed(p_pOut->GetValue(protocol::REJECT_TAG_SYS_CODE, &iCode), "REJECT.SysCode failed : ", p_pOut,
                         p_iSvcNum, p_pErr) ||
        RejectReadFailed(p_pOut->GetValue(protocol::REJECT_TAG_REASON_TEXT, &strReason),
                         "REJECT.SysReasonText failed : ", p_pOut, p_iSvcNum, p_pErr) ||
        RejectReadFailed(p_pOut->GetValue(protocol::REJECT_TAG_REF_SVC_NUM, &iRefSvcNum),
                         "REJECT.RefSvcNum failed: ", p_pOut, p_iSvcNum, p_pErr))
        return VORANT_REJECTED;
    p_pErr->SetError(iCode, strReason, iRefSvcNum);
    return VORANT_REJECTED;
}
