#include "msg/msg_dic_handler.h"

#include <climits>
#include <cstring>

#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/util/XMLString.hpp>

#include "dat_class/num_text.h"
#include "msg/xml_support.h"
#include "vorant/exception.hpp"
#include "vorant/msg_dic.hpp"
#include "vorant/msg_error.hpp"

XERCES_CPP_NAMESPACE_USE

namespace {

// The value of the attribute whose local name is p_pName (the last one when
// several namespaces carry it), narrowed; p_szDefault when there is none.
CString AttributeValue(const Attributes& p_Attrs, const XMLCh* p_pName, const char* p_szDefault) {
    const XMLCh* pValue = nullptr;
    const XMLSize_t n = p_Attrs.getLength();
    for (XMLSize_t i = 0; i < n; ++i) {
        if (XMLString::equals(p_Attrs.getLocalName(i), p_pName))
            pValue = p_Attrs.getValue(i);
    }
    return pValue ? NarrowXmlString(pValue) : CString(p_szDefault);
}

int ClampToInt(XMLFileLoc p_iValue) {
    return p_iValue > static_cast<XMLFileLoc>(INT_MAX) ? INT_MAX : static_cast<int>(p_iValue);
}

}  // namespace

MsgDicHandler::MsgDicHandler(CMsgDic* p_pDic, const char* p_szSourceName)
    : m_iCurMsgNum(0), m_pDic(p_pDic), m_strSourceName(p_szSourceName) {
    m_ElementStack.reserve(30);
}

MsgDicHandler::~MsgDicHandler() = default;

void MsgDicHandler::startElement(const XMLCh* const, const XMLCh* const p_pLocalName, const XMLCh* const,
                                 const Attributes& p_Attrs) {
    m_ElementStack.push_back(TranscodeXmlName(p_pLocalName));
    const size_t iDepth = m_ElementStack.size();
    const char* szName = m_ElementStack.back().ToStr();

    if (iDepth == 1) {
        if (std::strcmp(szName, "msg_dictionary") != 0)
            throw CException(MA_ERR_XML_PARSE, "Unknown root element - %s", szName);
    } else if (iDepth == 2) {
        if (std::strcmp(szName, "msg") != 0)
            throw CException(MA_ERR_XML_PARSE, "Unknown element - %s", szName);
        const CString no = AttributeValue(p_Attrs, u"no", "");
        m_iCurMsgNum = vorant::num_text::ParseInt(no.ToStr());
        m_pDic->SetMsgInfo(m_iCurMsgNum, AttributeValue(p_Attrs, u"name", ""), AttributeValue(p_Attrs, u"ver", ""),
                           AttributeValue(p_Attrs, u"hash", ""));
    } else if (iDepth == 3) {
        if (std::strcmp(szName, "tag") == 0) {
            const CString no = AttributeValue(p_Attrs, u"no", "");
            m_pDic->SetMsgDetail(m_iCurMsgNum, vorant::num_text::ParseInt(no.ToStr()),
                                 AttributeValue(p_Attrs, u"name", ""), AttributeValue(p_Attrs, u"type", ""),
                                 AttributeValue(p_Attrs, u"array", "N"));
        } else if (std::strcmp(szName, "constraint") != 0) {
            throw CException(MA_ERR_XML_PARSE, "Unknown child element - %s", szName);
        }
    }
    // Deeper elements are not read.
}

void MsgDicHandler::endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) {
    if (!m_ElementStack.empty())
        m_ElementStack.pop_back();
}

void MsgDicHandler::warning(const SAXParseException& p_Error) { Raise("W", p_Error); }

void MsgDicHandler::error(const SAXParseException& p_Error) { Raise("E", p_Error); }

void MsgDicHandler::fatalError(const SAXParseException& p_Error) { Raise("F", p_Error); }

void MsgDicHandler::Raise(const char* p_szKind, const SAXParseException& p_Error) const {
    CString source = NarrowXmlString(p_Error.getSystemId());
    if (source.IsEmpty())
        source = m_strSourceName;
    const CString message = NarrowXmlString(p_Error.getMessage());
    throw CException(MA_ERR_XML_PARSE, "[%s]%s (L:%d, C:%d) : %s", p_szKind, source.ToStr(),
                     ClampToInt(p_Error.getLineNumber()), ClampToInt(p_Error.getColumnNumber()), message.ToStr());
}
