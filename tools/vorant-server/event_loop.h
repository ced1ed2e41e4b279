// vorant-server: one event loop thread with its own acceptor on the shared
// listening socket and the connections it accepted.
#ifndef VORANT_SERVER_EVENT_LOOP_H
#define VORANT_SERVER_EVENT_LOOP_H

#include <asio.hpp>

#include <memory>
#include <thread>
#include <unordered_map>

#include "server_impl.h"

namespace vorant_server {

class CConnection;

// "127.0.0.1:50122", "[::1]:50122": a peer as the log names it.
std::string EndpointText(const asio::ip::tcp::endpoint& p_Peer);

// Owns its io_context, thread, acceptor (a duplicate of the listening
// descriptor) and open connections. Everything of a loop runs on its own
// thread; other threads only call Start, BeginStop and Join.
class CLoop {
public:
    CLoop(CMessageServer::CImpl& p_Server, int p_iListenFd);
    ~CLoop();
    CLoop(const CLoop&) = delete;
    CLoop& operator=(const CLoop&) = delete;

    void Start();
    // Stops accepting; calls in flight get the grace period.
    void BeginStop();
    void Join();

    // Loop thread only.
    CMessageServer::CImpl& Server() { return m_Server; }
    bool Stopping() const { return m_bStopping; }
    CEchoCache* EchoCache() { return &m_EchoCache; }
    void Remove(CConnection* p_pConnection);

private:
    void Accept();
    void OnAccepted(const asio::error_code& p_Error, asio::ip::tcp::socket p_Socket);
    void OnStop();
    void EndAll();
    // Every kTickMillis: the connections whose expiry has passed.
    void Tick();
    void Sweep();

    CMessageServer::CImpl& m_Server;
    asio::io_context m_Io;  // first: outlives everything below
    asio::ip::tcp::acceptor m_Acceptor;
    asio::steady_timer m_Pause;
    asio::steady_timer m_Grace;
    asio::steady_timer m_Tick;
    std::unordered_map<CConnection*, std::shared_ptr<CConnection>> m_Open;
    bool m_bStopping = false;
    CEchoCache m_EchoCache;
    std::thread m_Thread;
};

}  // namespace vorant_server

#endif  // VORANT_SERVER_EVENT_LOOP_H
