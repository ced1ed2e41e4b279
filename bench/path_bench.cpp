// The message path against its raw parts, measured side by side in one run:
// - a library call against a raw echo peer (returns the request's bytes)
//   beside a raw TCP call of the same packet, for a small plain packet and a
//   ~5 KB compressed one (whose parts also count zlib both ways, a bare
//   parse of the answer and writing the request);
// - LoadXml and ToXml beside a bare SAX2 parse (empty handler, reused
//   reader), beside the tree floor, the rows alone and the least reader
//   that makes the same rows while the parser runs;
// - LoadXml, ToXml, Dump, DumpXml and freeing at 20 000 and 200 000 rows;
// - the peak memory of one call whose answer holds many small rows or one
//   large text, and (parse_*) of a bare parse of the same document alone,
//   and of the bundled server echoing that text (server_*: once, and 16
//   requests at once to two event loops), each case in a fresh process of
//   this program.
// Each benchmark times its subject and its baseline in the same iteration
// and reports the ratio as a counter, so that the noise of a shared machine
// hits both alike; work without waits is timed by the thread's processor
// time, calls by the clock and (cpu_*) by the calling thread's processor
// time.
//
//   build-bench/bin/bench_path_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "account_request.h"
#include "msg/msg_access.h"
#include "msg/msg_info.h"
#include "msg/msg_xml_source.h"
#include "msg/xml_support.h"
#include "server.h"
#include "transport/inflating_body.h"
#include "transport/packet_decode.h"
#include "transport/packet_info.h"
#include "transport/packet_layout.h"
#include "vorant/cvorant.hpp"
#include "vorant/msg.hpp"
#include "vorant/stream.hpp"

extern char** environ;

