// The multi handle: service calls advancing side by side on the thread that
// drives the handle, through epoll (Poll) or the application's loop (hooks).
#include "vorant/multi.hpp"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <deque>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "api/call_trace.h"
#include "api/library_state.h"
#include "api/service_call_steps.h"
#include "transport/address_list.h"
#include "transport/socket_io.h"

namespace {

const int kDefaultMaxInFlight = 1024;
// How long a resolved name is kept.
const int64_t kNameLifetimeMs = 60 * 1000;
const int kEventBatch = 256;
// The poll set's tag of the wake-up descriptor (call ids are positive).
const uint64_t kWakeTag = 0;

// The resolved-name cache's key: a name with its port.
std::string NameKey(const CCallOptions& p_Bounds) {
    return std::string(p_Bounds.m_szHost ? p_Bounds.m_szHost : "") + "\n" + std::to_string(p_Bounds.m_iPort);
}

int PollEvents(int p_iWant) {
    return ((p_iWant & CCallConnection::WANT_READ) ? VORANT_POLL_IN : 0) |
           ((p_iWant & CCallConnection::WANT_WRITE) ? VORANT_POLL_OUT : 0);
}

uint32_t EpollEvents(int p_iWhat) {
    return ((p_iWhat & VORANT_POLL_IN) ? EPOLLIN : 0u) | ((p_iWhat & VORANT_POLL_OUT) ? EPOLLOUT : 0u);
}

}  // namespace

// One call of the handle: its steps, its trace and what the poll set and
// the timer set know of it.
struct CEngineCall {
    CEngineCall(int p_iId, int p_iSvcNum, CMsg* p_pOut, const CCallOptions& p_Bounds, CVorantMulti::DoneFn&& p_Done,
                std::unique_ptr<CCallTrace>&& p_pTrace)
        : m_iId(p_iId),
          m_iSvcNum(p_iSvcNum),
          m_pOut(p_pOut),
          m_Done(std::move(p_Done)),
          m_pTrace(std::move(p_pTrace)),
          m_Call(p_iSvcNum, p_Bounds, m_pTrace.get()),
          m_llStartMs(MonotonicMillis()) {}

    int m_iId;
    int m_iSvcNum;
    CMsg* m_pOut;
    CVorantMulti::DoneFn m_Done;
    std::unique_ptr<CCallTrace> m_pTrace;
    CServiceCall m_Call;
    int64_t m_llStartMs;
    int m_iWatchedFd = -1;
    int m_iWatched = 0;       // VORANT_POLL_* the loop or poll set watches for
    int64_t m_llTimerAt = 0;  // its entry in the timer set; 0: none
};

// Owns the calls (under way, waiting, finished but not yet reported), the
// epoll set and wake-up descriptor, and the resolved names. Driven by one
// thread; only Wakeup comes from others (an eventfd write).
class CVorantMulti::CImpl {
public:
    explicit CImpl(int p_iMaxInFlight);
    ~CImpl();

    bool IsValid() const { return m_iEpoll >= 0 && m_iWake >= 0; }
    int Start(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, const CCallOptions* p_pOptions, DoneFn&& p_Done);
    int Poll(int p_iTimeoutMs);
    int Cancel(int p_iCallId);
    int SetHooks(SocketFn&& p_Socket, TimerFn&& p_Timer);
    int SocketAction(int p_iFd, int p_iEvents);
    int Wakeup();
    int Pending() const { return static_cast<int>(m_Calls.size() + m_Finished.size()); }
    void CancelAll();

    static void SocketClosing(void* p_pImpl, int p_iFd);

private:
    using CallPtr = std::unique_ptr<CEngineCall>;

