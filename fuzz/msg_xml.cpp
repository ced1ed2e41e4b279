// Fuzz target: the message XML reader, against the example dictionary and a
// few messages of its own that reach every kind of value. What a document
// leaves in the message is dumped; a document that loads must, written in
// each form and loaded again, write the same text once more.
#include <cstring>
#include <string>

#include "fuzz_targets.h"
#include "msg/msg_info.h"
#include "vorant/exception.hpp"
#include "vorant/msg.hpp"
#include "vorant/msg_dic.hpp"
#include "vorant/stream.hpp"

#if !defined(VORANT_FUZZ_DICTIONARY) || !defined(VORANT_FUZZ_DICTIONARY_EXTRA)
#error "VORANT_FUZZ_DICTIONARY and _EXTRA must name the dictionary files the documents are read against"
#endif

namespace {

const size_t kMaxInput = 256 * 1024;

CMsgDic& ExampleDictionary() {
    static CMsgDic s_Dic;
    static bool s_bLoaded = false;
    if (!s_bLoaded) {
        s_Dic.InitDictionary(VORANT_FUZZ_DICTIONARY);
        s_Dic.InitDictionary(VORANT_FUZZ_DICTIONARY_EXTRA);
        s_bLoaded = true;
    }
    return s_Dic;
}

bool IsReaderCode(int p_iCode) {
    switch (p_iCode) {
        case 0:  // an element inside a field that holds no sub-message
        case -11:
        case -17:
        case -18:
        case -19:
        case -21: return true;
        default: return false;
    }
}

// A value can hold bytes that no XML document carries (narrowed character
// references such as &#x101;); such a message cannot be written and read
// back, so the round trip is not asked of it.
bool IsWritable(const CStream& p_Xml) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(p_Xml.GetData());
    for (int i = 0; i < p_Xml.GetSize(); ++i) {
        if (p[i] < 0x20 && p[i] != '\t' && p[i] != '\n' && p[i] != '\r')
            return false;
    }
    return true;
}

// Values that do not come back as they are, by design: a text cut at a zero
// that a narrowed reference such as &#x100; put into it can end in a blank,
// which the reader trims, or be empty, which it reads as no value; so can a
// date, which also keeps only the first 8 characters of its text.
bool EndsInBlank(const char* p_szText) {
    const size_t n = std::strlen(p_szText);
    return n > 0 && std::strchr(" \t\n", p_szText[n - 1]) != nullptr;
}

bool IsUnstableText(const CString& p_Text) { return p_Text.GetLength() == 0 || EndsInBlank(p_Text.ToStr()); }

bool IsUnstableDate(const CDate& p_Date) { return p_Date.ToStr()[0] == '\0' || EndsInBlank(p_Date.ToStr()); }

template <class Value, class Array, class Unstable>
bool AnyUnstable(CMsg& p_Msg, int p_iTag, bool p_bArray, Unstable p_Unstable) {
    if (!p_bArray) {
        Value value;
        return p_Msg.GetValue(p_iTag, &value) == 0 && p_Unstable(value);
    }
    Array values;
    if (p_Msg.GetValue(p_iTag, &values) != 0)
        return false;
    for (int k = 0; k < values.GetSize(); ++k) {
        if (p_Unstable(values[k]))
            return true;
    }
    return false;
}

bool HasUnstableValue(CMsg& p_Msg, CMsgDic& p_Dic) {
    const CMsgInfo* pInfo = p_Dic.GetMsgInfo(p_Msg.GetSelfNum());
    for (int i = 0; pInfo && i < pInfo->GetTagCount(); ++i) {
        const int iTag = pInfo->GetTagNumAt(i);
        const bool bArray = pInfo->IsArrayTag(iTag);
        switch (pInfo->GetTagType(iTag)) {
            case TAG_TYPE_STRING:
                if (AnyUnstable<CString, CStrArray>(p_Msg, iTag, bArray, IsUnstableText))
                    return true;
                break;
            case TAG_TYPE_DATE:
                if (AnyUnstable<CDate, CDateArray>(p_Msg, iTag, bArray, IsUnstableDate))
                    return true;
                break;
            case TAG_TYPE_SUBMSG: {
                CMsg* pSub = nullptr;
                CMsgArray subs;
                if (!bArray && p_Msg.GetValue(iTag, &pSub) == 0 && pSub && HasUnstableValue(*pSub, p_Dic))
                    return true;
                if (bArray && p_Msg.GetValue(iTag, &subs) == 0) {
                    for (int k = 0; k < subs.GetSize(); ++k) {
                        if (subs.GetAt(k) && HasUnstableValue(*subs.GetAt(k), p_Dic))
                            return true;
                    }
                }
                break;
            }
            default: break;
        }
    }
    return false;
}

bool SameText(const CStream& p_A, const CStream& p_B) {
    return p_A.GetSize() == p_B.GetSize() &&
           (p_A.GetSize() == 0 || std::memcmp(p_A.GetData(), p_B.GetData(), static_cast<size_t>(p_A.GetSize())) == 0);
}

void CheckRoundTrip(CMsg& p_Msg, CMsgDic& p_Dic) {
    CStream canonical;
    FUZZ_CHECK(p_Msg.ToXml(&canonical, false, false, 1) == 0);
    if (!IsWritable(canonical) || HasUnstableValue(p_Msg, p_Dic))
        return;
    struct Form {
        bool m_bArrayItemTag;
        bool m_bByName;
    };
    static const Form kForms[] = {{false, false}, {true, false}, {false, true}};
    // One message takes every form in turn, so loading also replaces a
    // filled tree.
    CMsg again(0, 0, 0, &p_Dic);
    for (const Form& form : kForms) {
        CStream written;
        FUZZ_CHECK(p_Msg.ToXml(&written, form.m_bArrayItemTag, form.m_bByName, 1) == 0);
        try {
            FUZZ_CHECK(again.LoadXml(written.GetData()) == 0);
        } catch (const CException& e) {
            std::fprintf(stderr, "written form does not load: %d %s\n%s\n", e.GetCode(), e.GetText(),
                         written.GetData());
            FUZZ_CHECK(!"a written message loads");
        }
        CStream rewritten;
        FUZZ_CHECK(again.ToXml(&rewritten, false, false, 1) == 0);
        if (!SameText(canonical, rewritten))
            std::fprintf(stderr, "round trip differs:\n%s\n%s\n", canonical.GetData(), rewritten.GetData());
        FUZZ_CHECK(SameText(canonical, rewritten));
    }
}

}  // namespace

int FuzzMsgXml(const uint8_t* p_pData, size_t p_nSize) {
    if (p_nSize > kMaxInput)
        return 0;
    CMsgDic& dic = ExampleDictionary();
    // The reader takes zero-terminated text: it ends at the first zero byte.
    const std::string text(reinterpret_cast<const char*>(p_pData), p_nSize);

    CMsg msg(0, 0, 0, &dic);
    bool bLoaded = false;
    try {
        FUZZ_CHECK(msg.LoadXml(text.c_str()) == 0);
        bLoaded = true;
    } catch (const CException& e) {
        FUZZ_CHECK(IsReaderCode(e.GetCode()));
        FUZZ_CHECK(e.GetText()[0] != '\0');
    }
    // Whatever was stored before a failure is a message like any other.
    CStream dump;
    msg.Dump(&dump, false, 1);
    msg.Dump(&dump, true, 1);
    msg.DumpXml(&dump, true, 1);
    if (bLoaded)
        CheckRoundTrip(msg, dic);
    return 0;
}

VORANT_FUZZ_ENTRY(FuzzMsgXml)
