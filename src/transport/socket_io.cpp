#include "transport/socket_io.h"

#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

int64_t MonotonicMillis() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int64_t MonotonicMicros() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

int WaitForSocketMillis(int p_iSock, short p_sEvents, int64_t p_llMillis) {
    const int64_t iBudget = p_llMillis > 0 ? p_llMillis : 0;
    const int64_t iDeadline = MonotonicMillis() + iBudget;
    int64_t iLeft = iBudget;
    for (;;) {
        pollfd pfd;
        pfd.fd = p_iSock;
        pfd.events = p_sEvents;
        pfd.revents = 0;
        const int iWait = iLeft > INT_MAX ? INT_MAX : static_cast<int>(iLeft);
        const int n = poll(&pfd, 1, iWait);
        if (n > 0) {
            if (pfd.revents & POLLNVAL) {
                errno = EBADF;
                return -1;
            }
            return 1;
        }
        if (n < 0 && errno != EINTR) {
            return -1;
        }
        // Woken by a signal, or a wait cut at INT_MAX ms: go on with what remains.
        iLeft = iDeadline - MonotonicMillis();
        if (n == 0 && iLeft <= 0) {
            return 0;
        }
        if (iLeft < 0) {
            iLeft = 0;
        }
    }
}

void CloseSocket(int p_iSock) {
    if (p_iSock < 0) {
        return;
    }
    shutdown(p_iSock, SHUT_RDWR);
    // close is not retried on EINTR: on Linux the descriptor is gone either way.
    close(p_iSock);
}

const char* ErrnoText(int p_iErrno, char* p_szBuf, size_t p_nSize) {
    // GNU strerror_r: returns either p_szBuf or an immutable static text.
    return strerror_r(p_iErrno, p_szBuf, p_nSize);
}
