#include "options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "load_runner.h"

namespace {

bool ParseNumber(const char* p_szText, int p_iMin, int* p_piOut) {
    char* pEnd = nullptr;
    const long lValue = std::strtol(p_szText, &pEnd, 10);
    if (pEnd == p_szText || *pEnd != '\0' || lValue < p_iMin || lValue > 1000000000)
        return false;
    *p_piOut = static_cast<int>(lValue);
    return true;
}

bool ParsePositive(const char* p_szText, double p_dMax, double* p_pdOut) {
    char* pEnd = nullptr;
    const double dValue = std::strtod(p_szText, &pEnd);
    if (pEnd == p_szText || *pEnd != '\0' || !(dValue > 0) || dValue > p_dMax)
        return false;
    *p_pdOut = dValue;
    return true;
}

// Seconds with decimals ("2", "0.25") as milliseconds: at least 1 ms, at
// most what an int of milliseconds holds.
bool ParseSeconds(const char* p_szText, int* p_piMillis) {
    char* pEnd = nullptr;
    const double dSeconds = std::strtod(p_szText, &pEnd);
    if (pEnd == p_szText || *pEnd != '\0' || !(dSeconds >= 0.0005) || dSeconds > 2147483.0)
        return false;
    *p_piMillis = static_cast<int>(dSeconds * 1000 + 0.5);
    return true;
}

bool EndsWith(const std::string& p_strText, const std::string& p_strTail) {
    return p_strText.size() >= p_strTail.size() &&
           p_strText.compare(p_strText.size() - p_strTail.size(), p_strTail.size(), p_strTail) == 0;
}

// The options that make sense together, once every one is read.
int CheckCombination(CToolOptions* p_pOpt) {
    if (p_pOpt->m_strConfig.empty())
        return Usage("no configuration (-c CONFIG)");
    if (p_pOpt->m_bCheckConfig) {
        if (p_pOpt->m_iService >= 0 || !p_pOpt->m_strRequestFile.empty() || !p_pOpt->m_strMsg.empty() ||
            p_pOpt->m_bList || !p_pOpt->m_strDescribe.empty())
            return Usage("--check-config checks the configuration only: no service, request or dictionary listing");
        return 0;
    }
    if (p_pOpt->m_bList || !p_pOpt->m_strDescribe.empty()) {
        if (p_pOpt->m_bList && !p_pOpt->m_strDescribe.empty())
            return Usage("give either --list or --describe");
        if (p_pOpt->m_iService >= 0 || !p_pOpt->m_strRequestFile.empty() || !p_pOpt->m_strMsg.empty())
            return Usage("--list and --describe read only the dictionary: no service or request");
        return 0;
    }
    if (p_pOpt->m_iService < 0)
        return Usage("no service number (-s SERVICE)");
    if (p_pOpt->m_strRequestFile.empty() && p_pOpt->m_strMsg.empty())
        return Usage("give either a request file or --msg MSG");
    if (!p_pOpt->m_strRequestFile.empty() && !p_pOpt->m_strMsg.empty() && !p_pOpt->IsJsonRequest())
        return Usage("give either a request file or --msg MSG (--msg goes with a JSON request only)");
    if (!p_pOpt->m_Sets.empty() && !p_pOpt->m_strRequestFile.empty())
        return Usage("--set belongs to --msg, not to a request file");
    if (p_pOpt->m_bXml && p_pOpt->m_bJson)
        return Usage("give either --xml or --json");
    if (p_pOpt->m_iRepeat > 0 && p_pOpt->m_dRate > 0)
        return Usage("give either --repeat (closed loop) or --rate (open model)");
    if ((p_pOpt->m_dRate > 0) != (p_pOpt->m_dDuration > 0))
        return Usage("--rate and --duration go together");
    if (p_pOpt->IsLoadRun() && (p_pOpt->m_bVerbose || p_pOpt->m_bTracePacket))
        return Usage("-v and --trace-packet belong to a single call");
    if (!p_pOpt->IsLoadRun() && !p_pOpt->m_strReport.empty())
        return Usage("--report belongs to a load run (--repeat or --rate)");
    if (p_pOpt->m_bTracePacket)
        p_pOpt->m_bVerbose = true;
    return 0;
}

}  // namespace

