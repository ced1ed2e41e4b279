#include "request_xml.h"

#include <xercesc/sax/Locator.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/sax2/DefaultHandler.hpp>
#include <xercesc/util/XMLException.hpp>

#include <memory>
#include <vector>

#include "dictionary_view.h"
#include "field_value.h"
#include "msg/xml_support.h"
#include "request_builder.h"

XERCES_CPP_NAMESPACE_USE

namespace {

// What ends a read: the reason, already worded.
struct CRequestRefusal {
    std::string m_strText;
};

// The parser's UTF-16 text as UTF-8, the form values are checked in.
std::string Utf8(const XMLCh* p_pText, XMLSize_t p_nLength) {
    std::string strOut;
    for (XMLSize_t i = 0; i < p_nLength; ++i) {
        unsigned long ulCode = p_pText[i];
        if (ulCode >= 0xD800 && ulCode <= 0xDBFF && i + 1 < p_nLength && p_pText[i + 1] >= 0xDC00 &&
            p_pText[i + 1] <= 0xDFFF)
            ulCode = 0x10000 + ((ulCode - 0xD800) << 10) + (p_pText[++i] - 0xDC00);
        if (ulCode < 0x80) {
            strOut += static_cast<char>(ulCode);
        } else if (ulCode < 0x800) {
            strOut += static_cast<char>(0xC0 | (ulCode >> 6));
            strOut += static_cast<char>(0x80 | (ulCode & 0x3F));
        } else if (ulCode < 0x10000) {
            strOut += static_cast<char>(0xE0 | (ulCode >> 12));
            strOut += static_cast<char>(0x80 | ((ulCode >> 6) & 0x3F));
            strOut += static_cast<char>(0x80 | (ulCode & 0x3F));
        } else {
            strOut += static_cast<char>(0xF0 | (ulCode >> 18));
            strOut += static_cast<char>(0x80 | ((ulCode >> 12) & 0x3F));
            strOut += static_cast<char>(0x80 | ((ulCode >> 6) & 0x3F));
            strOut += static_cast<char>(0x80 | (ulCode & 0x3F));
        }
    }
    return strOut;
}

std::string Utf8(const XMLCh* p_pText) {
    XMLSize_t n = 0;
    while (p_pText != nullptr && p_pText[n] != 0)
        ++n;
    return Utf8(p_pText, n);
}

bool IsBlankText(const std::string& p_strText) { return p_strText.find_first_not_of(" \t\r\n") == std::string::npos; }

// The tag number of a numbered element name ("t12" or "a3"), else -1.
int NumberedTag(const std::string& p_strName) {
    if (p_strName.size() < 2 || p_strName.size() > 10 || (p_strName[0] != 't' && p_strName[0] != 'a'))
        return -1;
    int iValue = 0;
    for (size_t i = 1; i < p_strName.size(); ++i) {
        if (p_strName[i] < '0' || p_strName[i] > '9')
            return -1;
        iValue = iValue * 10 + (p_strName[i] - '0');
    }
    return iValue;
}

// Feeds the elements of one message XML document to a request builder.
// Owns the builder once the root is read; the locator is the parser's.
class CRequestXmlHandler : public DefaultHandler {
public:
    explicit CRequestXmlHandler(const std::string& p_strSource) : m_strSource(p_strSource) {}

    std::string ToXml() const { return m_pBuilder ? m_pBuilder->ToXml() : ""; }

    void setDocumentLocator(const Locator* const p_pLocator) override { m_pLocator = p_pLocator; }

    void startElement(const XMLCh* const, const XMLCh* const p_pLocalName, const XMLCh* const p_pQName,
                      const Attributes& p_Attrs) override {
        const std::string strName = Utf8(p_pLocalName && *p_pLocalName ? p_pLocalName : p_pQName);
        if (!m_pBuilder) {
            StartRoot(strName, p_Attrs);
            return;
        }
        COpen& outer = m_Open.back();
        if (outer.m_pTag != nullptr && outer.m_pRow == nullptr)
            Refuse(TagText(*outer.m_pTag) + " takes a value, not the element <" + strName + ">");
        if (!IsBlankText(outer.m_strText))
            Refuse(GroupText(outer) + " holds text beside its fields: '" + outer.m_strText + "'");
        const CMessageDef& def = m_pBuilder->DefOf(outer.m_pRow);
        const int iNumbered = m_bByName ? -1 : NumberedTag(strName);
        const VorantTagDef* pTag = m_bByName ? def.FindTag(strName) : def.FindTag(iNumbered);
        if (pTag == nullptr)
            Refuse("unknown tag <" + strName + "> in " + def.Label() + " (vorant-call --describe " +
                   std::to_string(def.GetMsgNum()) + " lists its tags" +
                   (m_bByName ? ")" : "; the numbered form names them t1, t2, ...)"));
        COpen open;
        open.m_pTag = pTag;
        open.m_strPath = outer.m_strPath.empty() ? pTag->name : outer.m_strPath + "." + pTag->name;
        open.m_iLine = Line();
        if (pTag->type == VORANT_TAG_SUBMSG) {
            std::string strError;
            open.m_pRow = m_pBuilder->AddRow(outer.m_pRow, *pTag, open.m_strPath, &strError);
            if (open.m_pRow == nullptr)
                Refuse(strError);
        }
        m_Open.push_back(open);
    }

