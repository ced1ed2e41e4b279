// --report FILE.svg: one self-contained picture of a load run.
#ifndef VORANT_CALL_SVG_REPORT_H
#define VORANT_CALL_SVG_REPORT_H

#include <string>

#include "load_runner.h"

// The SVG document, three panels on the run's time axis where they show
// time: latency over time (p50 and p99 of each second), calls per second
// (answered, failed, not started), and the percentile distribution of the
// answered calls; each panel with a legend of its colours.
std::string LoadReportSvg(const LoadPlan& p_Plan, const LoadResult& p_Result);

#endif  // VORANT_CALL_SVG_REPORT_H
