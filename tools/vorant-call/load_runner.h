// Load tests: a closed loop (--repeat over threads, each call waits for the
// previous one) or an open model (calls start on a fixed schedule, and each
// latency counts from the call's scheduled start, so queueing shows).
#ifndef VORANT_CALL_LOAD_RUNNER_H
#define VORANT_CALL_LOAD_RUNNER_H

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "histogram.h"
#include "vorant/cvorant.hpp"

// The longest run measured second by second (the open model's --duration
// is bounded by it; a longer closed loop keeps only its first seconds in
// the per-second series).
const int kMaxLoadSeconds = 3600;

struct LoadPlan {
    int svcNum = 0;
    std::string requestXml;  // message XML, checked before
    // Closed loop: `calls` calls over `threads` threads.
    int calls = 0;
    int threads = 1;
    // Open model when rate > 0: rate calls per second for `seconds`, at
    // most maxInFlight at once.
    double rate = 0;
    double seconds = 0;
    int maxInFlight = 64;
    bool progress = false;  // a progress line on standard output
    CCallOptions bounds;    // of every call
};

struct LoadResult {
    bool open = false;
    bool interrupted = false;
    int64_t scheduled = 0;  // calls the plan asked for
    int64_t started = 0;
    int64_t answered = 0;
    int64_t failed = 0;
    int64_t notStarted = 0;               // open model: scheduled, never started (0 when interrupted)
    double seconds = 0;                   // from the start of the run to the last end
    LatencyHistogram latency;             // answered calls, microseconds
    std::map<int, int64_t> errorsByCode;  // error record code -> failed calls
    std::string firstError;               // the first failure, as printed
    // Per second of the run (by scheduled start in the open model, by
    // start otherwise): p50 and p99 of the calls answered, microseconds.
    std::vector<LatencyHistogram> perSecond;
    // Per second as above: calls failed, and calls not started (by their
    // scheduled start).
    std::vector<int64_t> failedPerSecond;
    std::vector<int64_t> notStartedPerSecond;

    LoadResult() : latency(7) {}
};

// How many calls a run may keep under way: the descriptor limit (raised to
// its hard ceiling on the first call) less a reserve for everything else.
int LoadConcurrencyLimit();

// Runs the plan on the calling thread; the library must be initialised. Returns early, with what
// was measured so far, once *p_pStop becomes true (calls under way are
// waited for up to p_iGraceMillis, then cancelled and not counted).
// *p_pAbandoned is always false now that no call outlives the run.
LoadResult RunLoad(const LoadPlan& p_Plan, const std::atomic<bool>* p_pStop, int p_iGraceMillis, bool* p_pAbandoned);

#endif  // VORANT_CALL_LOAD_RUNNER_H
