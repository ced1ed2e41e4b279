// One service call: serialise, frame, send, receive, check, parse; and the
// REJECT answer.
#include <memory>
#include <new>
#include <utility>

#include "api/call_trace.h"
#include "api/library_state.h"
#include "api/service_call_steps.h"
#include "transport/address_list.h"
#include "transport/socket_io.h"
#include "vorant/cvorant.hpp"
#include "vorant/msg.hpp"
#include "vorant/msg_dic.hpp"
#include "vorant/msg_error.hpp"

int CVorant::CallServiceCore(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, int p_iRefNum, const CCallOptions& p_Bounds,
                             CString& p_strErrText, CCallTrace* p_pTrace) {
    // The deadline counts from here.
    const int64_t llStart = MonotonicMillis();
    if (p_pIn == nullptr || p_pOut == nullptr) {
        p_strErrText.Format("Parameter is NULL(%p, %p)", static_cast<void*>(p_pIn), static_cast<void*>(p_pOut));
        return CALL_NULL_PARAM;
    }
    CServiceCall call(p_iSvcNum, p_Bounds, p_pTrace);
    if (call.WriteRequest(p_pIn, p_iRefNum) == 0) {
        CAddressList addresses;
        const int64_t llResolveStart = MonotonicMicros();
        const int iResolved = addresses.Append(p_Bounds.m_szHost, p_Bounds.m_iPort);
        if (p_pTrace)
            p_pTrace->SetResolveMicros(MonotonicMicros() - llResolveStart);
        call.Begin(std::move(addresses), iResolved, llStart);
        call.Connection().RunBlocking();
    }
    return call.ReadAnswer(p_pOut, &p_strErrText);
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
    CCallOptions bounds;
    if (!ResolveCallBounds(p_pOptions, &bounds)) {
        p_pErr->SetError(-12, InvalidOptionsText(*p_pOptions), p_iSvcNum);
        return -2;
    }
    p_pErr->Clear();
    CString strText;
    const int iResult = CallServiceCore(p_iSvcNum, p_pIn, p_pOut, 0, bounds, strText, p_pTrace);
    return RecordCallResult(p_iSvcNum, iResult, strText, p_pOut, p_pErr);
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
