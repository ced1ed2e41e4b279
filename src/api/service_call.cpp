// One service call: serialise, frame, send, receive, check, parse; and the
// REJECT answer.
#include <memory>
#include <new>

#include "api/call_bounds.h"
#include "api/call_trace.h"
#include "api/library_state.h"
#include "transport/packet_info.h"
#include "transport/tcp_adaptor.h"
#include "vorant/cvorant.hpp"
#include "vorant/msg.hpp"
#include "vorant/msg_dic.hpp"
#include "vorant/msg_error.hpp"

namespace {

// The server refuses a request by answering with this message.
const int kRejectMsgNum = 10;
const int kRejectTagSysCode = 6;
const int kRejectTagReasonText = 7;
const int kRejectTagRefSvcNum = 8;

// Bodies longer than this travel compressed (and those of message 1 always).
const int kCompressAbove = 1024;

// A read of one REJECT tag: absent is accepted; any other failure is final.
bool RejectReadFailed(int p_iResult, const char* p_szPrefix, CMsg* p_pOut, int p_iSvcNum, CVorantError* p_pErr) {
    if (p_iResult >= 0 || p_iResult == -1)
        return false;
    p_pErr->SetError(p_iResult, CString(p_szPrefix) + p_pOut->GetLastError(), p_iSvcNum);
    return true;
}

// The bounds of one call: the caller's where given, else the configured ones.
// False when an option is out of range.
bool ResolveBounds(const CCallOptions* p_pOptions, CCallOptions* p_pBounds) {
    const CCallOptions none;
    const CCallOptions& opts = p_pOptions ? *p_pOptions : none;
    if (opts.m_iConnectTimeoutMs < 0 || opts.m_iRecvTimeoutMs < 0 || opts.m_iMaxAnswer < 0 ||
        (opts.m_iMaxAnswer > 0 && opts.m_iMaxAnswer < kMinAnswerBound))
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

}  // namespace

int CVorant::CallServiceCore(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, int p_iRefNum, const CCallOptions& p_Bounds,
                             CString& p_strErrText, CCallTrace* p_pTrace) {
    CPacketInfo request, answer;
    CTcpAdaptor adaptor;
    if (p_pTrace)
        adaptor.SetTrace(p_pTrace->Wire());
    adaptor.StartDeadline(p_Bounds.m_iDeadlineMs);
    adaptor.SetConnectTimeoutMillis(p_Bounds.m_iConnectTimeoutMs);
    // The configured receive time-out is whole seconds; a call's own is ms.
    int iRecvTimeout = g_iTimeout;
    if (p_Bounds.m_iRecvTimeoutMs > 0) {
        adaptor.SetRecvTimeoutMillis(p_Bounds.m_iRecvTimeoutMs);
        iRecvTimeout = -1;
    }
    adaptor.SetMaxPacketLength(p_Bounds.m_iMaxAnswer);
    if (p_pIn == nullptr || p_pOut == nullptr) {
        p_strErrText.Format("Parameter is NULL(%p, %p)", static_cast<void*>(p_pIn), static_cast<void*>(p_pOut));
        return -1;
    }
    if (p_pIn->ToXml(&request.m_Body, false, false, 1) < 0) {
        p_strErrText = p_pIn->GetLastError();
        return -2;
    }
    request.m_iSvcNum = p_iSvcNum;
    request.m_iMsgNum = p_pIn->GetMsgNum();
    request.m_iRefNum = p_iRefNum;
    request.m_strUserKey = g_strUserKey;
    request.m_bCompressed = request.m_Body.GetSize() > kCompressAbove || request.m_iMsgNum == 1;
    if (p_pTrace) {
        p_pTrace->SetServer(p_Bounds.m_szHost, p_Bounds.m_iPort);
        p_pTrace->Stamp(CCallTrace::SERIALIZED);
        p_pTrace->SetRequest(request);
    }

    const int iConnected = adaptor.Connect(p_Bounds.m_szHost, p_Bounds.m_iPort);
    if (p_pTrace) {
        p_pTrace->Stamp(CCallTrace::CONNECTED);
        p_pTrace->SetConnection(adaptor);
    }
    if (iConnected < 0) {
        p_strErrText = adaptor.GetLastError();
        return -3;
    }
    if (adaptor.SendTo(&request, -1) < 0) {
        p_strErrText = adaptor.GetLastError();
        return -4;
    }
    if (p_pTrace)
        p_pTrace->Stamp(CCallTrace::SENT);
    if (adaptor.ReceiveFrom(&answer, iRecvTimeout) < 0) {
        p_strErrText = adaptor.GetLastError();
        return -5;
    }
    if (p_pTrace) {
        p_pTrace->Stamp(CCallTrace::RECEIVED);
        p_pTrace->SetAnswer(answer);
    }
    // An empty body has no buffer; it is parsed as the empty document.
    const char* pBody = answer.m_Body.GetData() ? answer.m_Body.GetData() : "";
    try {
        if (p_pOut->LoadXml(pBody) < 0) {
            p_strErrText = p_pOut->GetLastError();
            return -6;
        }
    } catch (const CException& e) {
        p_strErrText.Format("%d, %s(%s)", e.GetCode(), MA_GetErrorStr(e.GetCode()), e.GetText());
        return -7;
    }
    if (p_pTrace) {
        p_pTrace->Stamp(CCallTrace::PARSED);
        p_pTrace->SetAnswerMsgNum(p_pOut->GetMsgNum());
    }
    return 0;
}

int CVorant::CallServiceByMsg(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, CVorantError* p_pErr) {
    return CallServiceByMsg(p_iSvcNum, p_pIn, p_pOut, nullptr, p_pErr);
}

int CVorant::CallServiceByMsg(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, const CCallOptions* p_pOptions,
                              CVorantError* p_pErr) {
    if (p_pErr == nullptr)
        return -12;
    const VorantTraceHook pHook = g_pTraceHook.load(std::memory_order_acquire);
    if (pHook == nullptr)
        return CallChecked(p_iSvcNum, p_pIn, p_pOut, p_pOptions, p_pErr, nullptr);
    CCallTrace trace;
    const int iResult = CallChecked(p_iSvcNum, p_pIn, p_pOut, p_pOptions, p_pErr, &trace);
    trace.Report(pHook, g_pTraceUser, p_iSvcNum, iResult, p_pErr->GetCode());
    return iResult;
}

int CVorant::CallChecked(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, const CCallOptions* p_pOptions, CVorantError* p_pErr,
                         CCallTrace* p_pTrace) {
    if (!g_bInitialized.load(std::memory_order_acquire)) {
        p_pErr->SetError(-35, "call CVorant::Initialize() first", p_iSvcNum);
        return -1;
    }
    if (p_pIn == nullptr || p_pOut == nullptr) {
        p_pErr->SetError(-12, "Parameter is NULL", p_iSvcNum);
        return -2;
    }
    if (p_pOptions != nullptr && (p_pOptions->m_iPort < 0 || p_pOptions->m_iPort > 65535)) {
        p_pErr->SetError(-12, CFormat("Invalid call options(port=%d)", p_pOptions->m_iPort), p_iSvcNum);
        return -2;
    }
    CCallOptions bounds;
    if (!ResolveBounds(p_pOptions, &bounds)) {
        p_pErr->SetError(-12,
                         CFormat("Invalid call options(connect=%d, recv=%d, deadline=%d, max_answer=%d)",
                                 p_pOptions->m_iConnectTimeoutMs, p_pOptions->m_iRecvTimeoutMs,
                                 p_pOptions->m_iDeadlineMs, p_pOptions->m_iMaxAnswer),
                         p_iSvcNum);
        return -2;
    }
    p_pErr->Clear();
    CString strText;
    int iResult = CallServiceCore(p_iSvcNum, p_pIn, p_pOut, 0, bounds, strText, p_pTrace);
    if (iResult < 0) {
        p_pErr->SetError(iResult, strText, -1);
        return -3;
    }
    if (p_pOut->GetMsgNum() != kRejectMsgNum)
        return 0;

    int iCode = 0, iRefSvcNum = 0;
    CString strReason;
    if (RejectReadFailed(p_pOut->GetValue(kRejectTagSysCode, &iCode), "REJECT.SysCode failed : ", p_pOut, p_iSvcNum,
                         p_pErr) ||
        RejectReadFailed(p_pOut->GetValue(kRejectTagReasonText, &strReason), "REJECT.SysReasonText failed : ", p_pOut,
                         p_iSvcNum, p_pErr) ||
        RejectReadFailed(p_pOut->GetValue(kRejectTagRefSvcNum, &iRefSvcNum), "REJECT.RefSvcNum failed: ", p_pOut,
                         p_iSvcNum, p_pErr))
        return -4;
    p_pErr->SetError(iCode, strReason, iRefSvcNum);
    return -4;
}

int CVorant::CallService(int p_iSvcNum, CMsgBase* p_pIn, CMsgBase* p_pOut, CVorantError* p_pErr) {
    return CallService(p_iSvcNum, p_pIn, p_pOut, nullptr, p_pErr);
}

int CVorant::CallService(int p_iSvcNum, CMsgBase* p_pIn, CMsgBase* p_pOut, const CCallOptions* p_pOptions,
                         CVorantError* p_pErr) {
    if (p_pErr == nullptr)
        return -12;
    p_pErr->Clear();
    if (!g_bInitialized.load(std::memory_order_acquire)) {
        p_pErr->SetError(-35, "call CVorant::Initialize() first", p_iSvcNum);
        return -1;
    }
    if (p_pIn == nullptr) {
        p_pErr->SetError(-12, "Input Msg(p_pIn) is NULL", 0);
        return -1;
    }
    if (p_pOut == nullptr) {
        p_pErr->SetError(-12, "Output Msg(p_pOut) is NULL", 0);
        return -1;
    }

    // Both temporary messages are freed on every path, exceptions included.
    struct MsgFree {
        void operator()(CMsg* p_pMsg) const { MA_FreeMsg(p_pMsg); }
    };
    std::unique_ptr<CMsg, MsgFree> inMsg(p_pIn->MakeMsg());
    if (!inMsg) {
        p_pErr->SetError(-1, CFormat("Input Msg is corrupted(%s)", p_pIn->GetLastError().ToStr()), p_iSvcNum);
        return -2;
    }
    std::unique_ptr<CMsg, MsgFree> outMsg(new (std::nothrow) CMsg(0, 0, 0, MA_GetMsgDic()));
    if (!outMsg) {
        p_pErr->SetError(-11, "Out of memory", p_iSvcNum);
        return -3;
    }
    if (CallServiceByMsg(p_iSvcNum, inMsg.get(), outMsg.get(), p_pOptions, p_pErr) < 0)
        return -4;
    if (p_pOut->LoadMsg(outMsg.get()) < 0) {
        p_pErr->SetError(-1, p_pOut->GetLastError(), p_iSvcNum);
        return -5;
    }
    return 0;
}

int CVorant::SetTraceHook(VorantTraceHook p_pHook, void* p_pUser) {
    g_pTraceUser = p_pUser;
    g_pTraceHook.store(p_pHook, std::memory_order_release);
    return 0;
}
