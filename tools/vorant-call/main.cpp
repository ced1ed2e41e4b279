// vorant-call: calls one service of a message server from the command line,
// load-tests it, or tells what the dictionary defines.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "api/init_settings.h"
#include "call_output.h"
#include "config_check.h"
#include "dictionary_view.h"
#include "json_message.h"
#include "load_runner.h"
#include "options.h"
#include "request_builder.h"
#include "request_xml.h"
#include "svg_report.h"
#include "trace_output.h"
#include "vorant/vorant.hpp"

namespace {

std::atomic<bool> g_bStop{false};

void OnInterrupt(int) { g_bStop.store(true); }

std::string ReadAll(const std::string& p_strPath, std::string* p_pError) {
    std::stringstream text;
    if (p_strPath == "-") {
        text << std::cin.rdbuf();
    } else {
        std::ifstream file(p_strPath, std::ios::binary);
        if (!file) {
            *p_pError = "cannot read " + p_strPath + ": " + std::strerror(errno);
            return "";
        }
        text << file.rdbuf();
    }
    return text.str();
}

bool ReadRequest(const CToolOptions& p_Opt, std::string* p_pXml, std::string* p_pError) {
    if (!p_Opt.m_strMsg.empty() && p_Opt.m_strRequestFile.empty()) {
        CMessageDef def;
        if (!FindMessage(p_Opt.m_strMsg, &def)) {
            *p_pError = "message " + p_Opt.m_strMsg + " is not in the dictionary (vorant-call --list shows them)";
            return false;
        }
        CRequestBuilder builder(def);
        for (const auto& strSet : p_Opt.m_Sets) {
            if (!builder.Set(strSet, p_pError)) {
                *p_pError = "--set " + strSet + ": " + *p_pError;
                return false;
            }
        }
        *p_pXml = builder.ToXml();
        return true;
    }
    p_pError->clear();
    const std::string strText = ReadAll(p_Opt.m_strRequestFile, p_pError);
    if (!p_pError->empty())
        return false;
    if (p_Opt.IsJsonRequest())
        return JsonToRequestXml(strText, p_Opt.m_strMsg, p_pXml, p_pError);
    return RequestXmlChecked(strText, p_Opt.m_strRequestFile == "-" ? "standard input" : p_Opt.m_strRequestFile, p_pXml,
                             p_pError);
}

// Parses the request once before any call, so that a bad request is reported
// as such and not as a failed call.
bool CheckRequest(const std::string& p_strXml, std::string* p_pError) {
    std::vector<char> text(p_strXml.begin(), p_strXml.end());
    text.push_back('\0');
    CMsg msg(0, 0, 0, MA_GetMsgDic());
    try {
        if (msg.LoadXml(text.data()) < 0) {
            *p_pError = "the request is empty";
            return false;
        }
    } catch (const CException& e) {
        *p_pError = std::string("the request cannot be read: ") + e.GetText();
        return false;
    }
    return true;
}

// What the trace hook of a single call keeps: where the call went, and for
// -v the account of it.
struct CCallWitness {
    bool m_bVerbose = false;
    bool m_bPackets = false;
    CCallPlace m_Place;
};

void OnCallTrace(const VorantTrace* p_pTrace, void* p_pUser) {
    CCallWitness* pWitness = static_cast<CCallWitness*>(p_pUser);
    pWitness->m_Place.Take(*p_pTrace);
    if (pWitness->m_bVerbose)
        std::fputs(FormatTrace(*p_pTrace, pWitness->m_bPackets).c_str(), stderr);
}

int CallOnce(const CToolOptions& p_Opt, const std::string& p_strXml) {
    std::vector<char> text(p_strXml.begin(), p_strXml.end());
    text.push_back('\0');
    CMsg in(0, 0, 0, MA_GetMsgDic());
    CMsg out(0, 0, 0, MA_GetMsgDic());
    in.LoadXml(text.data());
    CCallWitness witness;
    witness.m_bVerbose = p_Opt.m_bVerbose;
    witness.m_bPackets = p_Opt.m_bTracePacket;
    CVorant::SetTraceHook(OnCallTrace, &witness);
    CVorantError err;
    const int iResult = CVorant::CallServiceByMsg(p_Opt.m_iService, &in, &out, &p_Opt.m_Bounds, &err);
    CVorant::SetTraceHook(nullptr, nullptr);
    if (iResult != 0) {
        if (p_Opt.m_bJson) {
            nlohmann::ordered_json error = ErrorToJson(iResult, err);
            const std::string strProblem = ConnectionProblem(iResult, err, witness.m_Place);
            if (!strProblem.empty())
                error["error"]["problem"] = strProblem;
            std::fputs(JsonText(error).c_str(), stdout);
        }
        std::fputs(FormatError(p_Opt.m_iService, iResult, err, &witness.m_Place).c_str(), stderr);
        return kExitCallFailed;
    }
    if (p_Opt.m_bJson)
        std::fputs(JsonText(MessageToJson(out)).c_str(), stdout);
    else
        std::fputs(FormatAnswer(out, p_Opt.m_bXml).c_str(), stdout);
    return kExitAnswered;
}

int RunLoadTest(const CToolOptions& p_Opt, const std::string& p_strXml) {
    LoadPlan plan;
    plan.svcNum = p_Opt.m_iService;
    plan.requestXml = p_strXml;
    plan.calls = p_Opt.m_iRepeat;
    plan.threads = p_Opt.m_iThreads;
    plan.rate = p_Opt.m_dRate;
    plan.seconds = p_Opt.m_dDuration;
    plan.maxInFlight = p_Opt.m_iMaxInFlight;
    plan.bounds = p_Opt.m_Bounds;
    plan.progress = isatty(STDOUT_FILENO) != 0;

    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;  // a second Ctrl-C ends the process at once
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);

