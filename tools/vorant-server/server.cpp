#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "server_impl.h"
#include "vorant/exception.hpp"
#include "vorant/msg_dic.hpp"

namespace vorant_server {

namespace {

const int kBacklog = 128;
const int kMaxThreads = 256;

}  // namespace

CMessageServer::CImpl::CImpl() = default;

CMessageServer::CImpl::~CImpl() { Stop(); }

bool CMessageServer::CImpl::Load(std::string* p_pError) {
    if (m_Options.m_strDictionary.empty()) {
        *p_pError = "no dictionary given";
        return false;
    }
    try {
        m_pDic.reset(new CMsgDic);
        m_pDic->InitDictionary(m_Options.m_strDictionary.c_str());
    } catch (const CException& e) {
        *p_pError = "dictionary " + m_Options.m_strDictionary + ": " + e.GetText();
        return false;
    }
    const bool bRead = m_Options.m_strRulesFile.empty() ? m_Rules.Parse(m_Options.m_strRules, ".", p_pError)
                                                        : m_Rules.ParseFile(m_Options.m_strRulesFile, p_pError);
    if (!bRead) {
        return false;
    }
    // Answer files are read once, so that a bad one stops the start.
    std::vector<const CServiceRule*> rules;
    for (const auto& entry : m_Rules.All()) {
        rules.push_back(&entry.second);
    }
    if (m_Rules.Default() != nullptr) {
        rules.push_back(m_Rules.Default());
    }
    for (const CServiceRule* pRule : rules) {
        if (pRule->m_eAction != CServiceRule::ANSWER || m_AnswerFiles.count(pRule->m_strAnswerFile) != 0) {
            continue;
        }
        CAnswer answer;
        if (!LoadAnswerFile(m_pDic.get(), pRule->m_strAnswerFile, &answer, p_pError)) {
            return false;
        }
        m_AnswerFiles[pRule->m_strAnswerFile] = answer;
    }
    return true;
}

bool CMessageServer::CImpl::Listen(std::string* p_pError) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* pFound = nullptr;
    const int iGai = getaddrinfo(m_Options.m_strHost.c_str(), nullptr, &hints, &pFound);
    if (iGai != 0 || pFound == nullptr) {
        *p_pError = "cannot resolve " + m_Options.m_strHost + ": " + gai_strerror(iGai);
        return false;
    }
    sockaddr_in addr;
    std::memcpy(&addr, pFound->ai_addr, sizeof addr);
    freeaddrinfo(pFound);
    if (m_Options.m_iPort < 0 || m_Options.m_iPort > 65535) {
        *p_pError = "port must be 0 to 65535";
        return false;
    }
    addr.sin_port = htons(static_cast<uint16_t>(m_Options.m_iPort));

    m_iListenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int iOn = 1;
    if (m_iListenFd < 0 || setsockopt(m_iListenFd, SOL_SOCKET, SO_REUSEADDR, &iOn, sizeof iOn) != 0 ||
        bind(m_iListenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_iListenFd, kBacklog) != 0) {
        *p_pError = "cannot listen on " + m_Options.m_strHost + ":" + std::to_string(m_Options.m_iPort) + ": " +
                    std::strerror(errno);
        return false;
    }
    socklen_t nLen = sizeof addr;
    getsockname(m_iListenFd, reinterpret_cast<sockaddr*>(&addr), &nLen);
    m_iPort = ntohs(addr.sin_port);
    if (pipe2(m_iWakePipe, O_CLOEXEC) != 0) {
        *p_pError = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    return true;
}

void CMessageServer::CImpl::StartWorkers() {
    int iThreads = m_Options.m_iThreads;
    iThreads = iThreads < 1 ? 1 : (iThreads > kMaxThreads ? kMaxThreads : iThreads);
    for (int i = 0; i < iThreads; ++i) {
        m_Workers.emplace_back([this]() { WorkerLoop(); });
    }
}

void CMessageServer::CImpl::WorkerLoop() {
    while (!m_bStopping) {
        sockaddr_in peer;
        int iFd = -1;
        int iError = 0;
        {
            // One worker waits on the listening socket at a time: waking all
            // of them for every connection costs more than the calls.
            std::lock_guard<std::mutex> lock(m_AcceptMutex);
            if (m_bStopping) {
                break;
            }
            pollfd fds[2] = {{m_iListenFd, POLLIN, 0}, {m_iWakePipe[0], POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                continue;
            }
            if (fds[1].revents != 0) {
                break;
            }
            socklen_t nLen = sizeof peer;
            iFd = accept4(m_iListenFd, reinterpret_cast<sockaddr*>(&peer), &nLen, SOCK_CLOEXEC);
            iError = errno;
        }
        if (iFd < 0) {
            // A transient failure; out of descriptors must not turn into a
            // busy loop.
            if (iError != EAGAIN && iError != EWOULDBLOCK && iError != EINTR && iError != ECONNABORTED) {
                WaitFor(-1, 100);
            }
            continue;
        }
        Serve(iFd, peer);
    }
}

int CMessageServer::CImpl::WaitFor(int p_iFd, int p_iMillis) const {
    pollfd fds[2] = {{m_iWakePipe[0], POLLIN, 0}, {p_iFd, POLLIN, 0}};
    for (;;) {
        const int n = poll(fds, p_iFd >= 0 ? 2 : 1, p_iMillis);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return 0;
        }
        return fds[0].revents != 0 ? -1 : 1;
    }
}

void CMessageServer::CImpl::Stop() {
    if (m_bStopping.exchange(true)) {
        return;
    }
    if (m_iWakePipe[1] >= 0) {
        // Never read: stays readable for every waiting worker.
        const ssize_t n = write(m_iWakePipe[1], "x", 1);
        (void)n;
    }
    {
        std::lock_guard<std::mutex> lock(m_OpenMutex);
        for (int iFd : m_OpenFds) {
            shutdown(iFd, SHUT_RDWR);
        }
    }
    for (std::thread& worker : m_Workers) {
        worker.join();
    }
    m_Workers.clear();
    for (int* pFd : {&m_iListenFd, &m_iWakePipe[0], &m_iWakePipe[1]}) {
        if (*pFd >= 0) {
            close(*pFd);
            *pFd = -1;
        }
    }
}

void CMessageServer::CImpl::Log(const std::string& p_strLine) {
    if (m_Options.m_fnLog) {
        std::lock_guard<std::mutex> lock(m_LogMutex);
        m_Options.m_fnLog(p_strLine);
    }
}

CMessageServer::CMessageServer() = default;

CMessageServer::~CMessageServer() { Stop(); }

bool CMessageServer::Start(const CServerOptions& p_Options, std::string* p_pError) {
    std::string strIgnored;
    std::string* pError = p_pError ? p_pError : &strIgnored;
    if (m_pImpl) {
        *pError = "already started";
        return false;
    }
    std::unique_ptr<CImpl> pImpl(new CImpl);
    pImpl->m_Options = p_Options;
    if (!pImpl->Load(pError) || !pImpl->Listen(pError)) {
        return false;  // pImpl's destructor closes what was opened
    }
    pImpl->StartWorkers();
    m_pImpl = std::move(pImpl);
    return true;
}

int CMessageServer::GetPort() const { return m_pImpl ? m_pImpl->m_iPort : 0; }

void CMessageServer::Stop() { m_pImpl.reset(); }

}  // namespace vorant_server
