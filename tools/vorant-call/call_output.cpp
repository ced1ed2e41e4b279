#include "call_output.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

namespace {

// The error record's codes of the failing step of a call that returned -3.
const int kStepConnect = -3;
const int kStepSend = -4;
const int kStepReceive = -5;

std::string Reason(int p_iErrno) {
    char szText[256];
    return p_iErrno == 0 ? "" : std::string(": ") + strerror_r(p_iErrno, szText, sizeof szText);
}

std::string Millis(int64_t p_llMicros) {
    char szText[32];
    std::snprintf(szText, sizeof szText, "%.3f ms", static_cast<double>(p_llMicros) / 1000.0);
    return szText;
}

double MillisValue(int64_t p_llMicros) { return std::round(static_cast<double>(p_llMicros)) / 1000.0; }

// Calls a second over the run.
double PerSecond(int64_t p_llCalls, double p_dSeconds) {
    return p_dSeconds > 0 ? static_cast<double>(p_llCalls) / p_dSeconds : 0.0;
}

}  // namespace

void CCallPlace::Take(const VorantTrace& p_Trace) {
    m_bKnown = true;
    m_strHost = p_Trace.host ? p_Trace.host : "";
    m_strAddress = p_Trace.address;
    m_iPort = p_Trace.port;
    // A record from before the field was added is shorter.
    const size_t nEnd = offsetof(VorantTrace, sysErrno) + sizeof p_Trace.sysErrno;
    m_iSysErrno = p_Trace.size >= nEnd ? p_Trace.sysErrno : 0;
}

std::string ConnectionProblem(int p_iResult, CVorantError& p_Err, const CCallPlace& p_Place) {
    if (p_iResult != -3 || !p_Place.m_bKnown)
        return "";
    const std::string strPort = " port " + std::to_string(p_Place.m_iPort);
    const std::string strWhere = (p_Place.m_strAddress.empty() ? p_Place.m_strHost : p_Place.m_strAddress) + strPort;
    switch (p_Err.GetCode()) {
        case kStepConnect:
            if (std::strncmp(p_Err.GetText().ToStr(), "Failed in gethostbyname()", 25) == 0)
                return "could not resolve " + p_Place.m_strHost + Reason(p_Place.m_iSysErrno);
            return "could not connect to " + strWhere + Reason(p_Place.m_iSysErrno);
        case kStepSend: return "could not send the request to " + strWhere + Reason(p_Place.m_iSysErrno);
        case kStepReceive: return "no whole answer from " + strWhere + Reason(p_Place.m_iSysErrno);
        default: return "";
    }
}

std::string FormatError(int p_iSvcNum, int p_iResult, CVorantError& p_Err, const CCallPlace* p_pPlace) {
    std::string strOut;
    if (p_iSvcNum >= 0)
        strOut = (p_iResult == -4 ? "rejected: service " : "failed: service ") + std::to_string(p_iSvcNum) +
                 " returned " + std::to_string(p_iResult) + "\n";
    else
        strOut = "failed: initialisation returned " + std::to_string(p_iResult) + "\n";
    strOut += "  code      : " + std::to_string(p_Err.GetCode()) + "\n";
    strOut += "  text      : " + std::string(p_Err.GetText().ToStr()) + "\n";
    strOut += "  refSvcNum : " + std::to_string(p_Err.GetRefSvcNum()) + "\n";
    const std::string strProblem = p_pPlace ? ConnectionProblem(p_iResult, p_Err, *p_pPlace) : "";
    if (!strProblem.empty())
        strOut += "  problem   : " + strProblem + "\n";
    return strOut;
}

std::string FormatAnswer(CMsg& p_Answer, bool p_bAsXml) {
    CStream stream;
    if (p_bAsXml)
        p_Answer.ToXml(&stream, false, true, 1);
    else
        p_Answer.Dump(&stream, false, 1);
    std::string strOut = stream.GetData() ? std::string(stream.GetData(), static_cast<size_t>(stream.GetSize())) : "";
    if (strOut.empty() || strOut.back() != '\n')
        strOut += '\n';
    return strOut;
}

