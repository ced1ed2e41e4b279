// Values: CString formatting and appending, CStream appends of small pieces
// (the message writer's pattern), CStrHash lookups, and the locale-free
// number texts against snprintf / strtod.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dat_class/num_text.h"
#include "vorant/cstring.hpp"
#include "vorant/hashes.hpp"
#include "vorant/stream.hpp"

namespace {

// A short status line, the size of most error and log texts.
void BM_StringFormatShort(benchmark::State& p_State) {
    CString s;
    for (auto _ : p_State) {
        s.Format("MSG_Error(%d) : %s {%s}", -19, "message not defined", "msgnum=1001");
        benchmark::DoNotOptimize(s.ToStr());
    }
}

// A text above the first 512-byte formatting step: formatted twice.
void BM_StringFormatLong(benchmark::State& p_State) {
    const std::string arg(static_cast<size_t>(p_State.range(0)), 'x');
    CString s;
    for (auto _ : p_State) {
        s.Format("detail[%s]", arg.c_str());
        benchmark::DoNotOptimize(s.ToStr());
    }
    p_State.SetBytesProcessed(static_cast<int64_t>(p_State.iterations()) * p_State.range(0));
}

void BM_StdSnprintfShort(benchmark::State& p_State) {
    char szBuf[512];
    for (auto _ : p_State) {
        snprintf(szBuf, sizeof szBuf, "MSG_Error(%d) : %s {%s}", -19, "message not defined", "msgnum=1001");
        benchmark::DoNotOptimize(szBuf);
    }
}

// p_State.range(0) appends of an 8-byte piece with +=: time per append
// shows whether the string grows in place or copies itself every time.
void BM_StringAppend(benchmark::State& p_State) {
    const int iCount = static_cast<int>(p_State.range(0));
    for (auto _ : p_State) {
        CString s;
        for (int i = 0; i < iCount; ++i)
            s += "piece-8 ";
        benchmark::DoNotOptimize(s.ToStr());
    }
    p_State.SetItemsProcessed(static_cast<int64_t>(p_State.iterations()) * iCount);
}

void BM_StdStringAppend(benchmark::State& p_State) {
    const int iCount = static_cast<int>(p_State.range(0));
    for (auto _ : p_State) {
        std::string s;
        for (int i = 0; i < iCount; ++i)
            s += "piece-8 ";
        benchmark::DoNotOptimize(s.data());
    }
    p_State.SetItemsProcessed(static_cast<int64_t>(p_State.iterations()) * iCount);
}

// The writer's pattern: tags, short values and CDATA pieces of 3 to 40
// bytes, to p_State.range(0) bytes in all.
void BM_StreamAppendPieces(benchmark::State& p_State) {
    const int iTarget = static_cast<int>(p_State.range(0));
    static const char* const kPieces[] = {"<t6>",      "<t1>",
                                          "<![CDATA[", "LN-0001234",
                                          "]]>",       "</t1>",
                                          "<t2>",      "42",
                                          "</t2>",     "1.234567890000000e+005",
                                          "</t6>",     "A line of free text that is a bit longer."};
    const int kCount = sizeof kPieces / sizeof kPieces[0];
    std::vector<int> lengths;
    for (const char* p : kPieces)
        lengths.push_back(static_cast<int>(strlen(p)));
    int64_t llPieces = 0;
    for (auto _ : p_State) {
        CStream out;
        for (int i = 0; out.GetSize() < iTarget; i = (i + 1) % kCount) {
            out.AppendData(kPieces[i], lengths[static_cast<size_t>(i)]);
            ++llPieces;
        }
        benchmark::DoNotOptimize(out.GetData());
    }
    p_State.SetBytesProcessed(static_cast<int64_t>(p_State.iterations()) * iTarget);
    p_State.SetItemsProcessed(llPieces);
}

// CStrHash with p_State.range(0) keys in the default 1024 buckets: a hit
// and a miss per iteration, read the way the configuration reader does.
void BM_StrHashGet(benchmark::State& p_State) {
    const int iKeys = static_cast<int>(p_State.range(0));
    CStrHash hash;
    std::vector<std::string> keys;
    char szKey[32];
    for (int i = 0; i < iKeys; ++i) {
        snprintf(szKey, sizeof szKey, "key_%06d", i * 7919 % 1000000);
        keys.push_back(szKey);
        hash.Set(szKey, "value", false);
    }
    CString out;
    size_t n = 0;
    for (auto _ : p_State) {
        benchmark::DoNotOptimize(hash.Get(keys[n].c_str(), &out));
        benchmark::DoNotOptimize(hash.Get("no_such_key", &out));
        n = (n + 1) % keys.size();
    }
    p_State.SetItemsProcessed(static_cast<int64_t>(p_State.iterations()) * 2);
}

void BM_StrHashSet(benchmark::State& p_State) {
    const int iKeys = static_cast<int>(p_State.range(0));
    std::vector<std::string> keys;
    char szKey[32];
    for (int i = 0; i < iKeys; ++i) {
        snprintf(szKey, sizeof szKey, "key_%06d", i * 7919 % 1000000);
        keys.push_back(szKey);
    }
    for (auto _ : p_State) {
        CStrHash hash;
        for (const std::string& key : keys)
            hash.Set(key.c_str(), "value", true);
        benchmark::DoNotOptimize(hash.GetDataCount());
    }
    p_State.SetItemsProcessed(static_cast<int64_t>(p_State.iterations()) * iKeys);
}

// Doubles of the kinds messages carry: prices, quantities, large and tiny.
std::vector<double> SampleDoubles() {
    std::vector<double> v;
    for (int i = 0; i < 256; ++i) {
        v.push_back(19.99 + i * 0.37);
        v.push_back(123456.789 * (i + 1));
        v.push_back(1.0 / (i + 3));
        v.push_back(i * 1e-7);
    }
    return v;
}

void BM_WriteDbl(benchmark::State& p_State) {
    const std::vector<double> v = SampleDoubles();
    char szBuf[vorant::num_text::kDblSize];
    size_t n = 0;
    for (auto _ : p_State) {
        benchmark::DoNotOptimize(vorant::num_text::WriteDbl(szBuf, v[n]));
        n = (n + 1) % v.size();
    }
}

void BM_SnprintfDbl(benchmark::State& p_State) {
    const std::vector<double> v = SampleDoubles();
    char szBuf[64];
    size_t n = 0;
    for (auto _ : p_State) {
        benchmark::DoNotOptimize(snprintf(szBuf, sizeof szBuf, "%.15e", v[n]));
        n = (n + 1) % v.size();
    }
}

std::vector<std::string> SampleTexts() {
    std::vector<std::string> texts;
    char szBuf[vorant::num_text::kDblSize];
    for (double d : SampleDoubles()) {
        vorant::num_text::WriteDbl(szBuf, d);
        texts.push_back(szBuf);
    }
    return texts;
}

void BM_ParseDbl(benchmark::State& p_State) {
    const std::vector<std::string> texts = SampleTexts();
    size_t n = 0;
    for (auto _ : p_State) {
        benchmark::DoNotOptimize(vorant::num_text::ParseDbl(texts[n].c_str()));
        n = (n + 1) % texts.size();
    }
}

void BM_Strtod(benchmark::State& p_State) {
    const std::vector<std::string> texts = SampleTexts();
    size_t n = 0;
    for (auto _ : p_State) {
        benchmark::DoNotOptimize(strtod(texts[n].c_str(), nullptr));
        n = (n + 1) % texts.size();
    }
}

void BM_WriteInt(benchmark::State& p_State) {
    char szBuf[vorant::num_text::kIntSize];
    int i = -5000;
    for (auto _ : p_State) {
        benchmark::DoNotOptimize(vorant::num_text::WriteInt(szBuf, i * 7919));
        ++i;
    }
}

void BM_SnprintfInt(benchmark::State& p_State) {
    char szBuf[16];
    int i = -5000;
    for (auto _ : p_State) {
        benchmark::DoNotOptimize(snprintf(szBuf, sizeof szBuf, "%d", i * 7919));
        ++i;
    }
}

BENCHMARK(BM_StringFormatShort);
BENCHMARK(BM_StdSnprintfShort);
BENCHMARK(BM_StringFormatLong)->Arg(400)->Arg(4000);
BENCHMARK(BM_StringAppend)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_StdStringAppend)->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(BM_StreamAppendPieces)->Arg(4 << 10)->Arg(1 << 20);
BENCHMARK(BM_StrHashGet)->Arg(10)->Arg(1000)->Arg(100000);
BENCHMARK(BM_StrHashSet)->Arg(10)->Arg(1000)->Arg(10000);
BENCHMARK(BM_WriteDbl);
BENCHMARK(BM_SnprintfDbl);
BENCHMARK(BM_ParseDbl);
BENCHMARK(BM_Strtod);
BENCHMARK(BM_WriteInt);
BENCHMARK(BM_SnprintfInt);

}  // namespace

BENCHMARK_MAIN();
