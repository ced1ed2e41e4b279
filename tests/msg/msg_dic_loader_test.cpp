// Loading dictionary files: the document rules, encrypted files, the error
// texts, and input that must never reach outside the file.
#include <gtest/gtest.h>

#include <string>

#include "msg/msg_info.h"
#include "msg_test_support.h"
#include "protect/protected_data.h"
#include "protect/temp_dir.h"

namespace {

using msgtest::DumpOf;

const char kWorkedExample[] =
    "<?xml version=\"1.0\" encoding='UTF-8'?>\n"
    "<msg_dictionary>\n"
    "  <msg no=\"10\" name='Order' ver=\"1.0\" hash=\"16\">\n"
    "    <tag no=\"1\" name='orderId' type=\"string\"/>\n"
    "    <tag no=\"2\" name=\"qty\" type=\"integer\"/>\n"
    "    <tag no=\"3\" name=\"lines\" type='m11' array=\"Y\"/>\n"
    "    <constraint/>\n"
    "  </msg>\n"
    "  <msg no=\"11\" name='OrderLine'>\n"
    "    <tag no=\"1\" name=\"price\" type=\"double\"/>\n"
    "    <tag no=\"2\" name='shipDate' type=\"date\"/>\n"
    "    <tag no=\"5\" name='express' type=\"bool\" array=\"N\"/>\n"
    "  </msg>\n"
    "</msg_dictionary>\n";

const char kWorkedExampleDump[] =
    "<msg no='10' name='Order' hash='16'>\n"
    "\t<tag no='1' name='orderId' type='string' array='N' />\n"
    "\t<tag no='2' name='qty' type='integer' array='N' />\n"
    "\t<tag no='3' name='lines' type='m0011' array='Y' />\n"
    "</msg>\n\n"
    "<msg no='11' name='OrderLine' hash='128'>\n"
    "\t<tag no='1' name='price' type='double' array='N' />\n"
    "\t<tag no='2' name='shipDate' type='date' array='N' />\n"
    "\t<tag no='5' name='express' type='bool' array='N' />\n"
    "</msg>\n\n";

// A scratch directory for the files of one test.
class DicLoaderTest : public ::testing::Test {
protected:
    std::string Write(const std::string& p_Name, const std::string& p_Bytes) { return m_Tmp.Write(p_Name, p_Bytes); }
    std::string WriteEncrypted(const std::string& p_Name, const std::string& p_Plain) {
        CStream cipher;
        CString err;
        EXPECT_EQ(0, EncryptProtectedData(p_Plain.data(), static_cast<int>(p_Plain.size()), cipher, err));
        return Write(p_Name, std::string(cipher.GetData(), cipher.GetSize()));
    }
    std::string Dictionary(const std::string& p_Body) {
        return Write("dic.xml", "<msg_dictionary>" + p_Body + "</msg_dictionary>");
    }

    std::string Load(const std::string& p_Path) {
        return msgtest::Outcome([&] { m_Dic.InitDictionary(p_Path.c_str()); });
    }