std::string LoadSummaryText(const LoadPlan& p_Plan, const LoadResult& p_Result) {
    char szLine[512];
    std::string strOut;
    if (p_Result.open) {
        std::snprintf(szLine, sizeof szLine,
                      "schedule   : %.1f calls/s for %.1f s, at most %d in flight (latency from scheduled start)\n",
                      p_Plan.rate, p_Plan.seconds, p_Plan.maxInFlight);
        strOut += szLine;
        std::snprintf(szLine, sizeof szLine, "calls      : %lld scheduled, %lld started: %lld answered, %lld failed\n",
                      static_cast<long long>(p_Result.scheduled), static_cast<long long>(p_Result.started),
                      static_cast<long long>(p_Result.answered), static_cast<long long>(p_Result.failed));
    } else {
        std::snprintf(szLine, sizeof szLine, "calls      : %d over %d thread%s: %lld answered, %lld failed\n",
                      p_Plan.calls, p_Plan.threads, p_Plan.threads == 1 ? "" : "s",
                      static_cast<long long>(p_Result.answered), static_cast<long long>(p_Result.failed));
    }
    strOut += szLine;
    if (p_Result.interrupted)
        strOut += "interrupted: the summary covers the calls finished so far\n";
    std::snprintf(szLine, sizeof szLine, "elapsed    : %.3f s\n", p_Result.seconds);
    strOut += szLine;
    std::snprintf(szLine, sizeof szLine, "throughput : %.1f answered calls/s\n",
                  PerSecond(p_Result.answered, p_Result.seconds));
    strOut += szLine;
    std::snprintf(szLine, sizeof szLine, "failed     : %lld call%s (%.1f/s)\n", static_cast<long long>(p_Result.failed),
                  p_Result.failed == 1 ? "" : "s", PerSecond(p_Result.failed, p_Result.seconds));
    strOut += szLine;
    if (p_Result.open && !p_Result.interrupted) {
        std::snprintf(szLine, sizeof szLine, "not started: %lld call%s%s\n",
                      static_cast<long long>(p_Result.notStarted), p_Result.notStarted == 1 ? "" : "s",
                      p_Result.notStarted > 0 ? ", the schedule fell behind and they were not made" : "");
        strOut += szLine;
    }
    if (p_Result.answered == 0)
        strOut += "latency    : no answered calls\n";
    else
        strOut += "latency    : p50 " + Millis(p_Result.latency.Percentile(50)) + ", p90 " +
                  Millis(p_Result.latency.Percentile(90)) + ", p99 " + Millis(p_Result.latency.Percentile(99)) +
                  ", p99.9 " + Millis(p_Result.latency.Percentile(99.9)) + ", max " + Millis(p_Result.latency.Max()) +
                  "\n";
    if (!p_Result.errorsByCode.empty()) {
        strOut += "errors     :";
        for (const auto& entry : p_Result.errorsByCode)
            strOut += " code " + std::to_string(entry.first) + " x" + std::to_string(entry.second);
        strOut += "\n";
    }
    return strOut;
}

std::string LoadSummaryJson(const LoadPlan& p_Plan, const LoadResult& p_Result) {
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    out["mode"] = p_Result.open ? "open" : "closed";
    if (p_Result.open) {
        out["rate"] = p_Plan.rate;
        out["duration"] = p_Plan.seconds;
        out["maxInFlight"] = p_Plan.maxInFlight;
    } else {
        out["threads"] = p_Plan.threads;
    }
    out["scheduled"] = p_Result.scheduled;
    out["started"] = p_Result.started;
    out["answered"] = p_Result.answered;
    out["failed"] = p_Result.failed;
    if (p_Result.open)
        out["notStarted"] = p_Result.notStarted;
    out["interrupted"] = p_Result.interrupted;
    out["elapsedSeconds"] = p_Result.seconds;
    out["throughput"] = PerSecond(p_Result.answered, p_Result.seconds);
    // No answered call, no latency: null rather than zeros that look measured.
    nlohmann::ordered_json latency = nullptr;
    if (p_Result.answered > 0) {
        latency = nlohmann::ordered_json::object();
        latency["p50"] = MillisValue(p_Result.latency.Percentile(50));
        latency["p90"] = MillisValue(p_Result.latency.Percentile(90));
        latency["p99"] = MillisValue(p_Result.latency.Percentile(99));
        latency["p99.9"] = MillisValue(p_Result.latency.Percentile(99.9));
        latency["max"] = MillisValue(p_Result.latency.Max());
        latency["mean"] = std::round(p_Result.latency.Mean()) / 1000.0;
    }
    out["latencyMs"] = latency;
    nlohmann::ordered_json errors = nlohmann::ordered_json::object();
    for (const auto& entry : p_Result.errorsByCode)
        errors[std::to_string(entry.first)] = entry.second;
    out["errors"] = errors;
    return out.dump(2) + "\n";
}
