// --report FILE.svg: one self-contained picture of a load run.
#ifndef VORANT_CALL_SVG_REPORT_H
#define VORANT_CALL_SVG_REPORT_H

#include <string>

#include "load_runner.h"

// The SVG document: latency over time (p50 and p99 of each second) above the
// percentile distribution of the whole run.
std::string LoadReportSvg(const LoadPlan& p_Plan, const LoadResult& p_Result);

#endif  // VORANT_CALL_SVG_REPORT_H
