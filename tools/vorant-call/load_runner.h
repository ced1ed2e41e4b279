// Runs one request many times over several threads and measures each call.
#ifndef VORANT_CALL_LOAD_RUNNER_H
#define VORANT_CALL_LOAD_RUNNER_H

#include <string>

#include "vorant/cvorant.hpp"

struct LoadResult {
    int answered = 0;
    int failed = 0;
    double seconds = 0;
    // Latencies in milliseconds.
    double p50 = 0, p90 = 0, p99 = 0, max = 0;
    // The first failure's record, as printed.
    std::string firstError;
};

// Sends requestXml (message XML) to service svcNum `calls` times over
// `threads` threads, each call bounded by options (null: the configured
// bounds); the library must be initialised. With progress, a line on
// stdout shows the calls done so far.
LoadResult RunLoad(int svcNum, const std::string& requestXml, int calls, int threads, bool progress,
                   const CCallOptions* options = nullptr);

#endif  // VORANT_CALL_LOAD_RUNNER_H
