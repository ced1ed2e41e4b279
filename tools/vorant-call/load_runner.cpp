#include "load_runner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "call_output.h"
#include "vorant/vorant.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double Percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty())
        return 0;
    size_t rank = static_cast<size_t>(fraction * static_cast<double>(sorted.size()));
    return sorted[std::min(rank, sorted.size() - 1)];
}

}  // namespace

LoadResult RunLoad(int svcNum, const std::string& requestXml, int calls, int threads, bool progress,
                   const CCallOptions* options) {
    std::atomic<int> next{0}, done{0}, failed{0};
    std::mutex mutex;
    std::vector<double> latencies;
    latencies.reserve(static_cast<size_t>(calls));
    std::string firstError;

    auto worker = [&] {
        std::vector<double> mine;
        std::vector<char> text(requestXml.begin(), requestXml.end());
        text.push_back('\0');
        CMsg in(0, 0, 0, MA_GetMsgDic());
        std::string loadError;
        try {
            if (in.LoadXml(text.data()) < 0)
                loadError = "the request cannot be read";
        } catch (const CException& e) {
            loadError = e.GetText();
        }
        while (next.fetch_add(1) < calls) {
            CVorantError err;
            int result = -1;
            auto start = Clock::now();
            if (loadError.empty()) {
                CMsg out(0, 0, 0, MA_GetMsgDic());
                result = CVorant::CallServiceByMsg(svcNum, &in, &out, options, &err);
            }
            auto end = Clock::now();
            if (result == 0) {
                mine.push_back(std::chrono::duration<double, std::milli>(end - start).count());
            } else {
                failed.fetch_add(1);
                std::lock_guard<std::mutex> lock(mutex);
                if (firstError.empty())
                    firstError = loadError.empty() ? FormatError(svcNum, result, err) : loadError;
            }
            done.fetch_add(1);
        }
        std::lock_guard<std::mutex> lock(mutex);
        latencies.insert(latencies.end(), mine.begin(), mine.end());
    };

    auto start = Clock::now();
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i)
        pool.emplace_back(worker);
    if (progress) {
        while (done.load() < calls) {
            std::printf("\r%d/%d calls, %d failed", done.load(), calls, failed.load());
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        std::printf("\r\033[K");
        std::fflush(stdout);
    }
    for (auto& t : pool)
        t.join();

    LoadResult result;
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.failed = failed.load();
    result.answered = static_cast<int>(latencies.size());
    std::sort(latencies.begin(), latencies.end());
    result.p50 = Percentile(latencies, 0.50);
    result.p90 = Percentile(latencies, 0.90);
    result.p99 = Percentile(latencies, 0.99);
    result.max = latencies.empty() ? 0 : latencies.back();
    result.firstError = firstError;
    return result;
}
