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
#include "transport/address_list.h"
#include "transport/protocol.h"
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
    : m_iPort(0),
      m_iSock(-1),
      m_llSendTimeoutMs(vorant::protocol::DEFAULT_SEND_TIMEOUT_MS),
      m_llRecvTimeoutMs(vorant::protocol::DEFAULT_RECV_TIMEOUT_MS),
      m_iMaxPacketLength(vorant::protocol::DEFAULT_MAX_PACKET_LENGTH),
      m_llConnectTimeoutMs(vorant::protocol::DEFAULT_CONNECT_TIMEOUT_MS),
      m_llDeadlineAt(0),
      m_llDeadlineMs(0),
      m_bDeadlinePassed(false),
      m_llResolveMicros(0),
      m_llConnectMicros(0) {}

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
    m_strAddress = "";
}

int CAdaptor::Connect(const char* p_szHost, int p_iPort) {
    Close();
    m_strAddress = "";
    m_llConnectMicros = 0;
    const int64_t llStart = MonotonicMicros();
    CAddressList addresses;
    const int iResolved = addresses.Append(p_szHost, p_iPort);
    m_llResolveMicros = MonotonicMicros() - llStart;
    if (iResolved != 0) {
        SetError(ADAPTOR_RESOLVE, "(hostname=%s)", p_szHost ? p_szHost : "");
        return ADAPTOR_RESOLVE;
    }
    // A port outside 0..65535 would be cut to 16 bits and reach another
    // service: refuse it instead.
    if (p_iPort < 0 || p_iPort > kMaxPort) {
        SetError(ADAPTOR_CONNECT, "(port=%d)", p_iPort);
        return ADAPTOR_CONNECT;
    }
    return ConnectTo(addresses, p_szHost, p_iPort);
}

int CAdaptor::ConnectTo(const CAddressList& p_Addresses, const char* p_szHost, int p_iPort) {
    Close();
    m_strAddress = "";
    const int64_t llStartUs = MonotonicMicros();
    const int64_t llEnd = MonotonicMillis() + m_llConnectTimeoutMs;
    int iResult = ADAPTOR_RESOLVE;
    if (p_Addresses.Size() == 0) {
        SetError(ADAPTOR_RESOLVE, "(hostname=%s)", p_szHost ? p_szHost : "");
    }
    const size_t nCount = p_Addresses.Size();
    for (size_t i = 0; i < nCount; ++i) {
        const int64_t llLeft = llEnd - MonotonicMillis();
        if (llLeft <= 0) {
            SetError(ADAPTOR_CONNECT, "(connect to=%s)", SecondsText(m_llConnectTimeoutMs).ToStr());
            iResult = ADAPTOR_CONNECT;
            break;
        }
        // An address that swallows its SYNs must not leave the others no time.
        const int64_t llShare = i + 1 == nCount ? llLeft : llLeft / static_cast<int64_t>(nCount - i);
        iResult = ConnectOne(p_Addresses.At(i), p_Addresses.LengthAt(i), llShare > 0 ? llShare : 1);
        if (iResult >= 0) {
            m_strHost = p_szHost ? p_szHost : "";
            m_iPort = p_iPort;
            m_iSock = iResult;
            m_strAddress = CAddressList::NumericText(p_Addresses.At(i), p_Addresses.LengthAt(i));
            break;
        }
        if (m_bDeadlinePassed) {
            break;
        }
    }
    m_llConnectMicros = MonotonicMicros() - llStartUs;
    return iResult;
}

