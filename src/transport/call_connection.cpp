#include "transport/call_connection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "dat_class/text_format.h"
#include "transport/adaptor.h"
#include "transport/adaptor_errors.h"
#include "transport/inflating_body.h"
#include "transport/packet_layout.h"
#include "transport/socket_io.h"
#include "transport/wire_trace.h"

using vorant::packet::CHECKSUM_SIZE;
using vorant::packet::HEADER_SIZE;

namespace {

// A failure's details, of any length.
const vorant::text_format::CSteps kDetailSteps = {256, "transport/call_connection", "char[iLen]", 0};

// The first read of an answer: its header and, for a small answer, the rest.
const int kFirstRead = 4096;

}  // namespace

CCallConnection::~CCallConnection() { CloseSocket(); }

const char* CCallConnection::ConnectedAddress() const {
    // Made when asked (only traces ask): most calls never need the text.
    if (m_bConnected && m_strAddress.GetLength() == 0)
        m_strAddress = CAddressList::NumericText(m_Addresses.At(m_nAddress), m_Addresses.LengthAt(m_nAddress));
    return m_strAddress.ToStr();
}

void CCallConnection::CloseSocket() {
    if (m_iSock >= 0 && m_ClosingFn)
        m_ClosingFn(m_pClosingContext, m_iSock);
    // A plain close: it ends both directions as a shutdown would.
    if (m_iSock >= 0)
        close(m_iSock);
    m_iSock = -1;
    m_iWant = 0;
    m_llTimeoutAt = 0;
}

void CCallConnection::Abort() { CloseSocket(); }

void CCallConnection::FailSendWith(int p_iCode, const std::string& p_strDetails) {
    m_iSendFailCode = p_iCode;
    m_strSendFailDetails = p_strDetails;
}

CCallConnection::State CCallConnection::Start(CAddressList&& p_Addresses, const char* p_szHost, int p_iPort,
                                              CStream&& p_Packet, const CConnectionBounds& p_Bounds,
                                              int64_t p_llStartMs, int64_t p_llNowMs) {
    m_Addresses = std::move(p_Addresses);
    m_strHost = p_szHost ? p_szHost : "";
    m_iPort = p_iPort;
    m_Packet = std::move(p_Packet);
    m_Bounds = p_Bounds;
    if (m_Bounds.m_llConnectMs < 1)
        m_Bounds.m_llConnectMs = 1;
    m_llDeadlineAt = m_Bounds.m_llDeadlineMs > 0 ? p_llStartMs + m_Bounds.m_llDeadlineMs : 0;
    m_llConnectEnd = p_llNowMs + m_Bounds.m_llConnectMs;
    m_llConnectStartUs = MonotonicMicros();
    m_eState = CONNECTING;
    if (m_Addresses.Size() == 0)
        return FailResolve(p_szHost);
    return BeginAddress(p_llNowMs);
}

CCallConnection::State CCallConnection::FailResolve(const char* p_szHost) {
    m_eState = CONNECTING;
    m_llConnectStartUs = MonotonicMicros();
    return Fail(ADAPTOR_RESOLVE, 0, "(hostname=%s)", p_szHost ? p_szHost : "");
}

CCallConnection::State CCallConnection::FailPort(int p_iPort) {
    m_eState = CONNECTING;
    m_llConnectStartUs = MonotonicMicros();
    return Fail(ADAPTOR_CONNECT, 0, "(port=%d)", p_iPort);
}

CCallConnection::State CCallConnection::RunBlocking() {
    while (!Finished()) {
        const int64_t llNow = MonotonicMillis();
        const int64_t llWait = m_llTimeoutAt > llNow ? m_llTimeoutAt - llNow : 0;
        pollfd pfd;
        pfd.fd = m_iSock;
        pfd.events = static_cast<short>(((m_iWant & WANT_READ) ? POLLIN : 0) | ((m_iWant & WANT_WRITE) ? POLLOUT : 0));
        pfd.revents = 0;
        // poll rounds its wait up to whole milliseconds: never early.
        const int n = poll(&pfd, 1, llWait > INT_MAX ? INT_MAX : static_cast<int>(llWait));
        if (n > 0) {
            if (pfd.revents & POLLNVAL) {
                OnWaitFailed(EBADF);
                break;
            }
            OnReady(MonotonicMillis());
        } else if (n == 0) {
            OnTimer(MonotonicMillis());
        } else if (errno != EINTR) {
            OnWaitFailed(errno);
        }
    }
    return m_eState;
}

int64_t CCallConnection::DeadlineLeft(int64_t p_llNowMs) const {
    return m_llDeadlineAt == 0 ? INT64_MAX : m_llDeadlineAt - p_llNowMs;
}

