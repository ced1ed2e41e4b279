// MsgHandler: message XML events into a message tree.
#include "msg/msg_handler.h"

#include <cstring>
#include <utility>

#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/sax2/Attributes.hpp>
#include <xercesc/util/XMLString.hpp>
#include <xercesc/util/XMLUniDefs.hpp>

#include "dat_class/num_text.h"
#include "msg/msg_access.h"
#include "msg/msg_info.h"
#include "msg/xml_support.h"

XERCES_CPP_NAMESPACE_USE

namespace {

const XMLCh kAttrNo[] = {chLatin_n, chLatin_o, chNull};
const XMLCh kAttrType[] = {chLatin_t, chLatin_y, chLatin_p, chLatin_e, chNull};
const XMLCh kAttrVer[] = {chLatin_v, chLatin_e, chLatin_r, chNull};

// The low byte of each unit of an element name. Longer names than the
// handler takes are refused rather than cut, so no other tag is matched.
void NarrowName(const XMLCh* p_pName, char* p_szOut) {
    int i = 0;
    for (; p_pName && p_pName[i]; ++i) {
        if (i == MsgHandler::kMaxNameLength) {
            p_szOut[i] = '\0';
            throw CException(MA_ERR_XML_PARSE, "Element name too long(%.32s...)", p_szOut);
        }
        p_szOut[i] = static_cast<char>(p_pName[i] & 0xFF);
    }
    p_szOut[i] = '\0';
}

// The tag number of a numbered element name of plain ASCII ("t12", "a3"),
// read from the parser's text; -1 for any other name, which the general
// path reads (with the same result where both apply).
int PlainNumberedTag(const XMLCh* p_pName) {
    if (!p_pName || (p_pName[0] != chLatin_t && p_pName[0] != chLatin_a))
        return -1;
    int iValue = 0;
    int i = 1;
    for (; p_pName[i] >= chDigit_0 && p_pName[i] <= chDigit_9; ++i) {
        if (i > 9)
            return -1;
        iValue = iValue * 10 + (p_pName[i] - chDigit_0);
    }
    return i > 1 && p_pName[i] == chNull ? iValue : -1;
}

[[noreturn]] void RaiseParseError(const char* p_szKind, const SAXParseException& p_Error) {
    throw CException(MA_ERR_XML_PARSE, "[%s]%s (L:%d, C:%d) %s", p_szKind,
                     NarrowXmlString(p_Error.getSystemId()).ToStr(), static_cast<int>(p_Error.getLineNumber()),
                     static_cast<int>(p_Error.getColumnNumber()), NarrowXmlString(p_Error.getMessage()).ToStr());
}

}  // namespace

MsgHandler::MsgHandler(CMsg* p_pMsg, CMsgDic* p_pDic)
    : m_iDepth(0),
      m_pMsgDic(p_pDic),
      m_iMsgNum(0),
      m_bByName(false),
      m_iCurTagNum(0),
      m_pCurTag(nullptr),
      m_pCurTagOwner(nullptr),
      m_pRootMsg(p_pMsg),
      m_pCurMsg(p_pMsg),
      m_pArena(nullptr),
      m_iOpenInfos(0),
      m_pLastSubTag(nullptr),
      m_pLastSubInfo(nullptr),
      m_bOpenSubMsg(),
      m_pText(m_szShortText),
      m_nText(0),
      m_nTextRoom(sizeof m_szShortText),
      m_bLongText(false) {
    if (!p_pMsg || !p_pDic)
        throw CException(MA_ERR_NULL_PARAM, "MsgHandler::MsgHandler - Parameter is NULL(%p,%p)",
                         static_cast<void*>(p_pMsg), static_cast<void*>(p_pDic));
}

MsgHandler::~MsgHandler() = default;

namespace {

// The low bytes of up to p_iLength units into p_pOut, stopping at a zero
// unit; how many were taken. Unit by unit: the parser has just written
// these units one by one, and wider loads of them wait for those stores.
inline size_t NarrowUnits(const XMLCh* p_pChars, size_t p_iLength, char* p_pOut) {
    size_t nTake = 0;
    for (; nTake < p_iLength && p_pChars[nTake] != 0; ++nTake)
        p_pOut[nTake] = static_cast<char>(p_pChars[nTake] & 0xFF);
    return nTake;
}

}  // namespace

void MsgHandler::characters(const XMLCh* const p_pChars, const XMLSize_t p_iLength) {
    // Pieces of one run (split CDATA sections, character references) are
    // joined and stored once; the room kept is for the terminator that
    // numbers are read up to.
    if (!m_bLongText && p_iLength < kLongPiece && p_iLength < m_nTextRoom - m_nText)
        m_nText += NarrowUnits(p_pChars, p_iLength, m_pText + m_nText);
    else
        AddOtherPiece(p_pChars, p_iLength);
}