    void endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
        COpen open = m_Open.back();
        m_Open.pop_back();
        if (open.m_pTag == nullptr || open.m_pRow != nullptr) {
            if (!IsBlankText(open.m_strText))
                Refuse(GroupText(open) + " holds text beside its fields: '" + open.m_strText + "'");
            return;
        }
        std::string strError;
        if (!m_pBuilder->AddValue(m_Open.back().m_pRow, *open.m_pTag, open.m_strText, &strError))
            Refuse(strError, open.m_iLine);
    }

    void characters(const XMLCh* const p_pChars, const XMLSize_t p_nLength) override {
        if (!m_Open.empty())
            m_Open.back().m_strText += Utf8(p_pChars, p_nLength);
    }

    void startDTD(const XMLCh* const, const XMLCh* const, const XMLCh* const) override {
        Refuse("a document type declaration is not allowed");
    }

    void warning(const SAXParseException& p_Error) override { RefuseParse(p_Error); }
    void error(const SAXParseException& p_Error) override { RefuseParse(p_Error); }
    void fatalError(const SAXParseException& p_Error) override { RefuseParse(p_Error); }

private:
    // One element being read: a field (m_pTag), with its row when it is a
    // sub-message; the root has neither tag nor parent.
    struct COpen {
        const VorantTagDef* m_pTag = nullptr;
        CRequestBuilder::CNode* m_pRow = nullptr;
        std::string m_strPath;
        std::string m_strText;
        int m_iLine = 0;
    };

    static std::string TagText(const VorantTagDef& p_Tag) {
        return "tag '" + std::string(p_Tag.name) + "' (" + TypeText(p_Tag) + ")";
    }

    std::string GroupText(const COpen& p_Open) const {
        return p_Open.m_pTag ? TagText(*p_Open.m_pTag) + ", a sub-message," : std::string("the message");
    }

    int Line() const { return m_pLocator ? static_cast<int>(m_pLocator->getLineNumber()) : 0; }

    void StartRoot(const std::string& p_strName, const Attributes& p_Attrs) {
        if (p_strName != "msg")
            Refuse("the root element is <" + p_strName + ">, not <msg no=\"...\">");
        std::string strNo, strVer;
        for (XMLSize_t i = 0; i < p_Attrs.getLength(); ++i) {
            const XMLCh* pName = p_Attrs.getLocalName(i);
            const std::string strAttr = Utf8(pName && *pName ? pName : p_Attrs.getQName(i));
            const std::string strValue = Utf8(p_Attrs.getValue(i));
            if (strAttr == "no")
                strNo = strValue;
            else if (strAttr == "type")
                m_bByName = strValue == "name";
            else if (strAttr == "ver")
                strVer = strValue;
        }
        CMessageDef def;
        if (strNo.empty() || !FindMessage(strNo, &def) || std::to_string(def.GetMsgNum()) != strNo)
            Refuse("<msg no=\"" + strNo + "\">: no such message in the dictionary (vorant-call --list shows them)");
        m_pBuilder = std::make_unique<CRequestBuilder>(def);
        m_pBuilder->SetVersion(strVer);
        COpen root;
        root.m_pRow = m_pBuilder->Root();
        m_Open.push_back(root);
    }

    [[noreturn]] void Refuse(const std::string& p_strText, int p_iLine = 0) const {
        const int iLine = p_iLine > 0 ? p_iLine : Line();
        throw CRequestRefusal{m_strSource + (iLine > 0 ? " line " + std::to_string(iLine) : "") + ": " + p_strText};
    }

    [[noreturn]] void RefuseParse(const SAXParseException& p_Error) const {
        throw CRequestRefusal{m_strSource + " line " + std::to_string(p_Error.getLineNumber()) + ", column " +
                              std::to_string(p_Error.getColumnNumber()) +
                              ": not well-formed XML: " + Utf8(p_Error.getMessage())};
    }

    std::string m_strSource;
    const Locator* m_pLocator = nullptr;
    bool m_bByName = false;
    std::unique_ptr<CRequestBuilder> m_pBuilder;
    std::vector<COpen> m_Open;
};

}  // namespace

bool RequestXmlChecked(const std::string& p_strXml, const std::string& p_strSource, std::string* p_pXml,
                       std::string* p_pError) {
    try {
        CXmlPlatformUse platform;
        CSecureSaxReader reader;
        CRequestXmlHandler handler(p_strSource);
        reader.SetHandler(&handler);
        reader.GetReader()->setLexicalHandler(&handler);  // for startDTD
        reader.ParseMemory(p_strXml.data(), p_strXml.size(), p_strSource.c_str());
        reader.SetHandler(nullptr);
        reader.GetReader()->setLexicalHandler(nullptr);
        *p_pXml = handler.ToXml();
        if (p_pXml->empty()) {
            *p_pError = p_strSource + ": the request is empty";
            return false;
        }
        return true;
    } catch (const CRequestRefusal& e) {
        *p_pError = e.m_strText;
    } catch (const XMLException& e) {
        *p_pError = p_strSource + ": " + Utf8(e.getMessage());
    }
    return false;
}