namespace {

using namespace bench;

using Clock = std::chrono::steady_clock;

const int kService = 100;

double Seconds(Clock::time_point p_Start) { return std::chrono::duration<double>(Clock::now() - p_Start).count(); }

// This thread's processor time: what work without waits is measured by, on
// a machine that other work shares.
double ThreadSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// ---- sockets

bool ReadAll(int p_iSock, char* p_pBuf, size_t p_nLen) {
    while (p_nLen > 0) {
        ssize_t n = recv(p_iSock, p_pBuf, p_nLen, 0);
        if (n <= 0)
            return false;
        p_pBuf += n;
        p_nLen -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int p_iSock, const char* p_pBuf, size_t p_nLen) {
    while (p_nLen > 0) {
        ssize_t n = send(p_iSock, p_pBuf, p_nLen, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        p_pBuf += n;
        p_nLen -= static_cast<size_t>(n);
    }
    return true;
}

// One whole packet: the header, then the length it announces and the checksum.
bool ReadPacket(int p_iSock, std::string* p_pPacket) {
    using namespace vorant::packet;
    char szHeader[HEADER_SIZE];
    if (!ReadAll(p_iSock, szHeader, HEADER_SIZE))
        return false;
    long long llLength = 0;
    if (!ReadHeaderNumber(szHeader + PACKET_LENGTH.m_iOffset, PACKET_LENGTH.m_iWidth, &llLength) ||
        llLength < HEADER_SIZE)
        return false;
    p_pPacket->assign(szHeader, HEADER_SIZE);
    p_pPacket->resize(static_cast<size_t>(llLength) + CHECKSUM_SIZE);
    return ReadAll(p_iSock, &(*p_pPacket)[HEADER_SIZE], p_pPacket->size() - HEADER_SIZE);
}

// A peer on 127.0.0.1 that reads one packet per connection and writes back
// that packet, or a fixed answer when one is set.
class CRawPeer {
public:
    CRawPeer() {
        m_iListen = socket(AF_INET, SOCK_STREAM, 0);
        int iOn = 1;
        setsockopt(m_iListen, SOL_SOCKET, SO_REUSEADDR, &iOn, sizeof iOn);
        sockaddr_in addr;
        std::memset(&addr, 0, sizeof addr);
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(m_iListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_iListen, 64) != 0) {
            perror("peer");
            return;
        }
        socklen_t len = sizeof m_Addr;
        getsockname(m_iListen, reinterpret_cast<sockaddr*>(&m_Addr), &len);
        m_Thread = std::thread([this] { Serve(); });
    }
    ~CRawPeer() {
        m_bStop = true;
        shutdown(m_iListen, SHUT_RDWR);
        if (m_Thread.joinable())
            m_Thread.join();
        close(m_iListen);
    }
    int GetPort() const { return ntohs(m_Addr.sin_port); }
    const sockaddr_in& GetAddr() const { return m_Addr; }
    void SetAnswer(std::string p_Answer) { m_strAnswer = std::move(p_Answer); }
    std::string LastRequest() {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_strLast;
    }

private:
    void Serve() {
        std::string packet;
        while (!m_bStop) {
            int iSock = accept(m_iListen, nullptr, nullptr);
            if (iSock < 0)
                break;
            int iOn = 1;
            setsockopt(iSock, IPPROTO_TCP, TCP_NODELAY, &iOn, sizeof iOn);
            if (ReadPacket(iSock, &packet)) {
                // Kept before the answer goes: a caller that asks for it once
                // its call returned must not find the one before.
                {
                    std::lock_guard<std::mutex> lock(m_Lock);
                    m_strLast.swap(packet);
                }
                const std::string& answer = m_strAnswer.empty() ? m_strLast : m_strAnswer;
                WriteAll(iSock, answer.data(), answer.size());
            }
            close(iSock);
        }
    }

    int m_iListen = -1;
    sockaddr_in m_Addr{};
    std::atomic<bool> m_bStop{false};
    std::string m_strAnswer;
    std::mutex m_Lock;
    std::string m_strLast;
    std::thread m_Thread;
};

// A raw TCP call: connect, one write of the packet, read the answer, close.
bool RawCall(const sockaddr_in& p_Addr, const std::string& p_Packet, std::string* p_pAnswer) {
    int iSock = socket(AF_INET, SOCK_STREAM, 0);
    int iOn = 1;
    setsockopt(iSock, IPPROTO_TCP, TCP_NODELAY, &iOn, sizeof iOn);
    bool bOk = connect(iSock, reinterpret_cast<const sockaddr*>(&p_Addr), sizeof p_Addr) == 0 &&
               WriteAll(iSock, p_Packet.data(), p_Packet.size()) && ReadPacket(iSock, p_pAnswer);
    close(iSock);
    return bOk;
}

// ---- the library against the peer

std::string ExampleDictionary() { return VORANT_SOURCE_DIR "/examples/msg_dic.xml"; }

// Initialises the library once against p_iPort; "" or the problem.
std::string InitLibrary(int p_iPort) {
    char szPath[] = "/tmp/vorant-path-bench-XXXXXX";
    int iFd = mkstemp(szPath);
    if (iFd < 0)
        return "mkstemp failed";
    close(iFd);
    std::ofstream(szPath) << "msg_dic = " << ExampleDictionary()
                          << "\nkey_file = " VORANT_SOURCE_DIR "/examples/user.key"
                          << "\nserver = 127.0.0.1 " << p_iPort << "\ntimeout = 60\n";
    CVorantError err;
    int iResult = CVorant::Initialize(szPath, &err);
    unlink(szPath);
    return iResult == 0 ? std::string() : std::string("Initialize: ") + err.GetText().ToStr();
}

struct CCallSetup {
    CRawPeer m_Peer;
    std::string m_strProblem;
    CCallSetup() { m_strProblem = InitLibrary(m_Peer.GetPort()); }
};

CCallSetup& Setup() {
    static CCallSetup setup;
    return setup;
}

// A reader set up as the library sets its own up, with a handler that does
// nothing.
struct CBareParser {
    CXmlPlatformUse m_Platform;
    CSecureSaxReader m_Reader;
    XERCES_CPP_NAMESPACE::DefaultHandler m_Handler;
    CBareParser() {
        m_Reader.GetReader()->setFeature(XERCES_CPP_NAMESPACE::XMLUni::fgSAX2CoreNameSpaces, false);
        m_Reader.SetHandler(&m_Handler);
    }
    // Out of line, so that a profile shows it beside LoadXml.
    __attribute__((noinline)) void Parse(const char* p_pXml, size_t p_nLen) {
        m_Reader.ParseMemory(p_pXml, p_nLen, "MemData");
    }
};

// Less than any reader that builds a tree must add to the parse: per
// element the bytes of a bag and the pointer that reaches it, per text
// piece a narrowed copy, all placed in blocks kept from one parse to the
// next (nothing is looked up, checked or converted, no row is made).
class CTreeFloorHandler : public XERCES_CPP_NAMESPACE::DefaultHandler {
public:
    void startDocument() override {
        m_nBlock = 0;
        m_nUsed = kBlock;
    }
    void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const,
                      const XERCES_CPP_NAMESPACE::Attributes&) override {
        char* pBag = Take(sizeof(CMsgValue) + sizeof(CMsgValue*));
        std::memset(pBag, 0, sizeof(CMsgValue) + sizeof(CMsgValue*));
    }
    void characters(const XMLCh* const p_pChars, const XMLSize_t p_nLength) override {
        char* pOut = Take(p_nLength + 1);
        for (XMLSize_t i = 0; i < p_nLength; ++i)
            pOut[i] = static_cast<char>(p_pChars[i]);
        pOut[p_nLength] = '\0';
    }

private:
    static const size_t kBlock = 1 << 20;
    char* Take(size_t p_nBytes) {
        p_nBytes = (p_nBytes + 7) & ~size_t(7);
        if (m_nUsed + p_nBytes > kBlock) {
            if (m_nBlock == m_Blocks.size())
                m_Blocks.emplace_back(new char[std::max(kBlock, p_nBytes)]);
            ++m_nBlock;
            m_nUsed = 0;
        }
        char* p = m_Blocks[m_nBlock - 1].get() + m_nUsed;
        m_nUsed += p_nBytes;
        return p;
    }
    std::vector<std::unique_ptr<char[]>> m_Blocks;
    size_t m_nBlock = 0;
    size_t m_nUsed = kBlock;
};

// The rows alone: the tree LoadXml keeps (each row a message placed in the
// answer's blocks, a bag per value, a text copied beside it, a number converted),
// built through the message layer's own entry points with every tag and text
// already known, the previous tree freed first as a reused message frees it.
// What the reader adds beyond the parse and these is its handling of the
// parser's events: names to tags, text runs, nesting.
class CRowsOnly {
public:
    explicit CRowsOnly(CMsg& p_Source) {
        CMsgArray rows;  // a view: the source keeps the rows
        p_Source.GetValue(6, &rows);
        for (int i = 0; i < rows.GetSize(); ++i) {
            CString strCode;
            int iCount = 0;
            rows.GetAt(i)->GetValue(1, &strCode);
            rows.GetAt(i)->GetValue(2, &iCount);
            m_Codes.emplace_back(strCode.ToStr());
            m_Counts.push_back(std::to_string(iCount));
        }
    }
    __attribute__((noinline)) void Build(CMsg* p_pTop) const {
        p_pTop->Init(kAccountRequest, 0, 0);
        CMsgInfo* pTopInfo = MsgAccess::Info(*p_pTop);
        CMsgInfo* pLineInfo = p_pTop->GetMsgDic()->GetMsgInfo(kAccountLine);
        const CTagInfo* pLines = pTopInfo->GetTagInfo(6);
        const CTagInfo* pCode = pLineInfo->GetTagInfo(1);
        const CTagInfo* pCount = pLineInfo->GetTagInfo(2);
        CMsgArena* pArena = MsgAccess::ParseArena(*p_pTop);
        for (size_t i = 0; i < m_Codes.size(); ++i) {
            CMsg* pRow = MsgAccess::MakeSubMsg(*p_pTop, 6, pLines, nullptr, pArena, pLineInfo);
            MsgAccess::StoreText(*pRow, 1, pCode, m_Codes[i].c_str(), m_Codes[i].size(), pArena);
            MsgAccess::StoreText(*pRow, 2, pCount, m_Counts[i].c_str(), m_Counts[i].size(), pArena);
        }
    }

private:
    std::vector<std::string> m_Codes, m_Counts;
};

// The least a reader of this document into the library's rows can do: the
// rows CRowsOnly makes, made through the same entry points while the parser
// runs, each element name read as a tag number and found in its definition,
// each text narrowed; nothing the account request's fixed shape already
// tells is checked, trimmed or tracked (two levels, no long texts).
class CLeastReader : public XERCES_CPP_NAMESPACE::DefaultHandler {
public:
    explicit CLeastReader(CMsg* p_pTop) : m_pTop(p_pTop) {}
    void startDocument() override {
        m_pTop->Init(kAccountRequest, 0, 0);
        m_pTopInfo = MsgAccess::Info(*m_pTop);
        m_pLineInfo = m_pTop->GetMsgDic()->GetMsgInfo(kAccountLine);
        m_pArena = MsgAccess::ParseArena(*m_pTop);
        m_pCur = m_pTop;
        m_pTag = nullptr;
        m_nText = 0;
    }
    void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const p_pName,
                      const XERCES_CPP_NAMESPACE::Attributes&) override {
        if (p_pName[0] != 't')
            return;  // the root
        int iTag = 0;
        for (const XMLCh* p = p_pName + 1; *p; ++p)
            iTag = iTag * 10 + (*p - '0');
        const bool bTop = m_pCur == m_pTop;
        const CTagInfo* pTag = (bTop ? m_pTopInfo : m_pLineInfo)->GetTagInfo(iTag);
        if (pTag->m_iType == TAG_TYPE_SUBMSG) {
            m_pCur = MsgAccess::MakeSubMsg(*m_pTop, iTag, pTag, nullptr, m_pArena, m_pLineInfo);
            m_pTag = nullptr;
        } else {
            m_pTag = pTag;
        }
    }
    void characters(const XMLCh* const p_pChars, const XMLSize_t p_nLength) override {
        if (p_nLength >= sizeof m_szText - m_nText)
            return;  // not this document's: the tree check then fails
        for (XMLSize_t i = 0; i < p_nLength; ++i)
            m_szText[m_nText + i] = static_cast<char>(p_pChars[i]);
        m_nText += p_nLength;
    }
    void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
        if (m_pTag) {
            m_szText[m_nText] = '\0';
            MsgAccess::StoreText(*m_pCur, m_pTag->m_iTagNum, m_pTag, m_szText, m_nText,
                                 m_pCur == m_pTop ? nullptr : m_pArena);
            m_pTag = nullptr;
            m_nText = 0;
        } else if (m_pCur != m_pTop) {
            m_pCur = m_pTop;
        }
    }

