#include "api/init_settings.h"

#include <cctype>
#include <climits>

#include "api/call_bounds.h"
#include "api/config.h"
#include "vorant/arrays.hpp"

const char* const kConfigKeys[kConfigKeyCount] = {"msg_dic",  "key_file",        "server",    "timeout",
                                                  "deadline", "connect_timeout", "max_answer"};

// Rounded to the millisecond, at most an int's worth.
bool ParseConfigSeconds(const CString& p_strText, int* p_piMillis) {
    const char* p = p_strText.ToStr();
    long long llWhole = 0, llFraction = 0, llScale = 1;
    bool bDigits = false;
    for (; isdigit(static_cast<unsigned char>(*p)); ++p, bDigits = true) {
        llWhole = llWhole * 10 + (*p - '0');
        if (llWhole > INT_MAX / 1000)
            return false;
    }
    if (*p == '.') {
        for (++p; isdigit(static_cast<unsigned char>(*p)); ++p, bDigits = true) {
            if (llScale < 1000000) {
                llFraction = llFraction * 10 + (*p - '0');
                llScale *= 10;
            }
        }
    }
    if (!bDigits || *p != '\0')
        return false;
    const long long llMillis = llWhole * 1000 + (llFraction * 1000 + llScale / 2) / llScale;
    if (llMillis > INT_MAX)
        return false;
    *p_piMillis = static_cast<int>(llMillis);
    return true;
}

bool ParseConfigBytes(const CString& p_strText, int* p_piBytes) {
    const char* p = p_strText.ToStr();
    long long llValue = 0;
    if (!isdigit(static_cast<unsigned char>(*p)))
        return false;
    for (; isdigit(static_cast<unsigned char>(*p)); ++p) {
        llValue = llValue * 10 + (*p - '0');
        if (llValue > INT_MAX)
            return false;
    }
    if (*p != '\0')
        return false;
    *p_piBytes = static_cast<int>(llValue);
    return true;
}

namespace {

// The optional bound keys; an absent key leaves its field at 0 (default).
int ReadCallBounds(CConfig& p_Config, CInitSettings* p_pSettings, CVorantError* p_pErr) {
    CString strValue;
    if (p_Config.GetString("connect_timeout", strValue) == 0 &&
        (!ParseConfigSeconds(strValue, &p_pSettings->m_iConnectTimeoutMs) || p_pSettings->m_iConnectTimeoutMs < 1)) {
        p_pErr->SetError(
            CFormat("'connect_timeout' key syntax is [connect_timeout=seconds] above 0 (got '%s')", strValue.ToStr()));
        return -1;
    }
    if (p_Config.GetString("deadline", strValue) == 0 && !ParseConfigSeconds(strValue, &p_pSettings->m_iDeadlineMs)) {
        p_pErr->SetError(CFormat("'deadline' key syntax is [deadline=seconds] (got '%s')", strValue.ToStr()));
        return -1;
    }
    if (p_Config.GetString("max_answer", strValue) == 0 &&
        (!ParseConfigBytes(strValue, &p_pSettings->m_iMaxAnswer) || p_pSettings->m_iMaxAnswer < kMinAnswerBound)) {
        p_pErr->SetError(CFormat("'max_answer' key syntax is [max_answer=bytes] of at least %d (got '%s')",
                                 kMinAnswerBound, strValue.ToStr()));
        return -1;
    }
    return 0;
}

}  // namespace

int ReadInitSettings(const char* p_szConfigPath, CInitSettings* p_pSettings, CVorantError* p_pErr) {
    CConfig config;
    if (config.Load(p_szConfigPath) < 0) {
        p_pErr->SetError(0, config.GetLastError(), 0);
        return -1;
    }
    CString strValues[kRequiredConfigKeys];
    for (int i = 0; i < kRequiredConfigKeys; ++i) {
        if (config.GetString(kConfigKeys[i], strValues[i]) < 0) {
            p_pErr->SetError(0, config.GetLastError(), 0);
            return -1;
        }
    }

    // Blanks between host and port may be repeated: empty pieces are skipped.
    CStrArray arrPieces;
    strValues[2].Split(' ', &arrPieces, true);
    CString strHost, strPort;
    int iFound = 0;
    for (int i = 0; i < arrPieces.GetSize() && iFound < 2; ++i) {
        CString strPiece = arrPieces.GetAt(i);
        if (strPiece.IsEmpty())
            continue;
        (iFound++ == 0 ? strHost : strPort) = strPiece;
    }
    if (iFound < 2) {
        p_pErr->SetError("'server' key syntax is [server=ip_address port]");
        return -1;
    }

    if (ReadCallBounds(config, p_pSettings, p_pErr) < 0)
        return -1;

    int iTimeout = kDefaultTimeout;
    if (config.GetInt("timeout", &iTimeout) == 0 && iTimeout <= kMinConfigTimeout)
        iTimeout = kMinConfigTimeout;

    p_pSettings->m_strMsgDic = strValues[0];
    p_pSettings->m_strKeyFile = strValues[1];
    p_pSettings->m_strHost = strHost;
    p_pSettings->m_iPort = strPort.ToInt();
    p_pSettings->m_iTimeout = iTimeout;
    return 0;
}
