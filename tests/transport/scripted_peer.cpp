#include "scripted_peer.h"

#include "loopback_listen.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const int kWaitMs = 5000;

bool WaitReadable(int p_iFd) {
    pollfd pfd = {p_iFd, POLLIN, 0};
    int n;
    do {
        n = poll(&pfd, 1, kWaitMs);
    } while (n < 0 && errno == EINTR);
    return n > 0;
}

}  // namespace

bool PeerConnection::Send(const std::string& p_strBytes) {
    size_t nDone = 0;
    while (nDone < p_strBytes.size()) {
        const ssize_t n = send(m_iFd, p_strBytes.data() + nDone, p_strBytes.size() - nDone, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        nDone += static_cast<size_t>(n);
    }
    return true;
}

std::string PeerConnection::Read(size_t p_nBytes) {
    std::string strData;
    char buf[65536];
    while (strData.size() < p_nBytes && WaitReadable(m_iFd)) {
        const size_t nWant = std::min(sizeof buf, p_nBytes - strData.size());
        const ssize_t n = recv(m_iFd, buf, nWant, 0);
        if (n <= 0) {
            break;
        }
        strData.append(buf, static_cast<size_t>(n));
    }
    return strData;
}

std::string PeerConnection::ReadPacket() {
    std::string strPacket = Read(128);
    if (strPacket.size() < 128) {
        return strPacket;
    }
    const long lLength = std::strtol(strPacket.substr(12, 10).c_str(), nullptr, 10);
    if (lLength < 128) {
        return strPacket;
    }
    strPacket += Read(static_cast<size_t>(lLength) - 128 + 3);
    return strPacket;
}

void PeerConnection::WaitForClientClose() {
    char buf[4096];
    while (WaitReadable(m_iFd)) {
        if (recv(m_iFd, buf, sizeof buf, 0) <= 0) {
            return;
        }
    }
}

void PeerConnection::Reset() {
    linger lin = {1, 0};
    setsockopt(m_iFd, SOL_SOCKET, SO_LINGER, &lin, sizeof lin);
    Close();
}

void PeerConnection::Close() {
    if (m_iFd >= 0) {
        close(m_iFd);
        m_iFd = -1;
    }
}

ScriptedPeer::ScriptedPeer(std::function<void(PeerConnection&)> p_fnScript, const char* p_szAddress) {
    m_iListenFd = ListenOnLoopback(p_szAddress, 4, &m_iPort);
    const int iListenFd = m_iListenFd;
    m_Thread = std::thread([iListenFd, p_fnScript]() {
        if (!WaitReadable(iListenFd)) {
            return;
        }
        const int iFd = accept4(iListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (iFd < 0) {
            return;
        }
        PeerConnection conn(iFd);
        p_fnScript(conn);
        conn.Close();
    });
}

ScriptedPeer::~ScriptedPeer() { Join(); }

void ScriptedPeer::Join() {
    if (m_Thread.joinable()) {
        m_Thread.join();
    }
    if (m_iListenFd >= 0) {
        close(m_iListenFd);
        m_iListenFd = -1;
    }
}

int UnusedPort(const char* p_szAddress) {
    int iPort = 0;
    const int iFd = ListenOnLoopback(p_szAddress, 4, &iPort);
    close(iFd);
    return iPort;
}