private:
    CMsg* m_pTop;
    CMsgInfo* m_pTopInfo = nullptr;
    CMsgInfo* m_pLineInfo = nullptr;
    CMsgArena* m_pArena = nullptr;
    CMsg* m_pCur = nullptr;
    const CTagInfo* m_pTag = nullptr;
    char m_szText[256];
    size_t m_nText = 0;
};

// Out of line, so that a profile tells the timed writes from the set-up's.
__attribute__((noinline)) void WriteXml(CMsg* p_pMsg, CStream* p_pOut) { p_pMsg->ToXml(p_pOut, false, false, 1); }

// zlib both ways at the default level, on streams kept across bodies.
struct CZlibParts {
    z_stream m_Deflate{};
    z_stream m_Inflate{};
    std::vector<Bytef> m_Wire, m_Back;
    CZlibParts() {
        deflateInit(&m_Deflate, Z_DEFAULT_COMPRESSION);
        inflateInit(&m_Inflate);
    }
    ~CZlibParts() {
        deflateEnd(&m_Deflate);
        inflateEnd(&m_Inflate);
    }
    void BothWays(const char* p_pBody, size_t p_nLen) {
        m_Wire.resize(compressBound(p_nLen));
        deflateReset(&m_Deflate);
        m_Deflate.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(p_pBody));
        m_Deflate.avail_in = static_cast<uInt>(p_nLen);
        m_Deflate.next_out = m_Wire.data();
        m_Deflate.avail_out = static_cast<uInt>(m_Wire.size());
        deflate(&m_Deflate, Z_FINISH);
        m_Back.resize(p_nLen + 1);
        inflateReset(&m_Inflate);
        m_Inflate.next_in = m_Wire.data();
        m_Inflate.avail_in = static_cast<uInt>(m_Deflate.total_out);
        m_Inflate.next_out = m_Back.data();
        m_Inflate.avail_out = static_cast<uInt>(m_Back.size());
        inflate(&m_Inflate, Z_FINISH);
    }
};

