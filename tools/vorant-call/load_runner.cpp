#include "load_runner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "call_output.h"
#include "vorant/vorant.hpp"

namespace {

using Clock = std::chrono::steady_clock;

int64_t MicrosBetween(Clock::time_point p_From, Clock::time_point p_To) {
    return std::chrono::duration_cast<std::chrono::microseconds>(p_To - p_From).count();
}

// Everything the workers share. Held by shared_ptr so that workers given up
// on after an interruption never touch freed memory.
struct Shared {
    LoadPlan plan;
    const std::atomic<bool>* stop = nullptr;
    Clock::time_point t0;
    std::atomic<int64_t> next{0}, started{0}, done{0}, failed{0};
    std::atomic<int> running{0};
    std::mutex mutex;  // guards result
    LoadResult result;
    Clock::time_point lastEnd;

    bool Stopped() const { return stop != nullptr && stop->load(); }

    // Waits for the scheduled start; false when the run ends first.
    bool WaitFor(Clock::time_point p_Start) {
        for (;;) {
            if (Stopped())
                return false;
            const Clock::time_point now = Clock::now();
            if (now >= p_Start)
                return true;
            std::this_thread::sleep_for(std::min<Clock::duration>(p_Start - now, std::chrono::milliseconds(50)));
        }
    }

    void Record(int p_iResult, CVorantError& p_Err, int64_t p_llMicros, int64_t p_llSecond, Clock::time_point p_End) {
        std::lock_guard<std::mutex> lock(mutex);
        lastEnd = std::max(lastEnd, p_End);
        if (p_iResult == 0) {
            result.latency.Record(p_llMicros);
            if (p_llSecond >= 0 && p_llSecond < kMaxLoadSeconds) {
                if (static_cast<size_t>(p_llSecond) >= result.perSecond.size())
                    result.perSecond.resize(static_cast<size_t>(p_llSecond) + 1, LatencyHistogram(5));
                result.perSecond[static_cast<size_t>(p_llSecond)].Record(p_llMicros);
            }
            return;
        }
        ++result.errorsByCode[p_Err.GetCode()];
        if (result.firstError.empty())
            result.firstError = FormatError(plan.svcNum, p_iResult, p_Err);
    }
};

void Worker(std::shared_ptr<Shared> p_pShared) {
    Shared& s = *p_pShared;
    const LoadPlan& plan = s.plan;
    std::vector<char> text(plan.requestXml.begin(), plan.requestXml.end());
    text.push_back('\0');
    CMsg in(0, 0, 0, MA_GetMsgDic());
    in.LoadXml(text.data());  // checked before the run
    const bool open = plan.rate > 0;
    const Clock::time_point end =
        s.t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(plan.seconds));
    while (!s.Stopped()) {
        const int64_t i = s.next.fetch_add(1);
        Clock::time_point start;
        if (open) {
            start = s.t0 + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(static_cast<double>(i) / plan.rate));
            // Behind schedule past the end: the calls left are not started.
            if (start >= end || Clock::now() >= end || !s.WaitFor(start))
                break;
        } else {
            if (i >= plan.calls)
                break;
            start = Clock::now();
        }
        s.started.fetch_add(1);
        CVorantError err;
        int result;
        {
            CMsg out(0, 0, 0, MA_GetMsgDic());
            result = CVorant::CallServiceByMsg(plan.svcNum, &in, &out, &plan.bounds, &err);
        }
        const Clock::time_point now = Clock::now();
        if (result != 0)
            s.failed.fetch_add(1);
        s.Record(result, err, MicrosBetween(start, now), MicrosBetween(s.t0, start) / 1000000, now);
        s.done.fetch_add(1);
    }
    s.running.fetch_sub(1);
}

std::string Millis(int64_t p_llMicros) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(p_llMicros) / 1000.0);
    return text;
}

double MillisValue(int64_t p_llMicros) { return std::round(static_cast<double>(p_llMicros)) / 1000.0; }

}  // namespace

