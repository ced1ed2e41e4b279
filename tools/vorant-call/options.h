// vorant-call's command line: the options, their parsing and the help text.
#ifndef VORANT_CALL_OPTIONS_H
#define VORANT_CALL_OPTIONS_H

#include <string>
#include <vector>

#include "vorant/cvorant.hpp"

// Exit statuses.
const int kExitAnswered = 0;
const int kExitCallFailed = 1;
const int kExitUsage = 2;
const int kExitInitFailed = 3;
const int kExitInterrupted = 130;

// What one run was asked to do. Owns its texts; m_Bounds.m_szHost points
// into m_strServerHost, so the object is not copied. One thread.
struct CToolOptions {
    std::string m_strConfig;
    bool m_bCheckConfig = false;
    int m_iService = -1;
    std::string m_strRequestFile;
    std::string m_strInput;  // "xml", "json" or "" (by the file's name)
    std::string m_strMsg;
    std::vector<std::string> m_Sets;
    bool m_bXml = false;
    bool m_bJson = false;
    bool m_bVerbose = false;
    bool m_bTracePacket = false;
    bool m_bList = false;
    std::string m_strDescribe;
    bool m_bDescribeAll = false;
    int m_iRepeat = 0;
    int m_iThreads = 1;
    double m_dRate = 0;
    double m_dDuration = 0;
    int m_iMaxInFlight = 64;
    std::string m_strReport;
    std::string m_strServerHost;  // --server, "" for the configured one
    CCallOptions m_Bounds;        // of every call

    CToolOptions() = default;
    CToolOptions(const CToolOptions&) = delete;
    CToolOptions& operator=(const CToolOptions&) = delete;

    bool IsLoadRun() const { return m_iRepeat > 0 || m_dRate > 0; }
    bool IsJsonRequest() const;
};

// The text of --help.
extern const char kHelpText[];

// Prints the problem and a pointer to --help on standard error; returns
// kExitUsage.
int Usage(const std::string& p_strProblem);

// 0 when the options are usable, -1 for --help, else the exit status to end
// with (the problem has been printed).
int ParseToolOptions(int p_iArgc, char** p_pArgv, CToolOptions* p_pOptions);

// "HOST:PORT", "[IPV6]:PORT": false with a reason for anything else, a port
// outside 1 to 65535 included.
bool ParseServerAddress(const std::string& p_strText, std::string* p_pHost, int* p_piPort, std::string* p_pError);

#endif  // VORANT_CALL_OPTIONS_H