bool CToolOptions::IsJsonRequest() const {
    return m_strInput.empty() ? EndsWith(m_strRequestFile, ".json") : m_strInput == "json";
}

int Usage(const std::string& p_strProblem) {
    std::fprintf(stderr, "vorant-call: %s\n(vorant-call --help explains the options)\n", p_strProblem.c_str());
    return kExitUsage;
}

bool ParseServerAddress(const std::string& p_strText, std::string* p_pHost, int* p_piPort, std::string* p_pError) {
    std::string strHost, strPort;
    if (!p_strText.empty() && p_strText[0] == '[') {
        const size_t nClose = p_strText.find(']');
        if (nClose == std::string::npos || nClose + 1 >= p_strText.size() || p_strText[nClose + 1] != ':') {
            *p_pError = "--server needs HOST:PORT (IPv6 as [::1]:7300), got '" + p_strText + "'";
            return false;
        }
        strHost = p_strText.substr(1, nClose - 1);
        strPort = p_strText.substr(nClose + 2);
    } else {
        const size_t nColon = p_strText.rfind(':');
        if (nColon == std::string::npos) {
            *p_pError = "--server needs HOST:PORT (IPv6 as [::1]:7300), got '" + p_strText + "'";
            return false;
        }
        strHost = p_strText.substr(0, nColon);
        strPort = p_strText.substr(nColon + 1);
        if (strHost.find(':') != std::string::npos) {
            *p_pError = "--server: an IPv6 address goes in brackets, as [" + strHost + "]:" + strPort + ", got '" +
                        p_strText + "'";
            return false;
        }
    }
    if (strHost.empty()) {
        *p_pError = "--server needs a host before the port, got '" + p_strText + "'";
        return false;
    }
    const bool bDigits =
        !strPort.empty() && strPort.size() <= 5 && strPort.find_first_not_of("0123456789") == std::string::npos;
    const int iPort = bDigits ? std::atoi(strPort.c_str()) : 0;
    if (iPort < 1 || iPort > 65535) {
        *p_pError = "--server needs a port from 1 to 65535, got '" + strPort + "' in '" + p_strText + "'";
        return false;
    }
    *p_pHost = strHost;
    *p_piPort = iPort;
    return true;
}

