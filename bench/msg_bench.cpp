// Message XML: serialising and parsing a ~4 KB and a ~1 MB message.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include <xercesc/util/XMLUni.hpp>

#include "msg/xml_support.h"
#include "vorant/msg.hpp"

namespace {

// An order with many lines: every value type, arrays and sub-messages.
class CBenchData {
public:
    CBenchData() {
        m_Dic.SetMsgInfo(100, CString("Order"), CString(""), CString("16"));
        Tag(100, 1, "orderId", "string", false);
        Tag(100, 2, "qty", "integer", false);
        Tag(100, 3, "amount", "double", false);
        Tag(100, 4, "urgent", "bool", false);
        Tag(100, 5, "due", "date", false);
        Tag(100, 6, "lines", "m101", true);
        Tag(100, 7, "notes", "string", true);
        m_Dic.SetMsgInfo(101, CString("Line"), CString(""), CString("16"));
        Tag(101, 1, "sku", "string", false);
        Tag(101, 2, "count", "integer", false);
        Tag(101, 3, "price", "double", false);
        Tag(101, 4, "gift", "bool", false);
        Tag(101, 5, "ship", "date", false);
        Tag(101, 6, "codes", "integer", true);
        Tag(101, 7, "text", "string", false);
    }

    // A message whose numbered XML is about p_iBytes long: many small lines,
    // or (p_bLongTexts) fewer lines each carrying a text of 2000 characters.
    std::unique_ptr<CMsg> Make(int p_iBytes, bool p_bLongTexts = false) {
        m_bLongTexts = p_bLongTexts;
        std::unique_ptr<CMsg> pMsg(new CMsg(100, 0, 0, &m_Dic));
        pMsg->SetValue(1, "ORD-2024-000123");
        pMsg->SetValue(2, 42);
        pMsg->SetValue(3, 123456.789);
        pMsg->SetValue(4, true);
        pMsg->SetValue(5, CDate(20240131));
        pMsg->SetValue(7, "deliver to the back door & ring twice");
        CStream xml;
        pMsg->ToXml(&xml, false, false, 1);
        int iBase = xml.GetSize();
        AddLine(pMsg.get(), 0);
        pMsg->ToXml(&xml, false, false, 1);
        int iPerLine = xml.GetSize() - iBase;
        for (int i = 1; iBase + (i + 1) * iPerLine <= p_iBytes; ++i)
            AddLine(pMsg.get(), i);
        return pMsg;
    }

    CMsgDic* Dic() { return &m_Dic; }

private:
    void AddLine(CMsg* p_pMsg, int p_iIndex) {
        CMsg* pLine = new CMsg(101, 0, 0, &m_Dic);
        pLine->SetValue(1, "SKU-0000-ABCDEFGH");
        pLine->SetValue(2, 1000 + p_iIndex % 9000);
        pLine->SetValue(3, 19.99 + p_iIndex);
        pLine->SetValue(4, (p_iIndex % 3) == 0);
        pLine->SetValue(5, CDate(20240201 + p_iIndex % 28));
        for (int k = 0; k < 3; ++k)
            pLine->SetValue(6, 1000 + (p_iIndex * 10 + k) % 9000);
        static const std::string kLong(2000, 'x');
        pLine->SetValue(7, m_bLongTexts ? kLong.c_str() : "A line of free text, <escaped> in CDATA.");
        p_pMsg->SetValue(6, pLine);
    }

    void Tag(int p_iMsg, int p_iTag, const char* p_szName, const char* p_szType, bool p_bArray) {
        m_Dic.SetMsgDetail(p_iMsg, p_iTag, CString(p_szName), CString(p_szType), CString(p_bArray ? "Y" : "N"));
    }

