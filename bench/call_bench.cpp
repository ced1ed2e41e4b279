// Whole service calls: CVorant initialised from the example files, calling
// the bundled message server (run in this process on 127.0.0.1, a free port)
// whose service 100 echoes a ~4 KB account request. Latency on one thread
// and throughput on eight. The server shares the machine, so each call's
// time includes the server's parse and answer.
#include <benchmark/benchmark.h>
#include <netdb.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "account_request.h"
#include "server.h"
#include "vorant/cvorant.hpp"
#include "vorant/date.hpp"
#include "vorant/msg.hpp"
#include "vorant/multi.hpp"
#include "vorant/stream.hpp"

namespace {

using namespace bench;

const int kEchoService = 100;

// The encrypted example dictionary when it has been made, else the plain one.
std::string ExampleDictionary() {
    const std::string exml = VORANT_SOURCE_DIR "/examples/msg_dic.exml";
    return access(exml.c_str(), R_OK) == 0 ? exml : VORANT_SOURCE_DIR "/examples/msg_dic.xml";
}

// The server, the configuration file pointing at it and the initialised
// library, made once for the whole run.
class CCallFixture {
public:
    CCallFixture() {
        vorant_server::CServerOptions options;
        options.m_strDictionary = ExampleDictionary();
        options.m_strRules = "100 echo\n900 delay 1 echo\n903 delay 3 echo\n";
        options.m_iThreads = 2;  // one event loop a core
        std::string problem;
        if (!m_Server.Start(options, &problem)) {
            m_strProblem = "server: " + problem;
            return;
        }
        char szDir[] = "/tmp/vorant-bench-XXXXXX";
        if (mkdtemp(szDir) == nullptr) {
            m_strProblem = "mkdtemp failed";
            return;
        }
        m_strDir = szDir;
        m_strConfig = m_strDir + "/vorant.conf";
        std::ofstream(m_strConfig) << "msg_dic = " << ExampleDictionary()
                                   << "\nkey_file = " VORANT_SOURCE_DIR "/examples/user.key"
                                   << "\nserver = 127.0.0.1 " << m_Server.GetPort() << "\ntimeout = 60\n";
        CVorantError err;
        if (CVorant::Initialize(m_strConfig.c_str(), &err) != 0)
            m_strProblem = std::string("Initialize: ") + err.GetText().ToStr();
    }
    ~CCallFixture() {
        m_Server.Stop();
        if (!m_strConfig.empty())
            unlink(m_strConfig.c_str());
        if (!m_strDir.empty())
            rmdir(m_strDir.c_str());
    }

