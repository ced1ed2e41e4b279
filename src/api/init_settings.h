// The five initialisation settings as read from a configuration file.
#ifndef VORANT_API_INIT_SETTINGS_H
#define VORANT_API_INIT_SETTINGS_H

#include "vorant/cstring.hpp"
#include "vorant/vorant_error.hpp"

// What CVorant::Initialize(configPath) hands to the explicit form.
struct CInitSettings {
    CString m_strKeyFile;
    CString m_strMsgDic;
    CString m_strHost;
    int m_iPort = 0;
    int m_iTimeout = 90;
    // Keys connect_timeout, deadline (seconds in the file) and max_answer;
    // 0 when absent: the defaults.
    int m_iConnectTimeoutMs = 0;
    int m_iDeadlineMs = 0;
    int m_iMaxAnswer = 0;
};

// The seconds a configured time-out is raised to at least, and the default.
const int kMinConfigTimeout = 60;
const int kDefaultTimeout = 90;

// The keys ReadInitSettings reads, the kRequiredConfigKeys required ones
// first; a file's other keys are ignored.
extern const char* const kConfigKeys[];
const int kConfigKeyCount = 7;
const int kRequiredConfigKeys = 3;

// The value syntax of the keys connect_timeout and deadline (decimal
// seconds, "12" or "0.25", as milliseconds) and of max_answer (bytes).
// False for anything else: signs, exponents, blanks inside, too large.
bool ParseConfigSeconds(const CString& p_strText, int* p_piMillis);
bool ParseConfigBytes(const CString& p_strText, int* p_piBytes);

// Reads and checks the configuration file. 0, or -1 with the reason in
// p_pErr (code 0).
int ReadInitSettings(const char* p_szConfigPath, CInitSettings* p_pSettings, CVorantError* p_pErr);

#endif  // VORANT_API_INIT_SETTINGS_H
