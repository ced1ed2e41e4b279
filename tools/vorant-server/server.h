// vorant-server: a small message server speaking the vorant packet
// protocol, for tests, demos and integration tests. Also usable inside a
// test process as a fixture:
//
//   vorant_server::CServerOptions opts;
//   opts.m_strDictionary = "msg_dic.xml";
//   opts.m_strRules = "100 echo\n300 reject 501 denied\n";
//   vorant_server::CMessageServer server;
//   if (!server.Start(opts, &error)) ...;   // 127.0.0.1, a free port
//   connect to server.GetPort() ...
//   server.Stop();                           // also done by the destructor
#ifndef VORANT_SERVER_SERVER_H
#define VORANT_SERVER_SERVER_H

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vorant_server {

struct CServerOptions {
    std::string m_strHost = "127.0.0.1";  // address (IPv4, IPv6 as ::1 or [::1]) or name to listen on
    int m_iPort = 0;                      // 0: a free port (see GetPort)
    std::string m_strDictionary;          // plain XML or ".exml"
    std::string m_strRulesFile;           // rules file; or, when empty:
    std::string m_strRules;               // rules text (answer files relative to ".")
    int m_iThreads = 0;                   // event loops; 0: one per core
    int m_iTimeout = 10;                  // seconds for the whole request, and for the answer; 0: none
    int m_iIdleTimeout = -1;              // seconds without a byte before the request is whole; -1: m_iTimeout
    int m_iSilenceLimit = 60;             // longest "header-only" silence
    int m_iMaxPacketLength = 64 * 1024 * 1024;
    int m_iMaxConnections = 10000;  // open at once; more are accepted and closed at once
    int m_iStopGraceMillis = 2000;  // how long Stop lets calls in flight finish
    // One line per request; empty: no log. Called from the event loops,
    // one call at a time.
    std::function<void(const std::string&)> m_fnLog;
};

// What the server did so far.
struct CServerStats {
    long long m_llRequests = 0;  // requests answered (the answer sent, maybe broken on purpose)
    long long m_llOpen = 0;      // connections open now
    long long m_llPeak = 0;      // most connections open at once
    long long m_llDeadline = 0;  // closed at the request deadline or idle
    long long m_llRefused = 0;   // closed at once, over m_iMaxConnections
    long long m_llFailed = 0;    // requests that never arrived whole
    // Answers per rule ("100 echo", "* reject 404 ...") and per server
    // reject ("9001 no rule"), in rule order.
    std::vector<std::pair<std::string, long long>> m_Answers;
};

// "requests=N open=N peak=N deadline=N refused=N failed=N answers: 100 echo=N, ..."
std::string FormatStats(const CServerStats& p_Stats);

// Listens and answers one request per connection on a few event loops;
// idle and slow clients cost a descriptor and a timer, never a thread.
// Owns its dictionary, rules, listening socket and threads; Stop (or the
// destructor) ends every connection and joins.
class CMessageServer {
public:
    CMessageServer();
    ~CMessageServer();
    CMessageServer(const CMessageServer&) = delete;
    CMessageServer& operator=(const CMessageServer&) = delete;

    // Loads the dictionary, rules and answer files, binds and starts
    // serving. False with the reason in *p_pError (nothing left running).
    bool Start(const CServerOptions& p_Options, std::string* p_pError);
    // The port listened on, once started.
    int GetPort() const;
    // Stops accepting, lets calls in flight finish for up to
    // m_iStopGraceMillis, ends what is left and waits for the threads.
    // Start, GetPort and Stop belong to one controlling thread.
    void Stop();
    // A snapshot; any thread while started, then the last counts.
    CServerStats GetStats() const;

    class CImpl;

private:
    std::unique_ptr<CImpl> m_pImpl;
    CServerStats m_LastStats;
};

// Raises this process's soft RLIMIT_NOFILE to its hard limit; returns the
// soft limit now in force.
long RaiseDescriptorLimit();

// Has this process's allocator hand buffers of 4 MB and more back to the
// system as soon as they are freed. By default glibc raises that threshold
// to the largest buffer freed so far (up to 32 MB), so each event loop's
// heap kept the middle-sized buffers of its last large request beside the
// next one's: 16 requests with a 60 MB text at once peaked anywhere from 5.3
// to 7.2 times the text, and with this at 5.0 to 6.0.
void ReturnLargeBuffersPromptly();

}  // namespace vorant_server

#endif  // VORANT_SERVER_SERVER_H
