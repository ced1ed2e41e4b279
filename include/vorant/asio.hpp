// vorant: drives a multi handle from a standalone Asio io_context, so that an
// Asio program runs its service calls on its own loop. Header-only: only a
// program that includes it needs Asio; libvorant.so does not.
//
//     asio::io_context io;
//     CVorantMulti multi;
//     vorant::CAsioMulti driver(io, multi);
//     multi.Start(100, in, out, nullptr, [](int id, int result, const CVorantError& err) { ... });
//     io.run();  // returns once every call is done
//
// Threads: the driver, the handle and every done callback live on the thread
// that runs the io_context (run it on one thread, or through a strand).
// Destroy the driver before the handle and before the io_context; the handle
// then goes back to CVorantMulti::Poll.
#ifndef VORANT_ASIO_HPP
#define VORANT_ASIO_HPP

#include <asio.hpp>
#include <chrono>
#include <memory>
#include <unordered_map>

#include "vorant/multi.hpp"

namespace vorant {

// Owns one Asio watcher per descriptor the handle waits on (never the
// descriptors: they stay the handle's) and one timer. Not copyable.
class CAsioMulti {
public:
    CAsioMulti(asio::io_context& p_Io, CVorantMulti& p_Multi) : m_Io(p_Io), m_Multi(p_Multi), m_Timer(p_Io) {
        m_Multi.SetHooks([this](int p_iFd, int p_iWhat) { OnSocket(p_iFd, p_iWhat); },
                         [this](long p_lMs) { OnTimer(p_lMs); });
    }
    ~CAsioMulti() {
        m_Multi.SetHooks(nullptr, nullptr);  // releases every watcher
        *m_pAlive = false;
        m_Timer.cancel();
    }
    CAsioMulti(const CAsioMulti&) = delete;
    CAsioMulti& operator=(const CAsioMulti&) = delete;

private:
    struct CWatch {
        CWatch(asio::io_context& p_Io, int p_iFd) : m_Descriptor(p_Io, p_iFd), m_iFd(p_iFd) {}
        asio::posix::stream_descriptor m_Descriptor;
        int m_iFd;
        int m_iWhat = 0;
        bool m_bReadArmed = false;
        bool m_bWriteArmed = false;
        bool m_bRemoved = false;
    };

    void OnSocket(int p_iFd, int p_iWhat) {
        auto it = m_Watches.find(p_iFd);
        if (p_iWhat == VORANT_POLL_REMOVE) {
            if (it != m_Watches.end()) {
                it->second->m_bRemoved = true;
                it->second->m_Descriptor.release();  // the handle closes it, not Asio
                m_Watches.erase(it);
            }
            return;
        }
        if (it == m_Watches.end())
            it = m_Watches.emplace(p_iFd, std::make_shared<CWatch>(m_Io, p_iFd)).first;
        it->second->m_iWhat = p_iWhat;
        Arm(it->second);
    }

    void Arm(const std::shared_ptr<CWatch>& p_pWatch) {
        if ((p_pWatch->m_iWhat & VORANT_POLL_IN) && !p_pWatch->m_bReadArmed) {
            p_pWatch->m_bReadArmed = true;
            Wait(p_pWatch, asio::posix::stream_descriptor::wait_read, VORANT_POLL_IN);
        }
        if ((p_pWatch->m_iWhat & VORANT_POLL_OUT) && !p_pWatch->m_bWriteArmed) {
            p_pWatch->m_bWriteArmed = true;
            Wait(p_pWatch, asio::posix::stream_descriptor::wait_write, VORANT_POLL_OUT);
        }
    }

    void Wait(std::shared_ptr<CWatch> p_pWatch, asio::posix::stream_descriptor::wait_type p_eType, int p_iEvent) {
        std::weak_ptr<bool> alive = m_pAlive;
        p_pWatch->m_Descriptor.async_wait(p_eType, [this, alive, p_pWatch, p_iEvent](const asio::error_code& p_Error) {
            (p_iEvent == VORANT_POLL_IN ? p_pWatch->m_bReadArmed : p_pWatch->m_bWriteArmed) = false;
            const std::shared_ptr<bool> pAlive = alive.lock();
            if (!pAlive || !*pAlive || p_pWatch->m_bRemoved || p_Error)
                return;
            m_Multi.SocketAction(p_pWatch->m_iFd, p_iEvent);
            // Still wanted by the same connection: wait again.
            if (!p_pWatch->m_bRemoved)
                Arm(p_pWatch);
        });
    }

    void OnTimer(long p_lMs) {
        m_Timer.cancel();
        if (p_lMs < 0)
            return;
        m_Timer.expires_after(std::chrono::milliseconds(p_lMs));
        std::weak_ptr<bool> alive = m_pAlive;
        m_Timer.async_wait([this, alive](const asio::error_code& p_Error) {
            const std::shared_ptr<bool> pAlive = alive.lock();
            if (!pAlive || !*pAlive || p_Error)
                return;
            m_Multi.SocketAction(VORANT_SOCKET_TIMEOUT, 0);
        });
    }

    asio::io_context& m_Io;
    CVorantMulti& m_Multi;
    asio::steady_timer m_Timer;
    std::unordered_map<int, std::shared_ptr<CWatch>> m_Watches;
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
};

}  // namespace vorant

#endif  // VORANT_ASIO_HPP