    int NextId();
    void Launch(CEngineCall* p_pCall);
    void LaunchWaiting();
    // Takes a call out of the queue for a free slot, if it is there.
    void StopWaiting(int p_iCallId);
    // Brings the poll set and the timers in line with what the call's
    // connection now waits for; a finished call goes to the reported list.
    void Update(CEngineCall* p_pCall);
    void Watch(CEngineCall* p_pCall, int p_iFd, int p_iWhat);
    // p_bClosing: the descriptor is about to close, which takes it out of
    // the poll set by itself.
    void Unwatch(CEngineCall* p_pCall, bool p_bClosing = false);
    void SetTimer(CEngineCall* p_pCall, int64_t p_llAt);
    void Ready(int p_iCallId, int p_iFd, int p_iEvents);
    void ExpireTimers();
    // Takes the call out of the tables (its slot is free again).
    CallPtr Detach(CEngineCall* p_pCall);
    // Detaches the call, queues its report and fills its slot.
    void Finish(CEngineCall* p_pCall);
    void Report(CallPtr p_pCall);
    void ReportFinished();
    void AnnounceTimer();
    int64_t NearestTimeout() const;
    void Resolve(CEngineCall* p_pCall, CAddressList* p_pAddresses, int* p_piResolved);
    void ForgetName(const CEngineCall& p_Call);

    int m_iMaxInFlight;
    int m_iEpoll = -1;
    int m_iWake = -1;
    int m_iLastId = 0;
    int m_iUnderWay = 0;
    bool m_bClosing = false;
    std::unordered_map<int, CallPtr> m_Calls;  // every call not yet reported
    std::deque<int> m_Waiting;                 // for a free slot, in order
    std::unordered_map<int, CEngineCall*> m_ByFd;
    std::set<std::pair<int64_t, int>> m_Timers;
    std::vector<CallPtr> m_Finished;  // done still to run
    SocketFn m_SocketHook;
    TimerFn m_TimerHook;
    long m_lAnnounced = -2;  // what the timer hook was last told
    int64_t m_llAnnouncedAt = 0;

    struct CResolvedName {
        CAddressList m_Addresses;
        int64_t m_llUntil;
    };
    std::unordered_map<std::string, CResolvedName> m_Names;
};

CVorantMulti::CImpl::CImpl(int p_iMaxInFlight)
    : m_iMaxInFlight(p_iMaxInFlight == 0 ? kDefaultMaxInFlight : p_iMaxInFlight) {
    if (p_iMaxInFlight < 0)
        return;
    m_iEpoll = epoll_create1(EPOLL_CLOEXEC);
    m_iWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_iEpoll < 0 || m_iWake < 0)
        return;
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = kWakeTag;
    if (epoll_ctl(m_iEpoll, EPOLL_CTL_ADD, m_iWake, &ev) != 0) {
        close(m_iWake);
        m_iWake = -1;
    }
}

CVorantMulti::CImpl::~CImpl() {
    CancelAll();
    if (m_iEpoll >= 0)
        close(m_iEpoll);
    if (m_iWake >= 0)
        close(m_iWake);
}

int CVorantMulti::CImpl::NextId() {
    do {
        m_iLastId = m_iLastId == INT_MAX ? 1 : m_iLastId + 1;
    } while (m_Calls.count(m_iLastId) != 0);
    return m_iLastId;
}

int CVorantMulti::CImpl::Start(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, const CCallOptions* p_pOptions,
                               DoneFn&& p_Done) {
    if (p_pIn == nullptr || p_pOut == nullptr || !p_Done || !IsValid() || m_bClosing)
        return VORANT_MULTI_BAD_ARGUMENT;
    if (!g_bInitialized.load(std::memory_order_acquire))
        return VORANT_MULTI_NOT_INITIALIZED;
    CCallOptions bounds;
    if (!ResolveCallBounds(p_pOptions, &bounds))
        return VORANT_MULTI_BAD_OPTIONS;

    std::unique_ptr<CCallTrace> pTrace;
    if (g_pTraceHook.load(std::memory_order_acquire) != nullptr)
        pTrace.reset(new CCallTrace);
    const int iId = NextId();
    CallPtr pCall(new CEngineCall(iId, p_iSvcNum, p_pOut, bounds, std::move(p_Done), std::move(pTrace)));
    CEngineCall* pRaw = pCall.get();
    pRaw->m_Call.Connection().SetClosingHook(&CImpl::SocketClosing, this);
    m_Calls.emplace(iId, std::move(pCall));
    if (pRaw->m_Call.WriteRequest(p_pIn, 0) < 0)
        Finish(pRaw);
    else if (m_iUnderWay < m_iMaxInFlight)
        Launch(pRaw);
    else {
        m_Waiting.push_back(iId);
        // Its deadline runs while it waits.
        if (bounds.m_iDeadlineMs > 0)
            SetTimer(pRaw, pRaw->m_llStartMs + bounds.m_iDeadlineMs);
    }
    AnnounceTimer();
    return iId;
}

