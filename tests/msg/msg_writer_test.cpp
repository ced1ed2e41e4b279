// The message XML writer and the dumps, byte for byte.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "msg/msg_access.h"
#include "msg_test_support.h"

namespace {

using msgtest::Text;
using msgtest::Xml;

const char kProlog[] = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>";

class WriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        msgtest::DefineExample(m_Dic);
        msgtest::DefineMsg(m_Dic, 3001, 0,
                           {{1, "s", "string", false},
                            {2, "d", "double", false},
                            {3, "b", "bool", false},
                            {4, "i", "integer", false},
                            {5, "ia", "integer", true},
                            {6, "sub", "m2001", false},
                            {7, "sa", "string", true}});
        m_pMsg.reset(msgtest::BuildExample(m_Dic));
    }

    CMsgDic m_Dic;
    std::unique_ptr<CMsg> m_pMsg;
};

TEST_F(WriterTest, WorkedExampleInAllThreeForms) {
    EXPECT_EQ(Xml(*m_pMsg, false, false),
              std::string(kProlog) +
                  "<msg no=\"1001\" ver=\"\"><t1><![CDATA[A-17]]></t1><t2>5</t2><t3>1.250000000000000e+000</t3>"
                  "<t4>true</t4><t5>20240131</t5><t6><t1><![CDATA[X1]]></t1><t2>2</t2></t6><t6><t1><![CDATA[X2]]>"
                  "</t1></t6><t7><![CDATA[a]]></t7><t7><![CDATA[b]]></t7></msg>");
    EXPECT_EQ(Xml(*m_pMsg, true, false),
              std::string(kProlog) +
                  "<msg no=\"1001\" ver=\"\"><t1><![CDATA[A-17]]></t1><t2>5</t2><t3>1.250000000000000e+000</t3>"
                  "<t4>true</t4><t5>20240131</t5><a6><t1><![CDATA[X1]]></t1><t2>2</t2></a6><a6><t1><![CDATA[X2]]>"
                  "</t1></a6><a7><![CDATA[a]]></a7><a7><![CDATA[b]]></a7></msg>");
    std::string named = std::string(kProlog) +
                        "<msg no=\"1001\" type=\"name\" ver=\"\"><acct><![CDATA[A-17]]></acct><qty>5</qty>"
                        "<price>1.250000000000000e+000</price><urgent>true</urgent><due>20240131</due><lines><code>"
                        "<![CDATA[X1]]></code><count>2</count></lines><lines><code><![CDATA[X2]]></code></lines>"
                        "<memo><![CDATA[a]]></memo><memo><![CDATA[b]]></memo></msg>";
    EXPECT_EQ(Xml(*m_pMsg, false, true), named);
    EXPECT_EQ(Xml(*m_pMsg, true, true), named);
}

TEST_F(WriterTest, DepthOneReplacesTheStreamOtherDepthsAppendFieldsOnly) {
    CStream out;
    out.AppendData("junk", 4);
    CMsg msg(2001, 0, 0, &m_Dic);
    EXPECT_EQ(msg.ToXml(&out, false, false, 1), 0);
    EXPECT_EQ(Text(out), std::string(kProlog) + "<msg no=\"2001\" ver=\"\"></msg>");
    msg.SetValue(2, 7);
    EXPECT_EQ(msg.ToXml(&out, false, false, 2), 0);
    EXPECT_EQ(Text(out), std::string(kProlog) + "<msg no=\"2001\" ver=\"\"></msg><t2>7</t2>");
    EXPECT_EQ(msg.ToXml(nullptr, false, false, 1), MA_ERR_NULL_PARAM);
}

TEST_F(WriterTest, ValueTextsAndDefinitionOrder) {
    CMsg msg(3001, 0, 0, &m_Dic);
    CMsg* pSub = new CMsg(2001, 0, 0, &m_Dic);
    pSub->SetValue(2, -3);
    // Stored out of order, written in definition order.
    msg.SetValue(6, pSub);
    msg.SetValue(5, 9);
    msg.SetValue(4, -2147483647 - 1);
    msg.SetValue(3, false);
    msg.SetValue(2, 0.1);
    msg.SetValue(1, "<&>\"'");
    EXPECT_EQ(Xml(msg, true, false),
              std::string(kProlog) +
                  "<msg no=\"3001\" ver=\"\"><t1><![CDATA[<&>\"']]></t1><t2>1.000000000000000e-001</t2>"
                  "<t3>false</t3><t4>-2147483648</t4><a5>9</a5><t6><t2>-3</t2></t6></msg>");
}

