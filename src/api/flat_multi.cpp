// Vorant_Multi*: the multi handle for C callers.
#include <new>

#include "api/flat_error.h"
#include "api/flat_options.h"
#include "vorant/multi.hpp"
#include "vorant/vorant.h"

// The C handle is the C++ one; it adds nothing.
struct VorantMulti {
    explicit VorantMulti(int p_iMaxInFlight) : m_Multi(p_iMaxInFlight) {}
    CVorantMulti m_Multi;
};

extern "C" {

VorantMulti* Vorant_MultiCreate(int maxInFlight) {
    VorantMulti* pMulti = new (std::nothrow) VorantMulti(maxInFlight);
    if (pMulti != nullptr && !pMulti->m_Multi.IsValid()) {
        delete pMulti;
        return nullptr;
    }
    return pMulti;
}

int Vorant_MultiStart(VorantMulti* multi, int svcnum, CMsg* in, CMsg* out, const VorantCallOptions* opts,
                      VorantDoneFn done, void* user) {
    if (multi == nullptr || done == nullptr)
        return VORANT_MULTI_BAD_ARGUMENT;
    try {
        CCallOptions options;
        if (opts != nullptr)
            options = ReadCallOptions(*opts);
        return multi->m_Multi.Start(svcnum, in, out, opts ? &options : nullptr,
                                    [done, user](int p_iId, int p_iResult, const CVorantError& p_Err) {
                                        VorantErrorInfo info;
                                        CopyErrorInfo(p_Err, &info);
                                        done(user, p_iId, p_iResult, &info);
                                    });
    } catch (...) {
        return -11;  // out of memory: the call did not start
    }
}

int Vorant_MultiPoll(VorantMulti* multi, int timeoutMs) {
    return multi ? multi->m_Multi.Poll(timeoutMs) : VORANT_MULTI_BAD_ARGUMENT;
}

int Vorant_MultiCancel(VorantMulti* multi, int callId) {
    return multi ? multi->m_Multi.Cancel(callId) : VORANT_MULTI_BAD_ARGUMENT;
}

int Vorant_MultiSetHooks(VorantMulti* multi, VorantSocketFn sock, VorantTimerFn timer, void* user) {
    if (multi == nullptr || (sock == nullptr) != (timer == nullptr))
        return VORANT_MULTI_BAD_ARGUMENT;
    if (sock == nullptr)
        return multi->m_Multi.SetHooks(nullptr, nullptr);
    return multi->m_Multi.SetHooks([sock, user](int p_iFd, int p_iWhat) { sock(user, p_iFd, p_iWhat); },
                                   [timer, user](long p_lMs) { timer(user, p_lMs); });
}

int Vorant_MultiSocketAction(VorantMulti* multi, int fd, int events) {
    return multi ? multi->m_Multi.SocketAction(fd, events) : VORANT_MULTI_BAD_ARGUMENT;
}

int Vorant_MultiWakeup(VorantMulti* multi) { return multi ? multi->m_Multi.Wakeup() : VORANT_MULTI_BAD_ARGUMENT; }

void Vorant_MultiDestroy(VorantMulti* multi) { delete multi; }

}  // extern "C"
