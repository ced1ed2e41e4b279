#include "load_runner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "call_output.h"
#include "vorant/vorant.hpp"

namespace {

using Clock = std::chrono::steady_clock;

int64_t MicrosBetween(Clock::time_point p_From, Clock::time_point p_To) {
    return std::chrono::duration_cast<std::chrono::microseconds>(p_To - p_From).count();
}

void CountInSecond(std::vector<int64_t>* p_pSeconds, int64_t p_llSecond, int64_t p_llCount) {
    if (p_llSecond < 0 || p_llSecond >= kMaxLoadSeconds || p_llCount <= 0)
        return;
    if (static_cast<size_t>(p_llSecond) >= p_pSeconds->size())
        p_pSeconds->resize(static_cast<size_t>(p_llSecond) + 1, 0);
    (*p_pSeconds)[static_cast<size_t>(p_llSecond)] += p_llCount;
}

// Calls start in schedule order, so those not started are the last ones:
// how many of them each second of the schedule held.
std::vector<int64_t> NotStartedBySecond(const LoadPlan& p_Plan, int64_t p_llScheduled, int64_t p_llStarted) {
    std::vector<int64_t> seconds;
    for (int64_t s = 0; s < kMaxLoadSeconds && static_cast<double>(s) < p_Plan.seconds; ++s) {
        const int64_t first = static_cast<int64_t>(std::ceil(static_cast<double>(s) * p_Plan.rate - 1e-9));
        const int64_t end = std::min<int64_t>(
            p_llScheduled, static_cast<int64_t>(std::ceil(static_cast<double>(s + 1) * p_Plan.rate - 1e-9)));
        CountInSecond(&seconds, s, end - std::max(first, p_llStarted));
    }
    return seconds;
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
        CountInSecond(&result.failedPerSecond, p_llSecond, 1);
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
    if (open && !result.interrupted) {
        result.notStarted = scheduled - result.started;
        result.notStartedPerSecond = NotStartedBySecond(p_Plan, scheduled, result.started);
    }
    return result;
}
