// The lean message path: value tables sized by the definition, element names
// read without a copy, long texts handed over, large documents parsed on a
// reader that is not kept, parsed rows placed in blocks their top message
// owns. Each must read and write exactly as before.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "msg/msg_access.h"
#include "msg_test_support.h"

namespace {

using msgtest::Outcome;

class PathTest : public ::testing::Test {
protected:
    void SetUp() override {
        msgtest::DefineExample(m_Dic);
        msgtest::DefineAllTypes(m_Dic, 50, false);
        // More tags than a table holds bags of its own.
        m_Dic.SetMsgInfo(61, CString("Wide"), CString(""), CString("16"));
        for (int i = 1; i <= 20; ++i)
            m_Dic.SetMsgDetail(61, 40 - i, CFormat("w%d", i), CString("string"), CString("N"));
    }

    std::string Xml(CMsg& p_Msg) { return msgtest::Xml(p_Msg, false, false); }

    CMsgDic m_Dic;
};

// Chains shared by few tags are seen by the writer tests; here a table with
// more tags than it holds bags of its own.
TEST_F(PathTest, WideTablesKeepEveryValueInDefinitionOrder) {
    CMsg wide(61, 0, 0, &m_Dic);
    for (int t = 20; t < 40; ++t)
        ASSERT_EQ(wide.SetValue(t, CFormat("v%d", t)), 0);
    CMsg wideBack(0, 0, 0, &m_Dic);
    ASSERT_EQ(wideBack.LoadXml(Xml(wide).c_str()), 0);
    EXPECT_EQ(Xml(wideBack), Xml(wide));
    for (int t = 20; t < 40; ++t) {
        CString s;
        ASSERT_EQ(wideBack.GetValue(t, &s), 0) << t;
        EXPECT_STREQ(s.ToStr(), CFormat("v%d", t).ToStr());
    }
    // A message given another definition starts with a table of that one.
    wideBack.Init(2001, 0, 0);
    EXPECT_EQ(wideBack.SetValue(2, 1), 0);
    int i = 0;
    EXPECT_EQ(wideBack.GetValue(2, &i), 0);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(wideBack.GetValue(20, &i), -18);
}

// A table keeps the head count it was made with, while its definition's
// grows with every tag added later.
TEST_F(PathTest, AMessageMadeBeforeItsDefinitionGrewKeepsItsValues) {
    m_Dic.SetMsgInfo(62, CString("Growing"), CString(""), CString("16"));
    m_Dic.SetMsgDetail(62, 1, CString("g1"), CString("integer"), CString("N"));
    m_Dic.SetMsgDetail(62, 2, CString("g2"), CString("integer"), CString("N"));
    CMsg early(62, 0, 0, &m_Dic);
    ASSERT_EQ(early.SetValue(1, 10), 0);
    ASSERT_EQ(early.SetValue(2, 20), 0);
    for (int t = 3; t <= 12; ++t)
        m_Dic.SetMsgDetail(62, t, CFormat("g%d", t), CString("integer"), CString("N"));
    for (int t = 3; t <= 12; ++t)
        ASSERT_EQ(early.SetValue(t, t * 10), 0);
    CMsg late(62, 0, 0, &m_Dic);
    for (int t = 1; t <= 12; ++t)
        ASSERT_EQ(late.SetValue(t, t * 10), 0);
    for (int t = 1; t <= 12; ++t) {
        int a = 0, b = 0;
        ASSERT_EQ(early.GetValue(t, &a), 0) << t;
        ASSERT_EQ(late.GetValue(t, &b), 0) << t;
        EXPECT_EQ(a, t * 10);
        EXPECT_EQ(b, t * 10);
    }
    EXPECT_EQ(Xml(early), Xml(late));
}

TEST_F(PathTest, AddChildKeepsNoPointer) {
    CMsg parent(1001, 0, 0, &m_Dic);
    EXPECT_EQ(parent.AddChild(nullptr), -12);
    {
        CMsg child(2001, 0, 0, &m_Dic);
        EXPECT_EQ(parent.AddChild(&child), 0);
    }
    // Nothing of the child is left to free or reach.
    parent.Init(1001, 0, 0);
    EXPECT_EQ(parent.SetValue(2, 3), 0);
}

TEST_F(PathTest, LongTextsReadAsShortOnes) {
    const std::string big(300000, 'x');
    const std::string other = "y" + big;
    // Blanks inside the section are trimmed, a line end in it reads as a
    // line feed, a referenced carriage return is kept, a piece after the
    // long one joins it, and a single tag keeps its first text.
    const std::string xml = "<msg no='50'><t1><![CDATA[ \n" + big + "\r]]>&#13;z \t</t1><t1><![CDATA[" + other +
                            "]]></t1><t11><![CDATA[" + big + "]]></t11><t11><![CDATA[" + other + "]]></t11></msg>";
    CMsg msg(0, 0, 0, &m_Dic);
    ASSERT_EQ(msg.LoadXml(xml.c_str()), 0);
    CString s;
    ASSERT_EQ(msg.GetValue(1, &s), 0);
    EXPECT_TRUE(std::string(s.ToStr()) == big + "\n\rz") << s.GetLength();
    ASSERT_EQ(msg.GetArrSize(11), 2);
    ASSERT_EQ(msg.GetValueAt(11, 1, &s), 0);
    EXPECT_TRUE(std::string(s.ToStr()) == other) << s.GetLength();
    // Written and read back byte for byte; then a small document on the
    // same thread.
    CMsg back(0, 0, 0, &m_Dic);
    ASSERT_EQ(back.LoadXml(Xml(msg).c_str()), 0);
    EXPECT_TRUE(Xml(back) == Xml(msg));
    ASSERT_EQ(back.LoadXml("<msg no='50'><t1>small</t1></msg>"), 0);
    ASSERT_EQ(back.GetValue(1, &s), 0);
    EXPECT_STREQ(s.ToStr(), "small");
}

// A run is gathered in a short room first and moves to a larger one as its
// pieces (CDATA sections, references) outgrow it; the next run starts where
// the room was left.
TEST_F(PathTest, RunsOfManyPiecesReadWhole) {
    for (size_t n : {254u, 255u, 256u, 257u, 600u, 70000u}) {
        const std::string a(n / 2, 'a'), b(n - n / 2 - 1, 'b');
        const std::string xml =
            "<msg no='50'><t1><![CDATA[" + a + "]]>&#66;<![CDATA[" + b + "]]></t1><t11>12<![CDATA[34]]>5</t11></msg>";
        CMsg msg(0, 0, 0, &m_Dic);
        ASSERT_EQ(msg.LoadXml(xml.c_str()), 0) << n;
        CString s;
        ASSERT_EQ(msg.GetValue(1, &s), 0);
        EXPECT_TRUE(std::string(s.ToStr()) == a + "B" + b) << n << " read " << s.GetLength();
        ASSERT_EQ(msg.GetValueAt(11, 0, &s), 0);
        EXPECT_STREQ(s.ToStr(), "12345") << n;
    }
}

// Text is narrowed several characters at a time: every length and every
// place of a character above 127, as element text and as CDATA, reads back
// byte for byte.
TEST_F(PathTest, TextsReadBackAtEveryLengthAndPlace) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no='50'>";
    std::vector<std::string> texts;
    for (int iLen = 1; iLen <= 13; ++iLen) {
        for (int iAt = 0; iAt < iLen; ++iAt) {
            std::string text(static_cast<size_t>(iLen), static_cast<char>('a' + iLen));
            text[static_cast<size_t>(iAt)] = '\xE9';
            text[static_cast<size_t>(iLen - 1 - iAt)] = '\xFF';
            texts.push_back(text);
            xml += iAt % 2 ? "<t11><![CDATA[" + text + "]]></t11>" : "<t11>" + text + "</t11>";
        }
    }
    xml += "</msg>";
    CMsg msg(0, 0, 0, &m_Dic);
    ASSERT_EQ(msg.LoadXml(xml.c_str()), 0);
    ASSERT_EQ(msg.GetArrSize(11), static_cast<int>(texts.size()));
    for (size_t i = 0; i < texts.size(); ++i) {
        CString s;
        ASSERT_EQ(msg.GetValueAt(11, static_cast<int>(i), &s), 0);
        EXPECT_EQ(std::string(s.ToStr()), texts[i]) << i;
    }
}

