// The message XML reader: the lenient forms it accepts, the error codes and
// texts it raises, and hostile documents.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "msg_test_support.h"

namespace {

using msgtest::Outcome;
using msgtest::Xml;

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        msgtest::DefineExample(m_Dic);
        msgtest::DefineAllTypes(m_Dic, 50, false);
    }

    // "<code>|<text>" of the exception LoadXml raises for p_szXml.
    std::string LoadError(const std::string& p_Xml) {
        CMsg msg(0, 0, 0, &m_Dic);
        return Outcome([&] { msg.LoadXml(p_Xml.c_str()); });
    }

    CMsgDic m_Dic;
};

TEST_F(ReaderTest, LenientForms) {
    CMsg msg(0, 0, 0, &m_Dic);
    ASSERT_EQ(msg.LoadXml("<?xml version='1.0'?>\n<msg no='50' type='index' ver='2.1'>\n"
                          "  <t1>  A-17\n</t1>\n  <a2>4</a2> <t2>5</t2>\n"
                          "  <t3>-1.5e3</t3><t4>TRUE</t4><t5>20240131</t5>\n"
                          "  <a11>x</a11><t11> </t11><t11>y</t11><a12>1</a12><t12>2</t12><t12>3</t12>\n"
                          "  <t6><t1>first</t1><t2>1</t2></t6><t6><t2>2</t2></t6>\n"
                          "</msg>\n"),
              0);
    EXPECT_EQ(msg.GetMsgNum(), 50);
    EXPECT_STREQ(msg.GetVer(), "2.1");
    CString s;
    EXPECT_EQ(msg.GetValue(1, &s), 0);
    EXPECT_STREQ(s.ToStr(), "A-17");
    int i = 0;
    EXPECT_EQ(msg.GetValue(2, &i), 0);
    EXPECT_EQ(i, 4);  // a scalar keeps its first value
    double d = 0;
    EXPECT_EQ(msg.GetValue(3, &d), 0);
    EXPECT_EQ(d, -1500.0);
    bool b = true;
    EXPECT_EQ(msg.GetValue(4, &b), 0);
    EXPECT_FALSE(b);
    EXPECT_EQ(msg.GetArrSize(11), 2);  // the blank item is no item
    EXPECT_EQ(msg.GetArrSize(12), 3);
    // A repeated single sub-message holds what its last element held.
    CMsg* pSub = msg.GetValue(6);
    ASSERT_NE(pSub, nullptr);
    EXPECT_EQ(pSub->GetValue(1, &s), -1);
    EXPECT_EQ(pSub->GetValue(2, &i), 0);
    EXPECT_EQ(i, 2);
    EXPECT_EQ(pSub->GetParentMsg(), &msg);
    EXPECT_EQ(pSub->GetMsgNum(), 50);
    EXPECT_TRUE(msg.IsEmpty());

    // Any type but 'name' reads by number, and a number may have leading zeros or a suffix.
    for (const char* form : {"index'><t2>8</t2>", "NAME'><t02>8</t02>", "x'><t2x>8</t2x>"}) {
        std::string xml = std::string("<msg no='50' type='") + form + "</msg>";
        ASSERT_EQ(msg.LoadXml(xml.c_str()), 0) << form;
        EXPECT_EQ(msg.GetValue(2, &i), 0);
        EXPECT_EQ(i, 8) << form;
    }
}

TEST_F(ReaderTest, TextRunsAreJoinedBeforeTrimming) {
    CMsg msg(0, 0, 0, &m_Dic);
    ASSERT_EQ(msg.LoadXml("<msg no='50'><t1><![CDATA[ a]]]]><![CDATA[>b ]]></t1>"
                          "<t11>x&amp;y&#13;</t11><t11><![CDATA[p]]>&lt;<![CDATA[q]]></t11></msg>"),
              0);
    CString s;
    msg.GetValue(1, &s);
    EXPECT_STREQ(s.ToStr(), "a]]>b");
    EXPECT_EQ(msg.GetArrSize(11), 2);
    msg.GetValueAt(11, 0, &s);
    EXPECT_STREQ(s.ToStr(), "x&y\r");  // a carriage return is not trimmed
    msg.GetValueAt(11, 1, &s);
    EXPECT_STREQ(s.ToStr(), "p<q");
}