LoadResult RunLoad(const LoadPlan& p_Plan, const std::atomic<bool>* p_pStop, int p_iGraceMillis, bool* p_pAbandoned) {
    auto shared = std::make_shared<Shared>();
    shared->plan = p_Plan;
    shared->stop = p_pStop;
    const bool open = p_Plan.rate > 0;
    const int64_t scheduled =
        open ? static_cast<int64_t>(std::ceil(p_Plan.rate * p_Plan.seconds - 1e-9)) : p_Plan.calls;
    const int threads = open ? p_Plan.maxInFlight : p_Plan.threads;
    shared->t0 = Clock::now();
    shared->lastEnd = shared->t0;
    shared->running.store(threads);
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i)
        pool.emplace_back(Worker, shared);

    bool stopped = false;
    Clock::time_point stoppedAt;
    for (;;) {
        if (shared->running.load() == 0)
            break;
        if (!stopped && shared->Stopped()) {
            stopped = true;
            stoppedAt = Clock::now();
        }
        if (stopped && Clock::now() - stoppedAt > std::chrono::milliseconds(p_iGraceMillis))
            break;
        if (p_Plan.progress) {
            std::printf("\r%lld/%lld calls, %lld failed", static_cast<long long>(shared->done.load()),
                        static_cast<long long>(scheduled), static_cast<long long>(shared->failed.load()));
            if (open)
                std::printf(", %lld in flight", static_cast<long long>(shared->started.load() - shared->done.load()));
            std::fflush(stdout);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (p_Plan.progress) {
        std::printf("\r\033[K");
        std::fflush(stdout);
    }
    *p_pAbandoned = shared->running.load() > 0;
    for (auto& t : pool) {
        if (*p_pAbandoned)
            t.detach();
        else
            t.join();
    }

    std::lock_guard<std::mutex> lock(shared->mutex);
    LoadResult result = shared->result;
    result.open = open;
    result.interrupted = shared->Stopped();
    result.scheduled = scheduled;
    result.started = shared->started.load();
    result.failed = 0;
    for (const auto& entry : result.errorsByCode)
        result.failed += entry.second;
    result.answered = static_cast<int64_t>(result.latency.Count());
    result.seconds = std::chrono::duration<double>(shared->lastEnd - shared->t0).count();
    return result;
}

std::string LoadSummaryText(const LoadPlan& p_Plan, const LoadResult& r) {
    char line[512];
    std::string out;
    if (r.open) {
        std::snprintf(line, sizeof line,
                      "schedule   : %.1f calls/s for %.1f s, at most %d in flight (latency from scheduled start)\n",
                      p_Plan.rate, p_Plan.seconds, p_Plan.maxInFlight);
        out += line;
        std::snprintf(line, sizeof line, "calls      : %lld scheduled, %lld started: %lld answered, %lld failed\n",
                      static_cast<long long>(r.scheduled), static_cast<long long>(r.started),
                      static_cast<long long>(r.answered), static_cast<long long>(r.failed));
        out += line;
        if (r.started < r.scheduled && !r.interrupted) {
            std::snprintf(line, sizeof line, "behind     : %lld calls not started by the end of the schedule\n",
                          static_cast<long long>(r.scheduled - r.started));
            out += line;
        }
    } else {
        std::snprintf(line, sizeof line, "calls      : %d over %d thread%s: %lld answered, %lld failed\n", p_Plan.calls,
                      p_Plan.threads, p_Plan.threads == 1 ? "" : "s", static_cast<long long>(r.answered),
                      static_cast<long long>(r.failed));
        out += line;
    }
    if (r.interrupted)
        out += "interrupted: the summary covers the calls finished so far\n";
    std::snprintf(line, sizeof line, "elapsed    : %.3f s\n", r.seconds);
    out += line;
    const double done = static_cast<double>(r.answered + r.failed);
    std::snprintf(line, sizeof line, "throughput : %.1f calls/s\n", r.seconds > 0 ? done / r.seconds : 0.0);
    out += line;
    out += "latency    : p50 " + Millis(r.latency.Percentile(50)) + ", p90 " + Millis(r.latency.Percentile(90)) +
           ", p99 " + Millis(r.latency.Percentile(99)) + ", p99.9 " + Millis(r.latency.Percentile(99.9)) + ", max " +
           Millis(r.latency.Max()) + "\n";
    if (!r.errorsByCode.empty()) {
        out += "errors     :";
        for (const auto& entry : r.errorsByCode)
            out += " code " + std::to_string(entry.first) + " x" + std::to_string(entry.second);
        out += "\n";
    }
    return out;
}

std::string LoadSummaryJson(const LoadPlan& p_Plan, const LoadResult& r) {
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    out["mode"] = r.open ? "open" : "closed";
    if (r.open) {
        out["rate"] = p_Plan.rate;
        out["duration"] = p_Plan.seconds;
        out["maxInFlight"] = p_Plan.maxInFlight;
    } else {
        out["threads"] = p_Plan.threads;
    }
    out["scheduled"] = r.scheduled;
    out["started"] = r.started;
    out["answered"] = r.answered;
    out["failed"] = r.failed;
    out["interrupted"] = r.interrupted;
    out["elapsedSeconds"] = r.seconds;
    const double done = static_cast<double>(r.answered + r.failed);
    out["throughput"] = r.seconds > 0 ? done / r.seconds : 0.0;
    nlohmann::ordered_json latency = nlohmann::ordered_json::object();
    latency["p50"] = MillisValue(r.latency.Percentile(50));
    latency["p90"] = MillisValue(r.latency.Percentile(90));
    latency["p99"] = MillisValue(r.latency.Percentile(99));
    latency["p99.9"] = MillisValue(r.latency.Percentile(99.9));
    latency["max"] = MillisValue(r.latency.Max());
    latency["mean"] = std::round(r.latency.Mean()) / 1000.0;
    out["latencyMs"] = latency;
    nlohmann::ordered_json errors = nlohmann::ordered_json::object();
    for (const auto& entry : r.errorsByCode)
        errors[std::to_string(entry.first)] = entry.second;
    out["errors"] = errors;
    return out.dump(2) + "\n";
}
