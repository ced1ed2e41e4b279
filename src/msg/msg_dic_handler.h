// SAX2 event handler that turns a dictionary document into definitions.
#ifndef VORANT_MSG_MSG_DIC_HANDLER_H
#define VORANT_MSG_MSG_DIC_HANDLER_H

#include <vector>

#include <xercesc/sax2/DefaultHandler.hpp>

#include "vorant/cstring.hpp"

class CMsgDic;

// Fills a CMsgDic from the elements of one dictionary document: "msg" under
// the root "msg_dictionary" defines a message, "tag" under "msg" one of its
// tags. Owns the stack of open element names; the dictionary is not owned.
// Every failure, the parser's diagnostics included, is raised as CException.
class MsgDicHandler : public XERCES_CPP_NAMESPACE::DefaultHandler {
public:
    // p_szSourceName names the document in error texts when the parser gives
    // no system id (a file that cannot be opened).
    MsgDicHandler(CMsgDic* p_pDic, const char* p_szSourceName);
    ~MsgDicHandler() override;
    MsgDicHandler(const MsgDicHandler&) = delete;
    MsgDicHandler& operator=(const MsgDicHandler&) = delete;

    void startElement(const XMLCh* const p_pUri, const XMLCh* const p_pLocalName, const XMLCh* const p_pQName,
                      const XERCES_CPP_NAMESPACE::Attributes& p_Attrs) override;
    void endElement(const XMLCh* const p_pUri, const XMLCh* const p_pLocalName, const XMLCh* const p_pQName) override;
    void characters(const XMLCh* const, const XMLSize_t) override {}
    void ignorableWhitespace(const XMLCh* const, const XMLSize_t) override {}
    void startDocument() override {}
    void endDocument() override {}

    void warning(const XERCES_CPP_NAMESPACE::SAXParseException& p_Error) override;
    void error(const XERCES_CPP_NAMESPACE::SAXParseException& p_Error) override;
    void fatalError(const XERCES_CPP_NAMESPACE::SAXParseException& p_Error) override;

private:
    [[noreturn]] void Raise(const char* p_szKind, const XERCES_CPP_NAMESPACE::SAXParseException& p_Error) const;

    std::vector<CString> m_ElementStack;
    int m_iCurMsgNum;
    CMsgDic* m_pDic;
    CString m_strSourceName;
};

#endif  // VORANT_MSG_MSG_DIC_HANDLER_H