    CTempDir m_Tmp;
    CMsgDic m_Dic;
};

TEST_F(DicLoaderTest, WorkedExampleListsByteForByteFromPlainAndEncryptedFiles) {
    CMsgDic::m_bLoaded = false;
    ASSERT_EQ("ok", Load(Write("dic.xml", kWorkedExample)));
    EXPECT_EQ(kWorkedExampleDump, DumpOf(m_Dic));
    EXPECT_TRUE(CMsgDic::m_bLoaded);
    EXPECT_STREQ("1.0", m_Dic.GetMsgInfo(10)->GetVer().ToStr());

    // An encrypted file loads like its plain text; only the exact lower-case
    // suffix marks one.
    CMsgDic encrypted, plain;
    EXPECT_NO_THROW(encrypted.InitDictionary(WriteEncrypted("dic.exml", kWorkedExample).c_str()));
    EXPECT_EQ(kWorkedExampleDump, DumpOf(encrypted));
    EXPECT_NO_THROW(plain.InitDictionary(Write("dic.EXML", kWorkedExample).c_str()));
    EXPECT_EQ(kWorkedExampleDump, DumpOf(plain));
}

TEST(ExampleDictionaryTest, EncryptedExampleMatchesItsSource) {
    CMsgDic plain, encrypted;
    plain.InitDictionary(VORANT_SOURCE_DIR "/examples/msg_dic.xml");
    encrypted.InitDictionary(VORANT_SOURCE_DIR "/examples/msg_dic.exml");
    EXPECT_EQ(DumpOf(plain), DumpOf(encrypted)) << "run examples/make-examples.sh after editing msg_dic.xml";
    EXPECT_EQ(TAG_TYPE_STRING, plain.GetMsgInfo(10)->GetTagType(7));
}

TEST_F(DicLoaderTest, DocumentStructureErrors) {
    EXPECT_EQ("-21|InitDictionary(Handler error : Unknown root element - dictionary)",
              Load(Write("a.xml", "<dictionary/>")));
    EXPECT_EQ("-21|InitDictionary(Handler error : Unknown element - message)", Load(Dictionary("<message no='1'/>")));
    EXPECT_EQ("-21|InitDictionary(Handler error : Unknown child element - note)",
              Load(Dictionary("<msg no='2' name='M'><note/></msg>")));
    EXPECT_EQ("-15|InitDictionary(Handler error : msgnum=0)", Load(Dictionary("<msg name='NoNumber'/>")));
    EXPECT_EQ("-17|InitDictionary(Handler error : tagtype=)", Load(Dictionary("<msg no='3'><tag no='1'/></msg>")));
    EXPECT_EQ("-12|MsgDic Path", msgtest::Outcome([&] { m_Dic.InitDictionary(nullptr); }));
}

TEST_F(DicLoaderTest, AttributesAndIgnoredContent) {
    ASSERT_EQ("ok", Load(Dictionary("<!-- note --><?pi x?>"
                                    "<msg no=' 4' name='caf\xC3\xA9 &amp; co' x:hash='8' xmlns:x='urn:x' other='1'>"
                                    "text<tag name='zero' type='string'><deeper><any/></deeper></tag>"
                                    "<tag no='7' name='list' type='date' array='Y'/>"
                                    "<constraint><whatever/></constraint></msg>")));
    EXPECT_EQ(
        "<msg no='4' name='caf\xE9 & co' hash='8'>\n"
        "\t<tag no='0' name='zero' type='string' array='N' />\n"
        "\t<tag no='7' name='list' type='date' array='Y' />\n"
        "</msg>\n\n",
        DumpOf(m_Dic));
}

TEST_F(DicLoaderTest, DefinitionsBeforeAFailureStay) {
    EXPECT_EQ("-22|InitDictionary(Handler error : msgnum=10,msgname=Order)",
              Load(Dictionary("<msg no='10' name='Order'><tag no='1' name='a' type='bool'/></msg>"
                              "<msg no='12' name='Other'/>"
                              "<msg no='10' name='Order'/>")));
    EXPECT_STREQ("Order", m_Dic.GetMsgInfo(10)->GetName().ToStr());
    EXPECT_EQ(1, m_Dic.GetMsgInfo(10)->GetTagCount());
    EXPECT_NE(nullptr, m_Dic.GetMsgInfo(12));
    // A second file into the same dictionary stops at its first known number.
    EXPECT_EQ("-22|InitDictionary(Handler error : msgnum=12,msgname=Again)",
              Load(Write("b.xml",
                         "<msg_dictionary><msg no='13' name='New'/><msg no='12' name='Again'/>"
                         "<msg no='14' name='Later'/></msg_dictionary>")));
    EXPECT_NE(nullptr, m_Dic.GetMsgInfo(13));
    EXPECT_EQ(nullptr, m_Dic.GetMsgInfo(14));
}

TEST_F(DicLoaderTest, UnreadableFiles) {
    const std::string missing = m_Tmp.Path("none.xml");
    const std::string text = Load(missing);
    EXPECT_EQ(0u, text.find("-21|InitDictionary(Handler error : [F]" + missing + " (L:0, C:0) : ")) << text;

    const std::string missingEnc = m_Tmp.Path("none.exml");
    EXPECT_EQ("-36|InitDictionary(Handler error : File not found(" + missingEnc + "))", Load(missingEnc));
    EXPECT_EQ("-36|InitDictionary(Handler error : File may be corrupted)",
              Load(Write("short.exml", std::string(17, 'x'))));
    EXPECT_EQ(0u, Load(Write("empty.exml", "")).find("-21|InitDictionary(Handler error : [F]MsgDic.xml (L:"));
    EXPECT_EQ(0u, Load(Write("noise.exml", std::string(32, '\x5a')))
                      .find("-21|InitDictionary(Handler error : [F]MsgDic.xml (L:"));

    const std::string broken = Write("broken.xml", "<msg_dictionary>\n<msg no='1'>\n</msg_dictionary>\n");
    EXPECT_EQ(0u, Load(broken).find("-21|InitDictionary(Handler error : [F]" + broken + " (L:3, C:"));
}

TEST_F(DicLoaderTest, NothingOutsideTheDocumentIsRead) {
    // Were the entity fetched, it would define message 5.
    const std::string secret = Write("secret.xml", "<msg no='5' name='Leak'/>");
    const std::string entity = Write("entity.xml", "<!DOCTYPE msg_dictionary [<!ENTITY x SYSTEM 'file://" + secret +
                                                       "'>]>\n<msg_dictionary>&x;</msg_dictionary>");
    const std::string text = Load(entity);
    EXPECT_EQ(0u, text.find("-21|InitDictionary(Handler error : [F]" + entity + " (L:2, C:")) << text;
    EXPECT_EQ(nullptr, m_Dic.GetMsgInfo(5));

    const std::string param =
        Write("param.xml", "<!DOCTYPE msg_dictionary [<!ENTITY % p SYSTEM '" + secret + "'> %p;]><msg_dictionary/>");
    EXPECT_EQ(0u, Load(param).find("-21|InitDictionary(Handler error : [F]"));

    // An external DTD is never opened: this one would not even parse.
    const std::string dtd = Write("bad.dtd", "<!ENTITY garbage");
    EXPECT_EQ("ok", Load(Write("dtd.xml", "<!DOCTYPE msg_dictionary SYSTEM '" + dtd +
                                              "'><msg_dictionary><msg no='6' name='Fine'/></msg_dictionary>")));
    EXPECT_NE(nullptr, m_Dic.GetMsgInfo(6));

    // Nested entities are cut off long before they could exhaust memory.
    std::string bomb = "<!DOCTYPE msg_dictionary [<!ENTITY a0 'xxxxxxxxxx'>";
    for (int i = 1; i < 10; ++i) {
        bomb += "<!ENTITY a" + std::to_string(i) + " '";
        for (int k = 0; k < 10; ++k)
            bomb += "&a" + std::to_string(i - 1) + ";";
        bomb += "'>";
    }
    bomb += "]><msg_dictionary><msg no='8' name='&a9;'/></msg_dictionary>";
    EXPECT_EQ(0u, Load(Write("bomb.xml", bomb)).find("-21|InitDictionary(Handler error : [F]"));
    EXPECT_EQ(nullptr, m_Dic.GetMsgInfo(8));
}

}  // namespace