    CMsgDic m_Dic;
    bool m_bLongTexts = false;
};

CBenchData& Data() {
    static CBenchData data;
    return data;
}

void BM_ToXml(benchmark::State& p_State) {
    std::unique_ptr<CMsg> pMsg = Data().Make(static_cast<int>(p_State.range(0)), p_State.range(1) != 0);
    CStream xml;
    for (auto _ : p_State) {
        pMsg->ToXml(&xml, false, false, 1);
        benchmark::DoNotOptimize(xml.GetData());
    }
    p_State.SetBytesProcessed(static_cast<int64_t>(p_State.iterations()) * xml.GetSize());
}

// The service call writes into a fresh stream every time.
void BM_ToXmlFreshStream(benchmark::State& p_State) {
    std::unique_ptr<CMsg> pMsg = Data().Make(static_cast<int>(p_State.range(0)));
    int iSize = 0;
    for (auto _ : p_State) {
        CStream xml;
        pMsg->ToXml(&xml, false, false, 1);
        iSize = xml.GetSize();
        benchmark::DoNotOptimize(xml.GetData());
    }
    p_State.SetBytesProcessed(static_cast<int64_t>(p_State.iterations()) * iSize);
}

void BM_ToXmlByName(benchmark::State& p_State) {
    std::unique_ptr<CMsg> pMsg = Data().Make(static_cast<int>(p_State.range(0)));
    CStream xml;
    for (auto _ : p_State) {
        pMsg->ToXml(&xml, false, true, 1);
        benchmark::DoNotOptimize(xml.GetData());
    }
    p_State.SetBytesProcessed(static_cast<int64_t>(p_State.iterations()) * xml.GetSize());
}

void BM_LoadXml(benchmark::State& p_State) {
    std::unique_ptr<CMsg> pMsg = Data().Make(static_cast<int>(p_State.range(0)), p_State.range(1) != 0);
    CStream xml;
    pMsg->ToXml(&xml, false, false, 1);
    CMsg answer(0, 0, 0, Data().Dic());
    for (auto _ : p_State)
        answer.LoadXml(xml.GetData());
    p_State.SetBytesProcessed(static_cast<int64_t>(p_State.iterations()) * xml.GetSize());
}

// The service call parses each answer into a new message.
void BM_LoadXmlFreshMsg(benchmark::State& p_State) {
    std::unique_ptr<CMsg> pMsg = Data().Make(static_cast<int>(p_State.range(0)));
    CStream xml;
    pMsg->ToXml(&xml, false, false, 1);
    for (auto _ : p_State) {
        CMsg answer(0, 0, 0, Data().Dic());
        answer.LoadXml(xml.GetData());
    }
    p_State.SetBytesProcessed(static_cast<int64_t>(p_State.iterations()) * xml.GetSize());
}

// The parser alone, set up as LoadXml sets it up, with a handler that does
// nothing: the floor of LoadXml.
void BM_ParserOnly(benchmark::State& p_State) {
    std::unique_ptr<CMsg> pMsg = Data().Make(static_cast<int>(p_State.range(0)));
    CStream xml;
    pMsg->ToXml(&xml, false, false, 1);
    CXmlPlatformUse platform;
    CSecureSaxReader reader;
    reader.GetReader()->setProperty(XERCES_CPP_NAMESPACE::XMLUni::fgXercesScannerName,
                                    const_cast<XMLCh*>(XERCES_CPP_NAMESPACE::XMLUni::fgWFXMLScanner));
    XERCES_CPP_NAMESPACE::DefaultHandler handler;
    reader.SetHandler(&handler);
    for (auto _ : p_State)
        reader.ParseMemory(xml.GetData(), static_cast<XMLSize_t>(xml.GetSize()), "MemData");
    p_State.SetBytesProcessed(static_cast<int64_t>(p_State.iterations()) * xml.GetSize());
}

}  // namespace

// Second argument: 0 many small fields, 1 long texts.
BENCHMARK(BM_ToXml)->Args({4 << 10, 0})->Args({1 << 20, 0})->Args({1 << 20, 1})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ToXmlFreshStream)->Arg(4 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ToXmlByName)->Arg(4 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadXml)->Args({4 << 10, 0})->Args({1 << 20, 0})->Args({1 << 20, 1})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadXmlFreshMsg)->Arg(4 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParserOnly)->Arg(4 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
