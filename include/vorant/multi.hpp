// vorant: many service calls in flight on one thread, for C++ callers.
//
// CVorantMulti runs service calls side by side, each on its own TCP
// connection with its own time-outs, exactly as CVorant::CallServiceByMsg
// would run it alone: the same results, codes, texts, bytes on the wire and
// trace records. The library starts no thread: the caller's thread drives
// the handle with Poll/Run, or the application's event loop drives it
// through the hooks and SocketAction (vorant/asio.hpp does this for Asio).
//
// Threads: a handle is driven one way at a time, by one thread at a time;
// every member runs on that thread, except Wakeup, which any thread may call
// while the handle exists. CVorant::Initialize must have returned before the
// first Start. Name resolution waits on the driving thread (numeric
// addresses never do); resolved names are kept for 60 s, or until every
// address has failed a connect.
#ifndef VORANT_MULTI_HPP
#define VORANT_MULTI_HPP

#include <functional>
#include <memory>

#include "vorant/cvorant.hpp"
#include "vorant/export.h"
#include "vorant/multi.h"

class CMsg;

// Owns the calls it runs (their connections, request packets and error
// records) and its poll set; the messages stay the caller's. One owner: not
// copyable. The destructor cancels what is still in flight, running each
// call's done first.
class VORANT_API CVorantMulti {
public:
    // Runs once per started call on the driving thread, never inside Start,
    // with the result CallServiceByMsg would return (VORANT_OK answered;
    // VORANT_CALL_FAILED with the step's code in the record,
    // VORANT_CALL_CANCELLED when cancelled; VORANT_REJECTED). The record lives only while it runs. It may
    // start and cancel calls; it must not destroy the handle, and must not
    // throw.
    using DoneFn = std::function<void(int p_iCallId, int p_iResult, const CVorantError& p_Err)>;
    // Watch p_iFd for p_iWhat (VORANT_POLL_IN|VORANT_POLL_OUT), or stop
    // (VORANT_POLL_REMOVE, before the descriptor is closed).
    using SocketFn = std::function<void(int p_iFd, int p_iWhat)>;
    // Call SocketAction(VORANT_SOCKET_TIMEOUT, 0) after p_lTimeoutMs
    // milliseconds; -1: no timer wanted.
    using TimerFn = std::function<void(long p_lTimeoutMs)>;

    // At most p_iMaxInFlight calls under way (0: 1024); calls beyond wait in
    // order. IsValid() is false when the handle could not be made (a negative
    // count, no descriptor for its poll set).
    explicit CVorantMulti(int p_iMaxInFlight = 0);
    ~CVorantMulti();
    CVorantMulti(const CVorantMulti&) = delete;
    CVorantMulti& operator=(const CVorantMulti&) = delete;

    bool IsValid() const;

    // Starts a call; p_pIn is written at once and stays the caller's,
    // p_pOut must live until p_Done has run. p_pOptions as for
    // CallServiceByMsg (null: the configured bounds); its deadline counts
    // from here, queueing included. The call id (> 0), or when the call did
    // not start (p_Done never runs): VORANT_MULTI_BAD_ARGUMENT,
    // VORANT_MULTI_NOT_INITIALIZED, VORANT_MULTI_BAD_OPTIONS.
    int Start(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, const CCallOptions* p_pOptions, DoneFn p_Done);

    // Waits at most p_iTimeoutMs (negative: until the next time-out) and
    // advances what is ready. The number of calls not finished, or
    // VORANT_MULTI_SYSTEM, VORANT_MULTI_BAD_ARGUMENT (hooks are set).
    int Poll(int p_iTimeoutMs);
    // Polls until no call is left. 0, or Poll's failure.
    int Run();
    // Ends a call now; its done has run when this returns. 0, or
    // VORANT_MULTI_NOT_IN_FLIGHT.
    int Cancel(int p_iCallId);
    // Hands the waiting to the application's loop (both set), or back to
    // Poll (both empty). 0, or VORANT_MULTI_BAD_ARGUMENT for one of each.
    int SetHooks(SocketFn p_Socket, TimerFn p_Timer);
    // A descriptor ready for p_iEvents, or VORANT_SOCKET_TIMEOUT. The number
    // of calls not finished.
    int SocketAction(int p_iFd, int p_iEvents);
    // Any thread: makes an ongoing or the next Poll return at once.
    int Wakeup();
    // Calls under way or waiting.
    int Pending() const;

private:
    class CImpl;
    std::unique_ptr<CImpl> m_pImpl;
};

#endif  // VORANT_MULTI_HPP
