// vorant-server: one connection, a small state machine: read the header,
// read body and checksum, answer (perhaps after a delay), close.
#ifndef VORANT_SERVER_CONNECTION_H
#define VORANT_SERVER_CONNECTION_H

#include <asio.hpp>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "server_impl.h"
#include "transport/packet_decode.h"
#include "transport/packet_info.h"

namespace vorant_server {

class CLoop;

// The local time as the log lines start: "yyyy-mm-dd hh:mm:ss".
std::string LogTime();

// Owns its socket, buffer and request; lives on its loop's thread
// only (no locks). The loop lists it until it closes; pending handlers keep
// it alive until they have run.
class CConnection : public std::enable_shared_from_this<CConnection> {
public:
    using Clock = std::chrono::steady_clock;

    CConnection(CLoop& p_Loop, asio::ip::tcp::socket p_Socket);
    CConnection(const CConnection&) = delete;
    CConnection& operator=(const CConnection&) = delete;

    void Start();
    Clock::time_point Expiry() const { return m_tExpiry; }
    void OnTimer();
    // The server stops: a connection that has sent nothing yet closes now.
    void OnStop();
    // The grace period is over: logs what was cut short, closes.
    void End();

private:
    enum class State { REQUEST, DELAY, WRITE, SILENCE, DRAIN, CLOSED };

    void Read();
    void OnRead(const asio::error_code& p_Error, size_t p_nBytes);
    bool OnHeader();
    void OnRequest();
    void Send();
    void OnSent(const asio::error_code& p_Error, size_t p_nBytes);
    void Silence();
    void Finish();
    void Drain();
    void Close();

    // One expiry serves every state; the loop's tick calls OnTimer once it
    // has passed (no expiry: Clock::time_point::max()).
    void ArmTimer(Clock::time_point p_tAt) { m_tExpiry = p_tAt; }
    void DisarmTimer() { m_tExpiry = Clock::time_point::max(); }
    void RequestFailed(const std::string& p_strRecord);
    std::string LogStart() const;

    CLoop& m_Loop;
    asio::ip::tcp::socket m_Socket;
    Clock::time_point m_tExpiry = Clock::time_point::max();
    State m_eState = State::REQUEST;
    std::string m_strPeer;

    Clock::time_point m_tDeadline;  // of the request, then of the answer
    Clock::time_point m_tLastByte;
    bool m_bDeadline = false;

    std::vector<char> m_Buffer;
    size_t m_nHave = 0;
    size_t m_nNeed = 0;  // 0: the header is not in yet
    CPacketInfo m_Request;
    long long m_llBodyLength = 0;  // inflated, also when the body is kept compressed
    vorant::packet::Frame m_Frame;
    CReply m_Reply;
};

}  // namespace vorant_server

#endif  // VORANT_SERVER_CONNECTION_H