int CAdaptor::ConnectOne(const sockaddr* p_pAddr, socklen_t p_nLength, int64_t p_llMillis) {
    bool bByDeadline = false;
    const int64_t llWait = BoundByDeadline(p_llMillis, &bByDeadline);
    if (llWait < 0) {
        SetDeadlineError(ADAPTOR_CONNECT, "connect");
        return ADAPTOR_CONNECT;
    }
    // Close-on-exec: a process that forks and runs another program must
    // not hand it our connection.
    const int iSock = socket(p_pAddr->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (iSock < 0) {
        SetError(ADAPTOR_SOCKET, "(iSock=%d)", iSock);
        return ADAPTOR_SOCKET;
    }
    const int iOn = 1;
    // A blocking connect ends at the send time-out (as EINPROGRESS); sends
    // and receives never block, they are made with MSG_DONTWAIT.
    const int64_t llBound = llWait > 0 ? llWait : 1;
    timeval tv;
    tv.tv_sec = static_cast<time_t>(llBound / 1000);
    tv.tv_usec = static_cast<suseconds_t>(llBound % 1000 * 1000);
    const bool bNoDelay = setsockopt(iSock, IPPROTO_TCP, TCP_NODELAY, &iOn, sizeof iOn) == 0;
    if (!bNoDelay || setsockopt(iSock, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0) {
        CloseSocket(iSock);
        SetError(ADAPTOR_SOCKOPT, bNoDelay ? "(SO_SNDTIMEO)" : "(TCP_NODELAY)");
        return ADAPTOR_SOCKOPT;
    }

    const int64_t llStart = MonotonicMillis();
    int iResult = connect(iSock, p_pAddr, p_nLength);
    if (iResult != 0 && (errno == EINPROGRESS || errno == EINTR)) {
        // EINPROGRESS: the bound has passed; EINTR: the connect goes on
        // without us, wait for it with what remains.
        const int64_t llLeft = llBound - (MonotonicMillis() - llStart);
        const int iReady = errno == EINPROGRESS || llLeft <= 0 ? 0 : WaitForSocketMillis(iSock, POLLOUT, llLeft);
        if (iReady == 0) {
            CloseSocket(iSock);
            if (bByDeadline) {
                SetDeadlineError(ADAPTOR_CONNECT, "connect");
            } else {
                SetError(ADAPTOR_CONNECT, "(connect to=%s)", SecondsText(m_llConnectTimeoutMs).ToStr());
            }
            return ADAPTOR_CONNECT;
        }
        int iSoError = 0;
        socklen_t nLen = sizeof iSoError;
        // A reset means the connection was made and the peer dropped it at
        // once: connected, as a blocking connect would say; the next send or
        // receive reports the close.
        iResult = (iReady > 0 && getsockopt(iSock, SOL_SOCKET, SO_ERROR, &iSoError, &nLen) == 0 &&
                   (iSoError == 0 || iSoError == ECONNRESET || iSoError == EPIPE))
                      ? 0
                      : -1;
    }
    if (iResult != 0) {
        CloseSocket(iSock);
        SetError(ADAPTOR_CONNECT, "(connect)");
        return ADAPTOR_CONNECT;
    }
    return iSock;
}

int64_t CAdaptor::BoundByDeadline(int64_t p_llMillis, bool* p_pbCut) const {
    *p_pbCut = false;
    if (m_llDeadlineMs == 0) {
        return p_llMillis;
    }
    const int64_t llLeft = m_llDeadlineAt - MonotonicMillis();
    if (llLeft <= 0) {
        return -1;
    }
    if (llLeft <= p_llMillis) {
        *p_pbCut = true;
        return llLeft;
    }
    return p_llMillis;
}

void CAdaptor::SetDeadlineError(int p_iCode, const char* p_szOp) {
    m_bDeadlinePassed = true;
    SetError(p_iCode, "(%s deadline=%s)", p_szOp, SecondsText(m_llDeadlineMs).ToStr());
}

void CAdaptor::StartDeadline(int64_t p_llMillis) {
    m_bDeadlinePassed = false;
    m_llDeadlineMs = p_llMillis > 0 ? p_llMillis : 0;
    m_llDeadlineAt = p_llMillis > 0 ? MonotonicMillis() + p_llMillis : 0;
}

void CAdaptor::SetConnectTimeoutMillis(int64_t p_llMillis) { m_llConnectTimeoutMs = p_llMillis < 1 ? 1 : p_llMillis; }

int CAdaptor::SendData(const char* p_pData, int p_iLength, int p_iTimeout) {
    if (m_iSock < 0) {
        SetError(ADAPTOR_NOT_CONNECTED, "(SendData)");
        return ADAPTOR_NOT_CONNECTED;
    }
    if (p_pData == nullptr) {
        SetError(ADAPTOR_NULL_PARAM, "p_pData");
        return ADAPTOR_NULL_PARAM;
    }
    const int64_t llTimeout = p_iTimeout < 0 ? m_llSendTimeoutMs : p_iTimeout * int64_t{1000};
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
        const int iWait = WaitForProgress(POLLOUT, llTimeout, "send");
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
    const int64_t llTimeout = p_iTimeout < 0 ? m_llRecvTimeoutMs : p_iTimeout * int64_t{1000};
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
    // Bytes that are already there are read without a poll first (the rest
    // of a packet usually is); the deadline is still looked at every time.
    bool bWait = false;
    while (nLeft > 0) {
        const int iWait = bWait ? WaitForProgress(POLLIN, llTimeout, "recv") : CheckDeadline("recv");
        if (iWait < 0) {
            return iWait;
        }
        errno = 0;
        const ssize_t n = recv(m_iSock, pCursor, nLeft, MSG_DONTWAIT);
        bWait = n <= 0;
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

int CAdaptor::CheckDeadline(const char* p_szOp) {
    bool bByDeadline = false;
    if (BoundByDeadline(0, &bByDeadline) < 0) {
        SetDeadlineError(ADAPTOR_TIMEOUT, p_szOp);
        return ADAPTOR_TIMEOUT;
    }
    return 0;
}

int CAdaptor::WaitForProgress(short p_sEvents, int64_t p_llMillis, const char* p_szOp) {
    bool bByDeadline = false;
    const int64_t llWait = BoundByDeadline(p_llMillis, &bByDeadline);
    if (llWait < 0) {
        SetDeadlineError(ADAPTOR_TIMEOUT, p_szOp);
        return ADAPTOR_TIMEOUT;
    }
    const int iReady = WaitForSocketMillis(m_iSock, p_sEvents, llWait);
    if (iReady > 0) {
        return 0;
    }
    if (iReady == 0) {
        if (bByDeadline) {
            SetDeadlineError(ADAPTOR_TIMEOUT, p_szOp);
        } else {
            SetError(ADAPTOR_TIMEOUT, "(%s to=%s)", p_szOp, SecondsText(p_llMillis).ToStr());
        }
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
    m_llSendTimeoutMs = p_iSendSeconds < 0 ? 0 : p_iSendSeconds * int64_t{1000};
    m_llRecvTimeoutMs = p_iRecvSeconds < 0 ? 0 : p_iRecvSeconds * int64_t{1000};
}

void CAdaptor::SetRecvTimeoutMillis(int64_t p_llMillis) { m_llRecvTimeoutMs = p_llMillis < 0 ? 0 : p_llMillis; }

CString SecondsText(int64_t p_llMillis) {
    if (p_llMillis % 1000 == 0) {
        return CFormat("%lld", static_cast<long long>(p_llMillis / 1000));
    }
    char szText[32];
    snprintf(szText, sizeof szText, "%lld.%03lld", static_cast<long long>(p_llMillis / 1000),
             static_cast<long long>(p_llMillis % 1000));
    // "0.250" reads as "0.25".
    size_t nLen = strlen(szText);
    while (szText[nLen - 1] == '0') {
        szText[--nLen] = '\0';
    }
    return CString(szText);
}

void CAdaptor::SetMaxPacketLength(int p_iBytes) {
    // Kept below INT_MAX so that a length plus its terminator still fits an int.
    const int iCeiling = INT_MAX - 16;
    m_iMaxPacketLength = p_iBytes < 128 ? 128 : (p_iBytes > iCeiling ? iCeiling : p_iBytes);
}
