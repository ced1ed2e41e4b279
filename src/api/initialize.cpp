// CVorant::Initialize (both forms) and the readers of the key file.
#include "api/call_bounds.h"
#include "api/init_settings.h"
#include "api/library_state.h"
#include "protect/file_reader.h"
#include "protect/key_file.h"
#include "transport/adaptor.h"
#include "vorant/cvorant.hpp"
#include "vorant/exception.hpp"
#include "vorant/msg_dic.hpp"

int CVorant::Initialize(const char* p_szConfigPath, CVorantError* p_pErr) {
    if (p_pErr == nullptr)
        return MA_ERR_NULL_PARAM;
    p_pErr->Clear();
    CInitSettings settings;
    if (ReadInitSettings(p_szConfigPath, &settings, p_pErr) < 0)
        return VORANT_INIT_SETTINGS;
    int iResult = Initialize(settings.m_strKeyFile, settings.m_strMsgDic, settings.m_strHost, settings.m_iPort,
                             settings.m_iTimeout, p_pErr);
    if (iResult == 0) {
        // Checked while the file was read: storing cannot fail.
        CString strReason;
        StoreCallBounds(settings.m_iConnectTimeoutMs, settings.m_iDeadlineMs, settings.m_iMaxAnswer, &strReason);
    }
    return iResult;
}

int CVorant::Initialize(const char* p_szKeyFile, const char* p_szMsgDic, const char* p_szHost, int p_iPort,
                        int p_iTimeout, CVorantError* p_pErr) {
    if (p_pErr == nullptr)
        return MA_ERR_NULL_PARAM;
    p_pErr->Clear();
    if (p_szHost == nullptr || *p_szHost == '\0') {
        p_pErr->SetError(0, "Invalid server host", 0);
        return VORANT_INIT_SETTINGS;
    }

    // The host and the key file are checked before anything changes. The
    // dictionary is then loaded in place: a load that fails part way leaves
    // what it had read. The server settings are stored last, only when every
    // step succeeded.
    CString strUserKey, strText;
    if (GetUserKey(p_szKeyFile, strUserKey, strText) < 0) {
        p_pErr->SetError(0, strText, 0);
        return VORANT_INIT_SETTINGS;
    }
    if (strUserKey.IsEmpty()) {
        p_pErr->SetError(0, "Invalid UserKey", 0);
        return VORANT_INIT_SETTINGS;
    }
    try {
        MA_GetMsgDic()->InitDictionary(p_szMsgDic);
    } catch (const CException& e) {
        p_pErr->SetError(e.GetText());
        return VORANT_INIT_DICTIONARY;
    }
    int iResult = InitWinSock();
    if (iResult != 0) {
        p_pErr->SetError(0, CFormat("InitWinSock failed(%d)", iResult), 0);
        return VORANT_INIT_NETWORK;
    }

    g_strUserKey = strUserKey;
    g_strServerHost = p_szHost;
    g_iServerPort = p_iPort;
    g_iTimeout = p_iTimeout;
    g_bInitialized.store(true, std::memory_order_release);
    return 0;
}

int CVorant::GetUserKey(const char* p_szKeyFile, CString& p_strUserKey, CString& p_strErrText) {
    CStream data(0, 512);
    // The key file could not be read (-1) or its key not decoded (-2); the
    // text says why.
    const int kKeyFileUnread = -1, kKeyUndecoded = -2;
    if (ReadFileToStream(p_szKeyFile, data, p_strErrText) < 0)
        return kKeyFileUnread;
    if (DecodeUserKey(data, p_strUserKey, p_strErrText) < 0)
        return kKeyUndecoded;
    return 0;
}

int CVorant::ReadFileToStream(const char* p_szFileName, CStream& p_Out, CString& p_strErrText) {
    return ReadWholeFile(p_szFileName, p_Out, p_strErrText);
}
