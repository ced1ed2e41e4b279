// A one-connection TCP peer on 127.0.0.1 whose behaviour a test scripts.
#ifndef VORANT_TESTS_TRANSPORT_SCRIPTED_PEER_H
#define VORANT_TESTS_TRANSPORT_SCRIPTED_PEER_H

#include <functional>
#include <string>
#include <thread>

// The accepted connection as the script sees it. Every wait is bounded, so
// a failing test never hangs on its peer.
class PeerConnection {
public:
    explicit PeerConnection(int p_iFd) : m_iFd(p_iFd) {}

    bool Send(const std::string& p_strBytes);
    // Up to p_nBytes bytes (fewer when the client closes or 5 s pass).
    std::string Read(size_t p_nBytes);
    // One whole packet as the header's length field announces it.
    std::string ReadPacket();
    // Waits until the client closes its end (at most 5 s).
    void WaitForClientClose();
    // Closes with a reset instead of an orderly close.
    void Reset();
    void Close();

private:
    int m_iFd;
};

// Listens on 127.0.0.1 (or the loopback literal given, "::1") on a free
// port and runs the script on the first connection in its own thread; the
// destructor joins it.
class ScriptedPeer {
public:
    explicit ScriptedPeer(std::function<void(PeerConnection&)> p_fnScript, const char* p_szAddress = "127.0.0.1");
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    int Port() const { return m_iPort; }
    void Join();

private:
    int m_iListenFd = -1;
    int m_iPort = 0;
    std::thread m_Thread;
};

// A port on 127.0.0.1 (or the loopback literal given) on which nothing listens.
int UnusedPort(const char* p_szAddress = "127.0.0.1");

#endif  // VORANT_TESTS_TRANSPORT_SCRIPTED_PEER_H
