// vorant-server: the message XML of answers (echo, answer files, REJECT).
#ifndef VORANT_SERVER_ANSWERS_H
#define VORANT_SERVER_ANSWERS_H

#include <string>
#include <unordered_map>

#include "transport/protocol.h"

class CMsgDic;
class CMsgXmlSource;

namespace vorant_server {

// The message number of the REJECT answer and the codes the server itself
// rejects with.
const int REJECT_MSG_NUM = vorant::protocol::REJECT_MSG_NUM;
const int REJECT_NO_RULE = 9001;         // no rule for the service
const int REJECT_BAD_REQUEST = 9002;     // the request packet was damaged
const int REJECT_UNREADABLE_XML = 9003;  // the request body does not parse

// One answer body: its message number and its numbered message XML.
struct CAnswer {
    int m_iMsgNum = 0;
    std::string m_strXml;
};

// Message 10 with tag 6 the code, 7 the reason and 8 the service number.
CAnswer RejectAnswer(int p_iCode, const std::string& p_strReason, int p_iSvcNum);

// Parses p_szXml (either form) against p_pDic and writes it back in the
// numbered form. False with the reason in *p_pError.
bool NormaliseMessage(CMsgDic* p_pDic, const char* p_szXml, CAnswer* p_pAnswer, std::string* p_pError);
// The same for the document p_Source gives, read as it is parsed.
bool NormaliseMessage(CMsgDic* p_pDic, CMsgXmlSource& p_Source, CAnswer* p_pAnswer, std::string* p_pError);

// The normalised answers to the last few distinct echo requests, so that a
// load test repeating one request is not bound by parsing it each time.
// The dictionary never changes while the server runs, so an entry is the
// exact answer. One per event loop; not shared between threads.
class CEchoCache {
public:
    // The remembered answer to the request body p_strXml, or null.
    const CAnswer* Find(const std::string& p_strXml) const;
    void Add(const std::string& p_strXml, const CAnswer& p_Answer);

private:
    std::unordered_map<std::string, CAnswer> m_Entries;
};

// Reads and normalises a message XML file.
bool LoadAnswerFile(CMsgDic* p_pDic, const std::string& p_strPath, CAnswer* p_pAnswer, std::string* p_pError);

}  // namespace vorant_server

#endif  // VORANT_SERVER_ANSWERS_H
