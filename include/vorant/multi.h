/* vorant: many service calls in flight on one thread. Valid C (C89 and
 * later) and C++; vorant.h includes it.
 *
 * A multi handle runs service calls side by side, each on its own TCP
 * connection with its own time-outs, exactly as Vorant_CallServiceEx would
 * run it alone: the same results, codes, texts, bytes on the wire and trace
 * records. The library starts no thread: the caller's thread drives the
 * handle, in one of two ways:
 *
 *   - Vorant_MultiPoll waits (poll/epoll inside) for the calls' sockets and
 *     time-outs and advances every call that is ready; or
 *   - the application's own event loop watches the descriptors the handle
 *     names through the socket hook, arms a timer when the timer hook asks,
 *     and reports readiness and expiry with Vorant_MultiSocketAction.
 *
 * Threads: a handle is driven one way at a time, by one thread at a time;
 * every function below runs on that thread, except Vorant_MultiWakeup, which
 * any thread may call at any time while the handle exists. Several handles
 * on several threads are independent. Vorant_Initialize must have returned
 * before the first call starts.
 *
 * Name resolution: a numeric server address never waits. A name is resolved
 * when a call needs it, on the driving thread (the resolver's wait is paid
 * there); the handle keeps its addresses for 60 seconds, or until every one
 * of them has failed a connect, so that the wait is paid once, not per call.
 *
 * A typical loop:
 *
 *     VorantMulti* m = Vorant_MultiCreate(0);
 *     Vorant_MultiStart(m, 900, in, out1, NULL, on_done, ctx);
 *     Vorant_MultiStart(m, 901, in, out2, NULL, on_done, ctx);
 *     while (Vorant_MultiPoll(m, 1000) > 0) { }
 *     Vorant_MultiDestroy(m);
 */
#ifndef VORANT_MULTI_H
#define VORANT_MULTI_H

#include "vorant/vorant.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct VorantMulti VorantMulti;

/* Called exactly once for every call that started (a positive call id),
 * on the driving thread: from Vorant_MultiPoll, Vorant_MultiSocketAction,
 * Vorant_MultiCancel or Vorant_MultiDestroy; never from Vorant_MultiStart.
 * result is what Vorant_CallServiceEx would return for the call:
 *   VORANT_OK           answered: the answer is in the call's out message;
 *   VORANT_CALL_FAILED  err->code names the step (VorantCallStep:
 *                       VORANT_STEP_WRITE, _CONNECT, _SEND, _RECEIVE,
 *                       _PARSE, _PARSE_RAISED, or VORANT_CALL_CANCELLED)
 *                       and err->text says why;
 *   VORANT_REJECTED     err holds the server's code, reason and service
 *                       number.
 * err is valid only while done runs (copy what is kept). done may start
 * new calls and cancel others; it must not destroy the handle. When a trace
 * hook is set (trace.h), it runs for the call on the same thread just
 * before the call's done. */
typedef void (*VorantDoneFn)(void* user, int callId, int result, const VorantErrorInfo* err);

/* The socket hook: watch fd for what (VORANT_POLL_IN, VORANT_POLL_OUT), or
 * stop watching it (VORANT_POLL_REMOVE, said before the descriptor is
 * closed). A later call for the same fd replaces what is watched. */
typedef void (*VorantSocketFn)(void* user, int fd, int what);
/* The timer hook: call Vorant_MultiSocketAction(multi,
 * VORANT_SOCKET_TIMEOUT, 0) once timeoutMs milliseconds have passed (0: as
 * soon as the loop can); -1: no timer is wanted. A later call replaces the
 * timer. The handle keeps a timer that is due earlier than it needs (it is
 * not re-armed at every wait): a timer that fires with nothing due is
 * harmless and brings the next one. */
typedef void (*VorantTimerFn)(void* user, long timeoutMs);

#define VORANT_POLL_IN 1
#define VORANT_POLL_OUT 2
#define VORANT_POLL_REMOVE 4
#define VORANT_SOCKET_TIMEOUT (-1)

/* A call ended by Vorant_MultiCancel or Vorant_MultiDestroy has result
 * VORANT_CALL_FAILED and code VORANT_CALL_CANCELLED (vorant/codes.h). */

