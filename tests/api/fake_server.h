// A loopback server for the facade's tests: accepts one connection at a time,
// records each raw request packet and answers with whatever the current
// script returns.
#ifndef VORANT_TESTS_API_FAKE_SERVER_H
#define VORANT_TESTS_API_FAKE_SERVER_H

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What to send back for one raw request. kNoAnswer keeps the connection open
// without a byte until the client closes it.
using AnswerScript = std::function<std::string(const std::string& request)>;
extern const char kNoAnswer[];

// Owns the listening socket and its thread; Stop() (or the destructor) ends
// both.
class FakeServer {
public:
    FakeServer();
    ~FakeServer();

    int Port() const { return port_; }
    void SetScript(AnswerScript script);
    // Every request received so far, raw.
    std::vector<std::string> Requests();
    void ClearRequests();
    void Stop();

private:
    void Serve();
    void Handle(int sock);

    int listenSock_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    AnswerScript script_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A well-formed answer packet carrying xml (compressed when asked).
std::string AnswerPacket(const std::string& xml, bool compressed = false);
// The body of a raw request packet, inflated when the header says so.
std::string RequestBody(const std::string& raw);

#endif  // VORANT_TESTS_API_FAKE_SERVER_H
