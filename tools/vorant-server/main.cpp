// vorant-server: command line. Prints the port on the first line of
// standard output, then one log line per request; a stats line on SIGUSR1;
// stops on SIGINT/SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "server.h"

namespace {

// Descriptors beside the connections: standard streams, listening sockets,
// event loops, the dictionary while it loads.
const long kSpareFds = 64;

void Usage(FILE* p_pOut) {
    fprintf(p_pOut,
            "usage: vorant-server --dictionary FILE --rules FILE [options]\n"
            "  -d, --dictionary FILE  message dictionary (plain XML or .exml)\n"
            "  -r, --rules FILE       answers per service number\n"
            "  -H, --host ADDR        address to listen on: IPv4, IPv6 (::1, ::) or a name\n"
            "                         (default 127.0.0.1)\n"
            "  -p, --port N           port (default 0: a free one)\n"
            "  -t, --threads N        event loop threads (default: one per core)\n"
            "      --timeout N        seconds for the whole request, and for the answer (default 10; "
            "0: none)\n"
            "      --idle N           seconds without a byte before a request is closed (default: "
            "--timeout)\n"
            "      --max-connections N  open at once; more are accepted and closed (default 10000)\n"
            "      --max-packet N     largest request in bytes (default 67108864)\n"
            "      --stats            a stats line on standard error at the stop (always on SIGUSR1)\n"
            "  -q, --quiet            no per-request log\n"
            "  -h, --help\n");
}

bool ReadNumber(const char* p_szText, int p_iMin, int p_iMax, int* p_pValue) {
    char* pEnd = nullptr;
    const long lValue = std::strtol(p_szText, &pEnd, 10);
    if (*p_szText == '\0' || *pEnd != '\0' || lValue < p_iMin || lValue > p_iMax) {
        return false;
    }
    *p_pValue = static_cast<int>(lValue);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    vorant_server::CServerOptions opts;
    bool bQuiet = false;
    bool bStats = false;
    bool bMaxConnectionsGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string strArg = argv[i];
        const char* szValue = i + 1 < argc ? argv[i + 1] : nullptr;
        auto Need = [&](const char* p_szWhat) {
            if (szValue == nullptr) {
                fprintf(stderr, "vorant-server: %s needs %s\n", strArg.c_str(), p_szWhat);
                exit(2);
            }
            ++i;
            return szValue;
        };
        auto Number = [&](int p_iMin, int p_iMax) {
            int iValue = 0;
            if (!ReadNumber(Need("a number"), p_iMin, p_iMax, &iValue)) {
                fprintf(stderr, "vorant-server: bad value for %s: %s\n", strArg.c_str(), szValue);
                exit(2);
            }
            return iValue;
        };
        if (strArg == "-d" || strArg == "--dictionary") {
            opts.m_strDictionary = Need("a file");
        } else if (strArg == "-r" || strArg == "--rules") {
            opts.m_strRulesFile = Need("a file");
        } else if (strArg == "-H" || strArg == "--host") {
            opts.m_strHost = Need("an address");
        } else if (strArg == "-p" || strArg == "--port") {
            opts.m_iPort = Number(0, 65535);
        } else if (strArg == "-t" || strArg == "--threads") {
            opts.m_iThreads = Number(1, 256);
        } else if (strArg == "--timeout") {
            opts.m_iTimeout = Number(0, 86400);
        } else if (strArg == "--idle") {
            opts.m_iIdleTimeout = Number(0, 86400);
        } else if (strArg == "--max-connections") {
            opts.m_iMaxConnections = Number(1, 1000000);
            bMaxConnectionsGiven = true;
        } else if (strArg == "--stats") {
            bStats = true;
        } else if (strArg == "--max-packet") {
            opts.m_iMaxPacketLength = Number(128, 0x7fffffef);
        } else if (strArg == "-q" || strArg == "--quiet") {
            bQuiet = true;
        } else if (strArg == "-h" || strArg == "--help") {
            Usage(stdout);
            return 0;
        } else {
            fprintf(stderr, "vorant-server: unknown argument %s\n", strArg.c_str());
            Usage(stderr);
            return 2;
        }
    }
    if (opts.m_strDictionary.empty() || opts.m_strRulesFile.empty()) {
        fprintf(stderr, "vorant-server: %s\n",
                opts.m_strDictionary.empty() && opts.m_strRulesFile.empty()
                    ? "no dictionary (-d FILE) and no rules file (-r FILE)"
                : opts.m_strDictionary.empty() ? "no dictionary (-d FILE)"
                                               : "no rules file (-r FILE)");
        Usage(stderr);
        return 2;
    }
    if (!bQuiet) {
        opts.m_fnLog = [](const std::string& p_strLine) {
            fprintf(stdout, "%s\n", p_strLine.c_str());
            fflush(stdout);
        };
    }

    // Every connection is a descriptor: take what the process may have.
    const long lFds = vorant_server::RaiseDescriptorLimit();
    const long lNeeded = static_cast<long>(opts.m_iMaxConnections) + kSpareFds;
    if (lFds >= 0 && lFds < lNeeded) {
        if (bMaxConnectionsGiven) {
            fprintf(stderr,
                    "vorant-server: --max-connections %d needs %ld descriptors, but this process may "
                    "open only %ld (ulimit -n; raise the hard limit or ask for fewer)\n",
                    opts.m_iMaxConnections, lNeeded, lFds);
            return 1;
        }
        opts.m_iMaxConnections = lFds > 2 * kSpareFds ? static_cast<int>(lFds - kSpareFds) : kSpareFds;
        fprintf(stderr, "vorant-server: descriptor limit %ld: at most %d connections\n", lFds, opts.m_iMaxConnections);
    }

    // The loops inherit this mask; only sigwait below sees the signals.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    vorant_server::ReturnLargeBuffersPromptly();
    vorant_server::CMessageServer server;
    std::string strError;
    if (!server.Start(opts, &strError)) {
        fprintf(stderr, "vorant-server: %s\n", strError.c_str());
        return 1;
    }
    fprintf(stdout, "%d\n", server.GetPort());
    fflush(stdout);
    const bool bBracket = opts.m_strHost.find(':') != std::string::npos && opts.m_strHost[0] != '[';
    fprintf(stderr, "vorant-server: listening on %s%s%s:%d\n", bBracket ? "[" : "", opts.m_strHost.c_str(),
            bBracket ? "]" : "", server.GetPort());

    int iSignal = 0;
    while (sigwait(&signals, &iSignal) == 0 && iSignal == SIGUSR1) {
        fprintf(stderr, "vorant-server: stats %s\n", vorant_server::FormatStats(server.GetStats()).c_str());
    }
    fprintf(stderr, "vorant-server: %s, stopping\n", iSignal == SIGINT ? "SIGINT" : "SIGTERM");
    server.Stop();  // calls in flight finish first, within the grace period
    if (bStats) {
        fprintf(stderr, "vorant-server: stats %s\n", vorant_server::FormatStats(server.GetStats()).c_str());
    }
    return 0;
}
