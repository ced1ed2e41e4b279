// CMsg::ToXml: the message XML document, in one pass over each message's
// tags in definition order, appended straight to the stream.
#include "dat_class/num_text.h"
#include "msg/msg_access.h"
#include "msg/msg_info.h"
#include "msg/msg_text_out.h"

namespace {

const char kProlog[] = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>";

// The element name of one tag: its dictionary name, or t/a and its number.
class CElementName {
public:
    CElementName(const CMsgInfo* p_pInfo, int p_iTagNum, bool p_bByName, char p_cPrefix) {
        if (p_bByName) {
            const CTagInfo* pTag = p_pInfo->GetTagInfo(p_iTagNum);
            m_pName = pTag ? pTag->m_strName.ToStr() : "";
            m_iLength = pTag ? static_cast<size_t>(pTag->m_strName.GetLength()) : 0;
        } else {
            m_szNumbered[0] = p_cPrefix;
            m_iLength = 1 + static_cast<size_t>(vorant::num_text::WriteInt(m_szNumbered + 1, p_iTagNum));
            m_pName = m_szNumbered;
        }
    }
    // m_pName may point into this very object.
    CElementName(const CElementName&) = delete;
    CElementName& operator=(const CElementName&) = delete;

    void Open(CMsgTextOut& p_Out) const {
        p_Out.Put('<');
        p_Out.Put(m_pName, m_iLength);
        p_Out.Put('>');
    }
    void Close(CMsgTextOut& p_Out) const {
        p_Out.Put("</", 2);
        p_Out.Put(m_pName, m_iLength);
        p_Out.Put('>');
    }

private:
    char m_szNumbered[1 + vorant::num_text::kIntSize];
    const char* m_pName;
    size_t m_iLength;
};

struct XmlForm {
    bool m_bArrayItemTag;
    bool m_bByName;
};

void WriteFields(const CMsg& p_Msg, CMsgTextOut& p_Out, const XmlForm& p_Form);

void WriteString(CMsgTextOut& p_Out, const CElementName& p_Name, const CString* p_pText) {
    p_Name.Open(p_Out);
    if (p_pText)
        p_Out.PutCData(p_pText->ToStr(), static_cast<size_t>(p_pText->GetLength()));
    else
        p_Out.PutCData("", 0);
    p_Name.Close(p_Out);
}

void WriteSubMsg(CMsgTextOut& p_Out, const CElementName& p_Name, const CMsg* p_pSub, const XmlForm& p_Form) {
    if (!p_pSub)
        return;
    p_Name.Open(p_Out);
    WriteFields(*p_pSub, p_Out, p_Form);
    p_Name.Close(p_Out);
}

// One element holding what p_Put writes.
template <class Put>
void WriteElement(CMsgTextOut& p_Out, const CElementName& p_Name, Put p_Put) {
    p_Name.Open(p_Out);
    p_Put();
    p_Name.Close(p_Out);
}

void WriteSingle(CMsgTextOut& p_Out, const CMsgValue& p_Bag, const CElementName& p_Name, const XmlForm& p_Form) {
    const CMsgValue::Value& v = p_Bag.m_Value;
    switch (p_Bag.m_iType) {
        case TAG_TYPE_STRING: WriteString(p_Out, p_Name, v.pStr); break;
        case TAG_TYPE_INT: WriteElement(p_Out, p_Name, [&] { p_Out.PutInt(v.i); }); break;
        case TAG_TYPE_DBL: WriteElement(p_Out, p_Name, [&] { p_Out.PutDbl(v.d); }); break;
        case TAG_TYPE_BOOL: WriteElement(p_Out, p_Name, [&] { p_Out.PutBool(v.b); }); break;
        case TAG_TYPE_DATE: WriteElement(p_Out, p_Name, [&] { p_Out.PutText(v.pDate->ToStr()); }); break;
        case TAG_TYPE_SUBMSG: WriteSubMsg(p_Out, p_Name, v.pMsg, p_Form); break;
        default: break;
    }
}

// One element per item, all with the same name.
void WriteItems(CMsgTextOut& p_Out, const CMsgValue& p_Bag, const CElementName& p_Name, const XmlForm& p_Form) {
    const CMsgValue::Value& v = p_Bag.m_Value;
    int iCount = MsgAccess::ItemCount(p_Bag);
    for (int i = 0; i < iCount; ++i) {
        switch (p_Bag.m_iType) {
            case TAG_TYPE_STRING: WriteString(p_Out, p_Name, &(*v.pStrArr)[i]); break;
            case TAG_TYPE_INT: WriteElement(p_Out, p_Name, [&] { p_Out.PutInt((*v.pIntArr)[i]); }); break;
            case TAG_TYPE_DBL: WriteElement(p_Out, p_Name, [&] { p_Out.PutDbl((*v.pDblArr)[i]); }); break;
            case TAG_TYPE_BOOL: WriteElement(p_Out, p_Name, [&] { p_Out.PutBool((*v.pBoolArr)[i]); }); break;
            case TAG_TYPE_DATE: WriteElement(p_Out, p_Name, [&] { p_Out.PutText((*v.pDateArr)[i].ToStr()); }); break;
            case TAG_TYPE_SUBMSG: WriteSubMsg(p_Out, p_Name, MsgAccess::Items(*v.pMsgArr)[i], p_Form); break;
            default: break;
        }
    }
}

void WriteFields(const CMsg& p_Msg, CMsgTextOut& p_Out, const XmlForm& p_Form) {
    const CMsgInfo* pInfo = MsgAccess::Info(p_Msg);
    MsgAccess::ForEachSetBag(p_Msg, [&](int p_iTagNum, const CMsgValue& p_Bag) {
        char cPrefix = p_Bag.m_bArray && p_Form.m_bArrayItemTag ? 'a' : 't';
        CElementName name(pInfo, p_iTagNum, p_Form.m_bByName, cPrefix);
        if (p_Bag.m_bArray)
            WriteItems(p_Out, p_Bag, name, p_Form);
        else
            WriteSingle(p_Out, p_Bag, name, p_Form);
    });
}

}  // namespace

int CMsg::ToXml(CStream* p_pStream, bool p_bArrayItemTag, bool p_bByName, int p_iDepth) {
    if (!p_pStream)
        return MA_ERR_NULL_PARAM;
    CMsgTextOut out(p_pStream);
    XmlForm form = {p_bArrayItemTag, p_bByName};
    if (p_iDepth == 1) {
        p_pStream->Clear();
        out.Put(kProlog, sizeof(kProlog) - 1);
        out.Put("<msg no=\"", 9);
        out.PutInt(GetMsgNum());
        if (p_bByName)
            out.Put("\" type=\"name", 12);
        out.Put("\" ver=", 6);
        out.PutAttr(GetVer(), '"');
        out.Put('>');
    }
    WriteFields(*this, out, form);
    if (p_iDepth == 1)
        out.Put("</msg>", 6);
    return 0;
}
