#include "event_loop.h"

#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "connection.h"

namespace vorant_server {

namespace {

// Out of descriptors (or memory): wait a little instead of spinning on a
// listening socket that stays readable.
const int kAcceptPauseMillis = 100;
// Deadlines are seconds: one coarse tick per loop costs less than a timer
// per connection, which is armed and cancelled at every step.
const int kTickMillis = 100;

}  // namespace

std::string EndpointText(const asio::ip::tcp::endpoint& p_Peer) {
    const std::string strAddress = p_Peer.address().to_string();
    return (p_Peer.address().is_v6() ? "[" + strAddress + "]" : strAddress) + ":" + std::to_string(p_Peer.port());
}

CLoop::CLoop(CMessageServer::CImpl& p_Server, int p_iListenFd)
    : m_Server(p_Server), m_Io(1), m_Acceptor(m_Io), m_Pause(m_Io), m_Grace(m_Io), m_Tick(m_Io) {
    asio::error_code ec;
    m_Acceptor.assign(p_Server.m_bIpv6 ? asio::ip::tcp::v6() : asio::ip::tcp::v4(), p_iListenFd, ec);
    if (ec) {
        close(p_iListenFd);
    }
}

CLoop::~CLoop() {
    Join();
    // Connections die before the io_context their sockets belong to.
    std::vector<std::shared_ptr<CConnection>> open;
    for (auto& entry : m_Open) {
        open.push_back(entry.second);
    }
    for (auto& pConnection : open) {
        pConnection->End();
    }
    m_Open.clear();
}

void CLoop::Start() {
    Accept();
    Tick();
    m_Thread = std::thread([this]() { m_Io.run(); });
}

void CLoop::BeginStop() {
    asio::post(m_Io, [this]() { OnStop(); });
}

void CLoop::Join() {
    if (m_Thread.joinable()) {
        m_Thread.join();
    }
}

void CLoop::Remove(CConnection* p_pConnection) {
    m_Open.erase(p_pConnection);
    if (m_bStopping && m_Open.empty()) {
        m_Io.stop();
    }
}

void CLoop::Tick() {
    m_Tick.expires_after(std::chrono::milliseconds(kTickMillis));
    m_Tick.async_wait([this](const asio::error_code& p_Error) {
        if (!p_Error) {
            Sweep();
            Tick();
        }
    });
}

void CLoop::Sweep() {
    const CConnection::Clock::time_point tNow = CConnection::Clock::now();
    std::vector<std::shared_ptr<CConnection>> due;
    for (auto& entry : m_Open) {
        if (entry.second->Expiry() <= tNow) {
            due.push_back(entry.second);
        }
    }
    for (auto& pConnection : due) {
        pConnection->OnTimer();
    }
}

void CLoop::Accept() {
    // The socket belongs to this loop: the connection never changes thread.
    m_Acceptor.async_accept(m_Io, [this](const asio::error_code& p_Error, asio::ip::tcp::socket p_Socket) {
        OnAccepted(p_Error, std::move(p_Socket));
    });
}

void CLoop::OnAccepted(const asio::error_code& p_Error, asio::ip::tcp::socket p_Socket) {
    if (m_bStopping) {
        return;
    }
    if (p_Error) {
        if (p_Error == asio::error::operation_aborted) {
            return;
        }
        if (p_Error == asio::error::no_descriptors || p_Error == asio::error::no_buffer_space ||
            p_Error == asio::error::no_memory || p_Error.value() == ENFILE) {
            m_Pause.expires_after(std::chrono::milliseconds(kAcceptPauseMillis));
            m_Pause.async_wait([this](const asio::error_code& p_Wait) {
                if (!p_Wait && !m_bStopping) {
                    Accept();
                }
            });
            return;
        }
        Accept();
        return;
    }
    if (!m_Server.Admit()) {
        // Accepted and closed at once: the client learns now, and the
        // backlog keeps moving.
        asio::error_code ec;
        const asio::ip::tcp::endpoint peer = p_Socket.remote_endpoint(ec);
        p_Socket.close(ec);
        ++m_Server.m_llRefused;
        m_Server.Log(LogTime() + " " + (ec ? std::string("?:0") : EndpointText(peer)) +
                     " svc=0 msg=0 key= in=0/N out=- refused: " + std::to_string(m_Server.m_Options.m_iMaxConnections) +
                     " connections open");
    } else {
        auto pConnection = std::make_shared<CConnection>(*this, std::move(p_Socket));
        m_Open.emplace(pConnection.get(), pConnection);
        pConnection->Start();
    }
    Accept();
}

void CLoop::OnStop() {
    m_bStopping = true;
    asio::error_code ec;
    m_Acceptor.close(ec);
    m_Pause.cancel();
    std::vector<std::shared_ptr<CConnection>> open;
    for (auto& entry : m_Open) {
        open.push_back(entry.second);
    }
    for (auto& pConnection : open) {
        pConnection->OnStop();
    }
    if (m_Open.empty()) {
        m_Io.stop();
        return;
    }
    m_Grace.expires_after(std::chrono::milliseconds(m_Server.m_Options.m_iStopGraceMillis));
    m_Grace.async_wait([this](const asio::error_code& p_Error) {
        if (!p_Error) {
            EndAll();
        }
    });
}

void CLoop::EndAll() {
    std::vector<std::shared_ptr<CConnection>> open;
    for (auto& entry : m_Open) {
        open.push_back(entry.second);
    }
    for (auto& pConnection : open) {
        pConnection->End();
    }
    m_Io.stop();
}

}  // namespace vorant_server