// Per iteration: a raw TCP call of the packet the library sends, the
// mandated work (for a compressed body: zlib both ways, a bare parse of the
// answer, writing the request) and the library call.
void BM_CallVsParts(benchmark::State& p_State) {
    if (!Setup().m_strProblem.empty()) {
        p_State.SkipWithError(Setup().m_strProblem.c_str());
        return;
    }
    const bool bCompressed = p_State.range(0) > 1024;
    MsgPtr pIn = MakeRequest(static_cast<int>(p_State.range(0)));
    MsgPtr pOut(MA_NewMsg(kAccountRequest));
    CVorantError err;
    if (CVorant::CallServiceByMsg(kService, pIn.get(), pOut.get(), &err) != 0) {
        p_State.SkipWithError(err.GetText().ToStr());
        return;
    }
    const std::string packet = Setup().m_Peer.LastRequest();
    CStream xml;
    pIn->ToXml(&xml, false, false, 1);
    CBareParser parser;
    CZlibParts zlib;
    std::string answer;
    // Wall time, and this thread's processor time (which a loaded machine
    // disturbs less).
    double dRaw = 0, dParts = 0, dCall = 0, dRawCpu = 0, dPartsCpu = 0, dCallCpu = 0;
    for (auto _ : p_State) {
        Clock::time_point t0 = Clock::now();
        double c0 = ThreadSeconds();
        if (!RawCall(Setup().m_Peer.GetAddr(), packet, &answer)) {
            p_State.SkipWithError("raw call failed");
            break;
        }
        dRaw += Seconds(t0);
        dRawCpu += ThreadSeconds() - c0;
        if (bCompressed) {
            t0 = Clock::now();
            c0 = ThreadSeconds();
            CStream request;
            WriteXml(pIn.get(), &request);
            zlib.BothWays(request.GetData(), static_cast<size_t>(request.GetSize()));
            parser.Parse(xml.GetData(), static_cast<size_t>(xml.GetSize()));
            dParts += Seconds(t0);
            dPartsCpu += ThreadSeconds() - c0;
        }
        t0 = Clock::now();
        c0 = ThreadSeconds();
        if (CVorant::CallServiceByMsg(kService, pIn.get(), pOut.get(), &err) != 0) {
            p_State.SkipWithError(err.GetText().ToStr());
            break;
        }
        dCall += Seconds(t0);
        dCallCpu += ThreadSeconds() - c0;
    }
    double n = static_cast<double>(p_State.iterations());
    p_State.counters["packet"] = static_cast<double>(packet.size());
    p_State.counters["raw_us"] = dRaw / n * 1e6;
    p_State.counters["call_us"] = dCall / n * 1e6;
    if (bCompressed) {
        p_State.counters["parts_us"] = (dRaw + dParts) / n * 1e6;
        p_State.counters["call_per_parts"] = dCall / (dRaw + dParts);
        p_State.counters["cpu_call_per_parts"] = dCallCpu / (dRawCpu + dPartsCpu);
    } else {
        p_State.counters["rate_vs_raw"] = dRaw / dCall;
        p_State.counters["cpu_rate_vs_raw"] = dRawCpu / dCallCpu;
    }
}

// ---- messages without the network

// Per iteration: a bare parse, the tree floor's parse, LoadXml into a
// message that is reused, ToXml, the rows alone and the least reader's
// parse, of the same document.
void BM_LoadXmlVsParser(benchmark::State& p_State) {
    if (!Setup().m_strProblem.empty()) {
        p_State.SkipWithError(Setup().m_strProblem.c_str());
        return;
    }
    MsgPtr pMsg = MakeRequest(static_cast<int>(p_State.range(0)));
    CStream xml;
    pMsg->ToXml(&xml, false, false, 1);
    CBareParser parser;
    CBareParser floorParser;
    CTreeFloorHandler floor;
    floorParser.m_Reader.SetHandler(&floor);
    MsgPtr pAnswer(MA_NewMsg(0));
    CRowsOnly rowsOnly(*pMsg);
    MsgPtr pRows(MA_NewMsg(kAccountRequest));
    CBareParser leastParser;
    MsgPtr pLeast(MA_NewMsg(kAccountRequest));
    CLeastReader least(pLeast.get());
    leastParser.m_Reader.SetHandler(&least);
    // The floor holds only if it makes the very tree LoadXml makes.
    leastParser.Parse(xml.GetData(), static_cast<size_t>(xml.GetSize()));
    CStream leastXml;
    pLeast->ToXml(&leastXml, false, false, 1);
    if (leastXml.GetSize() != xml.GetSize() || std::memcmp(leastXml.GetData(), xml.GetData(), xml.GetSize()) != 0) {
        p_State.SkipWithError("the least reader's tree differs");
        return;
    }
    CStream out;
    double dParse = 0, dFloor = 0, dLoad = 0, dWrite = 0, dRows = 0, dLeast = 0;
    for (auto _ : p_State) {
        double t0 = ThreadSeconds();
        parser.Parse(xml.GetData(), static_cast<size_t>(xml.GetSize()));
        dParse += ThreadSeconds() - t0;
        t0 = ThreadSeconds();
        floorParser.Parse(xml.GetData(), static_cast<size_t>(xml.GetSize()));
        dFloor += ThreadSeconds() - t0;
        t0 = ThreadSeconds();
        pAnswer->LoadXml(xml.GetData());
        dLoad += ThreadSeconds() - t0;
        t0 = ThreadSeconds();
        WriteXml(pMsg.get(), &out);
        dWrite += ThreadSeconds() - t0;
        t0 = ThreadSeconds();
        rowsOnly.Build(pRows.get());
        dRows += ThreadSeconds() - t0;
        t0 = ThreadSeconds();
        leastParser.Parse(xml.GetData(), static_cast<size_t>(xml.GetSize()));
        dLeast += ThreadSeconds() - t0;
    }
    double n = static_cast<double>(p_State.iterations());
    p_State.counters["xml"] = xml.GetSize();
    p_State.counters["parse_us"] = dParse / n * 1e6;
    p_State.counters["load_per_parse"] = dLoad / dParse;
    p_State.counters["floor_per_parse"] = dFloor / dParse;
    p_State.counters["load_per_floor"] = dLoad / dFloor;
    p_State.counters["toxml_per_parse"] = dWrite / dParse;
    p_State.counters["rows_per_parse"] = dRows / dParse;
    p_State.counters["least_per_parse"] = dLeast / dParse;
}

