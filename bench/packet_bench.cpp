// Packets: building, sending and reading answer packets through the TCP
// adaptor over a socket pair, for a body below the compression boundary
// (1 KB, travels plain), 4 KB and 1 MB (both compressed); and zlib alone at
// the same sizes, to show its share of the cost.
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "transport/packet_info.h"
#include "transport/packet_layout.h"
#include "transport/tcp_adaptor.h"
#include "vorant/stream.hpp"

namespace {

// Bodies above this travel compressed.
const int kCompressAbove = 1024;

// Numbered message XML of at most p_iBytes (and close to it): an account
// request with many lines whose numbers vary, so that it compresses like a
// real answer.
std::string MakeBody(int p_iBytes) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"1001\" ver=\"1.0\">"
        "<t1><![CDATA[ACCT-0000123456]]></t1><t2>42</t2><t3>1.234567890000000e+005</t3>"
        "<t4>true</t4><t5>20240131</t5>";
    const std::string tail = "</msg>";
    char szLine[128];
    for (int i = 0;; ++i) {
        const int n = snprintf(szLine, sizeof szLine, "<t6><t1><![CDATA[LN-%07d-%c%c]]></t1><t2>%d</t2></t6>",
                               i * 7919 % 10000000, 'A' + i % 26, 'a' + i * 7 % 26, i * 37 % 100000);
        if (static_cast<int>(xml.size() + tail.size()) + n > p_iBytes)
            break;
        xml += szLine;
    }
    xml += tail;
    return xml;
}

void FillInfo(CPacketInfo* p_pInfo, const std::string& p_Body) {
    p_pInfo->m_iSvcNum = 100;
    p_pInfo->m_iMsgNum = 1001;
    p_pInfo->m_strUserKey = "VORANT-DEMO-01";
    p_pInfo->m_Body.Clear();
    p_pInfo->m_Body.AppendData(p_Body.data(), static_cast<int>(p_Body.size()));
    p_pInfo->m_bCompressed = static_cast<int>(p_Body.size()) > kCompressAbove;
}

// A connected socket pair, the near end owned by a CTcpAdaptor.
struct CPair {
    CTcpAdaptor m_Adaptor;
    int m_iFar = -1;

    CPair() {
        int fds[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
            perror("socketpair");
            return;
        }
        m_Adaptor.Attach(fds[0], "pair", 0);
        m_iFar = fds[1];
    }
    ~CPair() {
        // Closing the near end first ends the helper thread's blocked write
        // or read.
        m_Adaptor.Close();
        if (m_iFar >= 0)
            close(m_iFar);
    }
};

void SetBytes(benchmark::State& p_State, size_t p_nBody) {
    p_State.SetBytesProcessed(static_cast<int64_t>(p_State.iterations()) * static_cast<int64_t>(p_nBody));
}

// Header, zlib when the body is large, checksum, one packet buffer.
void BM_BuildPacket(benchmark::State& p_State) {
    const std::string body = MakeBody(static_cast<int>(p_State.range(0)));
    CPacketInfo info;
    FillInfo(&info, body);
    CTcpAdaptor adaptor;
    CStream packet;
    for (auto _ : p_State) {
        if (adaptor.BuildPacket(&info, &packet) < 0) {
            p_State.SkipWithError(adaptor.GetLastError());
            break;
        }
        benchmark::DoNotOptimize(packet.GetData());
    }
    p_State.counters["wire"] = packet.GetSize();
    SetBytes(p_State, body.size());
}

// zlib's one-shot compress, as the packet builder calls it.
void BM_ZlibCompress(benchmark::State& p_State) {
    const std::string body = MakeBody(static_cast<int>(p_State.range(0)));
    std::vector<Bytef> out(compressBound(body.size()));
    uLongf nOut = 0;
    for (auto _ : p_State) {
        nOut = out.size();
        compress(out.data(), &nOut, reinterpret_cast<const Bytef*>(body.data()), body.size());
        benchmark::DoNotOptimize(out.data());
    }
    p_State.counters["ratio"] = static_cast<double>(body.size()) / static_cast<double>(nOut);
    SetBytes(p_State, body.size());
}

// zlib's one-shot uncompress, as the packet reader calls it.
void BM_ZlibUncompress(benchmark::State& p_State) {
    const std::string body = MakeBody(static_cast<int>(p_State.range(0)));
    std::vector<Bytef> packed(compressBound(body.size()));
    uLongf nPacked = packed.size();
    compress(packed.data(), &nPacked, reinterpret_cast<const Bytef*>(body.data()), body.size());
    std::vector<Bytef> out(body.size());
    for (auto _ : p_State) {
        uLongf nOut = out.size();
        uncompress(out.data(), &nOut, packed.data(), nPacked);
        benchmark::DoNotOptimize(out.data());
    }
    SetBytes(p_State, body.size());
}

