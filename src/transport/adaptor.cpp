#include "transport/adaptor.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "dat_class/alloc_failure.h"
#include "transport/adaptor_errors.h"
#include "transport/socket_io.h"

namespace {

std::atomic<bool> g_bWinSockStarted{false};

const int kDetailStep = 1024;
const int kMaxPort = 65535;

}  // namespace

int InitWinSock() {
    g_bWinSockStarted.store(true);
    return 0;
}

bool IsWinSockStarted() { return g_bWinSockStarted.load(); }

CAdaptor::CAdaptor()
    : m_iPort(0), m_iSock(-1), m_iSendTimeout(90), m_iRecvTimeout(60), m_iMaxPacketLength(DEFAULT_MAX_PACKET_LENGTH) {}

CAdaptor::~CAdaptor() { Close(); }

void CAdaptor::Close() {
    CloseSocket(m_iSock);
    m_iSock = -1;
}

void CAdaptor::Attach(int p_iSock, const char* p_szHost, int p_iPort) {
    Close();
    m_strHost = p_szHost;
    m_iPort = p_iPort;
    m_iSock = p_iSock;
}

int CAdaptor::Connect(const char* p_szHost, int p_iPort) {
    Close();
    // Close-on-exec: a process that forks and runs another program must
    // not hand it our connection.
    const int iSock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (iSock < 0) {
        SetError(ADAPTOR_SOCKET, "(iSock=%d)", iSock);
        return ADAPTOR_SOCKET;
    }

    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pFound = nullptr;
    if (p_szHost == nullptr || getaddrinfo(p_szHost, nullptr, &hints, &pFound) != 0 || pFound == nullptr) {
        if (pFound != nullptr) {
            freeaddrinfo(pFound);
        }
        CloseSocket(iSock);
        SetError(ADAPTOR_RESOLVE, "(hostname=%s)", p_szHost ? p_szHost : "");
        return ADAPTOR_RESOLVE;
    }
    sockaddr_in addr;
    std::memcpy(&addr, pFound->ai_addr, sizeof addr);
    freeaddrinfo(pFound);

    // A port outside 0..65535 would be cut to 16 bits and reach another
    // service: refuse it instead.
    if (p_iPort < 0 || p_iPort > kMaxPort) {
        CloseSocket(iSock);
        SetError(ADAPTOR_CONNECT, "(port=%d)", p_iPort);
        return ADAPTOR_CONNECT;
    }
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(p_iPort));

    const int iOn = 1;
    if (setsockopt(iSock, IPPROTO_TCP, TCP_NODELAY, &iOn, sizeof iOn) != 0) {
        CloseSocket(iSock);
        SetError(ADAPTOR_SOCKOPT, "(TCP_NODELAY)");
        return ADAPTOR_SOCKOPT;
    }

    int iResult = connect(iSock, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    if (iResult != 0 && errno == EINTR) {
        // The connection goes on in the background: wait for it, then ask
        // how it ended.
        int iWait;
        do {
            pollfd pfd = {iSock, POLLOUT, 0};
            iWait = poll(&pfd, 1, -1);
        } while (iWait < 0 && errno == EINTR);
        int iSoError = 0;
        socklen_t nLen = sizeof iSoError;
        iResult =
            (iWait > 0 && getsockopt(iSock, SOL_SOCKET, SO_ERROR, &iSoError, &nLen) == 0 && iSoError == 0) ? 0 : -1;
    }
    if (iResult != 0) {
        CloseSocket(iSock);
        SetError(ADAPTOR_CONNECT, "(connect)");
        return ADAPTOR_CONNECT;
    }

    m_strHost = p_szHost;
    m_iPort = p_iPort;
    m_iSock = iSock;
    return iSock;
}

int CAdaptor::SendData(const char* p_pData, int p_iLength, int p_iTimeout) {
    if (m_iSock < 0) {
        SetError(ADAPTOR_NOT_CONNECTED, "(SendData)");
        return ADAPTOR_NOT_CONNECTED;
    }
    if (p_pData == nullptr) {
        SetError(ADAPTOR_NULL_PARAM, "p_pData");
        return ADAPTOR_NULL_PARAM;
    }
    const int iTimeout = p_iTimeout < 0 ? m_iSendTimeout : p_iTimeout;
    if (p_iLength < 1) {
        return 0;
    }

    const char* pCursor = p_pData;
    size_t nLeft = static_cast<size_t>(p_iLength);
    char szErr[256];
    for (;;) {
        errno = 0;
        // Never block inside send: a peer that stops reading must run into
        // the time-out, and a closed peer must give EPIPE, not SIGPIPE.
        const ssize_t n = send(m_iSock, pCursor, nLeft, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            pCursor += n;
            nLeft -= static_cast<size_t>(n);
            if (nLeft == 0) {
                return 0;
            }
            continue;
        }
        const int iErrno = errno;
        if (n < 0 && iErrno == EINTR) {
            continue;
        }
        if (iErrno != EWOULDBLOCK && iErrno != EAGAIN) {
            SetError(ADAPTOR_SEND, "(send errno=%d,%s)", iErrno, ErrnoText(iErrno, szErr, sizeof szErr));
            return ADAPTOR_SEND;
        }
        const int iWait = WaitForProgress(POLLOUT, iTimeout, "send");
        if (iWait < 0) {
            return iWait;
        }
    }
}

