// vorant-server-load: drives a running vorant-server (echo on service 100)
// on loopback and prints the figures bench/server_load.sh reports:
//
//   vorant-server-load --port P --pid PID idle|dribble|churn [N]
//
//   idle N     call latency alone, then with N idle connections held open
//   dribble N  call rate alone, then beside N clients sending a byte a second
//   churn N    N connections of every kind (normal, idle, dribbling, reset),
//              then the server's descriptors and memory before and after
//
// Every phase is bounded in time; every socket is closed before it ends.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "transport/tcp_adaptor.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kRequestXml[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"1001\" ver=\"\">"
    "<t1><![CDATA[A-17]]></t1><t2>5</t2><t3>1.250000000000000e+000</t3></msg>";
const int kCallThreads = 4;

int g_iPort = 0;
int g_iPid = 0;

// One echo call through the library's own transport; its time in ms, or
// a negative value when it failed.
double Call() {
    const Clock::time_point tStart = Clock::now();
    CTcpAdaptor conn;
    CPacketInfo request;
    request.m_iSvcNum = 100;
    request.m_iMsgNum = 1001;
    request.m_strUserKey = "LOAD";
    request.m_Body.AppendData(kRequestXml, sizeof kRequestXml - 1);
    CPacketInfo answer;
    if (conn.Connect("127.0.0.1", g_iPort) < 0 || conn.SendTo(&request, 10) < 0 || conn.ReceiveFrom(&answer, 10) < 0) {
        return -1;
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - tStart).count();
}