// The packet checksum over the body alone.
void BM_CheckSum(benchmark::State& p_State) {
    const std::string body = MakeBody(static_cast<int>(p_State.range(0)));
    for (auto _ : p_State)
        benchmark::DoNotOptimize(CheckSum(body.data(), static_cast<int>(body.size())));
    SetBytes(p_State, body.size());
}

// ReceiveFrom of back-to-back answer packets written by a helper thread:
// header, length checks, body, checksum, inflation.
void BM_ReceiveFrom(benchmark::State& p_State) {
    const std::string body = MakeBody(static_cast<int>(p_State.range(0)));
    CPacketInfo info;
    FillInfo(&info, body);
    CStream packet;
    CTcpAdaptor builder;
    builder.BuildPacket(&info, &packet);
    const std::string wire(packet.GetData(), static_cast<size_t>(packet.GetSize()));

    CPair pair;
    const int iFar = pair.m_iFar;
    std::thread feeder([iFar, &wire] {
        for (;;) {
            size_t nDone = 0;
            while (nDone < wire.size()) {
                const ssize_t n = send(iFar, wire.data() + nDone, wire.size() - nDone, MSG_NOSIGNAL);
                if (n <= 0)
                    return;
                nDone += static_cast<size_t>(n);
            }
        }
    });
    CPacketInfo answer;
    for (auto _ : p_State) {
        if (pair.m_Adaptor.ReceiveFrom(&answer, 10) < 0) {
            p_State.SkipWithError(pair.m_Adaptor.GetLastError());
            break;
        }
        benchmark::DoNotOptimize(answer.m_Body.GetData());
    }
    pair.m_Adaptor.Close();
    shutdown(iFar, SHUT_RDWR);
    feeder.join();
    SetBytes(p_State, body.size());
}

// SendTo (build and write) with a helper thread draining the far end.
void BM_SendTo(benchmark::State& p_State) {
    const std::string body = MakeBody(static_cast<int>(p_State.range(0)));
    CPacketInfo info;
    FillInfo(&info, body);
    CPair pair;
    const int iFar = pair.m_iFar;
    std::thread drain([iFar] {
        std::vector<char> sink(1 << 16);
        while (recv(iFar, sink.data(), sink.size(), 0) > 0) {
        }
    });
    for (auto _ : p_State) {
        if (pair.m_Adaptor.SendTo(&info, 10) < 0) {
            p_State.SkipWithError(pair.m_Adaptor.GetLastError());
            break;
        }
    }
    pair.m_Adaptor.Close();
    shutdown(iFar, SHUT_RDWR);
    drain.join();
    SetBytes(p_State, body.size());
}

// One thread, one packet through the pair and back into a record: the whole
// transport cost of one answer (sizes that fit the socket buffer).
void BM_SendReceive(benchmark::State& p_State) {
    const std::string body = MakeBody(static_cast<int>(p_State.range(0)));
    CPacketInfo info;
    FillInfo(&info, body);
    CPair pair;
    CTcpAdaptor reader;
    reader.Attach(pair.m_iFar, "pair", 0);
    pair.m_iFar = -1;
    CPacketInfo answer;
    for (auto _ : p_State) {
        if (pair.m_Adaptor.SendTo(&info, 10) < 0 || reader.ReceiveFrom(&answer, 10) < 0) {
            p_State.SkipWithError("send or receive failed");
            break;
        }
        benchmark::DoNotOptimize(answer.m_Body.GetData());
    }
    SetBytes(p_State, body.size());
}

void Sizes(benchmark::internal::Benchmark* p_pBench) { p_pBench->Arg(1000)->Arg(4 << 10)->Arg(1 << 20); }

BENCHMARK(BM_BuildPacket)->Apply(Sizes);
BENCHMARK(BM_ZlibCompress)->Apply(Sizes);
BENCHMARK(BM_ZlibUncompress)->Apply(Sizes);
BENCHMARK(BM_CheckSum)->Apply(Sizes);
BENCHMARK(BM_ReceiveFrom)->Apply(Sizes)->UseRealTime();
BENCHMARK(BM_SendTo)->Apply(Sizes)->UseRealTime();
BENCHMARK(BM_SendReceive)->Arg(1000)->Arg(4 << 10)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
