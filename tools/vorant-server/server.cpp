#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <malloc.h>
#include <netdb.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "event_loop.h"
#include "file_check.h"
#include "server_impl.h"
#include "vorant/exception.hpp"
#include "vorant/msg_dic.hpp"

namespace vorant_server {

namespace {

const int kBacklog = 1024;
const int kMaxThreads = 256;
const int kMaxPacketCeiling = 0x7fffffef;

}  // namespace

CMessageServer::CImpl::CImpl() = default;

CMessageServer::CImpl::~CImpl() {
    Stop();
    if (m_iListenFd >= 0) {
        close(m_iListenFd);
    }
}

bool CMessageServer::CImpl::Load(std::string* p_pError) {
    if (m_Options.m_strDictionary.empty()) {
        *p_pError = "no dictionary given";
        return false;
    }
    const std::string strUnreadable = UnreadableReason(m_Options.m_strDictionary);
    if (!strUnreadable.empty()) {
        *p_pError = "dictionary " + m_Options.m_strDictionary + " cannot be read: " + strUnreadable;
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
    for (const auto& entry : m_Rules.All()) {
        m_RuleIndex[&entry.second] = m_Labels.size();
        m_Labels.push_back(std::to_string(entry.first) + " " + entry.second.m_strText);
    }
    if (m_Rules.Default() != nullptr) {
        m_RuleIndex[m_Rules.Default()] = m_Labels.size();
        m_Labels.push_back("* " + m_Rules.Default()->m_strText);
    }
    for (const char* szReject : {"9001 no rule", "9002 bad request", "9003 unreadable request"}) {
        m_Labels.push_back(szReject);
    }
    m_pAnswers.reset(new std::atomic<long long>[m_Labels.size()]);
    for (size_t i = 0; i < m_Labels.size(); ++i) {
        m_pAnswers[i] = 0;
    }
    return true;
}

bool CMessageServer::CImpl::Listen(std::string* p_pError) {
    // "[::1]" as "::1": the bracketed form names the address as clients do.
    std::string strHost = m_Options.m_strHost;
    if (strHost.size() > 2 && strHost.front() == '[' && strHost.back() == ']') {
        strHost = strHost.substr(1, strHost.size() - 2);
    }
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* pFound = nullptr;
    const int iGai = getaddrinfo(strHost.c_str(), nullptr, &hints, &pFound);
    if (iGai != 0 || pFound == nullptr) {
        *p_pError = "cannot resolve " + m_Options.m_strHost + ": " + gai_strerror(iGai);
        return false;
    }
    sockaddr_storage addr;
    std::memset(&addr, 0, sizeof addr);
    const socklen_t nAddrLen = pFound->ai_addrlen;
    std::memcpy(&addr, pFound->ai_addr, nAddrLen);
    const int iFamily = pFound->ai_family;
    freeaddrinfo(pFound);
    if (m_Options.m_iPort < 0 || m_Options.m_iPort > 65535) {
        *p_pError = "port must be 0 to 65535";
        return false;
    }
    m_bIpv6 = iFamily == AF_INET6;
    const uint16_t uPort = htons(static_cast<uint16_t>(m_Options.m_iPort));
    if (m_bIpv6) {
        reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port = uPort;
    } else {
        reinterpret_cast<sockaddr_in*>(&addr)->sin_port = uPort;
    }

    m_iListenFd = socket(iFamily, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int iOn = 1;
    if (m_iListenFd < 0 || setsockopt(m_iListenFd, SOL_SOCKET, SO_REUSEADDR, &iOn, sizeof iOn) != 0 ||
        bind(m_iListenFd, reinterpret_cast<sockaddr*>(&addr), nAddrLen) != 0 || listen(m_iListenFd, kBacklog) != 0) {
        *p_pError = "cannot listen on " + m_Options.m_strHost + ":" + std::to_string(m_Options.m_iPort) + ": " +
                    std::strerror(errno);
        return false;
    }
    socklen_t nLen = sizeof addr;
    getsockname(m_iListenFd, reinterpret_cast<sockaddr*>(&addr), &nLen);
    m_iPort = ntohs(m_bIpv6 ? reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port
                            : reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
    return true;
}

bool CMessageServer::CImpl::StartLoops() {
    int iThreads = m_Options.m_iThreads;
    if (iThreads <= 0) {
        iThreads = static_cast<int>(std::thread::hardware_concurrency());
    }
    iThreads = iThreads < 1 ? 1 : (iThreads > kMaxThreads ? kMaxThreads : iThreads);
    // Each loop accepts on its own duplicate of the listening socket: the
    // first free one takes a new connection, no hand-over between threads.
    for (int i = 0; i < iThreads; ++i) {
        const int iFd = fcntl(m_iListenFd, F_DUPFD_CLOEXEC, 0);
        if (iFd < 0) {
            break;
        }
        m_Loops.emplace_back(new CLoop(*this, iFd));
    }
    for (auto& pLoop : m_Loops) {
        pLoop->Start();
    }
    return !m_Loops.empty();
}

void CMessageServer::CImpl::Stop() {
    if (m_bStopped) {
        return;
    }
    m_bStopped = true;
    m_bStopping = true;
    for (auto& pLoop : m_Loops) {
        pLoop->BeginStop();
    }
    for (auto& pLoop : m_Loops) {
        pLoop->Join();
    }
    m_Loops.clear();
}

void CMessageServer::CImpl::Log(const std::string& p_strLine) {
    if (m_Options.m_fnLog) {
        std::lock_guard<std::mutex> lock(m_LogMutex);
        m_Options.m_fnLog(p_strLine);
    }
}

bool CMessageServer::CImpl::Admit() {
    const long long llOpen = ++m_llOpen;
    if (llOpen > m_Options.m_iMaxConnections) {
        --m_llOpen;
        return false;
    }
    long long llPeak = m_llPeak.load();
    while (llOpen > llPeak && !m_llPeak.compare_exchange_weak(llPeak, llOpen)) {
    }
    return true;
}

void CMessageServer::CImpl::Release() { --m_llOpen; }

void CMessageServer::CImpl::CountAnswer(const CReply& p_Reply) {
    size_t nIndex = m_Labels.size();
    if (p_Reply.m_iServerReject != 0) {
        nIndex = m_Labels.size() - 3 + static_cast<size_t>(p_Reply.m_iServerReject - REJECT_NO_RULE);
    } else {
        const auto found = m_RuleIndex.find(p_Reply.m_pRule);
        if (found != m_RuleIndex.end()) {
            nIndex = found->second;
        }
    }
    if (nIndex < m_Labels.size()) {
        ++m_pAnswers[nIndex];
    }
}

CServerStats CMessageServer::CImpl::Stats() const {
    CServerStats stats;
    stats.m_llRequests = m_llRequests;
    stats.m_llOpen = m_llOpen;
    stats.m_llPeak = m_llPeak;
    stats.m_llDeadline = m_llDeadline;
    stats.m_llRefused = m_llRefused;
    stats.m_llFailed = m_llFailed;
    for (size_t i = 0; i < m_Labels.size(); ++i) {
        stats.m_Answers.emplace_back(m_Labels[i], m_pAnswers[i].load());
    }
    return stats;
}

std::string FormatStats(const CServerStats& p_Stats) {
    std::string strLine = "requests=" + std::to_string(p_Stats.m_llRequests) +
                          " open=" + std::to_string(p_Stats.m_llOpen) + " peak=" + std::to_string(p_Stats.m_llPeak) +
                          " deadline=" + std::to_string(p_Stats.m_llDeadline) +
                          " refused=" + std::to_string(p_Stats.m_llRefused) +
                          " failed=" + std::to_string(p_Stats.m_llFailed) + " answers:";
    const char* szSeparator = " ";
    for (const auto& entry : p_Stats.m_Answers) {
        strLine += szSeparator + entry.first + "=" + std::to_string(entry.second);
        szSeparator = ", ";
    }
    return strLine;
}

long RaiseDescriptorLimit() {
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return -1;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    return limit.rlim_cur == RLIM_INFINITY ? 1L << 30 : static_cast<long>(limit.rlim_cur);
}

void ReturnLargeBuffersPromptly() { mallopt(M_MMAP_THRESHOLD, 4 << 20); }

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
    int& iMax = pImpl->m_Options.m_iMaxPacketLength;
    iMax = iMax < 128 ? 128 : (iMax > kMaxPacketCeiling ? kMaxPacketCeiling : iMax);
    if (!pImpl->Load(pError) || !pImpl->Listen(pError)) {
        return false;  // pImpl's destructor closes what was opened
    }
    if (!pImpl->StartLoops()) {
        *pError = std::string("cannot start the event loops: ") + std::strerror(errno);
        return false;
    }
    m_pImpl = std::move(pImpl);
    return true;
}

int CMessageServer::GetPort() const { return m_pImpl ? m_pImpl->m_iPort : 0; }

void CMessageServer::Stop() {
    if (m_pImpl) {
        m_pImpl->Stop();
        m_LastStats = m_pImpl->Stats();
        m_pImpl.reset();
    }
}

CServerStats CMessageServer::GetStats() const { return m_pImpl ? m_pImpl->Stats() : m_LastStats; }

}  // namespace vorant_server