void CCallConnection::Await(int p_iEvents, int64_t p_llMillis, int64_t p_llNowMs) {
    const int64_t llLeft = DeadlineLeft(p_llNowMs);
    m_bWaitCutByDeadline = llLeft <= p_llMillis;
    m_iWant = p_iEvents;
    m_llTimeoutAt = p_llNowMs + (m_bWaitCutByDeadline ? llLeft : p_llMillis);
}

void CCallConnection::EndConnectPhase() {
    m_llConnectMicros = MonotonicMicros() - m_llConnectStartUs;
    if (m_pTrace) {
        m_pTrace->m_ConnectEndedAt = CWireTrace::Clock::now();
        m_pTrace->m_bConnectEnded = true;
    }
}

// One address after another, each with an even share of the connect time
// that remains (the last all of it), so one dead address cannot eat it all.
CCallConnection::State CCallConnection::BeginAddress(int64_t p_llNowMs) {
    const size_t nCount = m_Addresses.Size();
    for (; m_nAddress < nCount; ++m_nAddress) {
        const int64_t llLeft = m_llConnectEnd - p_llNowMs;
        if (llLeft <= 0)
            return Fail(ADAPTOR_CONNECT, ETIMEDOUT, "(connect to=%s)", SecondsText(m_Bounds.m_llConnectMs).ToStr());
        const int64_t llShare = m_nAddress + 1 == nCount ? llLeft : llLeft / static_cast<int64_t>(nCount - m_nAddress);
        if (DeadlineLeft(p_llNowMs) <= 0)
            return FailDeadline(ADAPTOR_CONNECT, "connect");

        const sockaddr* pAddr = m_Addresses.At(m_nAddress);
        // Close-on-exec: a process that forks and runs another program must
        // not hand it our connection.
        m_iSock = socket(pAddr->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_iSock < 0) {
            const int iErrno = errno;
            char szErr[256];
            Fail(ADAPTOR_SOCKET, iErrno, "(iSock=%d, errno=%d,%s)", m_iSock, iErrno,
                 ErrnoText(iErrno, szErr, sizeof szErr));
            m_eState = CONNECTING;  // the next address may still work
            continue;
        }
        const int iOn = 1;
        if (setsockopt(m_iSock, IPPROTO_TCP, TCP_NODELAY, &iOn, sizeof iOn) != 0) {
            const int iErrno = errno;
            CloseSocket();
            Fail(ADAPTOR_SOCKOPT, iErrno, "(TCP_NODELAY)");
            m_eState = CONNECTING;
            continue;
        }
        if (connect(m_iSock, pAddr, m_Addresses.LengthAt(m_nAddress)) == 0)
            return Connected(p_llNowMs);
        if (errno != EINPROGRESS && errno != EINTR) {
            const int iErrno = errno;
            CloseSocket();
            Fail(ADAPTOR_CONNECT, iErrno, "(connect)");
            m_eState = CONNECTING;
            continue;
        }
        Await(WANT_WRITE, llShare > 0 ? llShare : 1, p_llNowMs);
        if (m_iSendFailCode == 0)
            return TrySend(p_llNowMs);  // a connect on loopback is often done already
        return m_eState;
    }
    // Every address failed: the last one's failure stands.
    m_eState = FAILED;
    m_eFailedStep = CONNECTING;
    EndConnectPhase();
    return m_eState;
}

CCallConnection::State CCallConnection::ConnectFailed(int64_t p_llNowMs) {
    CloseSocket();
    if (m_bDeadlinePassed) {
        m_eState = FAILED;
        m_eFailedStep = CONNECTING;
        EndConnectPhase();
        return m_eState;
    }
    m_eState = CONNECTING;
    ++m_nAddress;
    return BeginAddress(p_llNowMs);
}

void CCallConnection::MarkConnected() {
    m_bConnected = true;
    EndConnectPhase();
    m_eState = SENDING;
}

CCallConnection::State CCallConnection::Connected(int64_t p_llNowMs) {
    MarkConnected();
    m_iWant = 0;
    m_llTimeoutAt = 0;
    if (m_iSendFailCode != 0) {
        m_strError = vorant::packet::ErrorRecord(m_iSendFailCode, m_strSendFailDetails).c_str();
        m_iErrorCode = m_iSendFailCode;
        m_eFailedStep = SENDING;
        m_eState = FAILED;
        CloseSocket();
        return m_eState;
    }
    return TrySend(p_llNowMs);
}