TEST_F(WriterTest, StringsGoIntoCdataWhateverTheirLengthOrContent) {
    CMsg msg(3001, 0, 0, &m_Dic);
    for (size_t n : {899u, 900u, 5000u}) {
        std::string value(n, 'x');
        msg.SetValue(7, value.c_str());
    }
    std::string xml = Xml(msg, false, false);
    for (size_t n : {899u, 900u, 5000u})
        EXPECT_NE(xml.find("<t7><![CDATA[" + std::string(n, 'x') + "]]></t7>"), std::string::npos) << n;
    // A value holding the CDATA terminator is split across two sections,
    // and a carriage return is carried as a reference.
    CMsg tricky(3001, 0, 0, &m_Dic);
    tricky.SetValue(7, "a]]>b");
    tricky.SetValue(7, "]]>]]>");
    tricky.SetValue(7, "x\r\ny");
    EXPECT_EQ(Xml(tricky, false, false), std::string(kProlog) +
                                             "<msg no=\"3001\" ver=\"\"><t7><![CDATA[a]]]]><![CDATA[>b]]></t7>"
                                             "<t7><![CDATA[]]]]><![CDATA[>]]]]><![CDATA[>]]></t7>"
                                             "<t7><![CDATA[x]]>&#13;<![CDATA[\ny]]></t7></msg>");
}

TEST_F(WriterTest, DatesHoldingMarkupAreWrittenAsReferences) {
    CMsg msg(0, 0, 0, &m_Dic);
    ASSERT_EQ(msg.LoadXml("<msg no='1001'><t5>&lt;a&amp;b>\r</t5></msg>"), 0);
    std::string xml = Xml(msg, false, false);
    EXPECT_EQ(xml, std::string(kProlog) + "<msg no=\"1001\" ver=\"\"><t5>&lt;a&amp;b&gt;</t5></msg>");
    CMsg back(0, 0, 0, &m_Dic);
    ASSERT_EQ(back.LoadXml(xml.c_str()), 0);
    CDate date;
    ASSERT_EQ(back.GetValue(5, &date), 0);
    EXPECT_STREQ(date.ToStr(), "<a&b>");
    CStream dump;
    back.DumpXml(&dump, false, 1);
    EXPECT_NE(Text(dump).find("  <t5>&lt;a&amp;b&gt;</t5>\n"), std::string::npos);
}

// A set array without items (what a failed append leaves behind): an empty
// line in Dump, nothing in DumpXml and in the message XML. An empty
// sub-message is refused (and freed): nothing is stored.
TEST_F(WriterTest, EmptyArraysAndSubMessages) {
    CMsg msg(3001, 0, 0, &m_Dic);
    msg.SetValue(4, 3);
    EXPECT_EQ(msg.SetValue(6, new CMsg(2001, 0, 0, &m_Dic)), 0);
    CMsgValue* pInts = MsgAccess::NewBag(msg, 5);
    ASSERT_NE(pInts, nullptr);
    pInts->m_iType = 2;
    pInts->m_bArray = true;
    pInts->m_bSet = true;
    pInts->m_Value.pIntArr = new CIntArray();
    CMsgValue* pTexts = MsgAccess::NewBag(msg, 7);
    ASSERT_NE(pTexts, nullptr);
    pTexts->m_iType = 1;
    pTexts->m_bArray = true;
    pTexts->m_bSet = true;
    pTexts->m_Value.pStrArr = new CStrArray();

    CStream dump;
    msg.Dump(&dump, false, 1);
    EXPECT_EQ(Text(dump),
              "Msg Dump ======================================\n  MsgNum : 3001\n    Type : index\n     Ver : \n"
              "    [4](i) 3\n\n\n===============================================\n");
    CStream xml;
    msg.DumpXml(&xml, false, 1);
    EXPECT_EQ(Text(xml),
              "<?xml version='1.0' encoding='ISO-8859-1' ?>\n<msg no='3001' type='index' ver=''>\n"
              "  <t4>3</t4>\n</msg>\n");
    EXPECT_EQ(Xml(msg, true, false), std::string(kProlog) + "<msg no=\"3001\" ver=\"\"><t4>3</t4></msg>");
    EXPECT_EQ(msg.GetArrSize(5), 0);
    // Read from XML, a sub-message element without fields stays an empty element.
    ASSERT_EQ(msg.LoadXml("<msg no='3001'><t6/></msg>"), 0);
    EXPECT_EQ(Xml(msg, false, false), std::string(kProlog) + "<msg no=\"3001\" ver=\"\"><t6></t6></msg>");
}

