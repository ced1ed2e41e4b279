#include "load_runner.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "call_output.h"
#include "vorant/multi.hpp"
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

// What a run has measured so far. One thread: the one driving the calls.
struct Tally {
    LoadResult result;
    Clock::time_point lastEnd;
    int64_t failed = 0;

    void Record(const LoadPlan& p_Plan, int p_iResult, const CVorantError& p_Err, int64_t p_llMicros,
                int64_t p_llSecond, Clock::time_point p_End) {
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
        ++failed;
        ++result.errorsByCode[p_Err.GetCode()];
        CountInSecond(&result.failedPerSecond, p_llSecond, 1);
        if (result.firstError.empty()) {
            CVorantError err = p_Err;
            result.firstError = FormatError(p_Plan.svcNum, p_iResult, err);
        }
    }
};

}  // namespace

int LoadConcurrencyLimit() {
    static const int iLimit = [] {
        rlimit lim;
        if (getrlimit(RLIMIT_NOFILE, &lim) != 0)
            return 1024;
        if (lim.rlim_cur < lim.rlim_max) {
            lim.rlim_cur = lim.rlim_max;
            setrlimit(RLIMIT_NOFILE, &lim);
            getrlimit(RLIMIT_NOFILE, &lim);
        }
        const rlim_t reserve = 64;
        const rlim_t ceiling = 1000000;
        const rlim_t usable = lim.rlim_cur > reserve + 1 ? lim.rlim_cur - reserve : 1;
        return static_cast<int>(usable < ceiling ? usable : ceiling);
    }();
    return iLimit;
}

LoadResult RunLoad(const LoadPlan& p_Plan, const std::atomic<bool>* p_pStop, int p_iGraceMillis, bool* p_pAbandoned) {
    *p_pAbandoned = false;
    const bool open = p_Plan.rate > 0;
    const int64_t scheduled =
        open ? static_cast<int64_t>(std::ceil(p_Plan.rate * p_Plan.seconds - 1e-9)) : p_Plan.calls;
    const int64_t inFlightMax = open ? p_Plan.maxInFlight : p_Plan.threads;

    std::vector<char> text(p_Plan.requestXml.begin(), p_Plan.requestXml.end());
    text.push_back('\0');
    CMsg in(0, 0, 0, MA_GetMsgDic());
    in.LoadXml(text.data());  // checked before the run

    // One thread drives every call; the slots keep each call's answer and
    // its (scheduled) start.
    struct Slot {
        std::unique_ptr<CMsg> out;
        Clock::time_point start;
    };
    std::unordered_map<int, Slot> slots;
    CVorantMulti multi(static_cast<int>(inFlightMax));
    Tally tally;
    const Clock::time_point t0 = Clock::now();
    tally.lastEnd = t0;
    const Clock::time_point end =
        t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(p_Plan.seconds));
    auto scheduledStart = [&](int64_t i) {
        return t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(i / p_Plan.rate));
    };
    int64_t next = 0, started = 0, finished = 0;
    bool stopping = false;
    auto done = [&](int p_iId, int p_iResult, const CVorantError& p_Err) {
        auto it = slots.find(p_iId);
        const Clock::time_point now = Clock::now();
        ++finished;
        // Calls cut off by an interruption are not measured.
        if (!(stopping && p_Err.GetCode() == VORANT_CALL_CANCELLED))
            tally.Record(p_Plan, p_iResult, p_Err, MicrosBetween(it->second.start, now),
                         MicrosBetween(t0, it->second.start) / 1000000, now);
        slots.erase(it);
    };
    auto startOne = [&](Clock::time_point p_Start) {
        Slot slot;
        slot.out.reset(new CMsg(0, 0, 0, MA_GetMsgDic()));
        slot.start = p_Start;
        CMsg* pOut = slot.out.get();
        const int id = multi.Start(p_Plan.svcNum, &in, pOut, &p_Plan.bounds, done);
        ++started;
        if (id > 0) {
            slots.emplace(id, std::move(slot));
            return;
        }
        CVorantError err;
        err.SetError(id, "the call could not start", -1);
        ++finished;
        tally.Record(p_Plan, -3, err, 0, 0, Clock::now());
    };

    Clock::time_point stoppedAt, nextProgress = t0;
    for (;;) {
        Clock::time_point now = Clock::now();
        if (!stopping && p_pStop != nullptr && p_pStop->load()) {
            stopping = true;
            stoppedAt = now;
        }
        if (!stopping) {
            // Behind schedule past the end: the calls left are not started.
            while (next < scheduled && started - finished < inFlightMax) {
                const Clock::time_point start = open ? scheduledStart(next) : now;
                if (open && (start > now || start >= end || now >= end))
                    break;
                ++next;
                startOne(start);
            }
        }
        const bool startsLeft = !stopping && next < scheduled && !(open && now >= end);
        if (!startsLeft && started == finished)
            break;
        if (p_Plan.progress && now >= nextProgress) {
            std::printf("\r%lld/%lld calls, %lld failed", static_cast<long long>(finished),
                        static_cast<long long>(scheduled), static_cast<long long>(tally.failed));
            if (open)
                std::printf(", %lld in flight", static_cast<long long>(started - finished));
            std::fflush(stdout);
            nextProgress = now + std::chrono::milliseconds(100);
        }
        // Wake for the next scheduled start, a progress line or a look at
        // the stop flag, whichever comes first.
        Clock::time_point wake = now + std::chrono::milliseconds(100);
        if (open && startsLeft && started - finished < inFlightMax)
            wake = std::min(wake, scheduledStart(next));
        const int64_t waitMs = std::max<int64_t>(0, (MicrosBetween(now, wake) + 999) / 1000);
        if (stopping && now - stoppedAt > std::chrono::milliseconds(p_iGraceMillis)) {
            // The grace is over: what is still under way is cancelled.
            while (!slots.empty())
                multi.Cancel(slots.begin()->first);
            continue;
        }
        multi.Poll(static_cast<int>(waitMs));
    }
    if (p_Plan.progress) {
        std::printf("\r\033[K");
        std::fflush(stdout);
    }

    LoadResult result = tally.result;
    result.open = open;
    result.interrupted = stopping;
    result.scheduled = scheduled;
    result.started = started;
    result.failed = 0;
    for (const auto& entry : result.errorsByCode)
        result.failed += entry.second;
    result.answered = static_cast<int64_t>(result.latency.Count());
    result.seconds = std::chrono::duration<double>(tally.lastEnd - t0).count();
    if (open && !result.interrupted) {
        result.notStarted = scheduled - result.started;
        result.notStartedPerSecond = NotStartedBySecond(p_Plan, scheduled, result.started);
    }
    return result;
}