CCallConnection::State CCallConnection::TrySend(int64_t p_llNowMs) {
    char szErr[256];
    const char* pData = m_Packet.GetData();
    const size_t nSize = static_cast<size_t>(m_Packet.GetSize());
    while (m_nSent < nSize) {
        errno = 0;
        // Never block inside send; a closed peer gives EPIPE, not SIGPIPE.
        const ssize_t n = send(m_iSock, pData + m_nSent, nSize - m_nSent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            if (m_eState == CONNECTING)
                MarkConnected();
            m_nSent += static_cast<size_t>(n);
            continue;
        }
        const int iErrno = errno;
        if (n < 0 && iErrno == EINTR)
            continue;
        if (iErrno == EWOULDBLOCK || iErrno == EAGAIN) {
            if (m_eState == CONNECTING)
                return m_eState;  // its wait is already set
            if (DeadlineLeft(p_llNowMs) <= 0)
                return FailDeadline(ADAPTOR_TIMEOUT, "send");
            Await(WANT_WRITE, m_Bounds.m_llSendMs, p_llNowMs);
            return m_eState;
        }
        if (m_eState == CONNECTING) {
            // A reset right after the handshake still means connected: the
            // send reports the close, as it would on a connected socket.
            if (iErrno != ECONNRESET && iErrno != EPIPE) {
                Fail(ADAPTOR_CONNECT, iErrno, "(connect)");
                return ConnectFailed(p_llNowMs);
            }
            MarkConnected();
        }
        return Fail(ADAPTOR_SEND, iErrno, "(send errno=%d,%s)", iErrno, ErrnoText(iErrno, szErr, sizeof szErr));
    }
    if (m_pTrace) {
        m_pTrace->m_SentAt = CWireTrace::Clock::now();
        m_pTrace->m_bSent = true;
        m_pTrace->m_RequestPacket = std::move(m_Packet);
    } else {
        m_Packet = CStream();
    }
    m_eState = RECEIVING;
    // The server needs a moment: a read now would only say "not yet".
    if (DeadlineLeft(p_llNowMs) <= 0)
        return FailDeadline(ADAPTOR_TIMEOUT, "recv");
    Await(WANT_READ, m_Bounds.m_llRecvMs, p_llNowMs);
    return m_eState;
}

CCallConnection::State CCallConnection::TryReceive(int64_t p_llNowMs) {
    char szErr[256];
    for (;;) {
        // Bytes already there are read without a wait first, but the
        // deadline is looked at every time.
        if (DeadlineLeft(p_llNowMs) <= 0)
            return FailDeadline(ADAPTOR_TIMEOUT, "recv");
        errno = 0;
        ssize_t n;
        if (m_iHeaderGot < HEADER_SIZE) {
            // The header and what follows it in one read: a small answer
            // arrives whole. Nothing past the header is taken before the
            // header has said how much belongs to the packet.
            char szFirst[kFirstRead];
            const size_t nWant = sizeof szFirst - static_cast<size_t>(m_iHeaderGot);
            n = recv(m_iSock, szFirst, nWant, MSG_DONTWAIT);
            if (n > 0 && !TakeFirstBytes(szFirst, static_cast<int>(n)))
                return m_eState;
        } else {
            const size_t nWant = static_cast<size_t>(m_Frame.m_iWireBody + CHECKSUM_SIZE - m_iRestGot);
            n = recv(m_iSock, m_pRest + m_iRestGot, nWant, MSG_DONTWAIT);
            if (n > 0) {
                m_iRestGot += static_cast<int>(n);
                if (!RestArrived())
                    return m_eState;
            }
        }
        if (n > 0) {
            if (Finished())
                return m_eState;
            continue;
        }
        if (n == 0)
            return Fail(ADAPTOR_CLOSED, 0, "OK");
        const int iErrno = errno;
        if (iErrno == EINTR)
            continue;
        if (iErrno == EWOULDBLOCK || iErrno == EAGAIN) {
            Await(WANT_READ, m_Bounds.m_llRecvMs, p_llNowMs);
            return m_eState;
        }
        if (iErrno == ECONNRESET)
            return Fail(ADAPTOR_CLOSED, iErrno, "(%s)", ErrnoText(iErrno, szErr, sizeof szErr));
        return Fail(ADAPTOR_RECV, iErrno, "(recv errno=%d,%s)", iErrno, ErrnoText(iErrno, szErr, sizeof szErr));
    }
}