TEST_F(WriterTest, VersionIsWrittenAsAWellFormedAttribute) {
    CMsg msg(2001, 0, 0, &m_Dic);
    msg.SetVer(CString("1.0"));
    EXPECT_EQ(Xml(msg, false, true), std::string(kProlog) + "<msg no=\"2001\" type=\"name\" ver=\"1.0\"></msg>");
    msg.SetVer(CString("a\"b<c&d'e\tf"));
    EXPECT_EQ(Xml(msg, false, false),
              std::string(kProlog) + "<msg no=\"2001\" ver=\"a&quot;b&lt;c&amp;d'e&#9;f\"></msg>");
    msg.SetVer(CString("0123456789abcdefXYZ"));
    EXPECT_STREQ(msg.GetVer(), "0123456789abcdef");
}

const char kDumpExample[] =
    "Msg Dump ======================================\n"
    "  MsgNum : 1001\n"
    "    Type : index\n"
    "     Ver : 1.0\n"
    "    [1](acct) A-17\n"
    "    [2](qty) 5\n"
    "    [3](price) 1.250000000000000e+000\n"
    "    [4](urgent) true\n"
    "    [5](due) 20240131\n"
    "    [6](lines) SUBMSG(2001) row 0\n"
    "      [1](code) X1\n"
    "      [2](count) 2\n"
    "    [6](lines) SUBMSG(2001) row 1\n"
    "      [1](code) X2\n"
    "    [7](memo) a b\n"
    "===============================================\n";

const char kDumpXmlExample[] =
    "<?xml version='1.0' encoding='ISO-8859-1' ?>\n"
    "<msg no='1001' type='index' ver='1.0'>\n"
    "  <t1><![CDATA[A-17]]></t1>\n"
    "  <t2>5</t2>\n"
    "  <t3>1.250000000000000e+000</t3>\n"
    "  <t4>true</t4>\n"
    "  <t5>20240131</t5>\n"
    "  <t6>\n"
    "    <t1><![CDATA[X1]]></t1>\n"
    "    <t2>2</t2>\n"
    "  </t6>\n"
    "  <t6>\n"
    "    <t1><![CDATA[X2]]></t1>\n"
    "  </t6>\n"
    "  <t7><![CDATA[a]]></t7>\n"
    "  <t7><![CDATA[b]]></t7>\n"
    "</msg>\n";

TEST_F(WriterTest, DumpsOfTheWorkedExample) {
    m_pMsg->SetVer(CString("1.0"));
    CStream out;
    out.AppendData("old", 3);
    m_pMsg->Dump(&out, false, 1);
    EXPECT_EQ(Text(out), kDumpExample);
    m_pMsg->Dump(&out, true, 1);
    std::string byName = kDumpExample;
    byName.replace(byName.find("index"), 5, "name");
    EXPECT_EQ(Text(out), byName);

    CStream xml;
    m_pMsg->DumpXml(&xml, false, 1);
    EXPECT_EQ(Text(xml), kDumpXmlExample);
    // DumpXml appends (the round-trip test reads dumps back).
    m_pMsg->DumpXml(&xml, false, 1);
    EXPECT_EQ(Text(xml), std::string(kDumpXmlExample) + kDumpXmlExample);

    CStream named;
    m_pMsg->DumpXml(&named, true, 1);
    EXPECT_NE(Text(named).find("<msg no='1001' type='name' ver='1.0'>\n  <acct><![CDATA[A-17]]></acct>\n"),
              std::string::npos);
    EXPECT_NE(Text(named).find("  <lines>\n    <code><![CDATA[X1]]></code>\n"), std::string::npos);
}

TEST_F(WriterTest, DumpsBelowTheRoot) {
    // Below the root, field lines are indented by 2 * depth (Dump adds two).
    CMsg read(0, 0, 0, &m_Dic);
    read.LoadXml("<msg no='3001'><t4>1</t4></msg>");
    CStream deep;
    read.Dump(&deep, false, 3);
    EXPECT_EQ(Text(deep), "        [4](i) 1\n");
    CStream deepXml;
    read.DumpXml(&deepXml, false, 3);
    EXPECT_EQ(Text(deepXml), "      <t4>1</t4>\n");
}

}  // namespace
