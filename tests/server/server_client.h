// Test helpers: an in-process server and one-call clients built on the
// transport's own adaptor.
#ifndef VORANT_TESTS_SERVER_SERVER_CLIENT_H
#define VORANT_TESTS_SERVER_SERVER_CLIENT_H

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server.h"
#include "transport/tcp_adaptor.h"

// One call's outcome: ReceiveFrom's result (or the failing step's), the
// adaptor's record text and the answer packet.
struct CallResult {
    int m_iCode = 0;
    std::string m_strError;
    CPacketInfo m_Answer;
    std::string Body() const;
};

// Sends one request packet to p_szHost and reads the answer with time-out
// p_iTimeout.
std::unique_ptr<CallResult> Call(int p_iPort, int p_iSvcNum, int p_iMsgNum, const std::string& p_strXml,
                                 int p_iTimeout = 2, const char* p_szHost = "127.0.0.1");

// The request packet the transport frames for p_strBody, for tests that send
// it whole, in part or altered.
std::string RequestPacket(int p_iSvcNum, int p_iMsgNum, const std::string& p_strBody, bool p_bCompressed = false);

// A server on 127.0.0.1 with the test dictionary and the given rules,
// collecting its log lines.
class TestServer {
public:
    // p_fnTune may change the options before the start.
    explicit TestServer(const std::string& p_strRules, int p_iThreads = 4,
                        const std::function<void(vorant_server::CServerOptions*)>& p_fnTune = {});
    ~TestServer() { m_Server.Stop(); }
    int Port() const { return m_Server.GetPort(); }
    void Stop() { m_Server.Stop(); }
    vorant_server::CServerStats Stats() const { return m_Server.GetStats(); }
    // A line is written after its answer went out: Stop first to see all.
    std::vector<std::string> LogLines();

private:
    std::mutex m_Mutex;
    std::vector<std::string> m_Log;
    vorant_server::CMessageServer m_Server;  // last: stopped before the log goes
};

// Tags 6, 7 and 8 of a REJECT body, read through a dictionary as a client
// would. False when the body is no readable REJECT.
bool ReadReject(const std::string& p_strXml, int* p_pCode, std::string* p_pReason, int* p_pSvc);

// A small request body the test dictionary reads.
constexpr char kShortXml[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"1001\" ver=\"\">"
    "<t1><![CDATA[ACME]]></t1><t2>42</t2></msg>";

std::string TestData(const std::string& p_strName);

#endif  // VORANT_TESTS_SERVER_SERVER_CLIENT_H
