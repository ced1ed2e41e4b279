#include "api/init_settings.h"

#include "api/config.h"
#include "vorant/arrays.hpp"

int ReadInitSettings(const char* p_szConfigPath, CInitSettings* p_pSettings, CVorantError* p_pErr) {
    CConfig config;
    if (config.Load(p_szConfigPath) < 0) {
        p_pErr->SetError(0, config.GetLastError(), 0);
        return -1;
    }
    static const char* const kRequired[] = {"msg_dic", "key_file", "server"};
    CString strValues[3];
    for (int i = 0; i < 3; ++i) {
        if (config.GetString(kRequired[i], strValues[i]) < 0) {
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
