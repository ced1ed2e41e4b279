// Shared by the message tests: dictionaries built in memory, the worked
// example message, and stream and exception helpers.
#ifndef VORANT_TESTS_MSG_MSG_TEST_SUPPORT_H
#define VORANT_TESTS_MSG_MSG_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "vorant/exception.hpp"
#include "vorant/msg.hpp"
#include "vorant/msg_dic.hpp"
#include "vorant/stream.hpp"

namespace msgtest {

struct TagDef {
    int m_iNo;
    const char* m_szName;
    const char* m_szType;  // "string", "integer", ..., "m<number>"
    bool m_bArray;
};

inline void DefineMsg(CMsgDic& p_Dic, int p_iNo, int p_iHash, std::initializer_list<TagDef> p_Tags) {
    p_Dic.SetMsgInfo(p_iNo, CString("M"), CString(""), CFormat("%d", p_iHash));
    for (const TagDef& t : p_Tags)
        p_Dic.SetMsgDetail(p_iNo, t.m_iNo, CString(t.m_szName), CString(t.m_szType), CString(t.m_bArray ? "Y" : "N"));
}

// Message 1001 and its line message 2001.
inline void DefineExample(CMsgDic& p_Dic) {
    DefineMsg(p_Dic, 1001, 0,
              {{1, "acct", "string", false},
               {2, "qty", "integer", false},
               {3, "price", "double", false},
               {4, "urgent", "bool", false},
               {5, "due", "date", false},
               {6, "lines", "m2001", true},
               {7, "memo", "string", true}});
    DefineMsg(p_Dic, 2001, 0, {{1, "code", "string", false}, {2, "count", "integer", false}});
}

// Message p_iNo with a single and an array tag of every type: 1 to 6 and 11
// to 16 (string, integer, double, bool, date, sub-message 2001), and 9 a
// sub-message of its own kind; tag 0 (integer) only with p_bTagZero.
inline void DefineAllTypes(CMsgDic& p_Dic, int p_iNo, bool p_bTagZero) {
    std::string self = "m" + std::to_string(p_iNo);
    DefineMsg(p_Dic, p_iNo, 0,
              {{1, "s", "string", false},
               {2, "i", "integer", false},
               {3, "d", "double", false},
               {4, "b", "bool", false},
               {5, "dt", "date", false},
               {6, "m", "m2001", false},
               {9, "deep", self.c_str(), false},
               {11, "sa", "string", true},
               {12, "ia", "integer", true},
               {13, "da", "double", true},
               {14, "ba", "bool", true},
               {15, "dta", "date", true},
               {16, "ma", "m2001", true}});
    if (p_bTagZero)
        p_Dic.SetMsgDetail(p_iNo, 0, CString("zero"), CString("integer"), CString("N"));
}

// acct 'A-17', qty 5, price 1.25, urgent, due 20240131, two lines and two memos.
inline CMsg* BuildExample(CMsgDic& p_Dic) {
    CMsg* pMsg = new CMsg(1001, 0, 0, &p_Dic);
    pMsg->SetValue(1, "A-17");
    pMsg->SetValue(2, 5);
    pMsg->SetValue(3, 1.25);
    pMsg->SetValue(4, true);
    pMsg->SetValue(5, CDate(20240131));
    CMsg* pLine = new CMsg(2001, 0, 0, &p_Dic);
    pLine->SetValue(1, "X1");
    pLine->SetValue(2, 2);
    pMsg->SetValue(6, pLine);
    pLine = new CMsg(2001, 0, 0, &p_Dic);
    pLine->SetValue(1, "X2");
    pMsg->SetValue(6, pLine);
    pMsg->SetValue(7, "a");
    pMsg->SetValue(7, "b");
    return pMsg;
}

inline std::string Text(const CStream& p_Stream) {
    return p_Stream.GetData() ? std::string(p_Stream.GetData(), static_cast<size_t>(p_Stream.GetSize()))
                              : std::string();
}

inline std::string Xml(CMsg& p_Msg, bool p_bArrayItemTag, bool p_bByName) {
    CStream out;
    p_Msg.ToXml(&out, p_bArrayItemTag, p_bByName, 1);
    return Text(out);
}

inline std::string DumpOf(const CMsgDic& p_Dic) {
    CStream out;
    p_Dic.Dump(&out);
    return Text(out);
}

// "<code>|<text>" of the CException a call raises, "ok" when it returns.
template <class F>
std::string Outcome(F p_Call) {
    try {
        p_Call();
    } catch (const CException& e) {
        return std::to_string(e.GetCode()) + "|" + e.GetText();
    }
    return "ok";
}

}  // namespace msgtest

#endif  // VORANT_TESTS_MSG_MSG_TEST_SUPPORT_H