void CVorantMulti::CImpl::Launch(CEngineCall* p_pCall) {
    ++m_iUnderWay;
    if (p_pCall->m_pTrace)
        p_pCall->m_pTrace->SetQueueMicros((MonotonicMillis() - p_pCall->m_llStartMs) * 1000);
    CAddressList addresses;
    int iResolved = 0;
    Resolve(p_pCall, &addresses, &iResolved);
    p_pCall->m_Call.Begin(std::move(addresses), iResolved, p_pCall->m_llStartMs);
    Update(p_pCall);
}

void CVorantMulti::CImpl::StopWaiting(int p_iCallId) {
    const auto it = std::find(m_Waiting.begin(), m_Waiting.end(), p_iCallId);
    if (it != m_Waiting.end())
        m_Waiting.erase(it);
}

void CVorantMulti::CImpl::LaunchWaiting() {
    while (m_iUnderWay < m_iMaxInFlight && !m_Waiting.empty()) {
        const int iId = m_Waiting.front();
        m_Waiting.pop_front();
        auto it = m_Calls.find(iId);
        if (it != m_Calls.end())
            Launch(it->second.get());
    }
}

void CVorantMulti::CImpl::Resolve(CEngineCall* p_pCall, CAddressList* p_pAddresses, int* p_piResolved) {
    const CCallOptions& bounds = p_pCall->m_Call.Bounds();
    const std::string strKey = NameKey(bounds);
    const int64_t llNow = MonotonicMillis();
    auto it = m_Names.find(strKey);
    if (it != m_Names.end() && it->second.m_llUntil > llNow) {
        *p_pAddresses = it->second.m_Addresses;
        if (p_pCall->m_pTrace)
            p_pCall->m_pTrace->SetResolveMicros(0);
        return;
    }
    const int64_t llStartUs = MonotonicMicros();
    *p_piResolved = p_pAddresses->Append(bounds.m_szHost, bounds.m_iPort);
    if (p_pCall->m_pTrace)
        p_pCall->m_pTrace->SetResolveMicros(MonotonicMicros() - llStartUs);
    if (*p_piResolved == 0)
        m_Names[strKey] = CResolvedName{*p_pAddresses, llNow + kNameLifetimeMs};
    else
        m_Names.erase(strKey);
}

void CVorantMulti::CImpl::ForgetName(const CEngineCall& p_Call) { m_Names.erase(NameKey(p_Call.m_Call.Bounds())); }

void CVorantMulti::CImpl::Update(CEngineCall* p_pCall) {
    CCallConnection& conn = p_pCall->m_Call.Connection();
    if (p_pCall->m_Call.Finished()) {
        Finish(p_pCall);
        return;
    }
    Watch(p_pCall, conn.Fd(), PollEvents(conn.Wanted()));
    SetTimer(p_pCall, conn.TimeoutAt());
}