TEST_F(ReaderTest, NullAndBrokenInput) {
    CMsg msg(50, 0, 0, &m_Dic);
    msg.SetValue(2, 1);
    EXPECT_EQ(msg.LoadXml(nullptr), -12);
    EXPECT_STREQ(msg.GetLastError(), "");
    int i = 0;
    EXPECT_EQ(msg.GetValue(2, &i), 0);

    for (const char* xml : {"", "not xml", "<msg no='50'>", "<msg no='50'></msh>"}) {
        std::string text = LoadError(xml);
        EXPECT_EQ(text.rfind("-21|Handler error : [F]MemData (L:", 0), 0u) << text;
    }
    // The parser's message follows the position after one blank, no colon.
    std::string text = LoadError("<msg no='50'>\n<t1>x</t2></msg>");
    const std::string head = "-21|Handler error : [F]MemData (L:2, C:";
    ASSERT_EQ(text.compare(0, head.size(), head), 0) << text;
    size_t iEnd = text.find(") ", head.size());
    ASSERT_NE(iEnd, std::string::npos) << text;
    EXPECT_EQ(text.find_first_not_of("0123456789", head.size()), iEnd) << text;
    ASSERT_GT(text.size(), iEnd + 2) << text;
    EXPECT_NE(text[iEnd + 2], ':') << text;
    EXPECT_NE(text[iEnd + 2], ' ') << text;
}

