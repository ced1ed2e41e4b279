#include "connection.h"

#include <time.h>

#include <algorithm>
#include <cstring>

#include "event_loop.h"
#include "transport/adaptor_errors.h"
#include "transport/inflating_body.h"
#include "transport/packet_layout.h"

namespace vorant_server {

namespace {

using vorant::packet::CHECKSUM_SIZE;
using vorant::packet::ErrorRecord;
using vorant::packet::HEADER_SIZE;

// Most requests fit the first read; a larger one grows the buffer with
// the bytes that actually arrive, never to what a header merely announces.
const size_t kFirstRead = 1024;
const size_t kDrainBuffer = 512;
const int kDrainMillis = 2000;

std::string ErrnoDetails(const char* p_szOp, const asio::error_code& p_Error) {
    return "(" + std::string(p_szOp) + " errno=" + std::to_string(p_Error.value()) + "," +
           std::strerror(p_Error.value()) + ")";
}

// The record the adaptor writes when a receive ends this way.
std::string ReceiveRecord(const asio::error_code& p_Error) {
    if (p_Error == asio::error::eof) {
        return ErrorRecord(ADAPTOR_CLOSED, "OK");
    }
    if (p_Error == asio::error::connection_reset) {
        return ErrorRecord(ADAPTOR_CLOSED, "(" + std::string(std::strerror(p_Error.value())) + ")");
    }
    return ErrorRecord(ADAPTOR_RECV, ErrnoDetails("recv", p_Error));
}

}  // namespace

std::string LogTime() {
    const time_t tNow = time(nullptr);
    tm tmLocal;
    localtime_r(&tNow, &tmLocal);
    char szBuf[32];
    strftime(szBuf, sizeof szBuf, "%Y-%m-%d %H:%M:%S", &tmLocal);
    return szBuf;
}

CConnection::CConnection(CLoop& p_Loop, asio::ip::tcp::socket p_Socket)
    : m_Loop(p_Loop), m_Socket(std::move(p_Socket)) {}

void CConnection::Start() {
    asio::error_code ec;
    m_Socket.set_option(asio::ip::tcp::no_delay(true), ec);
    const CServerOptions& opts = m_Loop.Server().m_Options;
    if (m_Loop.Server().Logging()) {
        const asio::ip::tcp::endpoint peer = m_Socket.remote_endpoint(ec);
        m_strPeer = ec ? std::string("?:0") : EndpointText(peer);
    }
    m_tLastByte = Clock::now();
    m_bDeadline = opts.m_iTimeout > 0;
    m_tDeadline = m_tLastByte + std::chrono::seconds(opts.m_iTimeout);
    m_Buffer.resize(kFirstRead);
    OnTimer();  // arms the request's first expiry
    Read();
}

void CConnection::Read() {
    const size_t nLimit = m_nNeed != 0 ? std::min(m_nNeed, m_Buffer.size()) : m_Buffer.size();
    auto self = shared_from_this();
    m_Socket.async_read_some(
        asio::buffer(m_Buffer.data() + m_nHave, nLimit - m_nHave),
        [self](const asio::error_code& p_Error, size_t p_nBytes) { self->OnRead(p_Error, p_nBytes); });
}

void CConnection::OnRead(const asio::error_code& p_Error, size_t p_nBytes) {
    if (m_eState != State::REQUEST) {
        return;
    }
    if (p_Error) {
        RequestFailed(ReceiveRecord(p_Error));
        return;
    }
    m_nHave += p_nBytes;
    m_tLastByte = Clock::now();
    if (m_nNeed == 0 && m_nHave >= static_cast<size_t>(HEADER_SIZE) && !OnHeader()) {
        return;
    }
    if (m_nNeed != 0 && m_nHave >= m_nNeed) {
        OnRequest();
        return;
    }
    if (m_nHave == m_Buffer.size()) {
        const size_t nDouble = 2 * m_Buffer.size();
        m_Buffer.resize(m_nNeed != 0 ? std::min(m_nNeed, nDouble) : nDouble);
    }
    Read();
}

bool CConnection::OnHeader() {
    std::string strDetails;
    const int iCode = vorant::packet::DecodeHeader(m_Buffer.data(), m_Loop.Server().m_Options.m_iMaxPacketLength,
                                                   &m_Request, &m_Frame, &strDetails);
    if (iCode < 0) {
        RequestFailed(ErrorRecord(iCode, strDetails));
        return false;
    }
    m_nNeed = static_cast<size_t>(HEADER_SIZE) + static_cast<size_t>(m_Frame.m_iWireBody) + CHECKSUM_SIZE;
    return true;
}

void CConnection::OnRequest() {
    DisarmTimer();
    const char* pHeader = m_Buffer.data();
    const char* pWire = pHeader + HEADER_SIZE;
    const char* pSum = pWire + m_Frame.m_iWireBody;
    std::string strDetails;
    CRequestBody kept;
    int iCode;
    if (m_Request.m_bCompressed && m_Frame.m_iBody > INFLATE_WHOLE_UP_TO) {
        // Checked whole now, inflated again while it is parsed.
        iCode = vorant::packet::CheckKeptBody(pHeader, pWire, pSum, m_Frame, &m_llBodyLength, &strDetails);
        kept.m_pWire = pWire;
        kept.m_iWire = m_Frame.m_iWireBody;
        kept.m_iCeiling = m_Frame.m_iBody;
    } else {
        iCode = vorant::packet::DecodeBody(pHeader, pWire, pSum, m_Frame, &m_Request, &strDetails);
        m_llBodyLength = m_Request.m_Body.GetSize();
        std::vector<char>().swap(m_Buffer);
    }
    std::string strDamage;
    if (iCode == ADAPTOR_CHECKSUM || iCode == ADAPTOR_COMPRESSION) {
        strDamage = ErrorRecord(iCode, strDetails);
    } else if (iCode < 0) {
        RequestFailed(ErrorRecord(iCode, strDetails));
        return;
    }
    CMessageServer::CImpl& server = m_Loop.Server();
    m_Reply =
        server.Decide(m_Request, kept, strDamage, server.Logging() ? LogStart() : std::string(), m_Loop.EchoCache());
    std::vector<char>().swap(m_Buffer);
    if (m_Reply.m_pRule != nullptr && m_Reply.m_pRule->m_iDelaySeconds > 0) {
        // The connection waits; the loop goes on with the others.
        m_eState = State::DELAY;
        ArmTimer(Clock::now() + std::chrono::seconds(m_Reply.m_pRule->m_iDelaySeconds));
        return;
    }
    Send();
}

void CConnection::Send() {
    CMessageServer::CImpl& server = m_Loop.Server();
    if (!server.Build(m_Request, &m_Reply)) {
        server.Log(m_Reply.m_strLog + " " + m_Reply.m_strOutcome);
        Finish();
        return;
    }
    m_eState = State::WRITE;
    const int iTimeout = server.m_Options.m_iTimeout;
    m_bDeadline = iTimeout > 0;
    m_tDeadline = Clock::now() + std::chrono::seconds(iTimeout);
    if (m_bDeadline) {
        ArmTimer(m_tDeadline);
    } else {
        DisarmTimer();
    }
    auto self = shared_from_this();
    asio::async_write(m_Socket, asio::buffer(m_Reply.m_strPacket.data(), m_Reply.m_nSend),
                      [self](const asio::error_code& p_Error, size_t p_nBytes) { self->OnSent(p_Error, p_nBytes); });
}

void CConnection::OnSent(const asio::error_code& p_Error, size_t /*p_nBytes*/) {
    if (m_eState != State::WRITE) {
        return;
    }
    DisarmTimer();
    CMessageServer::CImpl& server = m_Loop.Server();
    std::string& strOutcome = m_Reply.m_strOutcome;
    if (p_Error) {
        strOutcome += ": send failed: " + ErrorRecord(ADAPTOR_SEND, ErrnoDetails("send", p_Error));
    } else {
        ++server.m_llRequests;
        server.CountAnswer(m_Reply);
        if (m_Reply.m_nSend < m_Reply.m_strPacket.size()) {
            strOutcome += ": sent " + std::to_string(m_Reply.m_nSend) + " of " +
                          std::to_string(m_Reply.m_strPacket.size()) + " bytes";
        } else {
            strOutcome += ": sent";
        }
        if (m_Reply.m_pRule != nullptr && m_Reply.m_pRule->m_bHeaderOnly) {
            Silence();
            return;
        }
    }
    server.Log(m_Reply.m_strLog + " " + strOutcome);
    Finish();
}

void CConnection::Silence() {
    // Until the client gives up (or the limit, or the stop).
    m_eState = State::SILENCE;
    ArmTimer(Clock::now() + std::chrono::seconds(m_Loop.Server().m_Options.m_iSilenceLimit));
    auto self = shared_from_this();
    m_Socket.async_wait(asio::ip::tcp::socket::wait_read, [self](const asio::error_code&) {
        if (self->m_eState == State::SILENCE) {
            self->m_Loop.Server().Log(self->m_Reply.m_strLog + " " + self->m_Reply.m_strOutcome);
            self->Finish();
        }
    });
}

void CConnection::Finish() {
    // FIN first, then read until the client closes, so that nothing unread
    // on our side turns the close into a reset that could eat the answer.
    m_eState = State::DRAIN;
    asio::error_code ec;
    m_Socket.shutdown(asio::ip::tcp::socket::shutdown_send, ec);
    ArmTimer(Clock::now() + std::chrono::milliseconds(kDrainMillis));
    m_Buffer.resize(kDrainBuffer);
    Drain();
}

void CConnection::Drain() {
    auto self = shared_from_this();
    m_Socket.async_read_some(asio::buffer(m_Buffer), [self](const asio::error_code& p_Error, size_t) {
        if (self->m_eState != State::DRAIN) {
            return;
        }
        if (p_Error) {
            self->Close();
        } else {
            self->Drain();
        }
    });
}

void CConnection::Close() {
    if (m_eState == State::CLOSED) {
        return;
    }
    m_eState = State::CLOSED;
    DisarmTimer();
    asio::error_code ec;
    m_Socket.close(ec);
    std::vector<char>().swap(m_Buffer);
    m_Loop.Server().Release();
    m_Loop.Remove(this);  // a handler or the loop still holds this
}

void CConnection::OnTimer() {
    CMessageServer::CImpl& server = m_Loop.Server();
    const CServerOptions& opts = server.m_Options;
    const Clock::time_point tNow = Clock::now();
    switch (m_eState) {
        case State::REQUEST: {
            const int iIdle = opts.m_iIdleTimeout < 0 ? opts.m_iTimeout : opts.m_iIdleTimeout;
            const Clock::time_point tIdle = m_tLastByte + std::chrono::seconds(iIdle);
            const bool bDeadline = m_bDeadline && tNow >= m_tDeadline;
            const bool bIdle = iIdle > 0 && tNow >= tIdle;
            if (!bDeadline && !bIdle) {
                DisarmTimer();
                if (m_bDeadline && (iIdle <= 0 || m_tDeadline < tIdle)) {
                    ArmTimer(m_tDeadline);
                } else if (iIdle > 0) {
                    ArmTimer(tIdle);
                }
                return;
            }
            // A header cut short reads as a time-out, a body cut short as a
            // corrupted packet, as the library reports them.
            std::string strRecord;
            if (m_nNeed == 0) {
                strRecord = ErrorRecord(ADAPTOR_TIMEOUT,
                                        "(recv to=" + std::to_string(bDeadline ? opts.m_iTimeout : iIdle) + ")");
            } else {
                const bool bBody = m_nHave < static_cast<size_t>(HEADER_SIZE + m_Frame.m_iWireBody);
                strRecord = ErrorRecord(ADAPTOR_CORRUPTED, std::string("uncompleted packet timeout(") +
                                                               (bBody ? "body" : "checksum") + ")");
            }
            ++server.m_llDeadline;
            ++server.m_llFailed;
            server.Log(LogStart() + " out=- request failed: " + strRecord +
                       (bDeadline ? ": closed at the deadline" : ": closed idle"));
            Close();
            return;
        }
        case State::DELAY: Send(); return;
        case State::WRITE:
            ++server.m_llDeadline;
            server.Log(m_Reply.m_strLog + " " + m_Reply.m_strOutcome + ": send failed: " +
                       ErrorRecord(ADAPTOR_TIMEOUT, "(send to=" + std::to_string(opts.m_iTimeout) + ")"));
            Close();
            return;
        case State::SILENCE:
            server.Log(m_Reply.m_strLog + " " + m_Reply.m_strOutcome);
            Finish();
            return;
        case State::DRAIN:
        case State::CLOSED: Close(); return;
    }
}

void CConnection::RequestFailed(const std::string& p_strRecord) {
    CMessageServer::CImpl& server = m_Loop.Server();
    ++server.m_llFailed;
    server.Log(LogStart() + " out=- request failed: " + p_strRecord);
    Finish();
}

void CConnection::OnStop() {
    if (m_eState == State::REQUEST && m_nHave == 0) {
        m_Loop.Server().Log(LogStart() + " out=- request failed: server stopping");
        Close();
    }
}

void CConnection::End() {
    CMessageServer::CImpl& server = m_Loop.Server();
    switch (m_eState) {
        case State::REQUEST: server.Log(LogStart() + " out=- request failed: server stopping"); break;
        case State::DELAY:
            server.Log(m_Reply.m_strLog + " " + m_Reply.m_strOutcome + ": stopped during the delay");
            break;
        case State::WRITE: server.Log(m_Reply.m_strLog + " " + m_Reply.m_strOutcome + ": stopped while sending"); break;
        case State::SILENCE: server.Log(m_Reply.m_strLog + " " + m_Reply.m_strOutcome); break;
        case State::DRAIN:
        case State::CLOSED: break;
    }
    Close();
}

std::string CConnection::LogStart() const {
    return LogTime() + " " + m_strPeer + " svc=" + std::to_string(m_Request.m_iSvcNum) +
           " msg=" + std::to_string(m_Request.m_iMsgNum) + " key=" + m_Request.m_strUserKey.ToStr() +
           " in=" + std::to_string(m_llBodyLength) + (m_Request.m_bCompressed ? "/Y" : "/N");
}

}  // namespace vorant_server