void CVorantMulti::CImpl::Watch(CEngineCall* p_pCall, int p_iFd, int p_iWhat) {
    if (p_pCall->m_iWatchedFd == p_iFd && p_pCall->m_iWatched == p_iWhat)
        return;
    if (p_pCall->m_iWatchedFd >= 0 && p_pCall->m_iWatchedFd != p_iFd)
        Unwatch(p_pCall);
    if (p_iFd < 0 || p_iWhat == 0) {
        Unwatch(p_pCall);
        return;
    }
    const bool bNew = p_pCall->m_iWatchedFd != p_iFd;
    p_pCall->m_iWatchedFd = p_iFd;
    p_pCall->m_iWatched = p_iWhat;
    m_ByFd[p_iFd] = p_pCall;
    if (m_SocketHook) {
        m_SocketHook(p_iFd, p_iWhat);
        return;
    }
    epoll_event ev{};
    ev.events = EpollEvents(p_iWhat);
    ev.data.u64 = static_cast<uint64_t>(p_pCall->m_iId);
    if (epoll_ctl(m_iEpoll, bNew ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, p_iFd, &ev) != 0) {
        // No room in the poll set: this call fails, the others go on.
        const int iErrno = errno;
        Unwatch(p_pCall);
        p_pCall->m_Call.Connection().OnWaitFailed(iErrno);
    }
}

void CVorantMulti::CImpl::Unwatch(CEngineCall* p_pCall, bool p_bClosing) {
    const int iFd = p_pCall->m_iWatchedFd;
    if (iFd < 0)
        return;
    p_pCall->m_iWatchedFd = -1;
    p_pCall->m_iWatched = 0;
    m_ByFd.erase(iFd);
    if (m_SocketHook)
        m_SocketHook(iFd, VORANT_POLL_REMOVE);
    else if (!p_bClosing)
        epoll_ctl(m_iEpoll, EPOLL_CTL_DEL, iFd, nullptr);
}

void CVorantMulti::CImpl::SocketClosing(void* p_pImpl, int p_iFd) {
    CImpl* pImpl = static_cast<CImpl*>(p_pImpl);
    auto it = pImpl->m_ByFd.find(p_iFd);
    if (it != pImpl->m_ByFd.end())
        pImpl->Unwatch(it->second, true);
}

void CVorantMulti::CImpl::SetTimer(CEngineCall* p_pCall, int64_t p_llAt) {
    if (p_pCall->m_llTimerAt == p_llAt)
        return;
    if (p_pCall->m_llTimerAt != 0)
        m_Timers.erase({p_pCall->m_llTimerAt, p_pCall->m_iId});
    p_pCall->m_llTimerAt = p_llAt;
    if (p_llAt != 0)
        m_Timers.insert({p_llAt, p_pCall->m_iId});
}

CVorantMulti::CImpl::CallPtr CVorantMulti::CImpl::Detach(CEngineCall* p_pCall) {
    Unwatch(p_pCall);
    SetTimer(p_pCall, 0);
    const CCallConnection& conn = p_pCall->m_Call.Connection();
    if (conn.EveryAddressFailed())
        ForgetName(*p_pCall);
    if (conn.GetState() != CCallConnection::IDLE)
        --m_iUnderWay;
    auto it = m_Calls.find(p_pCall->m_iId);
    CallPtr pCall = std::move(it->second);
    m_Calls.erase(it);
    return pCall;
}

void CVorantMulti::CImpl::Finish(CEngineCall* p_pCall) {
    m_Finished.push_back(Detach(p_pCall));
    LaunchWaiting();
}

void CVorantMulti::CImpl::Report(CallPtr p_pCall) {
    CEngineCall& call = *p_pCall;
    CString strText;
    CVorantError err;
    int iResult;
    try {
        const int iCore = call.m_Call.ReadAnswer(call.m_pOut, &strText);
        iResult = RecordCallResult(call.m_iSvcNum, iCore, strText, call.m_pOut, &err);
    } catch (const CException& e) {
        err.SetError(e.GetCode(), e.GetText(), -1);
        iResult = VORANT_CALL_FAILED;
    }
    const VorantTraceHook pHook = g_pTraceHook.load(std::memory_order_acquire);
    if (call.m_pTrace && pHook != nullptr)
        call.m_pTrace->Report(pHook, g_pTraceUser, call.m_iSvcNum, iResult, err.GetCode());
    call.m_Done(call.m_iId, iResult, err);
}

void CVorantMulti::CImpl::ReportFinished() {
    // Calls that finish while these are reported wait for the next round.
    std::vector<CallPtr> finished;
    finished.swap(m_Finished);
    for (CallPtr& pCall : finished)
        Report(std::move(pCall));
}

