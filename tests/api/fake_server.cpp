#include "fake_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "transport/packet_info.h"
#include "transport/tcp_adaptor.h"

const char kNoAnswer[] = "\x01no-answer";

namespace {

// Reads exactly n bytes within a few seconds; false when the peer stops.
bool ReadExactly(int sock, size_t n, std::string* out) {
    while (n > 0) {
        pollfd pfd{sock, POLLIN, 0};
        if (poll(&pfd, 1, 3000) <= 0)
            return false;
        char buf[65536];
        ssize_t got = recv(sock, buf, n < sizeof(buf) ? n : sizeof(buf), 0);
        if (got <= 0)
            return false;
        out->append(buf, static_cast<size_t>(got));
        n -= static_cast<size_t>(got);
    }
    return true;
}

}  // namespace

FakeServer::FakeServer() {
    listenSock_ = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(listenSock_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(listenSock_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    listen(listenSock_, 128);
    socklen_t len = sizeof(addr);
    getsockname(listenSock_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

FakeServer::~FakeServer() { Stop(); }

void FakeServer::Stop() {
    if (stop_.exchange(true))
        return;
    thread_.join();
    close(listenSock_);
}

void FakeServer::SetScript(AnswerScript script) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_ = std::move(script);
}

std::vector<std::string> FakeServer::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void FakeServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
}

void FakeServer::Serve() {
    while (!stop_.load()) {
        pollfd pfd{listenSock_, POLLIN, 0};
        if (poll(&pfd, 1, 50) <= 0)
            continue;
        int sock = accept(listenSock_, nullptr, nullptr);
        if (sock >= 0) {
            Handle(sock);
            close(sock);
        }
    }
}

void FakeServer::Handle(int sock) {
    std::string raw;
    if (!ReadExactly(sock, 128, &raw))
        return;
    long packetLength = std::strtol(raw.substr(12, 10).c_str(), nullptr, 10);
    if (packetLength < 128 || !ReadExactly(sock, static_cast<size_t>(packetLength - 128) + 3, &raw))
        return;
    AnswerScript script;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(raw);
        script = script_;
    }
    std::string answer = script ? script(raw) : std::string();
    if (answer == kNoAnswer) {
        std::string rest;
        ReadExactly(sock, 1, &rest);  // until the client gives up
        return;
    }
    size_t sent = 0;
    while (sent < answer.size()) {
        ssize_t n = send(sock, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
    }
}

std::string AnswerPacket(const std::string& xml, bool compressed) {
    CPacketInfo info;
    info.m_iSvcNum = 1;
    info.m_iMsgNum = 1;
    info.m_bCompressed = compressed;
    info.m_Body.AppendData(xml.data(), static_cast<int>(xml.size()));
    CTcpAdaptor adaptor;
    CStream packet;
    adaptor.BuildPacket(&info, &packet);
    return std::string(packet.GetData(), static_cast<size_t>(packet.GetSize()));
}

std::string RequestBody(const std::string& raw) {
    long packetLength = std::strtol(raw.substr(12, 10).c_str(), nullptr, 10);
    std::string wire = raw.substr(128, static_cast<size_t>(packetLength - 128));
    if (raw[88] != 'Y')
        return wire;
    uLongf plainLength = static_cast<uLongf>(std::strtol(raw.substr(89, 10).c_str(), nullptr, 10));
    std::string plain(plainLength, '\0');
    if (uncompress(reinterpret_cast<Bytef*>(&plain[0]), &plainLength, reinterpret_cast<const Bytef*>(wire.data()),
                   static_cast<uLong>(wire.size())) != Z_OK)
        return "<inflate failed>";
    plain.resize(plainLength);
    return plain;
}