// An account request of p_iRows lines, each line one small number.
MsgPtr MakeRows(int p_iRows) {
    MsgPtr pMsg(MA_NewMsg(kAccountRequest));
    pMsg->SetValue(2, 7);
    for (int i = 0; i < p_iRows; ++i) {
        CMsg* pLine = MA_NewMsg(kAccountLine);
        pLine->SetValue(2, i % 10);
        pMsg->SetValue(6, pLine);
    }
    return pMsg;
}

struct CPhaseTimes {
    double m_dLoad = 0, m_dToXml = 0, m_dDump = 0, m_dDumpXml = 0, m_dFree = 0;
    double m_dParse = 0, m_dWalk = 0;  // the baselines
};

// Every row visited and its value read through the public interface: the
// least that a phase going through the whole tree does.
__attribute__((noinline)) long WalkRows(CMsg* p_pMsg) {
    CMsgArray rows;  // a view: the message keeps the rows
    p_pMsg->GetValue(6, &rows);
    long lSum = 0;
    for (int i = 0; i < rows.GetSize(); ++i) {
        int iValue = 0;
        rows.GetAt(i)->GetValue(2, &iValue);
        lSum += iValue;
    }
    return lSum;
}

void TimePhases(const CStream& p_Xml, CBareParser* p_pParser, CPhaseTimes* p_pTimes) {
    double t0 = ThreadSeconds();
    p_pParser->Parse(p_Xml.GetData(), static_cast<size_t>(p_Xml.GetSize()));
    p_pTimes->m_dParse += ThreadSeconds() - t0;
    MsgPtr pMsg(MA_NewMsg(0));
    t0 = ThreadSeconds();
    pMsg->LoadXml(p_Xml.GetData());
    p_pTimes->m_dLoad += ThreadSeconds() - t0;
    t0 = ThreadSeconds();
    benchmark::DoNotOptimize(WalkRows(pMsg.get()));
    p_pTimes->m_dWalk += ThreadSeconds() - t0;
    CStream out;
    t0 = ThreadSeconds();
    pMsg->ToXml(&out, false, false, 1);
    p_pTimes->m_dToXml += ThreadSeconds() - t0;
    t0 = ThreadSeconds();
    pMsg->Dump(&out, false, 1);
    p_pTimes->m_dDump += ThreadSeconds() - t0;
    out.Clear();
    t0 = ThreadSeconds();
    pMsg->DumpXml(&out, false, 1);
    p_pTimes->m_dDumpXml += ThreadSeconds() - t0;
    t0 = ThreadSeconds();
    pMsg.reset();
    p_pTimes->m_dFree += ThreadSeconds() - t0;
}

// Per iteration: every phase at 20 000 rows (ten times) and at 200 000; the
// counters are the ratios of the larger to the smaller (10 is linear), each
// side its fastest iteration's, so that a moment of another process's load
// on this shared machine does not count as growth. Beside them the same
// ratio of two baselines: a bare parse of the document (parse_x10) and a
// walk that reads every row once (walk_x10), which a tree ten times larger
// than the caches also slows.
void BM_GrowthTenfold(benchmark::State& p_State) {
    if (!Setup().m_strProblem.empty()) {
        p_State.SkipWithError(Setup().m_strProblem.c_str());
        return;
    }
    CStream small, large;
    MakeRows(20000)->ToXml(&small, false, false, 1);
    MakeRows(200000)->ToXml(&large, false, false, 1);
    const double kNone = 1e300;
    CPhaseTimes best1{kNone, kNone, kNone, kNone, kNone, kNone, kNone};
    CPhaseTimes best10 = best1;
    CBareParser parser;
    auto keepBest = [](const CPhaseTimes& p_Run, CPhaseTimes* p_pBest) {
        p_pBest->m_dLoad = std::min(p_pBest->m_dLoad, p_Run.m_dLoad);
        p_pBest->m_dToXml = std::min(p_pBest->m_dToXml, p_Run.m_dToXml);
        p_pBest->m_dDump = std::min(p_pBest->m_dDump, p_Run.m_dDump);
        p_pBest->m_dDumpXml = std::min(p_pBest->m_dDumpXml, p_Run.m_dDumpXml);
        p_pBest->m_dFree = std::min(p_pBest->m_dFree, p_Run.m_dFree);
        p_pBest->m_dParse = std::min(p_pBest->m_dParse, p_Run.m_dParse);
        p_pBest->m_dWalk = std::min(p_pBest->m_dWalk, p_Run.m_dWalk);
    };
    for (auto _ : p_State) {
        CPhaseTimes t1, t10;
        // The small case ten times, so that both sides take similar time.
        for (int i = 0; i < 10; ++i)
            TimePhases(small, &parser, &t1);
        TimePhases(large, &parser, &t10);
        keepBest(t1, &best1);
        keepBest(t10, &best10);
    }
    p_State.counters["load_x10"] = best10.m_dLoad * 10 / best1.m_dLoad;
    p_State.counters["toxml_x10"] = best10.m_dToXml * 10 / best1.m_dToXml;
    p_State.counters["dump_x10"] = best10.m_dDump * 10 / best1.m_dDump;
    p_State.counters["dumpxml_x10"] = best10.m_dDumpXml * 10 / best1.m_dDumpXml;
    p_State.counters["free_x10"] = best10.m_dFree * 10 / best1.m_dFree;
    p_State.counters["parse_x10"] = best10.m_dParse * 10 / best1.m_dParse;
    p_State.counters["walk_x10"] = best10.m_dWalk * 10 / best1.m_dWalk;
}

