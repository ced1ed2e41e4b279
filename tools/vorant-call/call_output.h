// How vorant-call prints answers and error records.
#ifndef VORANT_CALL_CALL_OUTPUT_H
#define VORANT_CALL_CALL_OUTPUT_H

#include <string>

#include "load_runner.h"
#include "vorant/trace.h"
#include "vorant/vorant.hpp"

// Where a call went, as its trace record told: the server named, the
// address connected ("" when none) and the system's error number of the
// failing step (0 when the record carries none). Copied out of the record,
// so it outlives the hook.
struct CCallPlace {
    bool m_bKnown = false;
    std::string m_strHost;
    std::string m_strAddress;
    int m_iPort = 0;
    int m_iSysErrno = 0;

    void Take(const VorantTrace& p_Trace);
};

// For a failed call, what went wrong where in plain words, e.g. "could not
// connect to 127.0.0.1 port 47027: Connection refused"; "" when the place
// is not known or the failure is not the connection's.
std::string ConnectionProblem(int p_iResult, CVorantError& p_Err, const CCallPlace& p_Place);

// The error record of a failed call or initialisation, several lines; with
// a place, also the connection problem.
std::string FormatError(int p_iSvcNum, int p_iResult, CVorantError& p_Err, const CCallPlace* p_pPlace = nullptr);
// The answer as a Dump listing, or as named-form message XML.
std::string FormatAnswer(CMsg& p_Answer, bool p_bAsXml);

// A load run's summary as text lines, and as the JSON object scripts read.
// Throughput counts answered calls; failed and (open model) not started
// calls have their own lines; latency is of answered calls only.
std::string LoadSummaryText(const LoadPlan& p_Plan, const LoadResult& p_Result);
std::string LoadSummaryJson(const LoadPlan& p_Plan, const LoadResult& p_Result);

#endif  // VORANT_CALL_CALL_OUTPUT_H