    bool bAbandoned = false;
    LoadResult r = RunLoad(plan, &g_bStop, 2000, &bAbandoned);
    std::fputs((p_Opt.m_bJson ? LoadSummaryJson(plan, r) : LoadSummaryText(plan, r)).c_str(), stdout);
    int iStatus = r.interrupted                              ? kExitInterrupted
                  : r.failed > 0 || r.answered < r.scheduled ? kExitCallFailed
                                                             : kExitAnswered;
    if (r.failed > 0)
        std::fprintf(stderr, "first failure:\n%s", r.firstError.c_str());
    if (!p_Opt.m_strReport.empty()) {
        std::ofstream file(p_Opt.m_strReport, std::ios::binary | std::ios::trunc);
        file << LoadReportSvg(plan, r);
        if (!file) {
            std::fprintf(stderr, "vorant-call: cannot write %s\n", p_Opt.m_strReport.c_str());
            iStatus = iStatus == kExitAnswered ? kExitCallFailed : iStatus;
        }
    }
    if (bAbandoned) {
        // Calls still under way cannot be cut short: leave without running
        // the destructors they would race with.
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(iStatus);
    }
    return iStatus;
}

// Loads only the dictionary the configuration names.
int LoadDictionary(const CToolOptions& p_Opt) {
    CInitSettings settings;
    CVorantError err;
    if (ReadInitSettings(p_Opt.m_strConfig.c_str(), &settings, &err) < 0) {
        std::fputs(FormatError(-1, -1, err).c_str(), stderr);
        return kExitInitFailed;
    }
    try {
        MA_GetMsgDic()->InitDictionary(settings.m_strMsgDic);
    } catch (const CException& e) {
        std::fprintf(stderr, "vorant-call: the dictionary cannot be loaded: %s\n", e.GetText());
        return kExitInitFailed;
    }
    return 0;
}

int ShowDictionary(const CToolOptions& p_Opt) {
    const int iStatus = LoadDictionary(p_Opt);
    if (iStatus != 0)
        return iStatus;
    if (p_Opt.m_bList) {
        std::fputs(ListMessages().c_str(), stdout);
        return kExitAnswered;
    }
    CMessageDef def;
    if (!FindMessage(p_Opt.m_strDescribe, &def))
        return Usage("message " + p_Opt.m_strDescribe + " is not in the dictionary (vorant-call --list shows them)");
    std::fputs(DescribeMessage(def, p_Opt.m_bDescribeAll).c_str(), stdout);
    return kExitAnswered;
}

int CheckConfig(const CToolOptions& p_Opt) {
    const std::vector<CConfigProblem> problems = CheckConfigFile(p_Opt.m_strConfig);
    for (const CConfigProblem& problem : problems)
        std::printf("%s\n", FormatConfigProblem(p_Opt.m_strConfig, problem).c_str());
    if (problems.empty())
        std::printf("%s: no problems found\n", p_Opt.m_strConfig.c_str());
    else
        std::printf("%s: %zu problem%s\n", p_Opt.m_strConfig.c_str(), problems.size(), problems.size() == 1 ? "" : "s");
    return problems.empty() ? kExitAnswered : kExitCallFailed;
}

// The configuration's mistakes, before a call that uses it.
void WarnAboutConfig(const CToolOptions& p_Opt) {
    for (const CConfigProblem& problem : CheckConfigFile(p_Opt.m_strConfig)) {
        if (problem.m_iLine == 0 && problem.m_strText.compare(0, 15, "cannot be read:") == 0)
            return;  // initialisation says so
        std::fprintf(stderr, "vorant-call: warning: %s\n", FormatConfigProblem(p_Opt.m_strConfig, problem).c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    CToolOptions opt;
    const int iStatus = ParseToolOptions(argc, argv, &opt);
    if (iStatus == -1) {
        std::fputs(kHelpText, stdout);
        return kExitAnswered;
    }
    if (iStatus != 0)
        return iStatus;

    try {
        if (opt.m_bCheckConfig)
            return CheckConfig(opt);
        if (opt.m_bList || !opt.m_strDescribe.empty())
            return ShowDictionary(opt);
        WarnAboutConfig(opt);
        CVorantError err;
        const int iResult = CVorant::Initialize(opt.m_strConfig.c_str(), &err);
        if (iResult != 0) {
            std::fputs(FormatError(-1, iResult, err).c_str(), stderr);
            return kExitInitFailed;
        }
        std::string strXml, strError;
        if (!ReadRequest(opt, &strXml, &strError) || !CheckRequest(strXml, &strError))
            return Usage(strError);
        return opt.IsLoadRun() ? RunLoadTest(opt, strXml) : CallOnce(opt, strXml);
    } catch (const CException& e) {
        std::fprintf(stderr, "vorant-call: error %d: %s\n", e.GetCode(), e.GetText());
        return kExitCallFailed;
    }
}
