// A loopback listener whose accept queue is full and that never accepts: a
// connect to it neither completes nor fails, like a host that drops SYNs.
#ifndef VORANT_TESTS_TRANSPORT_NEVER_ACCEPTING_H
#define VORANT_TESTS_TRANSPORT_NEVER_ACCEPTING_H

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "transport/loopback_listen.h"

// Owns the listening socket and the connections that fill its queue.
class NeverAcceptingListener {
public:
    explicit NeverAcceptingListener(const char* p_szAddress = "127.0.0.1") {
        m_iListenFd = ListenOnLoopback(p_szAddress, 0, &m_iPort);
        sockaddr_storage addr;
        socklen_t nLen = sizeof addr;
        getsockname(m_iListenFd, reinterpret_cast<sockaddr*>(&addr), &nLen);
        // Connect until one stays pending: the queue is full from then on.
        for (int i = 0; i < 16 && !m_bFull; ++i) {
            const int iFd = socket(addr.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            connect(iFd, reinterpret_cast<sockaddr*>(&addr), nLen);
            pollfd pfd = {iFd, POLLOUT, 0};
            if (poll(&pfd, 1, 200) > 0) {
                m_Fillers.push_back(iFd);
            } else {
                close(iFd);
                m_bFull = true;
            }
        }
    }
    ~NeverAcceptingListener() {
        for (int iFd : m_Fillers) {
            close(iFd);
        }
        close(m_iListenFd);
    }
    NeverAcceptingListener(const NeverAcceptingListener&) = delete;
    NeverAcceptingListener& operator=(const NeverAcceptingListener&) = delete;

    int Port() const { return m_iPort; }
    // False when the queue could not be filled (the test cannot run).
    bool IsFull() const { return m_bFull; }

private:
    int m_iListenFd = -1;
    int m_iPort = 0;
    bool m_bFull = false;
    std::vector<int> m_Fillers;
};

#endif  // VORANT_TESTS_TRANSPORT_NEVER_ACCEPTING_H