void MsgHandler::AddOtherPiece(const XMLCh* p_pChars, XMLSize_t p_iLength) {
    if (m_bLongText) {
        m_strLongText += NarrowXmlString(p_pChars, p_iLength);
    } else if (m_nText == 0 && p_iLength >= kLongPiece) {
        m_strLongText = NarrowXmlString(p_pChars, p_iLength);
        m_bLongText = true;
    } else {
        size_t nRoom = m_nTextRoom;
        while (nRoom - m_nText <= p_iLength)
            nRoom *= 2;
        std::unique_ptr<char[]> pRoom(new char[nRoom]);
        std::memcpy(pRoom.get(), m_pText, m_nText);
        m_pLongRoom = std::move(pRoom);
        m_pText = m_pLongRoom.get();
        m_nTextRoom = nRoom;
        m_nText += NarrowUnits(p_pChars, p_iLength, m_pText + m_nText);
    }
}

void MsgHandler::startDTD(const XMLCh* const, const XMLCh* const, const XMLCh* const) {
    throw CException(MA_ERR_XML_PARSE, "%s", "Document type declaration not allowed");
}

void MsgHandler::startElement(const XMLCh* const, const XMLCh* const p_pLocalName, const XMLCh* const p_pQName,
                              const Attributes& p_Attrs) {
    FlushText();
    // Without namespace processing only the qualified name is given.
    const XMLCh* pName = p_pLocalName && *p_pLocalName ? p_pLocalName : p_pQName;
    // Most elements are numbered fields of the innermost open message: they
    // need no 8-bit copy of their name and nothing out of line.
    const int iNumbered = m_bByName || m_iDepth == 0 ? -1 : PlainNumberedTag(pName);
    const CMsgInfo* pOuter = iNumbered >= 0 && m_iDepth < kMaxDepth ? InnermostFor(m_iDepth + 1) : nullptr;
    if (const CTagInfo* pTag = pOuter ? pOuter->GetTagInfo(iNumbered) : nullptr) {
        ++m_iDepth;
        EnterField(pOuter, *pTag);
        return;
    }
    StartAnyElement(pName, iNumbered, p_Attrs);
}

void MsgHandler::StartAnyElement(const XMLCh* p_pName, int p_iNumbered, const Attributes& p_Attrs) {
    ElementName name;
    if (p_iNumbered < 0)
        NarrowName(p_pName, name.m_szText);
    ++m_iDepth;
    if (m_iDepth > kMaxDepth)
        throw CException(MA_ERR_XML_PARSE, "Too deep element nesting(%d)", m_iDepth);
    if (m_iDepth == 1) {
        StartRoot(name.m_szText, p_Attrs);
        return;
    }
    const CMsgInfo* pOuter = OuterInfo(m_iDepth);
    const CTagInfo* pTag = p_iNumbered >= 0 ? pOuter->GetTagInfo(p_iNumbered) : ResolveTag(pOuter, name.m_szText);
    if (!pTag) {
        NarrowName(p_pName, name.m_szText);
        pTag = ResolveTag(pOuter, name.m_szText);
    }
    EnterField(pOuter, *pTag);
}

void MsgHandler::EnterField(const CMsgInfo* p_pOuter, const CTagInfo& p_Tag) {
    const bool bSubMsg = p_Tag.m_iType == TAG_TYPE_SUBMSG;
    if (bSubMsg)
        OpenSubMsg(p_pOuter, p_Tag);
    m_bOpenSubMsg[m_iDepth] = bSubMsg;
    m_iCurTagNum = p_Tag.m_iTagNum;
    m_pCurTag = &p_Tag;
    m_pCurTagOwner = p_pOuter;
}

void MsgHandler::OpenSubMsg(const CMsgInfo* p_pOuter, const CTagInfo& p_Tag) {
    if (!m_pArena)
        m_pArena = MsgAccess::ParseArena(*m_pRootMsg);
    const bool bKnown = p_pOuter == MsgAccess::Info(*m_pCurMsg);
    m_pCurMsg = MsgAccess::MakeSubMsg(*m_pCurMsg, p_Tag.m_iTagNum, bKnown ? &p_Tag : nullptr, BagArena(), m_pArena,
                                      bKnown ? SubInfo(p_Tag) : nullptr);
    m_pOpenInfos[m_iOpenInfos++] = MsgAccess::Info(*m_pCurMsg);
}

void MsgHandler::endElement(const XMLCh* const, const XMLCh* const, const XMLCh* const) {
    FlushText();
    int iDepth = m_iDepth--;
    if (iDepth <= 1 || iDepth > kMaxDepth)
        return;
    if (m_bOpenSubMsg[iDepth]) {
        if (m_pCurMsg->GetParentMsg())
            m_pCurMsg = m_pCurMsg->GetParentMsg();
        --m_iOpenInfos;
    }
}

