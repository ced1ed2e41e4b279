// vorant-echo-peer: the least a server can do, as a yardstick for
// vorant-server's own overhead. Reads one packet per connection (header,
// then as many bytes as its length field says, plus the checksum), writes
// the same bytes back and closes. No checks, no log. Prints its port on the
// first line; runs until killed.
//
//   vorant-echo-peer [--threads N]     (default 8 blocking threads)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const int kHeaderSize = 128;
const int kLengthOffset = 12;
const int kLengthWidth = 10;
const int kChecksumSize = 3;
const long kMaxPacket = 64L * 1024 * 1024;

bool ReadAll(int p_iFd, char* p_pBuf, size_t p_nLen) {
    while (p_nLen > 0) {
        const ssize_t n = recv(p_iFd, p_pBuf, p_nLen, 0);
        if (n <= 0) {
            return false;
        }
        p_pBuf += n;
        p_nLen -= static_cast<size_t>(n);
    }
    return true;
}

void Serve(int p_iFd) {
    const int iOn = 1;
    setsockopt(p_iFd, IPPROTO_TCP, TCP_NODELAY, &iOn, sizeof iOn);
    std::string strPacket(kHeaderSize, '\0');
    if (ReadAll(p_iFd, &strPacket[0], kHeaderSize)) {
        const long lLength = std::strtol(strPacket.substr(kLengthOffset, kLengthWidth).c_str(), nullptr, 10);
        if (lLength >= kHeaderSize && lLength <= kMaxPacket) {
            strPacket.resize(static_cast<size_t>(lLength + kChecksumSize));
            if (ReadAll(p_iFd, &strPacket[kHeaderSize], strPacket.size() - kHeaderSize)) {
                const ssize_t n = send(p_iFd, strPacket.data(), strPacket.size(), MSG_NOSIGNAL);
                (void)n;
            }
        }
    }
    shutdown(p_iFd, SHUT_WR);
    char szDrain[256];
    while (recv(p_iFd, szDrain, sizeof szDrain, 0) > 0) {
    }
    close(p_iFd);
}

}  // namespace

int main(int argc, char** argv) {
    int iThreads = 8;
    if (argc == 3 && std::strcmp(argv[1], "--threads") == 0) {
        iThreads = std::atoi(argv[2]);
    }
    if (iThreads < 1 || iThreads > 256 || (argc != 1 && argc != 3)) {
        fprintf(stderr, "usage: vorant-echo-peer [--threads N]\n");
        return 2;
    }
    const int iListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLen = sizeof addr;
    if (iListen < 0 || bind(iListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(iListen, 1024) != 0 || getsockname(iListen, reinterpret_cast<sockaddr*>(&addr), &nLen) != 0) {
        perror("vorant-echo-peer");
        return 1;
    }
    printf("%d\n", ntohs(addr.sin_port));
    fflush(stdout);
    std::vector<std::thread> threads;
    for (int i = 0; i < iThreads; ++i) {
        threads.emplace_back([iListen]() {
            for (;;) {
                const int iFd = accept4(iListen, nullptr, nullptr, SOCK_CLOEXEC);
                if (iFd >= 0) {
                    Serve(iFd);
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    return 0;
}
