// Narrowing of parser text and the reusable hardened reader.
#include <gtest/gtest.h>

#include <string>

#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>

#include "msg/xml_support.h"

namespace {

TEST(XmlSupportTest, NarrowingKeepsTheLowByteUpToTheZeroOrTheLength) {
    const XMLCh text[] = {u'a', 0x00E9, 0x0141, u'z', 0, u'x'};
    EXPECT_EQ(std::string("a\xE9\x41z"), NarrowXmlString(text).ToStr());
    EXPECT_EQ(std::string("a\xE9"), NarrowXmlString(text, 2).ToStr());
    EXPECT_EQ(std::string("a\xE9\x41z"), NarrowXmlString(text, 6).ToStr());
    EXPECT_STREQ("", NarrowXmlString(nullptr).ToStr());
    EXPECT_STREQ("", NarrowXmlString(text, 0).ToStr());

    std::string out = "<";
    NarrowXmlAppend(text, 6, out);
    NarrowXmlAppend(nullptr, 3, out);
    NarrowXmlAppend(text, 1, out);
    EXPECT_EQ(std::string("<a\xE9\x41z"
                          "a"),
              out);
}

// Collects the local names of the elements it sees.
class NameCollector : public XERCES_CPP_NAMESPACE::DefaultHandler {
public:
    void startElement(const XMLCh* const, const XMLCh* const p_pLocalName, const XMLCh* const,
                      const XERCES_CPP_NAMESPACE::Attributes&) override {
        m_Names += TranscodeXmlName(p_pLocalName).ToStr();
        m_Names += ' ';
    }
    std::string m_Names;
};

TEST(XmlSupportTest, OneReaderServesSeveralParsesEvenAfterAFailure) {
    CXmlPlatformUse platform;
    CSecureSaxReader reader;
    NameCollector first;
    reader.SetHandler(&first);
    const std::string doc = "<a><b/><c/></a>";
    reader.ParseMemory(doc.data(), doc.size(), "MemData");
    EXPECT_EQ("a b c ", first.m_Names);

    NameCollector second;
    reader.SetHandler(&second);
    EXPECT_THROW(reader.ParseMemory(doc.data(), 3, "MemData"), XERCES_CPP_NAMESPACE::SAXParseException);
    const std::string next = "<x:d xmlns:x='urn:x'/>";
    reader.ParseMemory(next.data(), next.size(), "MemData");
    EXPECT_EQ("a d ", second.m_Names);
    EXPECT_EQ(0u, reader.GetErrorCount());
}

}  // namespace