TEST_F(ReaderTest, ContentErrors) {
    const char* const cases[][2] = {
        {"<msg no='5' ver=''/>", "-21|Handler error : Unknown msgno(5)"},
        {"<msg/>", "-21|Handler error : Unknown msgno(0)"},
        {"<msg no='10000'/>", "-21|Handler error : Unknown msgno(10000)"},
        {"<message no='50'/>", "-21|Handler error : Unknown root element(message)"},
        {"<msg no='50'><x7>1</x7></msg>", "-21|Handler error : Unknown start tagnum(x7)"},
        {"<msg no='50'><T2>1</T2></msg>", "-21|Handler error : Unknown start tagnum(T2)"},
        {"<msg no='50'><t99>1</t99></msg>", "-21|Handler error : Unknown start tag element(t99, 99)"},
        {"<msg no='50'><t/></msg>", "-21|Handler error : Unknown start tag element(t, 0)"},
        {"<msg no='50'><t-1/></msg>", "-21|Handler error : Unknown start tag element(t-1, -1)"},
        {"<msg no='50'><t99999999999/></msg>",
         "-21|Handler error : Unknown start tag element(t99999999999, 2147483647)"},
        {"<msg no='50' type='name'><nope/></msg>", "-21|Handler error : Unknown start tagname(nope)"},
        {"<msg no='50'><t2><t1>x</t1></t2></msg>", "0|Handler error : CPtrArray::GetAt : Invalid Index(0:1)"},
        {"<msg no='50'>junk<t2>1</t2></msg>", "-18|Handler error : tagnum=0"},
        {"<msg no='50'><t6>text</t6></msg>", "-18|Handler error : tagnum=6"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadError(c[0]), c[1]) << c[0];
}

TEST_F(ReaderTest, AFailureKeepsWhatWasReadBeforeIt) {
    CMsg msg(2001, 0, 0, &m_Dic);
    msg.SetValue(1, "old");
    EXPECT_EQ(Outcome([&] { msg.LoadXml("<msg no='50' ver='v'><t2>7</t2><t99/></msg>"); }),
              "-21|Handler error : Unknown start tag element(t99, 99)");
    EXPECT_EQ(msg.GetMsgNum(), 50);
    EXPECT_STREQ(msg.GetVer(), "v");
    int i = 0;
    EXPECT_EQ(msg.GetValue(2, &i), 0);
    EXPECT_EQ(i, 7);
}

TEST_F(ReaderTest, HostileDocuments) {
    // Any DOCTYPE is refused before its content is read: no external entity or
    // DTD is fetched, and entities and attribute defaults cannot let a small
    // answer grow without bound.
    std::string bomb = "<!DOCTYPE msg [<!ENTITY a0 'xxxxxxxxxx'>";
    for (int k = 1; k < 10; ++k) {
        bomb += "<!ENTITY a" + std::to_string(k) + " '";
        for (int n = 0; n < 10; ++n)
            bomb += "&a" + std::to_string(k - 1) + ";";
        bomb += "'>";
    }
    bomb += "]><msg no='50'><t1>&a9;</t1></msg>";
    for (const std::string& xml :
         {std::string("<!DOCTYPE msg [<!ENTITY x SYSTEM 'file:///etc/hostname'>]><msg no='50'><t1>&x;</t1></msg>"),
          std::string("<!DOCTYPE msg SYSTEM 'http://127.0.0.1:1/x.dtd'><msg no='50'><t2>1</t2></msg>"),
          std::string("<!DOCTYPE msg [<!ATTLIST t2 x CDATA 'yyyyyyyy'>]><msg no='50'><t2>1</t2></msg>"), bomb}) {
        EXPECT_EQ(LoadError(xml), "-21|Handler error : Document type declaration not allowed") << xml;
    }

    // Names longer than 127 characters and runaway nesting are refused.
    CMsg msg(0, 0, 0, &m_Dic);
    std::string text, longName = "t" + std::string(125, '0') + "1";  // 127 characters, tag 1
    EXPECT_EQ(msg.LoadXml(("<msg no='50'><" + longName + ">5</" + longName + "></msg>").c_str()), 0);
    longName.insert(1, "0");
    text = LoadError("<msg no='50'><" + longName + ">5</" + longName + "></msg>");
    EXPECT_EQ(text.rfind("-21|Handler error : Element name too long(", 0), 0u) << text;

    std::string deep = "<msg no='50'>";
    for (int k = 0; k < 300; ++k)
        deep += "<t9>";
    EXPECT_EQ(LoadError(deep), "-21|Handler error : Too deep element nesting(257)");

    // A version longer than a message holds is cut.
    EXPECT_EQ(msg.LoadXml("<msg no='50' ver='0123456789abcdefghij'/>"), 0);
    EXPECT_STREQ(msg.GetVer(), "0123456789abcdef");
}

TEST_F(ReaderTest, ParsedDataAndSubMessageEntries) {
    CMsg undefined(0, 0, 0, &m_Dic);
    EXPECT_EQ(Outcome([&] { undefined.SetParsedData(1, CString("x")); }), "-19|msgnum=0");
    EXPECT_EQ(Outcome([&] { undefined.MakeSubMsgEntry(6); }), "-19|tagnum=6,submsgnum=0");
    CMsg msg(50, 0, 0, &m_Dic);
    EXPECT_EQ(Outcome([&] { msg.SetParsedData(99, CString("x")); }), "-18|tagnum=99");
    EXPECT_EQ(Outcome([&] { msg.SetParsedData(6, CString("x")); }), "-17|tagnum=6,type=6");
    EXPECT_EQ(Outcome([&] { msg.MakeSubMsgEntry(2); }), "-17|tagnum=2,type=2");

    msg.SetParsedData(2, CString("12abc"));
    msg.SetParsedData(2, CString("13"));
    msg.SetParsedData(3, CString("2.5e-1"));
    msg.SetParsedData(5, CString("2024"));
    int i = 0;
    msg.GetValue(2, &i);
    EXPECT_EQ(i, 12);
    double d = 0;
    msg.GetValue(3, &d);
    EXPECT_EQ(d, 0.25);
    CDate dt;
    msg.GetValue(5, &dt);
    EXPECT_STREQ(dt.ToStr(), "2024");
    CMsg* pSub = msg.MakeSubMsgEntry(6);
    EXPECT_EQ(pSub->GetSelfNum(), 2001);
    EXPECT_EQ(pSub->GetSelfTagNum(), 6);
    EXPECT_EQ(pSub->GetParentMsg(), &msg);
    EXPECT_EQ(msg.MakeSubMsgEntry(6), pSub);  // a single tag resets its one sub-message
    EXPECT_TRUE(msg.IsEmpty());
}

TEST_F(ReaderTest, ThreadsParseIndependently) {
    std::unique_ptr<CMsg> pExample(msgtest::BuildExample(m_Dic));
    const std::string xml = Xml(*pExample, false, false);
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 0; n < 200; ++n) {
                CMsg msg(0, 0, 0, &m_Dic);
                try {
                    msg.LoadXml(xml.c_str());
                    if (Xml(msg, false, false) != xml)
                        ++failures[t];
                    msg.LoadXml("<msg no='1001'><t99/></msg>");
                    ++failures[t];
                } catch (const CException&) {
                }
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(failures[t], 0) << t;
}

}  // namespace
