// Typed access: the order of the checks, the codes and the recorded texts,
// and what each overload reads and stores.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "msg_test_support.h"

namespace {

std::string Err(int p_iCode, const char* p_szDetail) {
    return std::string(CFormat("MSG_Error(%d) : %s {%s}", p_iCode, MA_GetErrorStr(p_iCode), p_szDetail).ToStr());
}

class AccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        msgtest::DefineExample(m_Dic);
        msgtest::DefineAllTypes(m_Dic, 40, true);
    }

    CMsg* Line(const char* p_szCode) {
        CMsg* pLine = new CMsg(2001, 0, 0, &m_Dic);
        pLine->SetValue(1, p_szCode);
        return pLine;
    }

    CMsgDic m_Dic;
};

TEST_F(AccessTest, CheckOrderAndDetails) {
    // Absent values are ignored before any check.
    CMsg undefined(0, 0, 0, &m_Dic);
    EXPECT_EQ(undefined.SetValue(99, static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(undefined.SetValue(99, ""), 0);
    EXPECT_EQ(undefined.SetValue(99, CString()), 0);
    EXPECT_EQ(undefined.SetValue(99, CInt()), 0);
    EXPECT_EQ(undefined.SetValue(99, CDbl()), 0);
    EXPECT_EQ(undefined.SetValue(99, CBool()), 0);
    EXPECT_EQ(undefined.SetValue(99, CDate()), 0);
    EXPECT_STREQ(undefined.GetLastError(), "");
    // By name the missing definition is reported first.
    EXPECT_EQ(undefined.SetValue("s", ""), -19);
    EXPECT_EQ(undefined.GetLastError(), Err(-19, "msgnum=0"));
    CMsg msg(40, 0, 0, &m_Dic);
    EXPECT_EQ(msg.SetValue(11, ""), 0);
    EXPECT_EQ(msg.GetArrSize(11), -1);
    EXPECT_TRUE(msg.IsEmpty());

    int i = 7;
    EXPECT_EQ(msg.GetValue(2, static_cast<int*>(nullptr)), -12);
    EXPECT_EQ(msg.GetLastError(), Err(-12, ""));
    EXPECT_EQ(msg.SetValue(2, static_cast<CMsg*>(nullptr)), -12);
    EXPECT_EQ(msg.SetValue(-1, 5), -18);
    EXPECT_EQ(msg.GetLastError(), Err(-18, "msgnum=40, tagnum=-1"));
    EXPECT_EQ(msg.SetValue(99, 5), -18);
    // An unknown name is tag -1, checked after an absent value and a null output.
    EXPECT_EQ(msg.SetValue("nope", 1), -18);
    EXPECT_EQ(msg.GetLastError(), Err(-18, "msgnum=40, tagnum=-1"));
    EXPECT_EQ(msg.SetValue(static_cast<const char*>(nullptr), 1), -18);
    EXPECT_EQ(msg.SetValue("nope", ""), 0);
    EXPECT_EQ(msg.GetValue("nope", static_cast<int*>(nullptr)), -12);
    CIntArray out;
    out.Add(1);
    EXPECT_EQ(msg.GetValue("nope", &out), -18);
    EXPECT_EQ(out.GetSize(), 0);  // emptied before the checks
    EXPECT_EQ(msg.GetValue("nope"), nullptr);
    // Type mismatches (their texts: TypeMismatchLinesOfEveryMember).
    std::unique_ptr<CMsg> pRefused(Line("a"));
    EXPECT_EQ(msg.SetValue(2, pRefused.get()), -17);  // not stored: still the caller's
    EXPECT_EQ(pRefused->GetParentMsg(), nullptr);

    // Reading: never-set gives -1 before any type check; a set tag of another type -17.
    EXPECT_EQ(msg.GetValue(1, &i), -1);
    EXPECT_EQ(i, 0);
    EXPECT_EQ(msg.GetLastError(), Err(-1, "tagnum=1"));
    msg.SetValue(1, "text");
    CInt ci(3);
    EXPECT_EQ(msg.GetValue(1, &ci), -17);
    EXPECT_FALSE(ci.IsValid());
    CString s("keep");
    EXPECT_EQ(msg.GetValueAt(2, 0, &s), -1);
    EXPECT_STREQ(s.ToStr(), "keep");  // string outputs are not reset
    EXPECT_EQ(msg.GetArrSize(-3), -18);
    EXPECT_EQ(msg.GetLastError(), Err(-18, "msgnum=40, tagnum=-3"));

    // A success leaves the last error as it was.
    EXPECT_EQ(msg.SetValue(2, 5), 0);
    EXPECT_EQ(msg.GetLastError(), Err(-18, "msgnum=40, tagnum=-3"));
    EXPECT_EQ(msg.GetLastErrorCode(), -18);
    EXPECT_FALSE(msg.IsEmpty());
}

// Every typed member prints its own fixed Line in the -17 detail, with the
// found type before the wanted one; by name it forwards to the same member.
TEST_F(AccessTest, TypeMismatchLinesOfEveryMember) {
    using ByNum = std::function<int(CMsg&, int)>;
    using ByName = std::function<int(CMsg&, const char*)>;
    struct Case {
        int m_iLine;
        const char* m_szWanted;  // the member's type; the tag used has another
        ByNum m_ByNum;
        ByName m_ByName;  // null where no by-name form exists
    };
#define BOTH(decl, call)              \
    [&](CMsg& m, int K) {             \
        decl;                         \
        return call;                  \
    },                                \
        [&](CMsg& m, const char* K) { \
            decl;                     \
            return call;              \
        }
#define NUM_ONLY(decl, call) \
    [&](CMsg& m, int K) {    \
        decl;                \
        return call;         \
    },                       \
        nullptr
    const Case cases[] = {
        {699, "string", BOTH(CString o, m.GetValue(K, &o))},
        {740, "integer", BOTH(int o, m.GetValue(K, &o))},
        {777, "double", BOTH(double o, m.GetValue(K, &o))},
        {814, "bool", BOTH(bool o, m.GetValue(K, &o))},
        {850, "date", BOTH(CDate o, m.GetValue(K, &o))},
        {891, "submsg", BOTH(CMsg * o, m.GetValue(K, &o))},
        {891, "submsg", BOTH((void)m.GetValue(K), m.GetLastErrorCode())},
        {943, "string", BOTH(CStrArray o, m.GetValue(K, &o))},
        {983, "integer", BOTH(CIntArray o, m.GetValue(K, &o))},
        {1023, "double", BOTH(CDblArray o, m.GetValue(K, &o))},
        {1063, "bool", BOTH(CBoolArray o, m.GetValue(K, &o))},
        {1103, "date", BOTH(CDateArray o, m.GetValue(K, &o))},
        {1144, "submsg", BOTH(CMsgArray o, m.GetValue(K, &o))},
        {1178, "string", BOTH((void)0, m.SetValue(K, "x"))},
        {1178, "string", BOTH(CString o("x"), m.SetValue(K, o))},
        {1233, "integer", BOTH((void)0, m.SetValue(K, 5))},
        {1280, "double", BOTH((void)0, m.SetValue(K, 1.5))},
        {1327, "bool", BOTH((void)0, m.SetValue(K, true))},
        {1378, "date", BOTH((void)0, m.SetValue(K, CDate(20240101)))},
        {1441, "submsg", BOTH(std::unique_ptr<CMsg> o(Line("a")), m.SetValue(K, o.get()))},
        {1987, "integer", BOTH(CInt o, m.GetValue(K, &o))},
        {2024, "double", BOTH(CDbl o, m.GetValue(K, &o))},
        {2061, "bool", BOTH(CBool o, m.GetValue(K, &o))},
        {2114, "integer", BOTH((void)0, m.SetValue(K, CInt(1)))},
        {2165, "double", BOTH((void)0, m.SetValue(K, CDbl(1.0)))},
        {2216, "bool", BOTH((void)0, m.SetValue(K, CBool(true)))},
        {2355, "string", NUM_ONLY(CString o, m.GetValueAt(K, 0, &o))},
        {2393, "integer", NUM_ONLY(int o, m.GetValueAt(K, 0, &o))},
        {2431, "double", NUM_ONLY(double o, m.GetValueAt(K, 0, &o))},
        {2469, "bool", NUM_ONLY(bool o, m.GetValueAt(K, 0, &o))},
        {2506, "date", NUM_ONLY(CDate o, m.GetValueAt(K, 0, &o))},
        {2544, "submsg", NUM_ONLY(CMsg * o, m.GetValueAt(K, 0, &o))},
    };
#undef BOTH
#undef NUM_ONLY
    for (const Case& c : cases) {
        // Tag 1 holds a string, tag 2 an integer: string members go to tag 2.
        bool bString = std::string(c.m_szWanted) == "string";
        int iTag = bString ? 2 : 1;
        std::string detail = std::string("Line:") + std::to_string(c.m_iLine) + ", tagnum=" + std::to_string(iTag) +
                             ",type=(" + (bString ? "integer" : "string") + "/" + c.m_szWanted + ")";
        CMsg msg(40, 0, 0, &m_Dic);
        msg.SetValue(1, "held");
        msg.SetValue(2, 7);
        EXPECT_EQ(c.m_ByNum(msg, iTag), -17) << detail;
        EXPECT_EQ(msg.GetLastError(), Err(-17, detail.c_str()));
        if (!c.m_ByName)
            continue;
        CMsg named(40, 0, 0, &m_Dic);
        named.SetValue(1, "held");
        named.SetValue(2, 7);
        EXPECT_EQ(c.m_ByName(named, bString ? "i" : "s"), -17) << detail;
        EXPECT_EQ(named.GetLastError(), Err(-17, detail.c_str()));
    }
}

TEST_F(AccessTest, SingleAndArrayTags) {
    CMsg msg(40, 0, 0, &m_Dic);
    EXPECT_EQ(msg.SetValue(1, "first"), 0);
    EXPECT_EQ(msg.SetValue(1, CString("second")), 0);
    EXPECT_EQ(msg.SetValue(2, 1), 0);
    EXPECT_EQ(msg.SetValue(2, CInt(2)), 0);
    EXPECT_EQ(msg.SetValue(3, 2.5), 0);
    EXPECT_EQ(msg.SetValue(4, CBool(true)), 0);
    EXPECT_EQ(msg.SetValue(5, CDate("20240229xyz")), 0);
    EXPECT_EQ(msg.SetValue(0, 77), 0);

    CString s;
    EXPECT_EQ(msg.GetValue(1, &s), 0);
    EXPECT_STREQ(s.ToStr(), "second");  // a later text replaces the first
    int i = 0;
    EXPECT_EQ(msg.GetValue(2, &i), 0);
    EXPECT_EQ(i, 2);
    EXPECT_EQ(msg.GetValueAt(2, 99, &i), 0);  // a single value whatever the index
    CDbl d;
    EXPECT_EQ(msg.GetValue(3, &d), 0);
    EXPECT_TRUE(d.IsValid());
    EXPECT_EQ(d.ToDbl(), 2.5);
    bool b = false;
    EXPECT_EQ(msg.GetValue(4, &b), 0);
    EXPECT_TRUE(b);
    CDate dt;
    EXPECT_EQ(msg.GetValue(5, &dt), 0);
    EXPECT_STREQ(dt.ToStr(), "20240229");
    EXPECT_EQ(msg.GetValue(0, &i), 0);
    EXPECT_EQ(i, 77);
    EXPECT_EQ(msg.GetArrSize(2), 1);

    CIntArray all;
    all.Add(42);
    EXPECT_EQ(msg.GetValue(2, &all), 0);
    ASSERT_EQ(all.GetSize(), 1);
    EXPECT_EQ(all.GetAt(0), 2);
    CStrArray one;
    EXPECT_EQ(msg.GetValue(1, &one), 0);
    ASSERT_EQ(one.GetSize(), 1);
    EXPECT_STREQ(one.GetAt(0), "second");

    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(msg.SetValue(12, 5 + k), 0);
    msg.SetValue(11, "a");
    msg.SetValue(11, "b");
    msg.SetValue(13, 0.5);
    msg.SetValue(14, false);
    msg.SetValue(14, true);
    msg.SetValue(15, CDate(20240131));

    EXPECT_EQ(msg.GetArrSize(12), 3);
    EXPECT_EQ(msg.GetValue(12, &i), 0);
    EXPECT_EQ(i, 5);  // the first element
    EXPECT_EQ(msg.GetValueAt(12, 2, &i), 0);
    EXPECT_EQ(i, 7);
    EXPECT_EQ(msg.GetValueAt(12, 3, &i), -27);
    EXPECT_EQ(msg.GetLastError(), Err(-1, "tagnum=12"));
    EXPECT_EQ(msg.GetValueAt(12, -1, &i), -27);

    EXPECT_EQ(msg.GetValueAt(11, 1, &s), 0);
    EXPECT_STREQ(s.ToStr(), "b");
    CStrArray texts;
    EXPECT_EQ(msg.GetValue("sa", &texts), 0);
    EXPECT_STREQ(texts.Join(",").ToStr(), "a,b");
    CBoolArray flags;
    EXPECT_EQ(msg.GetValue(14, &flags), 0);
    EXPECT_STREQ(flags.Repr(",", false).ToStr(), "N,Y");
    CDblArray dbls;
    EXPECT_EQ(msg.GetValue(13, &dbls), 0);
    EXPECT_EQ(dbls.GetAt(0), 0.5);
    CDateArray dates;
    EXPECT_EQ(msg.GetValue(15, &dates), 0);
    EXPECT_STREQ(dates.GetAt(0).ToStr(), "20240131");
    b = true;
    EXPECT_EQ(msg.GetValueAt(14, 0, &b), 0);
    EXPECT_FALSE(b);
}

TEST_F(AccessTest, SubMessages) {
    CMsg msg(40, 0, 0, &m_Dic);
    CMsg* pOne = Line("one");
    EXPECT_EQ(msg.SetValue(6, pOne), 0);
    EXPECT_EQ(msg.GetValue(6), pOne);
    EXPECT_EQ(pOne->GetMsgNum(), 40);
    EXPECT_EQ(msg.SetValue(16, Line("x")), 0);
    EXPECT_EQ(msg.SetValue(16, Line("y")), 0);

    CMsg* pGot = nullptr;
    EXPECT_EQ(msg.GetValueAt(16, 1, &pGot), 0);
    CString s;
    pGot->GetValue(1, &s);
    EXPECT_STREQ(s.ToStr(), "y");
    EXPECT_EQ(msg.GetValueAt(16, 2, &pGot), -27);
    EXPECT_EQ(pGot, nullptr);

    {
        CMsgArray view(true);
        EXPECT_EQ(msg.GetValue(16, &view), 0);
        EXPECT_FALSE(view.GetAdoptFlag());
        EXPECT_EQ(view.GetSize(), 2);
        CMsgArray single(true);
        EXPECT_EQ(msg.GetValue("m", &single), 0);
        EXPECT_EQ(single.GetSize(), 1);
        EXPECT_EQ(single.GetAt(0), pOne);
    }  // the views are gone; the messages are still the parent's
    EXPECT_EQ(msg.GetValue("ma"), msg.GetValue(16));
    EXPECT_EQ(msg.GetValue(16)->GetParentMsg(), &msg);
}

TEST_F(AccessTest, ASubMessageOfAReadTreeCannotBeMoved) {
    CMsg msg(0, 0, 0, &m_Dic);
    ASSERT_EQ(msg.LoadXml("<msg no='40'><t2>3</t2><t6><t1>c</t1></t6></msg>"), 0);
    CMsg* pSub = msg.GetValue(6);
    ASSERT_NE(pSub, nullptr);
    EXPECT_TRUE(pSub->IsEmpty());  // values read from XML keep the empty flag
    CMsg other(40, 0, 0, &m_Dic);
    EXPECT_EQ(other.SetValue(6, pSub), -28);
    EXPECT_EQ(msg.GetValue(6), pSub);
}

}  // namespace