// One message read again and again, large and small, keeps the blocks of
// its earlier parses for the next: each read gives back exactly its
// document.
TEST_F(PathTest, AMessageReadAgainAndAgainGivesEachDocument) {
    auto rows = [&](int p_iRows) {
        CMsg src(50, 0, 0, &m_Dic);
        src.SetValue(2, p_iRows);
        for (int i = 0; i < p_iRows; ++i) {
            CMsg* pRow = new CMsg(2001, 0, 0, &m_Dic);
            pRow->SetValue(1, CFormat("row %d", i));
            pRow->SetValue(2, i);
            src.SetValue(16, pRow);
        }
        return Xml(src);
    };
    CMsg msg(0, 0, 0, &m_Dic);
    for (int iRows : {3000, 2, 0, 40000, 5, 3000}) {
        const std::string xml = rows(iRows);
        ASSERT_EQ(msg.LoadXml(xml.c_str()), 0) << iRows;
        EXPECT_TRUE(Xml(msg) == xml) << iRows;
    }
}

// A parsed tree (rows spread over many blocks) against the same tree built
// by hand: the same XML and dumps, and after the same edits of every kind
// still the same; the sanitizer build sees each freed or replaced row.
TEST_F(PathTest, ReadSubMessagesCanBeEditedReplacedAndFreed) {
    const int kRows = 3000;
    std::string xml = "<msg no='50'><t2>1</t2><t6><t1>one</t1><t2>1</t2></t6><t9><t2>9</t2><t16><t2>3</t2></t16></t9>";
    CMsg* pHand = new CMsg(50, 0, 0, &m_Dic);
    pHand->SetValue(2, 1);
    CMsg* pSub = new CMsg(2001, 0, 0, &m_Dic);
    pSub->SetValue(1, "one");
    pSub->SetValue(2, 1);
    pHand->SetValue(6, pSub);
    CMsg* pDeep = new CMsg(50, 0, 0, &m_Dic);
    pDeep->SetValue(2, 9);
    pSub = new CMsg(2001, 0, 0, &m_Dic);
    pSub->SetValue(2, 3);
    pDeep->SetValue(16, pSub);
    pHand->SetValue(9, pDeep);
    for (int i = 0; i < kRows; ++i) {
        // Every third row has its count only, so that a text set later needs a bag of its own.
        std::string code = i % 3 == 0 ? "" : "<t1>r" + std::to_string(i) + "</t1>";
        xml += "<t16>" + code + "<t2>" + std::to_string(i) + "</t2></t16>";
        pSub = new CMsg(2001, 0, 0, &m_Dic);
        if (i % 3 != 0)
            pSub->SetValue(1, CFormat("r%d", i));
        pSub->SetValue(2, i);
        pHand->SetValue(16, pSub);
    }
    xml += "</msg>";
    CMsg* pRead = new CMsg(0, 0, 0, &m_Dic);
    ASSERT_EQ(pRead->LoadXml(xml.c_str()), 0);
    auto same = [&](const char* p_szStep) {
        EXPECT_TRUE(Xml(*pRead) == Xml(*pHand)) << p_szStep;
        CStream a, b;
        pRead->Dump(&a, true, 1);
        pHand->Dump(&b, true, 1);
        EXPECT_TRUE(msgtest::Text(a) == msgtest::Text(b)) << p_szStep;
    };
    same("parsed");

    auto edit = [&](CMsg& p_Top) {
        CMsgArray rows;
        ASSERT_EQ(p_Top.GetValue(16, &rows), 0);
        ASSERT_EQ(rows.GetSize(), kRows);
        // Values on rows: replaced, and new where the row had no bag for them.
        EXPECT_EQ(rows.GetAt(4)->SetValue(1, "changed"), 0);
        EXPECT_EQ(rows.GetAt(5)->SetValue(1, "s"), 0);
        EXPECT_EQ(rows.GetAt(5)->SetValue(1, "again"), 0);
        // A row whose only change is a recorded error still frees it.
        int iMissing = 0;
        EXPECT_EQ(rows.GetAt(7)->GetValue(99, &iMissing), MA_ERR_TAG_NOT_DEFINED);
        EXPECT_EQ(rows.GetAt(3)->SetValue(1, "new text"), 0);
        EXPECT_EQ(rows.GetAt(3)->SetValue(2, 33), 0);
        // A row started afresh, and one read again from XML of its own.
        rows.GetAt(6)->Init(2001, 50, 16);
        EXPECT_EQ(rows.GetAt(6)->SetValue(2, 66), 0);
        ASSERT_EQ(rows.GetAt(9)->LoadXml("<msg no='2001'><t1>x</t1><t2>99</t2></msg>"), 0);
        // Rows replaced in the owning array, dropped from its end, added.
        CMsgArray* pOwned = MsgAccess::Bag(p_Top, 16)->m_Value.pMsgArr;
        CMsg* pMine = new CMsg(2001, 0, 0, &m_Dic);
        pMine->SetValue(2, -1);
        EXPECT_EQ(pOwned->SetAt(1, pMine), 0);
        EXPECT_EQ(pOwned->SetAt(1, pMine), 0);
        pOwned->SetSize(kRows - 100);
        pMine = new CMsg(2001, 0, 0, &m_Dic);
        pMine->SetValue(1, "added");
        EXPECT_EQ(p_Top.SetValue(16, pMine), 0);
        // The single sub-message replaced; the deeper one read again, with
        // rows of its own, and one of them edited.
        pMine = new CMsg(2001, 0, 0, &m_Dic);
        pMine->SetValue(2, 6);
        EXPECT_EQ(p_Top.SetValue(6, pMine), 0);
        CMsg* pInner = nullptr;
        ASSERT_EQ(p_Top.GetValueAt(9, 0, &pInner), 0);
        ASSERT_EQ(pInner->LoadXml("<msg no='50'><t2>5</t2><t16><t2>1</t2></t16><t16><t2>2</t2></t16></msg>"), 0);
        ASSERT_EQ(pInner->GetValueAt(16, 1, &pMine), 0);
        EXPECT_EQ(pMine->SetValue(1, "deep"), 0);
    };
    edit(*pRead);
    edit(*pHand);
    same("edited");
    EXPECT_EQ(pRead->GetArrSize(16), kRows - 99);

    // A second document into the same top message (a row without values
    // gets its first one), then one cut short: what was read before the
    // failure stays and is freed with the message.
    ASSERT_EQ(pRead->LoadXml("<msg no='50'><t16/><t16><t2>1</t2></t16></msg>"), 0);
    CMsg* pRow = nullptr;
    ASSERT_EQ(pRead->GetValueAt(16, 0, &pRow), 0);
    EXPECT_EQ(pRow->SetValue(1, "late"), 0);
    EXPECT_EQ(Xml(*pRead),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?><msg no=\"50\" ver=\"\"><t16><t1><![CDATA[late]]>"
              "</t1></t16><t16><t2>1</t2></t16></msg>");
    std::string cut = xml.substr(0, xml.size() / 2);
    EXPECT_EQ(Outcome([&] { pRead->LoadXml(cut.c_str()); }).rfind("-21|", 0), 0u);
    EXPECT_GT(pRead->GetArrSize(16), 100);
    MA_FreeMsg(pRead);
    delete pHand;
}

}  // namespace
