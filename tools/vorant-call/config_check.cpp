#include "config_check.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

#include "api/call_bounds.h"
#include "api/init_settings.h"

namespace {

const int kMaxPort = 65535;

std::string Trimmed(const std::string& p_strText) {
    const char* szBlanks = " \t\r\n\f\v";
    const size_t nFirst = p_strText.find_first_not_of(szBlanks);
    if (nFirst == std::string::npos)
        return "";
    return p_strText.substr(nFirst, p_strText.find_last_not_of(szBlanks) - nFirst + 1);
}

size_t EditDistance(const std::string& p_strA, const std::string& p_strB) {
    std::vector<size_t> row(p_strB.size() + 1);
    for (size_t j = 0; j <= p_strB.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= p_strA.size(); ++i) {
        size_t nDiagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= p_strB.size(); ++j) {
            const size_t nAbove = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, nDiagonal + (p_strA[i - 1] == p_strB[j - 1] ? 0 : 1)});
            nDiagonal = nAbove;
        }
    }
    return row[p_strB.size()];
}

bool IsKnownKey(const std::string& p_strKey) {
    for (int i = 0; i < kConfigKeyCount; ++i) {
        if (p_strKey == kConfigKeys[i])
            return true;
    }
    return false;
}

std::string UnknownKeyText(const std::string& p_strKey) {
    std::string strNearest;
    size_t nBest = 3;  // more edits than this is another word
    for (int i = 0; i < kConfigKeyCount; ++i) {
        const size_t nDistance = EditDistance(p_strKey, kConfigKeys[i]);
        if (nDistance < nBest) {
            nBest = nDistance;
            strNearest = kConfigKeys[i];
        }
    }
    std::string strText = "unknown key '" + p_strKey + "', which the library ignores";
    if (!strNearest.empty())
        return strText + " (did you mean '" + strNearest + "'?)";
    strText += " (known keys:";
    for (int i = 0; i < kConfigKeyCount; ++i)
        strText += std::string(i ? ", " : " ") + kConfigKeys[i];
    return strText + ")";
}

bool IsDigits(const std::string& p_strText) {
    return !p_strText.empty() && p_strText.find_first_not_of("0123456789") == std::string::npos;
}

// Empty when the file can be read, else the system's reason.
std::string UnreadableReason(const std::string& p_strPath) {
    FILE* pFile = std::fopen(p_strPath.c_str(), "rb");
    if (pFile == nullptr)
        return std::strerror(errno);
    std::string strReason;
    if (std::fgetc(pFile) == EOF && std::ferror(pFile))
        strReason = std::strerror(errno);
    std::fclose(pFile);
    return strReason;
}

std::string CheckFile(const std::string& p_strKey, const std::string& p_strValue) {
    if (p_strValue.empty())
        return "'" + p_strKey + "' names no file";
    const std::string strReason = UnreadableReason(p_strValue);
    return strReason.empty() ? "" : "'" + p_strKey + "' file " + p_strValue + " cannot be read: " + strReason;
}

std::string CheckServer(const std::string& p_strValue) {
    std::vector<std::string> pieces;
    size_t nAt = 0;
    while (nAt < p_strValue.size()) {
        const size_t nBlank = p_strValue.find(' ', nAt);
        const std::string strPiece = p_strValue.substr(nAt, nBlank == std::string::npos ? nBlank : nBlank - nAt);
        if (!strPiece.empty())
            pieces.push_back(strPiece);
        nAt = nBlank == std::string::npos ? p_strValue.size() : nBlank + 1;
    }
    if (pieces.size() < 2)
        return "'server' needs HOST PORT, got '" + p_strValue + "'";
    const std::string& strPort = pieces[1];
    const long lPort = IsDigits(strPort) && strPort.size() <= 6 ? std::atol(strPort.c_str()) : -1;
    if (lPort < 1 || lPort > kMaxPort)
        return "'server' port must be a number from 1 to 65535, got '" + strPort + "'";
    if (pieces.size() > 2)
        return "'server' has more than HOST PORT: '" + pieces[2] + "' and what follows are ignored";
    return "";
}

