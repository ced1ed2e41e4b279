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

namespace vorant_server {

struct CServerOptions {
    std::string m_strHost = "127.0.0.1";  // IPv4 address or name to listen on
    int m_iPort = 0;                      // 0: a free port (see GetPort)
    std::string m_strDictionary;          // plain XML or ".exml"
    std::string m_strRulesFile;           // rules file; or, when empty:
    std::string m_strRules;               // rules text (answer files relative to ".")
    int m_iThreads = 8;                   // connections served at once
    int m_iTimeout = 10;                  // seconds per wait for a client
    int m_iSilenceLimit = 60;             // longest "header-only" silence
    int m_iMaxPacketLength = 64 * 1024 * 1024;
    // One line per request; empty: no log. Called from worker threads, one
    // call at a time.
    std::function<void(const std::string&)> m_fnLog;
};

// Listens, accepts and answers one request per connection on a bounded
// pool of threads. Owns its dictionary, rules, listening socket and
// threads; Stop (or the destructor) ends every connection and joins.
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
    // Stops accepting, ends open connections and waits for the threads.
    // Start, GetPort and Stop belong to one controlling thread.
    void Stop();

    class CImpl;

private:
    std::unique_ptr<CImpl> m_pImpl;
};

}  // namespace vorant_server

#endif  // VORANT_SERVER_SERVER_H
