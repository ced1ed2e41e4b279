// Message XML read from a pull source: the same message, codes and texts as
// LoadXml of the same text, whatever pieces the source hands over; and a
// parsed tree that is edited and then freed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "msg/msg_xml_source.h"
#include "msg_test_support.h"

namespace {

using msgtest::Outcome;
using msgtest::Xml;

// Hands the text over in pieces of at most p_nPiece bytes.
class CPieceSource : public CMsgXmlSource {
public:
    CPieceSource(const std::string& p_strText, size_t p_nPiece) : m_strText(p_strText), m_nPiece(p_nPiece) {}
    size_t Read(char* p_pBuffer, size_t p_nMax) override {
        const size_t n = std::min({p_nMax, m_nPiece, m_strText.size() - m_nAt});
        std::memcpy(p_pBuffer, m_strText.data() + m_nAt, n);
        m_nAt += n;
        return n;
    }
    size_t Taken() const { return m_nAt; }

private:
    std::string m_strText;
    size_t m_nPiece;
    size_t m_nAt = 0;
};

class SourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        msgtest::DefineExample(m_Dic);
        msgtest::DefineAllTypes(m_Dic, 50, false);
    }

    // "<outcome> <numbered XML>" of LoadXml, and of LoadMsgXml in pieces.
    std::string ByText(const std::string& p_strXml) {
        CMsg msg(0, 0, 0, &m_Dic);
        const std::string strOutcome = Outcome([&] { msg.LoadXml(p_strXml.c_str()); });
        return strOutcome + " " + Xml(msg, false, false);
    }
    std::string BySource(const std::string& p_strXml, size_t p_nPiece) {
        CMsg msg(0, 0, 0, &m_Dic);
        CPieceSource source(p_strXml, p_nPiece);
        const std::string strOutcome = Outcome([&] { LoadMsgXml(&msg, source); });
        return strOutcome + " " + Xml(msg, false, false);
    }

    CMsgDic m_Dic;
};

TEST_F(SourceTest, SameResultAsTheTextInAnyPieces) {
    const std::string strLong(200000, 'q');
    const std::vector<std::string> documents = {
        "<?xml version='1.0'?><msg no='50' ver='2.1'><t1> A </t1><t2>4</t2><t3>1.5</t3><t4>true</t4>"
        "<t5>20240131</t5><t6><t1>x</t1></t6><a11>a</a11><a11>b</a11><t16><t2>7</t2></t16></msg>",
        "<msg no='1001' type='name'><acct>N</acct><lines><code>c</code></lines></msg>",
        // One text across many parser reads, split CDATA sections included.
        "<msg no='50'><t1><![CDATA[" + strLong + "]]>" + strLong + "<![CDATA[]]]]><![CDATA[>]]></t1></msg>",
        // Failures: empty, cut short, malformed, unknown tags, a DTD.
        "",
        "<msg no='50'><t1>cut",
        "<msg no='50'><t2>1</t3></msg>",
        "<msg no='77'/>",
        "<msg no='50'><t2>1</t2><x9>2</x9></msg>",
        "<!DOCTYPE msg [<!ENTITY e 'x'>]><msg no='50'/>",
        // The document ends at its first zero byte, as a text does.
        std::string("<msg no='50'><t2>3</t2></msg>\0garbage", 37),
        std::string("<msg no='50'><t2>3</t2>\0</msg>", 30),
    };
    for (const std::string& strXml : documents) {
        const std::string strExpected = ByText(strXml);
        for (size_t nPiece : {size_t(1), size_t(7), size_t(4096), size_t(1) << 20})
            EXPECT_EQ(BySource(strXml, nPiece), strExpected) << strXml.substr(0, 80) << " in pieces of " << nPiece;
    }
}

TEST_F(SourceTest, AParseStopsReadingAtItsFailure) {
    // The owner of the source drains it: the parser need not read on.
    const std::string strXml = "<msg no='50'><x1>1</x1>" + std::string(1 << 20, ' ') + "</msg>";
    CMsg msg(0, 0, 0, &m_Dic);
    CPieceSource source(strXml, 1024);
    EXPECT_EQ(Outcome([&] { LoadMsgXml(&msg, source); }), "-21|Handler error : Unknown start tagnum(x1)");
    EXPECT_LT(source.Taken(), strXml.size());
    EXPECT_EQ(Outcome([&] { LoadMsgXml(nullptr, source); }), "-12|Parameter is NULL");
}

TEST_F(SourceTest, AnEditedParsedTreeIsFreedWhole) {
    // Values placed in the parse's memory, replaced or added to by the
    // typed members afterwards, then freed (the sanitizer checks each).
    std::string strXml =
        "<msg no='50'><t1>root</t1><t6><t1>one</t1><t2>1</t2></t6><t9><t5>20240131</t5>"
        "<t1>deep</t1><t9><t1>deeper</t1></t9></t9>";
    for (int i = 0; i < 300; ++i)
        strXml += "<t16><t1>line " + std::to_string(i) + "</t1><t2>" + std::to_string(i) + "</t2></t16>";
    strXml += "</msg>";
    for (int iRound = 0; iRound < 2; ++iRound) {
        CMsg* pMsg = new CMsg(0, 0, 0, &m_Dic);
        CPieceSource source(strXml, 333);
        ASSERT_EQ(Outcome([&] { LoadMsgXml(pMsg, source); }), "ok");
        CMsg* pDeep = pMsg->GetValue(9);
        ASSERT_NE(pDeep, nullptr);
        EXPECT_EQ(pDeep->SetValue(1, std::string(100, 'r').c_str()), 0);
        EXPECT_EQ(pDeep->SetValue(5, CDate(20250101)), 0);
        EXPECT_EQ(pDeep->SetValue(3, 2.5), 0);
        CMsg* pLine = nullptr;
        ASSERT_EQ(pMsg->GetValueAt(16, 299, &pLine), 0);
        EXPECT_EQ(pLine->SetValue(1, "changed"), 0);
        CMsg* pAdded = new CMsg(2001, 0, 0, &m_Dic);
        pAdded->SetValue(1, "added");
        EXPECT_EQ(pMsg->SetValue(16, pAdded), 0);
        EXPECT_EQ(pMsg->SetValue(6, static_cast<CMsg*>(nullptr)), -12);
        CString strText;
        ASSERT_EQ(pDeep->GetValue(1, &strText), 0);
        EXPECT_EQ(strText.GetLength(), 100);
        ASSERT_EQ(pLine->GetValue(1, &strText), 0);
        EXPECT_STREQ(strText.ToStr(), "changed");
        EXPECT_EQ(pMsg->GetArrSize(16), 301);
        if (iRound == 0) {
            // A reused message lets the edited tree go before the next parse.
            CPieceSource again(strXml, 4096);
            ASSERT_EQ(Outcome([&] { LoadMsgXml(pMsg, again); }), "ok");
            EXPECT_EQ(pMsg->GetArrSize(16), 300);
        }
        MA_FreeMsg(pMsg);
    }
}

}  // namespace
