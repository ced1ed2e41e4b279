#include "answers.h"

#include <fstream>
#include <memory>
#include <sstream>

#include "file_check.h"
#include "msg/msg_xml_source.h"
#include "vorant/exception.hpp"
#include "vorant/msg.hpp"
#include "vorant/stream.hpp"

namespace vorant_server {

namespace {

// At most this many entries of at most this many bytes per loop.
const size_t kEchoEntries = 64;
const size_t kEchoLargest = 16 * 1024;

}  // namespace

const CAnswer* CEchoCache::Find(const std::string& p_strXml) const {
    const auto found = m_Entries.find(p_strXml);
    return found == m_Entries.end() ? nullptr : &found->second;
}

void CEchoCache::Add(const std::string& p_strXml, const CAnswer& p_Answer) {
    if (p_strXml.size() > kEchoLargest || p_Answer.m_strXml.size() > kEchoLargest) {
        return;
    }
    if (m_Entries.size() >= kEchoEntries) {
        m_Entries.clear();  // a load test repeats few requests: start again
    }
    m_Entries.emplace(p_strXml, p_Answer);
}

CAnswer RejectAnswer(int p_iCode, const std::string& p_strReason, int p_iSvcNum) {
    // "]]>" would end the CDATA section early.
    std::string strReason = p_strReason;
    for (size_t n = strReason.find("]]>"); n != std::string::npos; n = strReason.find("]]>", n)) {
        strReason.replace(n, 3, "]] >");
    }
    CAnswer answer;
    answer.m_iMsgNum = REJECT_MSG_NUM;
    answer.m_strXml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"10\" ver=\"\"><t6>" +
                      std::to_string(p_iCode) + "</t6><t7><![CDATA[" + strReason + "]]></t7><t8>" +
                      std::to_string(p_iSvcNum) + "</t8></msg>";
    return answer;
}

namespace {

// Parses with p_Load into a message of p_pDic and writes it back numbered.
// The message goes before its text is copied out: a long answer is held at
// most twice at any moment.
template <class TLoad>
bool Normalise(CMsgDic* p_pDic, TLoad p_Load, CAnswer* p_pAnswer, std::string* p_pError) {
    try {
        std::unique_ptr<CMsg> pMsg(new CMsg(0, 0, 0, p_pDic));
        if (!p_Load(pMsg.get())) {
            *p_pError = "no message text";
            return false;
        }
        CStream xml;
        if (pMsg->ToXml(&xml, false, false, 1) < 0) {
            *p_pError = pMsg->GetLastError();
            return false;
        }
        p_pAnswer->m_iMsgNum = pMsg->GetMsgNum();
        pMsg.reset();
        p_pAnswer->m_strXml.assign(xml.GetData() ? xml.GetData() : "", static_cast<size_t>(xml.GetSize()));
        return true;
    } catch (const CException& e) {
        *p_pError = std::to_string(e.GetCode()) + ", " + e.GetText();
        return false;
    }
}

}  // namespace

bool NormaliseMessage(CMsgDic* p_pDic, const char* p_szXml, CAnswer* p_pAnswer, std::string* p_pError) {
    return Normalise(
        p_pDic, [p_szXml](CMsg* p_pMsg) { return p_pMsg->LoadXml(p_szXml) >= 0; }, p_pAnswer, p_pError);
}

bool NormaliseMessage(CMsgDic* p_pDic, CMsgXmlSource& p_Source, CAnswer* p_pAnswer, std::string* p_pError) {
    return Normalise(
        p_pDic,
        [&p_Source](CMsg* p_pMsg) {
            LoadMsgXml(p_pMsg, p_Source);
            return true;
        },
        p_pAnswer, p_pError);
}

bool LoadAnswerFile(CMsgDic* p_pDic, const std::string& p_strPath, CAnswer* p_pAnswer, std::string* p_pError) {
    const std::string strUnreadable = UnreadableReason(p_strPath);
    std::ifstream in(p_strPath, std::ios::binary);
    if (!strUnreadable.empty() || !in) {
        *p_pError = "answer file " + p_strPath + " cannot be read: " + strUnreadable;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!NormaliseMessage(p_pDic, text.str().c_str(), p_pAnswer, p_pError)) {
        *p_pError = p_strPath + ": " + *p_pError;
        return false;
    }
    return true;
}

}  // namespace vorant_server
