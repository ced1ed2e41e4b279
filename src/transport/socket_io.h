// vorant transport: the few POSIX socket steps the adaptor builds on.
#ifndef VORANT_TRANSPORT_SOCKET_IO_H
#define VORANT_TRANSPORT_SOCKET_IO_H

#include <cstddef>
#include <cstdint>

// Waits until p_iSock is ready for p_sEvents (POLLIN or POLLOUT), at most
// p_llMillis milliseconds (0: just look). A signal restarts the wait with
// the time that remains. Returns 1 when ready (an error or hang-up on the
// socket counts as ready: the next send or recv reports it), 0 on time-out,
// -1 on failure with errno set.
int WaitForSocketMillis(int p_iSock, short p_sEvents, int64_t p_llMillis);

// A clock for time-outs and deadlines: milliseconds that never go back.
int64_t MonotonicMillis();
// The same clock in microseconds, for phase timings.
int64_t MonotonicMicros();

// Shuts both directions down and closes; a negative descriptor is ignored.
void CloseSocket(int p_iSock);

// strerror for any thread: the text lives in p_szBuf or is a static text.
const char* ErrnoText(int p_iErrno, char* p_szBuf, size_t p_nSize);

#endif  // VORANT_TRANSPORT_SOCKET_IO_H