bool CCallConnection::TakeFirstBytes(const char* p_pBytes, int p_iCount) {
    const int iHeaderPart = std::min(p_iCount, HEADER_SIZE - m_iHeaderGot);
    std::memcpy(m_szHeader + m_iHeaderGot, p_pBytes, static_cast<size_t>(iHeaderPart));
    m_iHeaderGot += iHeaderPart;
    if (m_iHeaderGot < HEADER_SIZE)
        return true;
    if (!HeaderArrived())
        return false;
    // Bytes past the end of the packet are not the answer's: they stay unread
    // as they always have.
    const int iRest = std::min(p_iCount - iHeaderPart, m_Frame.m_iWireBody + CHECKSUM_SIZE);
    std::memcpy(m_pRest, p_pBytes + iHeaderPart, static_cast<size_t>(iRest));
    m_iRestGot = iRest;
    return RestArrived();
}

bool CCallConnection::RestArrived() {
    if (!m_bBodyDecoded && m_iRestGot >= m_Frame.m_iWireBody && !BodyArrived())
        return false;
    if (m_iRestGot == m_Frame.m_iWireBody + CHECKSUM_SIZE)
        return ChecksumArrived();
    return true;
}

bool CCallConnection::HeaderArrived() {
    m_szHeader[HEADER_SIZE] = '\0';
    if (m_pTrace) {
        m_pTrace->m_HeaderAt = CWireTrace::Clock::now();
        m_pTrace->m_bHeaderArrived = true;
        m_pTrace->m_AnswerPacket.AppendData(m_szHeader, HEADER_SIZE);
    }
    // Both lengths come from the peer: they are checked before anything of
    // their size is allocated.
    m_Frame.m_iWireBody = -1;
    std::string strDetails;
    const int iResult =
        vorant::packet::DecodeHeader(m_szHeader, m_Bounds.m_iMaxPacketLength, &m_Answer, &m_Frame, &strDetails);
    if (m_pTrace && m_Frame.m_iWireBody >= 0)
        m_pTrace->m_llAnswerWire = m_Frame.m_iWireBody;
    if (iResult < 0) {
        Fail(iResult, 0, "%s", strDetails.c_str());
        return false;
    }
    // The wire body and the checksum digits are read together; an
    // uncompressed body goes straight into the answer's stream.
    const int iRest = m_Frame.m_iWireBody + CHECKSUM_SIZE + 1;
    m_pRest = m_Answer.m_bCompressed ? m_Wire.GetBuffer(iRest) : m_Answer.m_Body.GetBuffer(iRest);
    if (m_pRest == nullptr) {
        Fail(ADAPTOR_MEMORY, 0, "ReceiveFrom");
        return false;
    }
    return true;
}

bool CCallConnection::BodyArrived() {
    m_bBodyDecoded = true;
    const int iWire = m_Frame.m_iWireBody;
    m_iBodySum = CheckSum(m_pRest, iWire);
    if (m_pTrace)
        m_pTrace->m_AnswerPacket.AppendData(m_pRest, iWire);
    if (!m_Answer.m_bCompressed)
        return true;
    if (m_Frame.m_iBody > INFLATE_WHOLE_UP_TO) {
        // A large body stays compressed for the reader to inflate as it
        // parses; it is checked whole now, so every failure keeps its place.
        m_bKeptCompressed = true;
        std::string strDetails;
        const int iResult = CheckInflates(m_pRest, iWire, m_Frame.m_iBody, &m_llInflated, &strDetails);
        if (iResult != 0) {
            Fail(iResult, 0, "%s", strDetails.c_str());
            return false;
        }
        return true;
    }
    std::string strDetails;
    const int iResult = vorant::packet::InflateBody(m_pRest, iWire, m_Frame.m_iBody, &m_Answer.m_Body, &strDetails);
    if (iResult != 0) {
        Fail(iResult, 0, "%s", strDetails.c_str());
        return false;
    }
    m_llInflated = m_Answer.m_Body.GetSize();
    return true;
}

bool CCallConnection::ChecksumArrived() {
    char szSum[CHECKSUM_SIZE + 1];
    std::memcpy(szSum, m_pRest + m_Frame.m_iWireBody, CHECKSUM_SIZE);
    szSum[CHECKSUM_SIZE] = '\0';
    if (m_pTrace)
        m_pTrace->m_AnswerPacket.AppendData(szSum, CHECKSUM_SIZE);
    if (!m_Answer.m_bCompressed) {
        m_Answer.m_Body.ReleaseBuffer(m_Frame.m_iWireBody);
        m_llInflated = m_Frame.m_iWireBody;
    } else if (!m_bKeptCompressed) {
        m_Wire = CStream();
    }
    m_pRest = nullptr;
    std::string strDetails;
    const int iComputed = (CheckSum(m_szHeader, HEADER_SIZE) + m_iBodySum) % 256;
    const int iResult = vorant::packet::CheckSumField(iComputed, szSum, &strDetails);
    if (iResult < 0) {
        Fail(iResult, 0, "%s", strDetails.c_str());
        return false;
    }
    m_eState = DONE;
    CloseSocket();
    return true;
}