    const std::string& Problem() const { return m_strProblem; }

private:
    vorant_server::CMessageServer m_Server;
    std::string m_strDir, m_strConfig, m_strProblem;
};

CCallFixture& Fixture() {
    static CCallFixture fixture;
    return fixture;
}

void BM_CallServiceByMsg(benchmark::State& p_State) {
    if (!Fixture().Problem().empty()) {
        p_State.SkipWithError(Fixture().Problem().c_str());
        return;
    }
    int iXmlSize = 0;
    MsgPtr pIn = MakeRequest(static_cast<int>(p_State.range(0)), &iXmlSize);
    MsgPtr pOut(MA_NewMsg(kAccountRequest));  // the answer resets it
    CVorantError err;
    for (auto _ : p_State) {
        if (CVorant::CallServiceByMsg(kEchoService, pIn.get(), pOut.get(), &err) != 0) {
            p_State.SkipWithError(err.GetText().ToStr());
            break;
        }
    }
    p_State.counters["xml"] = benchmark::Counter(iXmlSize, benchmark::Counter::kAvgThreads);
    p_State.SetItemsProcessed(static_cast<int64_t>(p_State.iterations()));
}

// The name resolution every call's connect starts with.
void BM_ResolveHost(benchmark::State& p_State, const char* p_szHost) {
    addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    for (auto _ : p_State) {
        addrinfo* pFound = nullptr;
        if (getaddrinfo(p_szHost, nullptr, &hints, &pFound) != 0) {
            p_State.SkipWithError("getaddrinfo failed");
            break;
        }
        freeaddrinfo(pFound);
    }
}

BENCHMARK(BM_CallServiceByMsg)->Arg(4 << 10)->Arg(900)->UseRealTime();
BENCHMARK_CAPTURE(BM_ResolveHost, numeric, "127.0.0.1");
BENCHMARK_CAPTURE(BM_ResolveHost, localhost, "localhost");
BENCHMARK(BM_CallServiceByMsg)->Arg(4 << 10)->Threads(8)->UseRealTime();

// The same calls with a trace hook set (it only counts): what tracing costs
// a call. BM_CallServiceByMsg above is the same call without one.
void CountCall(const VorantTrace* p_pTrace, void* p_pUser) {
    static_cast<std::atomic<int64_t>*>(p_pUser)->fetch_add(p_pTrace->totalUs >= 0 ? 1 : 0);
}

void BM_CallServiceByMsgTraced(benchmark::State& p_State) {
    static std::atomic<int64_t> s_llTraced{0};
    if (p_State.thread_index() == 0)
        CVorant::SetTraceHook(CountCall, &s_llTraced);
    BM_CallServiceByMsg(p_State);
    if (p_State.thread_index() == 0)
        CVorant::SetTraceHook(nullptr, nullptr);
}

BENCHMARK(BM_CallServiceByMsgTraced)->Arg(4 << 10)->Arg(900)->UseRealTime();
BENCHMARK(BM_CallServiceByMsg)->Name("BM_CallServiceByMsg/again")->Arg(4 << 10)->Arg(900)->UseRealTime();

// The facade's own path without the network: a call refused for a null
// answer message passes the hook test and returns. With a hook it also
// makes the trace record and calls the hook.
void BM_RefusedCall(benchmark::State& p_State) {
    static std::atomic<int64_t> s_llTraced{0};
    const bool bTraced = p_State.range(0) != 0;
    if (!Fixture().Problem().empty()) {
        p_State.SkipWithError(Fixture().Problem().c_str());
        return;
    }
    CVorant::SetTraceHook(bTraced ? CountCall : nullptr, &s_llTraced);
    MsgPtr pIn(MA_NewMsg(kAccountRequest));
    CVorantError err;
    for (auto _ : p_State)
        benchmark::DoNotOptimize(CVorant::CallServiceByMsg(kEchoService, pIn.get(), nullptr, &err));
    CVorant::SetTraceHook(nullptr, nullptr);
}

BENCHMARK(BM_RefusedCall)->Arg(0)->Arg(1)->Arg(0);

// One thread, echo, the same request of about range(1) bytes of XML:
// blocking calls one after another, then the same number through a multi
// handle keeping range(0) calls in flight. engine_vs_blocking is the ratio
// of their call rates in this run.
void BM_EngineVsBlocking(benchmark::State& p_State) {
    if (!Fixture().Problem().empty()) {
        p_State.SkipWithError(Fixture().Problem().c_str());
        return;
    }
    const int iInFlight = static_cast<int>(p_State.range(0));
    const int iCalls = 2000;
    int iXmlSize = 0;
    MsgPtr pIn = MakeRequest(static_cast<int>(p_State.range(1)), &iXmlSize);
    double dBlocking = 0, dEngine = 0;
    for (auto _ : p_State) {
        CVorantError err;
        MsgPtr pOut(MA_NewMsg(kAccountRequest));
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < iCalls; ++i) {
            if (CVorant::CallServiceByMsg(kEchoService, pIn.get(), pOut.get(), &err) != 0) {
                p_State.SkipWithError(err.GetText().ToStr());
                return;
            }
        }
        auto t1 = std::chrono::steady_clock::now();
        CVorantMulti multi(iInFlight);
        std::vector<MsgPtr> outs;
        for (int i = 0; i < iInFlight; ++i)
            outs.emplace_back(MA_NewMsg(kAccountRequest));
        int iStarted = 0, iFailed = 0;
        std::function<void(int)> startOn = [&](int p_iSlot) {
            ++iStarted;
            multi.Start(kEchoService, pIn.get(), outs[static_cast<size_t>(p_iSlot)].get(), nullptr,
                        [&, p_iSlot](int, int p_iResult, const CVorantError&) {
                            iFailed += p_iResult != 0;
                            if (iStarted < iCalls)
                                startOn(p_iSlot);
                        });
        };
        for (int i = 0; i < iInFlight && iStarted < iCalls; ++i)
            startOn(i);
        multi.Run();
        auto t2 = std::chrono::steady_clock::now();
        if (iFailed != 0) {
            p_State.SkipWithError("engine calls failed");
            return;
        }
        dBlocking += std::chrono::duration<double>(t1 - t0).count();
        dEngine += std::chrono::duration<double>(t2 - t1).count();
    }
    const double dCalls = static_cast<double>(iCalls) * static_cast<double>(p_State.iterations());
    p_State.counters["blocking_per_s"] = dCalls / dBlocking;
    p_State.counters["engine_per_s"] = dCalls / dEngine;
    p_State.counters["engine_vs_blocking"] = dBlocking / dEngine;
    p_State.counters["xml"] = iXmlSize;
}

// range(0) calls in flight on one thread to a service that answers after
// three seconds, each with its own deadline between 1.5 and 1.9 s (all are
// under way by then): how late each deadline fires (max_late_ms,
// p99_late_ms), and how long starting them all took (start_ms).
void BM_DeadlinesInFlight(benchmark::State& p_State) {
    if (!Fixture().Problem().empty()) {
        p_State.SkipWithError(Fixture().Problem().c_str());
        return;
    }
    using Clock = std::chrono::steady_clock;
    const int iCalls = static_cast<int>(p_State.range(0));
    int iXmlSize = 0;
    MsgPtr pIn = MakeRequest(300, &iXmlSize);
    std::vector<double> late;
    double dStartMs = 0;
    for (auto _ : p_State) {
        const Clock::time_point t0 = Clock::now();
        CVorantMulti multi(iCalls);
        std::vector<MsgPtr> outs;
        for (int i = 0; i < iCalls; ++i) {
            outs.emplace_back(MA_NewMsg(kAccountRequest));
            CCallOptions opts;
            opts.m_iDeadlineMs = 1500 + i % 400;
            const Clock::time_point due = Clock::now() + std::chrono::milliseconds(opts.m_iDeadlineMs);
            multi.Start(903, pIn.get(), outs.back().get(), &opts, [&late, due](int, int, const CVorantError&) {
                late.push_back(std::chrono::duration<double, std::milli>(Clock::now() - due).count());
            });
        }
        dStartMs += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        multi.Run();
    }
    std::sort(late.begin(), late.end());
    p_State.counters["calls"] = static_cast<double>(late.size());
    p_State.counters["start_ms"] = dStartMs / static_cast<double>(p_State.iterations());
    p_State.counters["max_late_ms"] = late.empty() ? 0 : late.back();
    p_State.counters["p99_late_ms"] = late.empty() ? 0 : late[late.size() * 99 / 100];
}

BENCHMARK(BM_DeadlinesInFlight)->Arg(4000)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineVsBlocking)
    ->Args({64, 250})
    ->Args({64, 900})
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