/* Results of the multi functions besides their documented values. */
#define VORANT_MULTI_BAD_ARGUMENT MA_ERR_NULL_PARAM         /* -12: a null handle, message or done, a bad fd */
#define VORANT_MULTI_NOT_INITIALIZED VORANT_NOT_INITIALIZED /* -1: Vorant_Initialize has not succeeded */
#define VORANT_MULTI_BAD_OPTIONS VORANT_INVALID_CALL        /* -2: options out of range */
#define VORANT_MULTI_NOT_IN_FLIGHT MA_ERR_ARRAY_INDEX       /* -27: no such call under way or waiting */
#define VORANT_MULTI_SYSTEM (-10)                           /* a poll or epoll failure (errno set) */

/* A new handle that keeps at most maxInFlight calls under way (0: 1024);
 * calls started beyond it wait in order and begin as others finish. Null
 * when it cannot be made (a negative maxInFlight, no descriptor for its
 * wake-up or poll set). The handle belongs to the caller: release it with
 * Vorant_MultiDestroy. */
VORANT_API VorantMulti* Vorant_MultiCreate(int maxInFlight);

/* Starts a call of service svcnum. The request is written at once (the
 * caller may change or free in as soon as this returns); out receives the
 * answer and must live until done has run for this call. opts as for
 * Vorant_CallServiceEx (null: the configured bounds and server); its
 * deadline counts from this start, the wait for a free slot included.
 * Returns the call id (> 0), or a negative result when the call did not
 * start (done is then never called): VORANT_MULTI_BAD_ARGUMENT,
 * VORANT_MULTI_NOT_INITIALIZED, VORANT_MULTI_BAD_OPTIONS. A request that
 * cannot be written, like every later failure, is reported through done. */
VORANT_API int Vorant_MultiStart(VorantMulti* multi, int svcnum, CMsg* in, CMsg* out, const VorantCallOptions* opts,
                                 VorantDoneFn done, void* user);

/* Waits at most timeoutMs milliseconds (negative: until the next call's
 * time-out; at once when no call is pending) for the calls' sockets,
 * their time-outs or a wake-up, advances every call that is ready and runs
 * done for those that finished. Returns the number of calls not finished
 * (under way or waiting), or VORANT_MULTI_BAD_ARGUMENT, VORANT_MULTI_SYSTEM.
 * Not while hooks are set. */
VORANT_API int Vorant_MultiPoll(VorantMulti* multi, int timeoutMs);

/* Ends a call under way or waiting: its connection is closed at once and
 * done runs before this returns, with result VORANT_CALL_FAILED and code
 * VORANT_CALL_CANCELLED. 0, or VORANT_MULTI_NOT_IN_FLIGHT (unknown,
 * finished or already cancelled), VORANT_MULTI_BAD_ARGUMENT. */
VORANT_API int Vorant_MultiCancel(VorantMulti* multi, int callId);

/* Drives the handle from the application's loop: from now on sock is told
 * which descriptors to watch and timer when to call back (both with user);
 * descriptors already watched are announced at once. Null hooks return the
 * handle to Vorant_MultiPoll. 0, or VORANT_MULTI_BAD_ARGUMENT. */
VORANT_API int Vorant_MultiSetHooks(VorantMulti* multi, VorantSocketFn sock, VorantTimerFn timer, void* user);

/* Reports that fd is ready for events (VORANT_POLL_IN|VORANT_POLL_OUT; an
 * error or hang-up counts as both), or with fd VORANT_SOCKET_TIMEOUT that
 * the timer fired. Advances what is ready, runs done for calls that
 * finished, and updates the hooks. A descriptor the handle no longer
 * watches is ignored. Returns the number of calls not finished, or
 * VORANT_MULTI_BAD_ARGUMENT. */
VORANT_API int Vorant_MultiSocketAction(VorantMulti* multi, int fd, int events);

/* From any thread: an ongoing (or the next) Vorant_MultiPoll returns at
 * once. 0, or VORANT_MULTI_BAD_ARGUMENT. */
VORANT_API int Vorant_MultiWakeup(VorantMulti* multi);

/* Cancels every call under way or waiting (done runs for each, as for
 * Vorant_MultiCancel), closes their connections and frees the handle. Null
 * is ignored. Never from inside done. */
VORANT_API void Vorant_MultiDestroy(VorantMulti* multi);

#ifdef __cplusplus
}
#endif

#endif /* VORANT_MULTI_H */
