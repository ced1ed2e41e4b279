// vorant-server: the state behind CMessageServer, shared by its event
// loops (event_loop.cpp) and connections (connection.cpp).
#ifndef VORANT_SERVER_SERVER_IMPL_H
#define VORANT_SERVER_SERVER_IMPL_H

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "answers.h"
#include "rules.h"
#include "server.h"

class CMsgDic;
class CPacketInfo;

namespace vorant_server {

class CLoop;

// What a whole request is answered with: the message, then the packet
// (faults applied) and how much of it goes out, and the log line so far.
struct CReply {
    const CServiceRule* m_pRule = nullptr;  // null: the server's own reject
    int m_iServerReject = 0;                // REJECT_NO_RULE ... when m_pRule is null
    std::string m_strLog;                   // "... in=N/Y out=N/N"
    std::string m_strOutcome;               // the rule's text or the server's reason
    int m_iMsgNum = 0;
    std::string m_strXml;
    std::string m_strPacket;  // set by Build
    size_t m_nSend = 0;
};

// A request's body as the server reads it: inflated in the request's
// m_Body, or, when m_pWire is set (a large compressed body), still as it
// came, to be inflated as it is parsed so that it is never held whole. The
// wire bytes belong to the connection.
struct CRequestBody {
    const char* m_pWire = nullptr;
    int m_iWire = 0;
    int m_iCeiling = 0;  // the header's uncompressed length
};

// Owns the dictionary, the rules with their answers read up front, the
// listening socket and the event loops; keeps the counters. After Start
// only the counters and the log change, both safe from any thread.
class CMessageServer::CImpl {
public:
    CImpl();
    ~CImpl();

    bool Load(std::string* p_pError);
    bool Listen(std::string* p_pError);
    bool StartLoops();
    void Stop();

    // Decides the answer to a request read whole (p_strError empty) or
    // damaged (p_strError the record), its body in p_Request or p_Kept.
    // Any loop thread. p_pCache is the calling loop's.
    CReply Decide(const CPacketInfo& p_Request, const CRequestBody& p_Kept, const std::string& p_strError,
                  const std::string& p_strLogStart, CEchoCache* p_pCache) const;
    // Builds the packet of a decided reply; false with the reason added to
    // the outcome.
    bool Build(const CPacketInfo& p_Request, CReply* p_pReply) const;

    void Log(const std::string& p_strLine);
    bool Logging() const { return static_cast<bool>(m_Options.m_fnLog); }
    // Counts a new connection; false (nothing counted) when over the limit.
    bool Admit();
    void Release();
    void CountAnswer(const CReply& p_Reply);
    CServerStats Stats() const;

    CServerOptions m_Options;
    int m_iPort = 0;
    bool m_bIpv6 = false;  // the listening socket's family
    std::atomic<bool> m_bStopping{false};
    std::atomic<long long> m_llRequests{0};
    std::atomic<long long> m_llDeadline{0};
    std::atomic<long long> m_llRefused{0};
    std::atomic<long long> m_llFailed{0};

private:
    // The normalised echo of a request; false with the parser's reason.
    bool Echo(const CPacketInfo& p_Request, const CRequestBody& p_Kept, CEchoCache* p_pCache, CAnswer* p_pAnswer,
              std::string* p_pError) const;

    std::unique_ptr<CMsgDic> m_pDic;
    CServiceRules m_Rules;
    std::map<std::string, CAnswer> m_AnswerFiles;
    int m_iListenFd = -1;
    std::vector<std::unique_ptr<CLoop>> m_Loops;
    bool m_bStopped = false;

    std::atomic<long long> m_llOpen{0};
    std::atomic<long long> m_llPeak{0};
    // Answer counters: one per rule (m_RuleIndex), then 9001, 9002, 9003.
    std::vector<std::string> m_Labels;
    std::map<const CServiceRule*, size_t> m_RuleIndex;
    std::unique_ptr<std::atomic<long long>[]> m_pAnswers;
    std::mutex m_LogMutex;
};

}  // namespace vorant_server

#endif  // VORANT_SERVER_SERVER_IMPL_H