int ParseToolOptions(int p_iArgc, char** p_pArgv, CToolOptions* p_pOpt) {
    for (int i = 1; i < p_iArgc; ++i) {
        const std::string strArg = p_pArgv[i];
        auto Value = [&](const char** p_pszOut) {
            if (i + 1 >= p_iArgc)
                return false;
            *p_pszOut = p_pArgv[++i];
            return true;
        };
        const char* szValue = nullptr;
        if (strArg == "-h" || strArg == "--help")
            return -1;
        if (strArg == "--xml") {
            p_pOpt->m_bXml = true;
        } else if (strArg == "--json") {
            p_pOpt->m_bJson = true;
        } else if (strArg == "-v" || strArg == "--verbose") {
            p_pOpt->m_bVerbose = true;
        } else if (strArg == "--trace-packet") {
            p_pOpt->m_bTracePacket = true;
        } else if (strArg == "--list") {
            p_pOpt->m_bList = true;
        } else if (strArg == "--check-config") {
            p_pOpt->m_bCheckConfig = true;
        } else if (strArg == "--describe" || strArg == "--describe-all") {
            if (!Value(&szValue))
                return Usage(strArg + " needs a message number or name");
            p_pOpt->m_strDescribe = szValue;
            p_pOpt->m_bDescribeAll = strArg == "--describe-all";
        } else if (strArg == "-c" || strArg == "--config") {
            if (!Value(&szValue))
                return Usage(strArg + " needs a file");
            p_pOpt->m_strConfig = szValue;
        } else if (strArg == "-s" || strArg == "--service") {
            if (!Value(&szValue) || !ParseNumber(szValue, 0, &p_pOpt->m_iService))
                return Usage(strArg + " needs a service number");
        } else if (strArg == "--server") {
            std::string strError;
            if (!Value(&szValue))
                return Usage("--server needs HOST:PORT (IPv6 as [::1]:7300)");
            if (!ParseServerAddress(szValue, &p_pOpt->m_strServerHost, &p_pOpt->m_Bounds.m_iPort, &strError))
                return Usage(strError);
        } else if (strArg == "--input") {
            if (!Value(&szValue) || (std::strcmp(szValue, "xml") != 0 && std::strcmp(szValue, "json") != 0))
                return Usage("--input needs xml or json");
            p_pOpt->m_strInput = szValue;
        } else if (strArg == "--msg") {
            if (!Value(&szValue) || *szValue == '\0')
                return Usage("--msg needs a message number or name");
            p_pOpt->m_strMsg = szValue;
        } else if (strArg == "--set") {
            if (!Value(&szValue))
                return Usage("--set needs NAME=VALUE");
            p_pOpt->m_Sets.push_back(szValue);
        } else if (strArg == "--repeat") {
            if (!Value(&szValue) || !ParseNumber(szValue, 1, &p_pOpt->m_iRepeat))
                return Usage("--repeat needs a count of at least 1");
        } else if (strArg == "--threads") {
            if (!Value(&szValue) || !ParseNumber(szValue, 1, &p_pOpt->m_iThreads) ||
                p_pOpt->m_iThreads > LoadConcurrencyLimit())
                return Usage("--threads needs a count from 1 to " + std::to_string(LoadConcurrencyLimit()) +
                             " (the descriptor limit)");
        } else if (strArg == "--rate") {
            if (!Value(&szValue) || !ParsePositive(szValue, 1e6, &p_pOpt->m_dRate))
                return Usage("--rate needs calls per second, above 0 and at most 1000000");
        } else if (strArg == "--duration") {
            if (!Value(&szValue) || !ParsePositive(szValue, kMaxLoadSeconds, &p_pOpt->m_dDuration))
                return Usage("--duration needs seconds, above 0 and at most 3600");
        } else if (strArg == "--max-in-flight") {
            if (!Value(&szValue) || !ParseNumber(szValue, 1, &p_pOpt->m_iMaxInFlight) ||
                p_pOpt->m_iMaxInFlight > LoadConcurrencyLimit())
                return Usage("--max-in-flight needs a count from 1 to " + std::to_string(LoadConcurrencyLimit()) +
                             " (the descriptor limit)");
        } else if (strArg == "--report") {
            if (!Value(&szValue) || *szValue == '\0')
                return Usage("--report needs a file name");
            p_pOpt->m_strReport = szValue;
        } else if (strArg == "--connect-timeout") {
            if (!Value(&szValue) || !ParseSeconds(szValue, &p_pOpt->m_Bounds.m_iConnectTimeoutMs))
                return Usage("--connect-timeout needs seconds above 0");
        } else if (strArg == "--deadline") {
            if (!Value(&szValue) || !ParseSeconds(szValue, &p_pOpt->m_Bounds.m_iDeadlineMs))
                return Usage("--deadline needs seconds above 0");
        } else if (strArg.size() > 1 && strArg[0] == '-') {
            return Usage("unknown option " + strArg);
        } else if (p_pOpt->m_strRequestFile.empty()) {
            p_pOpt->m_strRequestFile = strArg;
        } else {
            return Usage("more than one request file");
        }
    }
    if (!p_pOpt->m_strServerHost.empty())
        p_pOpt->m_Bounds.m_szHost = p_pOpt->m_strServerHost.c_str();
    return CheckCombination(p_pOpt);
}
