// vorant-server: the state behind CMessageServer, shared by the listener
// (server.cpp) and the per-connection handling (connection.cpp).
#ifndef VORANT_SERVER_SERVER_IMPL_H
#define VORANT_SERVER_SERVER_IMPL_H

#include <netinet/in.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "answers.h"
#include "rules.h"
#include "server.h"

class CMsgDic;

namespace vorant_server {

// Owns the dictionary, the rules with their answers read up front, the
// listening socket, the stop pipe and the worker threads. Open connections
// are listed (not owned) so that Stop can cut them short.
class CMessageServer::CImpl {
public:
    CImpl();
    ~CImpl();

    bool Load(std::string* p_pError);
    bool Listen(std::string* p_pError);
    void StartWorkers();
    void Stop();

    // Serves one accepted connection to its end and closes it.
    void Serve(int p_iFd, const sockaddr_in& p_Peer);

    CServerOptions m_Options;
    int m_iPort = 0;

private:
    void WorkerLoop();
    // Waits up to p_iMillis ms (negative: no limit) for p_iFd to be readable
    // (-1: none) or for Stop. 1 readable, 0 time-out, -1 stopping.
    int WaitFor(int p_iFd, int p_iMillis) const;
    // Orderly close: our side first, then what the client still sends.
    void Finish(int p_iFd);
    void Log(const std::string& p_strLine);

    std::unique_ptr<CMsgDic> m_pDic;
    CServiceRules m_Rules;
    std::map<std::string, CAnswer> m_AnswerFiles;
    int m_iListenFd = -1;
    int m_iWakePipe[2] = {-1, -1};
    std::atomic<bool> m_bStopping{false};
    std::vector<std::thread> m_Workers;
    std::mutex m_AcceptMutex;
    std::mutex m_OpenMutex;
    std::set<int> m_OpenFds;
    std::mutex m_LogMutex;
};

}  // namespace vorant_server

#endif  // VORANT_SERVER_SERVER_IMPL_H