CCallConnection::State CCallConnection::OnReady(int64_t p_llNowMs) {
    switch (m_eState) {
        case CONNECTING:
            if (m_iSendFailCode == 0)
                return TrySend(p_llNowMs);
            {
                int iSoError = 0;
                socklen_t nLen = sizeof iSoError;
                if (getsockopt(m_iSock, SOL_SOCKET, SO_ERROR, &iSoError, &nLen) != 0)
                    iSoError = errno;
                if (iSoError == 0 || iSoError == ECONNRESET || iSoError == EPIPE)
                    return Connected(p_llNowMs);
                Fail(ADAPTOR_CONNECT, iSoError, "(connect)");
                return ConnectFailed(p_llNowMs);
            }
        case SENDING: return TrySend(p_llNowMs);
        case RECEIVING: return TryReceive(p_llNowMs);
        default: return m_eState;
    }
}

CCallConnection::State CCallConnection::OnTimer(int64_t p_llNowMs) {
    if (m_llTimeoutAt == 0 || p_llNowMs < m_llTimeoutAt)
        return m_eState;
    switch (m_eState) {
        case CONNECTING:
            if (m_bWaitCutByDeadline)
                FailDeadline(ADAPTOR_CONNECT, "connect");
            else
                Fail(ADAPTOR_CONNECT, ETIMEDOUT, "(connect to=%s)", SecondsText(m_Bounds.m_llConnectMs).ToStr());
            return ConnectFailed(p_llNowMs);
        case SENDING:
            if (m_bWaitCutByDeadline)
                return FailDeadline(ADAPTOR_TIMEOUT, "send");
            return Fail(ADAPTOR_TIMEOUT, ETIMEDOUT, "(send to=%s)", SecondsText(m_Bounds.m_llSendMs).ToStr());
        case RECEIVING:
            if (m_bWaitCutByDeadline)
                return FailDeadline(ADAPTOR_TIMEOUT, "recv");
            // Once the header is in, a time-out means a packet cut short.
            if (m_iHeaderGot < HEADER_SIZE)
                return Fail(ADAPTOR_TIMEOUT, ETIMEDOUT, "(recv to=%s)", SecondsText(m_Bounds.m_llRecvMs).ToStr());
            return Fail(ADAPTOR_CORRUPTED, ETIMEDOUT, "uncompleted packet timeout(%s)",
                        m_iRestGot < m_Frame.m_iWireBody ? "body" : "checksum");
        default: return m_eState;
    }
}

CCallConnection::State CCallConnection::OnWaitFailed(int p_iErrno) {
    if (m_eState == CONNECTING) {
        Fail(ADAPTOR_CONNECT, p_iErrno, "(connect)");
        return ConnectFailed(MonotonicMillis());
    }
    char szErr[256];
    const char* szOp = m_eState == RECEIVING ? "recv" : "send";
    return Fail(ADAPTOR_WAIT, p_iErrno, "(%s errno=%d,%s)", szOp, p_iErrno, ErrnoText(p_iErrno, szErr, sizeof szErr));
}

CCallConnection::State CCallConnection::FailDeadline(int p_iCode, const char* p_szOp) {
    m_bDeadlinePassed = true;
    return Fail(p_iCode, ETIMEDOUT, "(%s deadline=%s)", p_szOp, SecondsText(m_Bounds.m_llDeadlineMs).ToStr());
}

CCallConnection::State CCallConnection::Fail(int p_iCode, int p_iErrno, const char* p_szFormat, ...) {
    va_list args;
    va_start(args, p_szFormat);
    vorant::text_format::CFormatted details(kDetailSteps, p_szFormat, args);
    va_end(args);
    const CString strDetails = details.Take();
    m_iErrorCode = p_iCode;
    m_iSysErrno = p_iErrno;
    m_strError = vorant::packet::ErrorRecord(p_iCode, strDetails.ToStr()).c_str();
    if (m_eState == CONNECTING)
        EndConnectPhase();
    m_eFailedStep = m_eState;
    m_eState = FAILED;
    // A send that failed still leaves the packet as it was written.
    if (m_eFailedStep == SENDING && m_pTrace && m_Packet.GetSize() > 0)
        m_pTrace->m_RequestPacket = std::move(m_Packet);
    CloseSocket();
    return m_eState;
}