std::string CheckTimeout(const std::string& p_strValue) {
    const long lSeconds = IsDigits(p_strValue) && p_strValue.size() <= 9 ? std::atol(p_strValue.c_str()) : -1;
    if (lSeconds < 0) {
        const int iRead = std::atoi(p_strValue.c_str());
        return "'timeout' needs whole seconds, got '" + p_strValue + "' (the library would wait " +
               std::to_string(iRead > kMinConfigTimeout ? iRead : kMinConfigTimeout) + " s)";
    }
    if (lSeconds <= kMinConfigTimeout)
        return "'timeout' of " + p_strValue + " s is raised to " + std::to_string(kMinConfigTimeout) +
               " s, the least the library takes (connect_timeout and deadline bound a call more tightly)";
    return "";
}

std::string CheckValue(const std::string& p_strKey, const std::string& p_strValue) {
    int iValue = 0;
    if (p_strKey == "msg_dic" || p_strKey == "key_file")
        return CheckFile(p_strKey, p_strValue);
    if (p_strKey == "server")
        return CheckServer(p_strValue);
    if (p_strKey == "timeout")
        return CheckTimeout(p_strValue);
    if (p_strKey == "connect_timeout" && (!ParseConfigSeconds(p_strValue.c_str(), &iValue) || iValue < 1))
        return "'connect_timeout' needs seconds above 0 (decimals allowed), got '" + p_strValue + "'";
    if (p_strKey == "deadline" && !ParseConfigSeconds(p_strValue.c_str(), &iValue))
        return "'deadline' needs seconds (decimals allowed; 0 for none), got '" + p_strValue + "'";
    if (p_strKey == "max_answer" && (!ParseConfigBytes(p_strValue.c_str(), &iValue) || iValue < kMinAnswerBound))
        return "'max_answer' needs a number of bytes of at least " + std::to_string(kMinAnswerBound) + ", got '" +
               p_strValue + "'";
    return "";
}

}  // namespace

std::vector<CConfigProblem> CheckConfigFile(const std::string& p_strPath) {
    std::vector<CConfigProblem> problems;
    const std::string strReason = UnreadableReason(p_strPath);
    std::ifstream file(p_strPath);
    if (!strReason.empty() || !file) {
        problems.push_back({0, "cannot be read: " + (strReason.empty() ? std::string("unknown reason") : strReason)});
        return problems;
    }
    std::map<std::string, int> firstLine;
    std::string strLine;
    for (int iLine = 1; std::getline(file, strLine); ++iLine) {
        // As the library reads a line: a comment runs from '#' to the end,
        // blanks around key and value are dropped.
        const size_t nHash = strLine.find('#');
        const std::string strText = Trimmed(strLine.substr(0, nHash));
        if (strText.empty())
            continue;
        const size_t nEq = strText.find('=');
        if (nEq == std::string::npos) {
            problems.push_back({iLine, "'" + strText + "' has no '=': write key = value"});
            continue;
        }
        const std::string strKey = Trimmed(strText.substr(0, nEq));
        std::string strValue = Trimmed(strText.substr(nEq + 1));
        const size_t nSecondEq = strValue.find('=');
        if (nSecondEq != std::string::npos) {
            strValue = Trimmed(strValue.substr(0, nSecondEq));
            problems.push_back({iLine, "'" + strKey + "' has a second '=': only '" + strValue + "' is read"});
        }
        if (strKey.empty()) {
            problems.push_back({iLine, "a value without a key: '" + strText + "'"});
            continue;
        }
        if (!IsKnownKey(strKey)) {
            problems.push_back({iLine, UnknownKeyText(strKey)});
            continue;
        }
        const auto found = firstLine.find(strKey);
        if (found != firstLine.end()) {
            problems.push_back({iLine, "'" + strKey + "' is given again; the first one, on line " +
                                           std::to_string(found->second) + ", is the one used"});
            continue;
        }
        firstLine[strKey] = iLine;
        const std::string strProblem = CheckValue(strKey, strValue);
        if (!strProblem.empty())
            problems.push_back({iLine, strProblem});
    }
    for (int i = 0; i < kRequiredConfigKeys; ++i) {
        if (firstLine.count(kConfigKeys[i]) == 0)
            problems.push_back({0, std::string("no '") + kConfigKeys[i] + "' key, which is required"});
    }
    return problems;
}

std::string FormatConfigProblem(const std::string& p_strPath, const CConfigProblem& p_Problem) {
    return p_strPath + (p_Problem.m_iLine > 0 ? ":" + std::to_string(p_Problem.m_iLine) : "") + ": " +
           p_Problem.m_strText;
}