// ---- peak memory of one call, in a fresh process

const char kMemoryFlag[] = "--vorant-memory-case=";

// Deflates pieces as they come, so the answer never exists uncompressed.
class CStreamingDeflate {
public:
    CStreamingDeflate() { deflateInit(&m_Stream, Z_DEFAULT_COMPRESSION); }
    ~CStreamingDeflate() { deflateEnd(&m_Stream); }
    void Put(const std::string& p_Piece, int p_iFlush = Z_NO_FLUSH) {
        m_llIn += static_cast<long long>(p_Piece.size());
        m_Stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(p_Piece.data()));
        m_Stream.avail_in = static_cast<uInt>(p_Piece.size());
        Bytef out[16384];
        do {
            m_Stream.next_out = out;
            m_Stream.avail_out = sizeof out;
            deflate(&m_Stream, p_iFlush);
            m_Wire.append(reinterpret_cast<char*>(out), sizeof out - m_Stream.avail_out);
        } while (m_Stream.avail_out == 0);
    }
    void Finish() { Put(std::string(), Z_FINISH); }
    long long InputBytes() const { return m_llIn; }
    const std::string& Wire() const { return m_Wire; }

private:
    z_stream m_Stream{};
    long long m_llIn = 0;
    std::string m_Wire;
};

// The answer document of message 1001, piece by piece to p_Put: p_iRows
// lines of one small number each, or (p_iRows 0) one CDATA text of p_iText
// bytes.
template <class TPut>
void WriteAnswerXml(int p_iRows, int p_iText, TPut p_Put) {
    p_Put("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"1001\" ver=\"\"><t2>7</t2>");
    if (p_iRows > 0) {
        std::string rows;
        for (int i = 0; i < p_iRows; ++i) {
            rows += "<t6><t2>" + std::to_string(i % 10) + "</t2></t6>";
            if (rows.size() > 60000) {
                p_Put(rows);
                rows.clear();
            }
        }
        p_Put(rows);
    } else {
        p_Put("<t7><![CDATA[");
        std::string chunk(1 << 20, 'x');
        for (int i = 0; i < p_iText; i += static_cast<int>(chunk.size()))
            p_Put(i + static_cast<int>(chunk.size()) <= p_iText ? chunk : chunk.substr(0, p_iText - i));
        p_Put("]]></t7>");
    }
    p_Put("</msg>");
}

// The compressed answer packet of that document.
std::string MakeAnswerPacket(int p_iRows, int p_iText, long long* p_pllXml) {
    CStreamingDeflate body;
    WriteAnswerXml(p_iRows, p_iText, [&body](const std::string& p_strPiece) { body.Put(p_strPiece); });
    body.Finish();
    *p_pllXml = body.InputBytes();
    CPacketInfo info;
    info.m_iSvcNum = kService;
    info.m_iMsgNum = kAccountRequest;
    info.m_bCompressed = true;
    char szHeader[vorant::packet::HEADER_SIZE + 1];
    // The header's body length is the uncompressed one: a CStream of that
    // size is not made here, so the field is written afterwards.
    vorant::packet::FormatHeader(info, static_cast<long long>(body.Wire().size()), szHeader);
    char szLength[16];
    snprintf(szLength, sizeof szLength, "%010lld", *p_pllXml);
    std::memcpy(szHeader + vorant::packet::BODY_LENGTH.m_iOffset, szLength, 10);
    std::string packet(szHeader, vorant::packet::HEADER_SIZE);
    packet += body.Wire();
    const int iSum = (CheckSum(szHeader, vorant::packet::HEADER_SIZE) +
                      CheckSum(body.Wire().data(), static_cast<int>(body.Wire().size()))) %
                     256;
    snprintf(szLength, sizeof szLength, "%03d", iSum);
    packet += szLength;
    return packet;
}

// The high-water mark of this process image's resident memory (ru_maxrss
// would carry the spawning process's peak over the exec).
long PeakKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmHWM:") == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

// Sets the high-water mark back to what is resident now and returns it:
// memory this process freed before (building the answer, loading the
// dictionary) would otherwise hide that much of the case's own growth.
long ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
    return PeakKilobytes();
}

// The floor under a call's peak: a bare parse (empty handler) of the same
// document, held in memory before the count starts.
int RunParserMemoryCase(int p_iRows, int p_iText) {
    // Sized first: memory freed while it grew would sit below the high-water
    // mark and hide part of the parse.
    size_t nSize = 0;
    WriteAnswerXml(p_iRows, p_iText, [&nSize](const std::string& p_strPiece) { nSize += p_strPiece.size(); });
    std::string xml;
    xml.reserve(nSize);
    WriteAnswerXml(p_iRows, p_iText, [&xml](const std::string& p_strPiece) { xml += p_strPiece; });
    CBareParser parser;
    long lBefore = ResetPeak();
    Clock::time_point t0 = Clock::now();
    parser.Parse(xml.data(), xml.size());
    double dParse = Seconds(t0);
    long lAfter = PeakKilobytes();
    std::printf("%zu %ld %f %f\n", xml.size(), (lAfter - lBefore) * 1024, dParse, 0.0);
    return 0;
}

