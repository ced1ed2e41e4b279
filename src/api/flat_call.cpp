// Vorant_Initialize, Vorant_InitializeEx, Vorant_CallService and their
// bounded forms.
#include <cstddef>
#include <new>

#include "api/flat_error.h"
#include "api/flat_options.h"
#include "vorant/cvorant.hpp"
#include "vorant/vorant.h"

namespace {

// Runs one facade operation for a C caller: its record is copied into p_pInfo
// on failure, and no exception crosses into C.
template <typename Operation>
int RunForC(VorantErrorInfo* p_pInfo, Operation p_Operation) {
    if (p_pInfo == nullptr)
        return -12;
    try {
        CVorantError err;
        int iResult = p_Operation(&err);
        if (iResult < 0)
            CopyErrorInfo(err, p_pInfo);
        return iResult;
    } catch (const CException& e) {
        CopyErrorInfo(e, p_pInfo);
        return FailureCode(e);
    } catch (const std::bad_alloc&) {
        CopyErrorInfo(CException("Out of memory", -11), p_pInfo);
        return -11;
    } catch (...) {
        CopyErrorInfo(CException("Unexpected exception", 0), p_pInfo);
        return -1;
    }
}

}  // namespace

CCallOptions ReadCallOptions(const VorantCallOptions& p_Flat) {
    CCallOptions opts;
    const size_t nSize = p_Flat.size;
    auto has = [nSize](size_t p_nOffset, size_t p_nWidth) { return p_nOffset + p_nWidth <= nSize; };
    if (has(offsetof(VorantCallOptions, connectTimeoutMs), sizeof(int)))
        opts.m_iConnectTimeoutMs = p_Flat.connectTimeoutMs;
    if (has(offsetof(VorantCallOptions, recvTimeoutMs), sizeof(int)))
        opts.m_iRecvTimeoutMs = p_Flat.recvTimeoutMs;
    if (has(offsetof(VorantCallOptions, deadlineMs), sizeof(int)))
        opts.m_iDeadlineMs = p_Flat.deadlineMs;
    if (has(offsetof(VorantCallOptions, maxAnswer), sizeof(int)))
        opts.m_iMaxAnswer = p_Flat.maxAnswer;
    if (has(offsetof(VorantCallOptions, host), sizeof(const char*)))
        opts.m_szHost = p_Flat.host;
    if (has(offsetof(VorantCallOptions, port), sizeof(int)))
        opts.m_iPort = p_Flat.port;
    return opts;
}

extern "C" {

int Vorant_Initialize(const char* configPath, VorantErrorInfo* err) {
    return RunForC(err, [&](CVorantError* e) { return CVorant::Initialize(configPath, e); });
}

int Vorant_InitializeEx(const char* keyFile, const char* msgDic, const char* host, int port, int timeout,
                        VorantErrorInfo* err) {
    return RunForC(err, [&](CVorantError* e) { return CVorant::Initialize(keyFile, msgDic, host, port, timeout, e); });
}

int Vorant_CallService(int svcnum, CMsg* in, CMsg* out, VorantErrorInfo* err) {
    return RunForC(err, [&](CVorantError* e) { return CVorant::CallServiceByMsg(svcnum, in, out, e); });
}

int Vorant_CallServiceEx(int svcnum, CMsg* in, CMsg* out, const VorantCallOptions* opts, VorantErrorInfo* err) {
    return RunForC(err, [&](CVorantError* e) {
        if (opts == nullptr)
            return CVorant::CallServiceByMsg(svcnum, in, out, nullptr, e);
        const CCallOptions options = ReadCallOptions(*opts);
        return CVorant::CallServiceByMsg(svcnum, in, out, &options, e);
    });
}

int Vorant_SetCallBounds(int connectTimeoutMs, int deadlineMs, int maxAnswer, VorantErrorInfo* err) {
    return RunForC(err,
                   [&](CVorantError* e) { return CVorant::SetCallBounds(connectTimeoutMs, deadlineMs, maxAnswer, e); });
}

int Vorant_SetTraceHook(VorantTraceHook hook, void* user) { return CVorant::SetTraceHook(hook, user); }

}  // extern "C"