void CVorantMulti::CImpl::Ready(int p_iCallId, int p_iFd, int p_iEvents) {
    auto it = m_Calls.find(p_iCallId);
    if (it == m_Calls.end() || it->second->m_iWatchedFd != p_iFd || p_iEvents == 0)
        return;
    CEngineCall* pCall = it->second.get();
    pCall->m_Call.Connection().OnReady(MonotonicMillis());
    Update(pCall);
}

void CVorantMulti::CImpl::ExpireTimers() {
    const int64_t llNow = MonotonicMillis();
    while (!m_Timers.empty() && m_Timers.begin()->first <= llNow) {
        const int iId = m_Timers.begin()->second;
        CEngineCall* pCall = m_Calls.at(iId).get();
        SetTimer(pCall, 0);
        if (pCall->m_Call.Connection().GetState() == CCallConnection::IDLE) {
            // Its deadline passed while it waited: it fails as a connect
            // the deadline ended.
            StopWaiting(iId);
            Launch(pCall);
            continue;
        }
        pCall->m_Call.Connection().OnTimer(llNow);
        Update(pCall);
    }
}

int64_t CVorantMulti::CImpl::NearestTimeout() const {
    if (!m_Finished.empty())
        return 0;
    if (m_Timers.empty())
        return -1;
    const int64_t llLeft = m_Timers.begin()->first - MonotonicMillis();
    return llLeft > 0 ? llLeft : 0;
}

void CVorantMulti::CImpl::AnnounceTimer() {
    if (!m_TimerHook)
        return;
    const int64_t llWait = NearestTimeout();
    const long lWait = llWait > LONG_MAX ? LONG_MAX : static_cast<long>(llWait);
    const int64_t llAt = llWait < 0 ? -1 : MonotonicMillis() + llWait;
    if (lWait == m_lAnnounced && (llWait < 0 || llAt == m_llAnnouncedAt))
        return;
    // A timer already set for an earlier time stays: when it fires, the
    // next one is told. Re-arming the loop's timer at every wait would cost
    // more than the early wake-up.
    const bool bTimerSet = m_lAnnounced >= 0;
    if (bTimerSet && llWait >= 0 && llAt >= m_llAnnouncedAt)
        return;
    m_lAnnounced = lWait;
    m_llAnnouncedAt = llAt;
    m_TimerHook(lWait);
}

int CVorantMulti::CImpl::Poll(int p_iTimeoutMs) {
    if (!IsValid() || m_SocketHook)
        return VORANT_MULTI_BAD_ARGUMENT;
    int64_t llWait = NearestTimeout();
    if (m_Calls.empty() && m_Finished.empty() && p_iTimeoutMs < 0)
        llWait = 0;
    if (p_iTimeoutMs >= 0 && (llWait < 0 || llWait > p_iTimeoutMs))
        llWait = p_iTimeoutMs;
    epoll_event events[kEventBatch];
    const int n = epoll_wait(m_iEpoll, events, kEventBatch, llWait > INT_MAX ? INT_MAX : static_cast<int>(llWait));
    if (n < 0 && errno != EINTR)
        return VORANT_MULTI_SYSTEM;
    for (int i = 0; i < n; ++i) {
        if (events[i].data.u64 == kWakeTag) {
            uint64_t uCount;
            while (read(m_iWake, &uCount, sizeof uCount) > 0) {
            }
            continue;
        }
        const int iId = static_cast<int>(events[i].data.u64);
        auto it = m_Calls.find(iId);
        if (it != m_Calls.end())
            Ready(iId, it->second->m_iWatchedFd, 1);
    }
    ExpireTimers();
    ReportFinished();
    return Pending();
}