// The least a parsed row can take: every element below the root gets the
// bytes of a message, its one value's bag and chain head, and the pointer
// that reaches it, placed in large blocks as the reader places them.
class CRowFloorHandler : public XERCES_CPP_NAMESPACE::DefaultHandler {
public:
    void startElement(const XMLCh* const, const XMLCh* const, const XMLCh* const,
                      const XERCES_CPP_NAMESPACE::Attributes&) override {
        if (++m_iDepth != 2)
            return;
        // The pointer that reaches the row is counted with it.
        const size_t nRow = sizeof(CMsg) + sizeof(CMsgValue) + sizeof(CMsgValue*) + sizeof(CMsg*);
        if (m_nLeft < nRow) {
            m_Blocks.emplace_back(new char[kBlock]);
            std::memset(m_Blocks.back().get(), 0, kBlock);
            m_nLeft = kBlock;
        }
        m_nLeft -= nRow;
    }
    void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override { --m_iDepth; }

private:
    static const size_t kBlock = 2 << 20;
    int m_iDepth = 0;
    size_t m_nLeft = 0;
    std::vector<std::unique_ptr<char[]>> m_Blocks;
};

// The receive side of a call on the streaming path: the answer packet as it
// arrives, its checksum, then its body inflated straight into the parser
// (LoadMsgXml, or with p_bFloor the row floor's handler) and checked to its
// end. Prints as RunMemoryCase does.
int RunStreamMemoryCase(int p_iRows, int p_iText, bool p_bFloor) {
    long long llXml = 0;
    const std::string packet = MakeAnswerPacket(p_iRows, p_iText, &llXml);
    std::string problem = InitLibrary(1);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    MsgPtr pOut(MA_NewMsg(0));
    CBareParser parser;
    CRowFloorHandler floor;
    long lBefore = ResetPeak();
    Clock::time_point t0 = Clock::now();
    CPacketInfo info;
    vorant::packet::Frame frame;
    std::string strDetails;
    using vorant::packet::HEADER_SIZE;
    int iResult = vorant::packet::DecodeHeader(packet.data(), 1 << 30, &info, &frame, &strDetails);
    const char* pWire = packet.data() + HEADER_SIZE;
    if (iResult == 0)
        iResult = vorant::packet::CheckSumField(
            (CheckSum(packet.data(), HEADER_SIZE) + CheckSum(pWire, frame.m_iWireBody)) % 256,
            pWire + frame.m_iWireBody, &strDetails);
    if (iResult == 0) {
        CInflatingBody body(pWire, frame.m_iWireBody, frame.m_iBody);
        CMsgXmlReaderSource<CInflatingBody> source(body);
        if (p_bFloor) {
            parser.m_Reader.SetHandler(&floor);
            ParseMsgXmlSource(parser.m_Reader, source);
        } else {
            LoadMsgXml(pOut.get(), source);
        }
        iResult = body.Finish(&strDetails);
    }
    double dCall = Seconds(t0);
    long lAfter = PeakKilobytes();
    if (iResult != 0) {
        std::fprintf(stderr, "stream: %d %s\n", iResult, strDetails.c_str());
        return 1;
    }
    t0 = Clock::now();
    pOut.reset();
    double dFree = Seconds(t0);
    std::printf("%lld %ld %f %f\n", llXml, (lAfter - lBefore) * 1024, dCall, dFree);
    return 0;
}

// The bundled server's side of echoing one long text: p_iAtOnce clients
// send the request packet together to a server with p_iLoops event loops,
// in a process set up as vorant-server sets up its own. The clients hold
// only compressed packets, so this process's growth is the server's. Prints
// as RunMemoryCase does.
int RunServerMemoryCase(int p_iText, int p_iAtOnce, int p_iLoops) {
    vorant_server::ReturnLargeBuffersPromptly();
    long long llXml = 0;
    const std::string packet = MakeAnswerPacket(0, p_iText, &llXml);
    vorant_server::CServerOptions opts;
    opts.m_strDictionary = ExampleDictionary();
    opts.m_strRules = std::to_string(kService) + " echo\n";
    opts.m_iThreads = p_iLoops;
    opts.m_iTimeout = 120;
    vorant_server::CMessageServer server;
    std::string strError;
    if (!server.Start(opts, &strError)) {
        std::fprintf(stderr, "server: %s\n", strError.c_str());
        return 1;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(server.GetPort()));
    std::atomic<int> echoed{0};
    long lBefore = ResetPeak();
    Clock::time_point t0 = Clock::now();
    std::vector<std::thread> clients;
    for (int i = 0; i < p_iAtOnce; ++i)
        clients.emplace_back([&] {
            std::string answer;
            CPacketInfo info;
            vorant::packet::Frame frame;
            std::string strDetails;
            // An echo, not a refusal: the answer is the request's message.
            if (RawCall(addr, packet, &answer) &&
                vorant::packet::DecodeHeader(answer.data(), 1 << 30, &info, &frame, &strDetails) == 0 &&
                info.m_iMsgNum == kAccountRequest)
                ++echoed;
        });
    for (std::thread& client : clients)
        client.join();
    double dCall = Seconds(t0);
    long lAfter = PeakKilobytes();
    server.Stop();
    if (echoed != p_iAtOnce) {
        std::fprintf(stderr, "server: %d of %d echoed\n", echoed.load(), p_iAtOnce);
        return 1;
    }
    std::printf("%lld %ld %f %f\n", llXml, (lAfter - lBefore) * 1024, dCall, 0.0);
    return 0;
}

