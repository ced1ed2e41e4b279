// vorant-server: what to answer per service number, read from a rules file.
#ifndef VORANT_SERVER_RULES_H
#define VORANT_SERVER_RULES_H

#include <map>
#include <string>

namespace vorant_server {

// How one service is answered: an action, optionally preceded by faults
// that tests use to break the answer on purpose.
struct CServiceRule {
    enum Action { ECHO, ANSWER, REJECT };
    Action m_eAction = ECHO;
    std::string m_strAnswerFile;    // ANSWER: path as resolved when read
    int m_iRejectCode = 0;          // REJECT
    std::string m_strRejectReason;  // REJECT

    int m_iDelaySeconds = 0;        // wait before answering
    long long m_llCloseAfter = -1;  // send only this many bytes, then close
    bool m_bBadChecksum = false;
    bool m_bBadProtocol = false;
    bool m_bHeaderOnly = false;  // send the header, then stay silent
    std::string m_strBadLength;  // announce this packet length (10 chars)

    std::string m_strText;  // the rule as written, for the log
};

// The rules of one server, by service number, with an optional default
// ("*") for services without a rule of their own.
class CServiceRules {
public:
    // Reads rules text; relative answer files are taken from p_strBaseDir.
    // False with "line N: reason" in *p_pError on the first bad line.
    bool Parse(const std::string& p_strText, const std::string& p_strBaseDir, std::string* p_pError);
    bool ParseFile(const std::string& p_strPath, std::string* p_pError);

    // The rule for a service, or null when there is none.
    const CServiceRule* Find(int p_iSvcNum) const;
    const std::map<int, CServiceRule>& All() const { return m_Rules; }
    const CServiceRule* Default() const { return m_bHasDefault ? &m_Default : nullptr; }
    size_t Count() const { return m_Rules.size() + (m_bHasDefault ? 1 : 0); }

private:
    std::map<int, CServiceRule> m_Rules;
    CServiceRule m_Default;
    bool m_bHasDefault = false;
};

}  // namespace vorant_server

#endif  // VORANT_SERVER_RULES_H
