#include "rules.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "file_check.h"

namespace vorant_server {

namespace {

const long long kMaxDelaySeconds = 3600;

bool ReadInt(const std::string& p_str, long long p_llMin, long long p_llMax, long long* p_pValue) {
    if (p_str.empty()) {
        return false;
    }
    char* pEnd = nullptr;
    errno = 0;
    const long long llValue = std::strtoll(p_str.c_str(), &pEnd, 10);
    if (errno != 0 || *pEnd != '\0' || llValue < p_llMin || llValue > p_llMax) {
        return false;
    }
    *p_pValue = llValue;
    return true;
}

std::string Trimmed(const std::string& p_str) {
    const size_t nBegin = p_str.find_first_not_of(" \t\r");
    if (nBegin == std::string::npos) {
        return "";
    }
    const size_t nEnd = p_str.find_last_not_of(" \t\r");
    return p_str.substr(nBegin, nEnd - nBegin + 1);
}

// Splits off the first blank-separated word of *p_pRest.
std::string NextWord(std::string* p_pRest) {
    const std::string strRest = Trimmed(*p_pRest);
    const size_t nEnd = strRest.find_first_of(" \t");
    if (nEnd == std::string::npos) {
        p_pRest->clear();
        return strRest;
    }
    *p_pRest = strRest.substr(nEnd);
    return strRest.substr(0, nEnd);
}

// Parses "[fault ...] action" into *p_pRule; "" on success, else the reason.
std::string ParseRule(std::string p_strRest, const std::string& p_strBaseDir, CServiceRule* p_pRule) {
    for (;;) {
        const std::string strWord = NextWord(&p_strRest);
        long long llValue = 0;
        if (strWord.empty() || strWord == "echo") {
            p_pRule->m_eAction = CServiceRule::ECHO;
            return Trimmed(p_strRest).empty() ? "" : "unexpected text after echo";
        }
        if (strWord == "answer") {
            const std::string strFile = Trimmed(p_strRest);
            if (strFile.empty()) {
                return "answer needs a file";
            }
            p_pRule->m_eAction = CServiceRule::ANSWER;
            p_pRule->m_strAnswerFile =
                (strFile[0] == '/' || p_strBaseDir.empty()) ? strFile : p_strBaseDir + "/" + strFile;
            return "";
        }
        if (strWord == "reject") {
            if (!ReadInt(NextWord(&p_strRest), INT_MIN, INT_MAX, &llValue)) {
                return "reject needs a code";
            }
            p_pRule->m_eAction = CServiceRule::REJECT;
            p_pRule->m_iRejectCode = static_cast<int>(llValue);
            p_pRule->m_strRejectReason = Trimmed(p_strRest);
            return "";
        }
        if (strWord == "delay") {
            if (!ReadInt(NextWord(&p_strRest), 0, kMaxDelaySeconds, &llValue)) {
                return "delay needs seconds (0 to 3600)";
            }
            p_pRule->m_iDelaySeconds = static_cast<int>(llValue);
        } else if (strWord == "close-after") {
            if (!ReadInt(NextWord(&p_strRest), 0, LLONG_MAX, &llValue)) {
                return "close-after needs a byte count";
            }
            p_pRule->m_llCloseAfter = llValue;
        } else if (strWord == "bad-checksum") {
            p_pRule->m_bBadChecksum = true;
        } else if (strWord == "bad-protocol") {
            p_pRule->m_bBadProtocol = true;
        } else if (strWord == "header-only") {
            p_pRule->m_bHeaderOnly = true;
        } else if (strWord == "bad-length") {
            std::string strPeek = p_strRest;
            const std::string strValue = NextWord(&strPeek);
            if (!strValue.empty() && strValue.find_first_not_of("0123456789") == std::string::npos) {
                if (strValue.size() > 10) {
                    return "bad-length takes at most 10 digits";
                }
                p_strRest = strPeek;
                p_pRule->m_strBadLength = std::string(10 - strValue.size(), '0') + strValue;
            } else {
                p_pRule->m_strBadLength = "9999999999";
            }
        } else {
            return "unknown word '" + strWord + "'";
        }
    }
}

}  // namespace

bool CServiceRules::Parse(const std::string& p_strText, const std::string& p_strBaseDir, std::string* p_pError) {
    std::istringstream in(p_strText);
    std::string strLine;
    for (int iLine = 1; std::getline(in, strLine); ++iLine) {
        // Only a leading '#' comments: a reject reason may hold one.
        std::string strRest = Trimmed(strLine);
        if (strRest.empty() || strRest[0] == '#') {
            continue;
        }
        const std::string strSvc = NextWord(&strRest);
        CServiceRule rule;
        rule.m_strText = Trimmed(strRest).empty() ? "echo" : Trimmed(strRest);
        const std::string strReason = ParseRule(strRest, p_strBaseDir, &rule);
        if (!strReason.empty()) {
            *p_pError = "line " + std::to_string(iLine) + ": " + strReason;
            return false;
        }
        long long llSvc = 0;
        if (strSvc == "*") {
            m_Default = rule;
            m_bHasDefault = true;
        } else if (ReadInt(strSvc, 0, 9999, &llSvc)) {
            m_Rules[static_cast<int>(llSvc)] = rule;
        } else {
            *p_pError = "line " + std::to_string(iLine) + ": service must be 0 to 9999 or *, not '" + strSvc + "'";
            return false;
        }
    }
    return true;
}

bool CServiceRules::ParseFile(const std::string& p_strPath, std::string* p_pError) {
    const std::string strUnreadable = UnreadableReason(p_strPath);
    std::ifstream in(p_strPath);
    if (!strUnreadable.empty() || !in) {
        *p_pError = "rules file " + p_strPath + " cannot be read: " + strUnreadable;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    const size_t nSlash = p_strPath.rfind('/');
    const std::string strBase = nSlash == std::string::npos ? "." : p_strPath.substr(0, nSlash);
    if (!Parse(text.str(), strBase, p_pError)) {
        *p_pError = p_strPath + ": " + *p_pError;
        return false;
    }
    return true;
}

const CServiceRule* CServiceRules::Find(int p_iSvcNum) const {
    const auto it = m_Rules.find(p_iSvcNum);
    if (it != m_Rules.end()) {
        return &it->second;
    }
    return Default();
}

}  // namespace vorant_server