void MsgHandler::StartRoot(const char* p_szName, const Attributes& p_Attrs) {
    if (std::strcmp(p_szName, "msg") != 0)
        throw CException(MA_ERR_XML_PARSE, "Unknown root element(%s)", p_szName);
    CString strVer;
    for (XMLSize_t i = 0; i < p_Attrs.getLength(); ++i) {
        const XMLCh* pName = p_Attrs.getLocalName(i);
        if (!pName || !*pName)
            pName = p_Attrs.getQName(i);
        if (XMLString::equals(pName, kAttrNo))
            m_iMsgNum = vorant::num_text::ParseInt(NarrowXmlString(p_Attrs.getValue(i)).ToStr());
        else if (XMLString::equals(pName, kAttrType))
            m_bByName = NarrowXmlString(p_Attrs.getValue(i)).Compare("name") == 0;
        else if (XMLString::equals(pName, kAttrVer))
            strVer = NarrowXmlString(p_Attrs.getValue(i));
    }
    if (!CMsgDic::IsValidMsgNum(m_iMsgNum) || !m_pMsgDic->GetMsgInfo(m_iMsgNum))
        throw CException(MA_ERR_XML_PARSE, "Unknown msgno(%d)", m_iMsgNum);
    m_pRootMsg->Init(m_iMsgNum, 0, 0);
    // SetVer keeps at most the 16 characters a version holds.
    m_pRootMsg->SetVer(strVer);
    m_pOpenInfos[m_iOpenInfos++] = m_pMsgDic->GetMsgInfo(m_iMsgNum);
}

void MsgHandler::RaiseNotInMessage(int p_iDepth) const {
    // The text of the index error this case has always ended with.
    throw CException(0, "CPtrArray::GetAt : Invalid Index(%d:%d)", m_iOpenInfos - 1, p_iDepth - 2);
}

CMsgInfo* MsgHandler::SubInfo(const CTagInfo& p_Tag) {
    if (&p_Tag != m_pLastSubTag) {
        m_pLastSubTag = &p_Tag;
        m_pLastSubInfo = CMsgDic::IsValidMsgNum(p_Tag.m_iSubMsg) ? m_pMsgDic->GetMsgInfo(p_Tag.m_iSubMsg) : nullptr;
    }
    return m_pLastSubInfo;
}

const CTagInfo* MsgHandler::ResolveTag(const CMsgInfo* p_pInfo, const char* p_szName) const {
    int iTagNum = -1;
    if (m_bByName) {
        p_pInfo->GetTagNum(p_szName, &iTagNum);
        if (iTagNum < 0)
            throw CException(MA_ERR_XML_PARSE, "Unknown start tagname(%s)", p_szName);
    } else {
        if (p_szName[0] != 't' && p_szName[0] != 'a')
            throw CException(MA_ERR_XML_PARSE, "Unknown start tagnum(%s)", p_szName);
        iTagNum = vorant::num_text::ParseInt(p_szName + 1);
    }
    const CTagInfo* pTag = p_pInfo->GetTagInfo(iTagNum);
    if (!pTag)
        throw CException(MA_ERR_XML_PARSE, "Unknown start tag element(%s, %d)", p_szName, iTagNum);
    return pTag;
}

namespace {

// What a text run is trimmed of: spaces, tabs and line feeds; a carriage
// return is kept.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

void MsgHandler::FlushLongText() {
    m_bLongText = false;
    CString strText(std::move(m_strLongText));
    const char* pText = strText.ToStr();
    int iBegin = 0;
    int iEnd = strText.GetLength();
    while (iBegin < iEnd && IsBlank(pText[iBegin]))
        ++iBegin;
    while (iEnd > iBegin && IsBlank(pText[iEnd - 1]))
        --iEnd;
    if (iBegin < iEnd && m_iDepth >= 1 && m_iCurTagNum >= 0) {
        strText.Delete(iEnd, strText.GetLength() - iEnd);
        strText.Delete(0, iBegin);
        const CTagInfo* pKnown = m_pCurTagOwner == MsgAccess::Info(*m_pCurMsg) ? m_pCurTag : nullptr;
        MsgAccess::StoreText(*m_pCurMsg, m_iCurTagNum, pKnown, strText, BagArena());
    }
}

void MsgHandler::FlushTextRun() {
    if (m_bLongText) {
        FlushLongText();
        return;
    }
    char* pText = m_pText;
    size_t iBegin = 0;
    size_t iEnd = m_nText;
    m_nText = 0;
    while (iBegin < iEnd && IsBlank(pText[iBegin]))
        ++iBegin;
    while (iEnd > iBegin && IsBlank(pText[iEnd - 1]))
        --iEnd;
    if (iBegin < iEnd && m_iDepth >= 1 && m_iCurTagNum >= 0) {
        pText[iEnd] = '\0';
        // The tag found at the start tag serves while its message is current.
        const CTagInfo* pKnown = m_pCurTagOwner == MsgAccess::Info(*m_pCurMsg) ? m_pCurTag : nullptr;
        MsgAccess::StoreText(*m_pCurMsg, m_iCurTagNum, pKnown, pText + iBegin, iEnd - iBegin, BagArena());
    }
}

CMsgArena* MsgHandler::BagArena() const { return m_pCurMsg == m_pRootMsg ? nullptr : m_pArena; }

void MsgHandler::warning(const SAXParseException& p_Error) { RaiseParseError("W", p_Error); }

void MsgHandler::error(const SAXParseException& p_Error) { RaiseParseError("E", p_Error); }

void MsgHandler::fatalError(const SAXParseException& p_Error) { RaiseParseError("F", p_Error); }
