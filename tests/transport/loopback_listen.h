// Listening on a loopback literal (IPv4 or IPv6), for test peers.
#ifndef VORANT_TESTS_TRANSPORT_LOOPBACK_LISTEN_H
#define VORANT_TESTS_TRANSPORT_LOOPBACK_LISTEN_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <cstring>

// A descriptor listening on p_szAddress ("127.0.0.1", "::1") with the given
// backlog; *p_pPort gets its port. Aborts the test program when that fails.
inline int ListenOnLoopback(const char* p_szAddress, int p_iBacklog, int* p_pPort) {
    sockaddr_storage addr;
    std::memset(&addr, 0, sizeof addr);
    socklen_t nLen = 0;
    auto* p4 = reinterpret_cast<sockaddr_in*>(&addr);
    auto* p6 = reinterpret_cast<sockaddr_in6*>(&addr);
    if (inet_pton(AF_INET, p_szAddress, &p4->sin_addr) == 1) {
        p4->sin_family = AF_INET;
        nLen = sizeof *p4;
    } else if (inet_pton(AF_INET6, p_szAddress, &p6->sin6_addr) == 1) {
        p6->sin6_family = AF_INET6;
        nLen = sizeof *p6;
    } else {
        abort();
    }
    const int iFd = socket(addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (iFd < 0 || bind(iFd, reinterpret_cast<sockaddr*>(&addr), nLen) != 0 || listen(iFd, p_iBacklog) != 0) {
        abort();
    }
    getsockname(iFd, reinterpret_cast<sockaddr*>(&addr), &nLen);
    *p_pPort = ntohs(addr.ss_family == AF_INET ? p4->sin_port : p6->sin6_port);
    return iFd;
}

#endif  // VORANT_TESTS_TRANSPORT_LOOPBACK_LISTEN_H
