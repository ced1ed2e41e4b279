// The SAX2 event handler that reads message XML into a message.
#ifndef VORANT_MSG_MSG_HANDLER_H
#define VORANT_MSG_MSG_HANDLER_H

#include <memory>

#include <xercesc/sax2/DefaultHandler.hpp>

#include "vorant/msg.hpp"

class CMsgInfo;
class CTagInfo;

// Walks one message XML document into its target message: the root element
// re-initialises the target, field elements store values, sub-message
// elements descend into new sub-messages. Owns only the text of the current
// run; the message, the dictionary and the definitions stay theirs. Every
// failure is raised as CException and ends the parse.
class MsgHandler : public XERCES_CPP_NAMESPACE::DefaultHandler {
public:
    // Element names hold at most this many characters.
    static const int kMaxNameLength = 127;
    // Elements nest at most this deep: the tree is freed and written
    // recursively.
    static const int kMaxDepth = 256;

    // Raises -12 when either is null.
    MsgHandler(CMsg* p_pMsg, CMsgDic* p_pDic);
    ~MsgHandler() override;
    MsgHandler(const MsgHandler&) = delete;
    MsgHandler& operator=(const MsgHandler&) = delete;

    void characters(const XMLCh* const p_pChars, const XMLSize_t p_iLength) override;
    void endDocument() override {}
    void endElement(const XMLCh* const p_pUri, const XMLCh* const p_pLocalName, const XMLCh* const p_pQName) override;
    void ignorableWhitespace(const XMLCh* const, const XMLSize_t) override {}
    void startDocument() override {}
    // Messages carry no DTD; refusing it keeps entities and attribute
    // defaults from multiplying a small hostile answer.
    void startDTD(const XMLCh* const p_pName, const XMLCh* const p_pPublicId, const XMLCh* const p_pSystemId) override;
    void startElement(const XMLCh* const p_pUri, const XMLCh* const p_pLocalName, const XMLCh* const p_pQName,
                      const XERCES_CPP_NAMESPACE::Attributes& p_Attrs) override;

    void warning(const XERCES_CPP_NAMESPACE::SAXParseException& p_Error) override;
    void error(const XERCES_CPP_NAMESPACE::SAXParseException& p_Error) override;
    void fatalError(const XERCES_CPP_NAMESPACE::SAXParseException& p_Error) override;

private:
    // A piece of text at least this long starts a long run.
    static const XMLSize_t kLongPiece = 64 * 1024;

    struct ElementName {
        char m_szText[kMaxNameLength + 1];
    };

    // Reads the root element: number, form and version; resets the target.
    void StartRoot(const char* p_szName, const XERCES_CPP_NAMESPACE::Attributes& p_Attrs);
    // The definition of the innermost open message when an element at depth
    // p_iDepth (2 or more) is a field of it, else null.
    const CMsgInfo* InnermostFor(int p_iDepth) const {
        return p_iDepth - 1 == m_iOpenInfos ? m_pOpenInfos[m_iOpenInfos - 1] : nullptr;
    }
    // The definition of the message that holds an element at depth p_iDepth.
    const CMsgInfo* OuterInfo(int p_iDepth) const {
        const CMsgInfo* pInfo = InnermostFor(p_iDepth);
        if (!pInfo)
            RaiseNotInMessage(p_iDepth);
        return pInfo;
    }
    // The tag an element name stands for in p_pInfo.
    const CTagInfo* ResolveTag(const CMsgInfo* p_pInfo, const char* p_szName) const;
    // What characters() does with a piece its room cannot take or that is
    // part of a long run: joins it to the long run, starts one, or grows the
    // room for it.
    [[gnu::noinline]] void AddOtherPiece(const XMLCh* p_pChars, XMLSize_t p_iLength);
    // startElement for any element but a known numbered field of the
    // innermost open message: the root, names, and every refusal.
    [[gnu::noinline]] void StartAnyElement(const XMLCh* p_pName, int p_iNumbered,
                                           const XERCES_CPP_NAMESPACE::Attributes& p_Attrs);
    // Makes p_Tag, found in p_pOuter, the current field; a sub-message tag
    // opens its sub-message.
    void EnterField(const CMsgInfo* p_pOuter, const CTagInfo& p_Tag);
    [[gnu::noinline]] void OpenSubMsg(const CMsgInfo* p_pOuter, const CTagInfo& p_Tag);
    // Raised for an element inside a field that is not a sub-message.
    [[noreturn]] void RaiseNotInMessage(int p_iDepth) const;
    // Stores the trimmed text run against the current tag, then empties it.
    // Inline: most markup events follow no text.
    void FlushText() {
        if (m_bLongText || m_nText != 0)
            FlushTextRun();
    }
    void FlushTextRun();
    void FlushLongText();
    // Where new bags of the current message go: the root's own stay on the
    // heap (a message without rows makes no arena), the rest in the arena.
    CMsgArena* BagArena() const;
    // The definition of the sub-message p_Tag names, when the dictionary
    // has one (else null: the checked path then raises).
    CMsgInfo* SubInfo(const CTagInfo& p_Tag);

    int m_iDepth;  // open elements, the root included
    CMsgDic* m_pMsgDic;
    int m_iMsgNum;
    bool m_bByName;
    int m_iCurTagNum;
    const CTagInfo* m_pCurTag;  // its definition, found in m_pCurTagOwner
    const CMsgInfo* m_pCurTagOwner;
    CMsg* m_pRootMsg;
    CMsg* m_pCurMsg;
    CMsgArena* m_pArena;  // the root's, once a sub-message needed it
    // The definitions of the open message levels, the root's first; not
    // owned. Every level but the root's is an open element.
    CMsgInfo* m_pOpenInfos[kMaxDepth + 1];
    int m_iOpenInfos;
    // The definition of the sub-message the last sub-message tag named.
    const CTagInfo* m_pLastSubTag;
    CMsgInfo* m_pLastSubInfo;
    // Per depth of an open field element, whether it is a sub-message: an
    // end tag names the element its start tag opened, so it needs no second
    // lookup.
    bool m_bOpenSubMsg[kMaxDepth + 1];
    // The characters since the last markup event, narrowed, m_nText of them
    // in m_pText, which holds m_nTextRoom: m_szShortText until a run needs
    // more, then m_pLongRoom, which grows and is kept for the parse.
    char* m_pText;
    size_t m_nText;
    size_t m_nTextRoom;
    std::unique_ptr<char[]> m_pLongRoom;
    char m_szShortText[256];
    // A run that starts with a long piece is gathered here instead, so that
    // a single string tag takes it over without a second copy.
    CString m_strLongText;
    bool m_bLongText;
};

// Parses p_szXml (zero-terminated) with p_pHandler, on this thread's reader.
// Raises CException: -12 for a null text, the handler's failures as
// "Handler error : %s", the parser's as -21 or -11.
void ParseMsgXml(const char* p_szXml, MsgHandler* p_pHandler);

#endif  // VORANT_MSG_MSG_HANDLER_H