int CAdaptor::ReceiveData(char* p_pBuffer, int p_iLength, int p_iTimeout) {
    if (m_iSock < 0) {
        SetError(ADAPTOR_NOT_CONNECTED, "(ReceiveData)");
        return ADAPTOR_NOT_CONNECTED;
    }
    const int iTimeout = p_iTimeout < 0 ? m_iRecvTimeout : p_iTimeout;
    if (p_iLength < 1) {
        return p_iLength;
    }
    if (p_pBuffer == nullptr) {
        SetError(ADAPTOR_NULL_PARAM, "p_pBuffer");
        return ADAPTOR_NULL_PARAM;
    }

    char* pCursor = p_pBuffer;
    size_t nLeft = static_cast<size_t>(p_iLength);
    char szErr[256];
    while (nLeft > 0) {
        const int iWait = WaitForProgress(POLLIN, iTimeout, "recv");
        if (iWait < 0) {
            return iWait;
        }
        errno = 0;
        const ssize_t n = recv(m_iSock, pCursor, nLeft, MSG_DONTWAIT);
        if (n > 0) {
            pCursor += n;
            nLeft -= static_cast<size_t>(n);
            continue;
        }
        if (n == 0) {
            SetError(ADAPTOR_CLOSED, "OK");
            return ADAPTOR_CLOSED;
        }
        const int iErrno = errno;
        if (iErrno == EWOULDBLOCK || iErrno == EAGAIN || iErrno == EINTR) {
            continue;
        }
        if (iErrno == ECONNRESET) {
            SetError(ADAPTOR_CLOSED, "(%s)", ErrnoText(iErrno, szErr, sizeof szErr));
            return ADAPTOR_CLOSED;
        }
        SetError(ADAPTOR_RECV, "(recv errno=%d,%s)", iErrno, ErrnoText(iErrno, szErr, sizeof szErr));
        return ADAPTOR_RECV;
    }
    return p_iLength;
}

int CAdaptor::WaitForProgress(short p_sEvents, int p_iTimeout, const char* p_szOp) {
    const int iReady = WaitForSocket(m_iSock, p_sEvents, p_iTimeout);
    if (iReady > 0) {
        return 0;
    }
    if (iReady == 0) {
        SetError(ADAPTOR_TIMEOUT, "(%s to=%d)", p_szOp, p_iTimeout);
        return ADAPTOR_TIMEOUT;
    }
    const int iErrno = errno;
    char szErr[256];
    SetError(ADAPTOR_WAIT, "(%s errno=%d,%s)", p_szOp, iErrno, ErrnoText(iErrno, szErr, sizeof szErr));
    return ADAPTOR_WAIT;
}

void CAdaptor::SetError(int p_iCode, const char* p_szFormat, ...) {
    if (!m_pError) {
        try {
            m_pError.reset(new CAdaptorError);
        } catch (const std::bad_alloc& e) {
            vorant::ThrowAllocFailure("adaptor", __LINE__, "Error", e);
        }
    }
    m_pError->m_iCode = p_iCode;

    CString strDetails;
    if (p_szFormat != nullptr) {
        // Grow in 1024-byte steps until the whole text fits; no upper limit.
        int iSize = kDetailStep;
        for (;;) {
            std::unique_ptr<char[]> pBuf;
            try {
                pBuf.reset(new char[iSize]);
            } catch (const std::bad_alloc& e) {
                vorant::ThrowAllocFailure("adaptor", __LINE__, "char[iLen]", e);
            }
            va_list args;
            va_start(args, p_szFormat);
            const int n = vsnprintf(pBuf.get(), static_cast<size_t>(iSize), p_szFormat, args);
            va_end(args);
            if (n < 0) {
                break;
            }
            if (n < iSize) {
                strDetails = pBuf.get();
                break;
            }
            iSize = (n / kDetailStep + 1) * kDetailStep;
        }
    }
    m_pError->m_strText = CFormat("%s(%d)(%s)", AdaptorErrorText(p_iCode), p_iCode, strDetails.ToStr());
}

const char* CAdaptor::GetLastError() const { return m_pError ? m_pError->m_strText.ToStr() : ""; }

int CAdaptor::GetLastErrorCode() const { return m_pError ? m_pError->m_iCode : 0; }

void CAdaptor::SetDefaultTimeouts(int p_iSendSeconds, int p_iRecvSeconds) {
    m_iSendTimeout = p_iSendSeconds < 0 ? 0 : p_iSendSeconds;
    m_iRecvTimeout = p_iRecvSeconds < 0 ? 0 : p_iRecvSeconds;
}

void CAdaptor::SetMaxPacketLength(int p_iBytes) {
    // Kept below INT_MAX so that a length plus its terminator still fits an int.
    const int iCeiling = INT_MAX - 16;
    m_iMaxPacketLength = p_iBytes < 128 ? 128 : (p_iBytes > iCeiling ? iCeiling : p_iBytes);
}