int CVorantMulti::CImpl::SocketAction(int p_iFd, int p_iEvents) {
    if (!IsValid())
        return VORANT_MULTI_BAD_ARGUMENT;
    if (p_iFd == VORANT_SOCKET_TIMEOUT) {
        m_lAnnounced = -2;  // the timer is spent: the next one is always told
    } else {
        auto it = m_ByFd.find(p_iFd);
        if (it != m_ByFd.end())
            Ready(it->second->m_iId, p_iFd, p_iEvents != 0 ? p_iEvents : VORANT_POLL_IN);
    }
    ExpireTimers();
    ReportFinished();
    AnnounceTimer();
    return Pending();
}

int CVorantMulti::CImpl::Cancel(int p_iCallId) {
    auto it = m_Calls.find(p_iCallId);
    if (it == m_Calls.end())
        return VORANT_MULTI_NOT_IN_FLIGHT;
    CEngineCall* pCall = it->second.get();
    StopWaiting(p_iCallId);
    pCall->m_Call.Cancel();
    CallPtr pMine = Detach(pCall);
    LaunchWaiting();
    // Its done runs now; others that finished meanwhile keep their turn.
    Report(std::move(pMine));
    AnnounceTimer();
    return 0;
}

void CVorantMulti::CImpl::CancelAll() {
    m_bClosing = true;
    while (!m_Waiting.empty() || !m_Calls.empty()) {
        const int iId = !m_Waiting.empty() ? m_Waiting.back() : m_Calls.begin()->first;
        Cancel(iId);
    }
    ReportFinished();
}

int CVorantMulti::CImpl::SetHooks(SocketFn&& p_Socket, TimerFn&& p_Timer) {
    if (static_cast<bool>(p_Socket) != static_cast<bool>(p_Timer) || !IsValid())
        return VORANT_MULTI_BAD_ARGUMENT;
    // Every watched descriptor moves from the poll set to the loop, or back.
    std::vector<std::pair<CEngineCall*, int>> watched;
    for (auto& entry : m_ByFd)
        watched.emplace_back(entry.second, entry.second->m_iWatched);
    for (auto& w : watched)
        Unwatch(w.first);
    m_SocketHook = std::move(p_Socket);
    m_TimerHook = std::move(p_Timer);
    m_lAnnounced = -2;
    for (auto& w : watched)
        Watch(w.first, w.first->m_Call.Connection().Fd(), w.second);
    AnnounceTimer();
    return 0;
}

int CVorantMulti::CImpl::Wakeup() {
    if (m_iWake < 0)
        return VORANT_MULTI_BAD_ARGUMENT;
    const uint64_t uOne = 1;
    // A full counter already wakes the poll.
    if (write(m_iWake, &uOne, sizeof uOne) < 0 && errno != EAGAIN)
        return VORANT_MULTI_SYSTEM;
    return 0;
}

CVorantMulti::CVorantMulti(int p_iMaxInFlight) : m_pImpl(new CImpl(p_iMaxInFlight)) {}

CVorantMulti::~CVorantMulti() = default;

bool CVorantMulti::IsValid() const { return m_pImpl->IsValid(); }

int CVorantMulti::Start(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, const CCallOptions* p_pOptions, DoneFn p_Done) {
    return m_pImpl->Start(p_iSvcNum, p_pIn, p_pOut, p_pOptions, std::move(p_Done));
}

int CVorantMulti::Poll(int p_iTimeoutMs) { return m_pImpl->Poll(p_iTimeoutMs); }

int CVorantMulti::Run() {
    for (;;) {
        const int iLeft = m_pImpl->Poll(-1);
        if (iLeft <= 0)
            return iLeft;
    }
}

int CVorantMulti::Cancel(int p_iCallId) { return m_pImpl->Cancel(p_iCallId); }

int CVorantMulti::SetHooks(SocketFn p_Socket, TimerFn p_Timer) {
    return m_pImpl->SetHooks(std::move(p_Socket), std::move(p_Timer));
}

int CVorantMulti::SocketAction(int p_iFd, int p_iEvents) { return m_pImpl->SocketAction(p_iFd, p_iEvents); }

int CVorantMulti::Wakeup() { return m_pImpl->Wakeup(); }

int CVorantMulti::Pending() const { return m_pImpl->Pending(); }