// The child's side: one call whose answer is the case's packet; prints the
// XML size, the peak growth and the times of the call and of freeing.
int RunMemoryCase(const char* p_szCase) {
    int iRows = 0, iText = 0;
    if (std::sscanf(p_szCase, "parse-rows:%d", &iRows) == 1 || std::sscanf(p_szCase, "parse-text:%d", &iText) == 1)
        return RunParserMemoryCase(iRows, iText);
    if (std::sscanf(p_szCase, "stream-rows:%d", &iRows) == 1 || std::sscanf(p_szCase, "stream-text:%d", &iText) == 1)
        return RunStreamMemoryCase(iRows, iText, false);
    if (std::sscanf(p_szCase, "floor-rows:%d", &iRows) == 1)
        return RunStreamMemoryCase(iRows, 0, true);
    if (std::sscanf(p_szCase, "server-text-16:%d", &iText) == 1)
        return RunServerMemoryCase(iText, 16, 2);
    if (std::sscanf(p_szCase, "server-text:%d", &iText) == 1)
        return RunServerMemoryCase(iText, 1, 1);
    if (std::sscanf(p_szCase, "rows:%d", &iRows) != 1 && std::sscanf(p_szCase, "text:%d", &iText) != 1)
        return 2;
    CRawPeer peer;
    long long llXml = 0;
    peer.SetAnswer(MakeAnswerPacket(iRows, iText, &llXml));
    std::string problem = InitLibrary(peer.GetPort());
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    MsgPtr pIn(MA_NewMsg(kAccountRequest));
    pIn->SetValue(2, 1);
    MsgPtr pOut(MA_NewMsg(kAccountRequest));
    long lBefore = ResetPeak();
    CVorantError err;
    Clock::time_point t0 = Clock::now();
    int iResult = CVorant::CallServiceByMsg(kService, pIn.get(), pOut.get(), &err);
    double dCall = Seconds(t0);
    long lAfter = PeakKilobytes();
    t0 = Clock::now();
    pOut.reset();
    double dFree = Seconds(t0);
    if (iResult != 0) {
        std::fprintf(stderr, "call: %s\n", err.GetText().ToStr());
        return 1;
    }
    std::printf("%lld %ld %f %f\n", llXml, (lAfter - lBefore) * 1024, dCall, dFree);
    return 0;
}

// Runs the case in a fresh process of this program: the peak of a process
// only ever grows, and this one's holds what the other benchmarks used.
bool SpawnMemoryCase(const std::string& p_strCase, long long* p_pllXml, long long* p_pllPeak, double* p_pdCall,
                     double* p_pdFree) {
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::string arg = kMemoryFlag + p_strCase;
    char szSelf[] = "/proc/self/exe";
    char* argv[] = {szSelf, &arg[0], nullptr};
    pid_t pid = 0;
    int iSpawn = posix_spawn(&pid, szSelf, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (iSpawn != 0) {
        close(fds[0]);
        return false;
    }
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int iStatus = 0;
    waitpid(pid, &iStatus, 0);
    return WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0 &&
           std::sscanf(out.c_str(), "%lld %lld %lf %lf", p_pllXml, p_pllPeak, p_pdCall, p_pdFree) == 4;
}

void BM_CallPeakMemory(benchmark::State& p_State, const char* p_szKind) {
    std::string strCase = std::string(p_szKind) + ":" + std::to_string(p_State.range(0));
    long long llXml = 0, llPeak = 0;
    double dCall = 0, dFree = 0;
    for (auto _ : p_State) {
        if (!SpawnMemoryCase(strCase, &llXml, &llPeak, &dCall, &dFree)) {
            p_State.SkipWithError("memory case failed");
            return;
        }
    }
    p_State.counters["xml_MB"] = static_cast<double>(llXml) / 1e6;
    p_State.counters["peak_MB"] = static_cast<double>(llPeak) / 1e6;
    p_State.counters["peak_per_xml"] = static_cast<double>(llPeak) / static_cast<double>(llXml);
    p_State.counters["call_s"] = dCall;
    p_State.counters["free_s"] = dFree;
}

}  // namespace

BENCHMARK(BM_CallVsParts)->Arg(300)->Arg(5 << 10)->UseRealTime();
BENCHMARK(BM_LoadXmlVsParser)->Arg(4 << 10)->Arg(1 << 20)->UseRealTime();
BENCHMARK(BM_GrowthTenfold)->Iterations(24)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CallPeakMemory, rows, "rows")->Arg(200000)->Arg(2000000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_CallPeakMemory, text, "text")->Arg(60000000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_CallPeakMemory, parse_rows, "parse-rows")->Arg(2000000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_CallPeakMemory, parse_text, "parse-text")->Arg(60000000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_CallPeakMemory, stream_rows, "stream-rows")
    ->Arg(200000)
    ->Arg(2000000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_CallPeakMemory, stream_text, "stream-text")
    ->Arg(60000000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_CallPeakMemory, floor_rows, "floor-rows")->Arg(2000000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_CallPeakMemory, server_text, "server-text")
    ->Arg(60000000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_CallPeakMemory, server_text_16, "server-text-16")
    ->Arg(60000000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    if (argc == 2 && std::strncmp(argv[1], kMemoryFlag, sizeof kMemoryFlag - 1) == 0)
        return RunMemoryCase(argv[1] + sizeof kMemoryFlag - 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