// A raw connection to the server, or -1.
int Open() {
    const int iFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(g_iPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (iFd >= 0 && connect(iFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(iFd);
        return -1;
    }
    return iFd;
}

void Reset(int p_iFd) {
    linger abort = {1, 0};
    setsockopt(p_iFd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close(p_iFd);
}

double Median(std::vector<double> p_Values) {
    if (p_Values.empty()) {
        return -1;
    }
    std::sort(p_Values.begin(), p_Values.end());
    return p_Values[p_Values.size() / 2];
}

// p_iCount sequential calls: their median time in ms.
double MedianCall(int p_iCount) {
    std::vector<double> times;
    for (int i = 0; i < p_iCount; ++i) {
        const double d = Call();
        if (d >= 0) {
            times.push_back(d);
        }
    }
    return Median(times);
}

// Calls per second over p_dSeconds from kCallThreads threads.
double CallRate(double p_dSeconds) {
    std::atomic<long> calls{0};
    const Clock::time_point tEnd = Clock::now() + std::chrono::milliseconds(static_cast<long>(p_dSeconds * 1000));
    std::vector<std::thread> threads;
    for (int i = 0; i < kCallThreads; ++i) {
        threads.emplace_back([&]() {
            while (Clock::now() < tEnd) {
                if (Call() >= 0) {
                    ++calls;
                }
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    return static_cast<double>(calls) / p_dSeconds;
}

long ServerValue(const char* p_szKey) {
    std::ifstream in("/proc/" + std::to_string(g_iPid) + "/status");
    std::string strLine;
    while (std::getline(in, strLine)) {
        if (strLine.compare(0, std::strlen(p_szKey), p_szKey) == 0) {
            return std::atol(strLine.c_str() + std::strlen(p_szKey));
        }
    }
    return -1;
}

int ServerFds() {
    const std::string strCmd = "ls /proc/" + std::to_string(g_iPid) + "/fd | wc -l";
    FILE* pPipe = popen(strCmd.c_str(), "r");
    int iCount = -1;
    if (pPipe != nullptr) {
        if (fscanf(pPipe, "%d", &iCount) != 1) {
            iCount = -1;
        }
        pclose(pPipe);
    }
    return iCount;
}

int Idle(int p_iCount) {
    const double dAlone = MedianCall(200);
    std::vector<int> idle;
    for (int i = 0; i < p_iCount; ++i) {
        const int iFd = Open();
        if (iFd >= 0) {
            idle.push_back(iFd);
        }
    }
    const double dBeside = MedianCall(200);
    printf(
        "idle: %zu idle connections held; median call %.3f ms alone, %.3f ms beside them "
        "(+%.3f ms)\n",
        idle.size(), dAlone, dBeside, dBeside - dAlone);
    for (int iFd : idle) {
        close(iFd);
    }
    return idle.size() == static_cast<size_t>(p_iCount) ? 0 : 1;
}

int Dribble(int p_iCount) {
    const double dSeconds = 4;
    const double dAlone = CallRate(dSeconds);
    // A valid header, one byte a second per client; a client the server
    // closed (at its deadline) starts again.
    const std::string strHeader = "QRB-XMP-V1.00000000431";
    std::atomic<bool> bDone{false};
    std::atomic<long> bytes{0};
    std::thread dribbler([&]() {
        std::vector<int> fds(static_cast<size_t>(p_iCount), -1);
        std::vector<size_t> sent(fds.size(), 0);
        while (!bDone) {
            const Clock::time_point tNext = Clock::now() + std::chrono::seconds(1);
            for (size_t i = 0; i < fds.size() && !bDone; ++i) {
                if (fds[i] < 0) {
                    fds[i] = Open();
                    sent[i] = 0;
                }
                if (fds[i] >= 0) {
                    const char c = strHeader[sent[i]++ % strHeader.size()];
                    if (send(fds[i], &c, 1, MSG_NOSIGNAL) != 1) {
                        close(fds[i]);
                        fds[i] = -1;
                    } else {
                        ++bytes;
                    }
                }
            }
            while (!bDone && Clock::now() < tNext) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        for (int iFd : fds) {
            if (iFd >= 0) {
                close(iFd);
            }
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const double dBeside = CallRate(dSeconds);
    bDone = true;
    dribbler.join();
    printf(
        "dribble: %d clients sent %ld bytes; %.0f calls/s alone, %.0f calls/s beside them "
        "(ratio %.2f)\n",
        p_iCount, bytes.load(), dAlone, dBeside, dAlone > 0 ? dBeside / dAlone : 0);
    return 0;
}

int Churn(int p_iCount) {
    const int kThreads = 4;
    const size_t kHeld = 64;  // idle and dribbling connections each thread keeps open
    std::atomic<int> next{0}, failed{0};
    const int iFdsBefore = ServerFds();
    // The server's memory, sampled while the load runs: once warm (a tenth
    // of the way), its peak, and at the end.
    std::atomic<long> lRssWarm{-1}, lRssPeak{0};
    std::atomic<bool> bRunning{true};
    std::thread sampler([&]() {
        while (bRunning) {
            const long lRss = ServerValue("VmRSS:");
            if (lRssWarm < 0 && next >= p_iCount / 10) {
                lRssWarm = lRss;
            }
            lRssPeak = std::max(lRssPeak.load(), lRss);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    auto worker = [&](int /*p_iThread*/) {
        std::deque<int> held;
        int i;
        while ((i = next.fetch_add(1)) < p_iCount) {
            switch (i % 4) {
                case 0:
                    if (Call() < 0) {
                        ++failed;
                    }
                    break;
                case 1:    // idle
                case 2: {  // dribbling: part of a header, then nothing more for a while
                    const int iFd = Open();
                    if (iFd < 0) {
                        ++failed;
                        break;
                    }
                    if (i % 4 == 2 && send(iFd, "QRB-XMP", 7, MSG_NOSIGNAL) != 7) {
                        ++failed;
                    }
                    held.push_back(iFd);
                    if (held.size() > kHeld) {
                        close(held.front());
                        held.pop_front();
                    }
                    break;
                }
                default: {  // reset in the middle of a header
                    const int iFd = Open();
                    if (iFd < 0) {
                        ++failed;
                        break;
                    }
                    if (send(iFd, "QRB-XMP-V1.0", 12, MSG_NOSIGNAL) != 12) {
                        ++failed;
                    }
                    Reset(iFd);
                    break;
                }
            }
        }
        for (int iFd : held) {
            close(iFd);
        }
    };
    const Clock::time_point tStart = Clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(worker, t);
    }
    for (std::thread& t : threads) {
        t.join();
    }
    bRunning = false;
    sampler.join();
    const double dSeconds = std::chrono::duration<double>(Clock::now() - tStart).count();
    // The server closes what the clients closed within its drain time.
    int iFdsAfter = ServerFds();
    for (int i = 0; i < 50 && iFdsAfter > iFdsBefore; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        iFdsAfter = ServerFds();
    }
    const long lRssEnd = ServerValue("VmRSS:");
    printf(
        "churn: %d connections (normal, idle, dribbling, reset) in %.1f s, %d failed; server "
        "descriptors %d before, %d after; RSS %ld kB warm, %ld kB at most, %ld kB at the end\n",
        p_iCount, dSeconds, failed.load(), iFdsBefore, iFdsAfter, lRssWarm.load(), lRssPeak.load(), lRssEnd);
    return iFdsAfter == iFdsBefore && failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6 || std::strcmp(argv[1], "--port") != 0 || std::strcmp(argv[3], "--pid") != 0) {
        fprintf(stderr, "usage: vorant-server-load --port P --pid PID idle|dribble|churn [N]\n");
        return 2;
    }
    g_iPort = std::atoi(argv[2]);
    g_iPid = std::atoi(argv[4]);
    const std::string strMode = argv[5];
    const int iCount = argc > 6 ? std::atoi(argv[6]) : 0;
    if (strMode == "idle") {
        return Idle(iCount > 0 ? iCount : 1000);
    }
    if (strMode == "dribble") {
        return Dribble(iCount > 0 ? iCount : 200);
    }
    if (strMode == "churn") {
        return Churn(iCount > 0 ? iCount : 100000);
    }
    fprintf(stderr, "vorant-server-load: unknown mode %s\n", strMode.c_str());
    return 2;
}
