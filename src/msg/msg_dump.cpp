// CMsg::Dump and CMsg::DumpXml: field listings of a message tree for logs.
#include "msg/msg_access.h"
#include "msg/msg_info.h"
#include "msg/msg_text_out.h"

namespace {

// Visits the set bags of a message in definition order with the tag number
// and its dictionary name.
template <class Visit>
void ForEachSetTag(const CMsg& p_Msg, Visit p_Visit) {
    const CMsgInfo* pInfo = MsgAccess::Info(p_Msg);
    MsgAccess::ForEachSetBag(p_Msg, [&](int p_iTagNum, const CMsgValue& p_Bag) {
        const CTagInfo* pTag = pInfo->GetTagInfo(p_iTagNum);
        p_Visit(p_iTagNum, pTag ? pTag->m_strName.ToStr() : "", p_Bag);
    });
}

// One value of a bag that is not a sub-message, as the text dump
// (p_bXml false: as it stands) or the XML dump prints it.
void PutValue(CMsgTextOut& p_Out, const CMsgValue& p_Bag, int p_iIndex, bool p_bXml) {
    const CMsgValue::Value& v = p_Bag.m_Value;
    switch (p_Bag.m_iType) {
        case TAG_TYPE_STRING: {
            const CString* pText = p_Bag.m_bArray ? &(*v.pStrArr)[p_iIndex] : v.pStr;
            const char* pChars = pText ? pText->ToStr() : "";
            size_t iLength = pText ? static_cast<size_t>(pText->GetLength()) : 0;
            if (p_bXml)
                p_Out.PutCData(pChars, iLength);
            else
                p_Out.Put(pChars, iLength);
            break;
        }
        case TAG_TYPE_INT: p_Out.PutInt(p_Bag.m_bArray ? (*v.pIntArr)[p_iIndex] : v.i); break;
        case TAG_TYPE_DBL: p_Out.PutDbl(p_Bag.m_bArray ? (*v.pDblArr)[p_iIndex] : v.d); break;
        case TAG_TYPE_BOOL: p_Out.PutBool(p_Bag.m_bArray ? (*v.pBoolArr)[p_iIndex] : v.b); break;
        case TAG_TYPE_DATE: {
            const CDate* pDate = p_Bag.m_bArray ? &(*v.pDateArr)[p_iIndex] : v.pDate;
            if (pDate && p_bXml)
                p_Out.PutText(pDate->ToStr());
            else if (pDate)
                p_Out.Put(pDate->ToStr());
            break;
        }
        default: break;
    }
}

CMsg* SubMsgAt(const CMsgValue& p_Bag, int p_iIndex) {
    return p_Bag.m_bArray ? MsgAccess::Items(*p_Bag.m_Value.pMsgArr)[p_iIndex] : p_Bag.m_Value.pMsg;
}

// "  %*s[%d](%s)": the head of a Dump field line.
void PutDumpHead(CMsgTextOut& p_Out, int p_iDepth, int p_iTagNum, const char* p_szName) {
    p_Out.Put("  ", 2);
    p_Out.PutIndent(p_iDepth);
    p_Out.Put('[');
    p_Out.PutInt(p_iTagNum);
    p_Out.Put("](", 2);
    p_Out.Put(p_szName);
    p_Out.Put(')');
}

void DumpFields(const CMsg& p_Msg, CMsgTextOut& p_Out, int p_iDepth) {
    ForEachSetTag(p_Msg, [&](int p_iTagNum, const char* p_szName, const CMsgValue& p_Bag) {
        int iCount = MsgAccess::ItemCount(p_Bag);
        if (p_Bag.m_iType == TAG_TYPE_SUBMSG) {
            for (int i = 0; i < iCount; ++i) {
                const CMsg* pSub = SubMsgAt(p_Bag, i);
                if (!pSub)
                    continue;
                PutDumpHead(p_Out, p_iDepth, p_iTagNum, p_szName);
                p_Out.Put(" SUBMSG(", 8);
                p_Out.PutInt(pSub->GetSelfNum());
                p_Out.Put(')');
                if (p_Bag.m_bArray) {
                    p_Out.Put(" row ", 5);
                    p_Out.PutInt(i);
                }
                p_Out.Put('\n');
                DumpFields(*pSub, p_Out, p_iDepth + 1);
            }
            return;
        }
        // The head goes before the first item: an empty array is an empty line.
        if (iCount > 0)
            PutDumpHead(p_Out, p_iDepth, p_iTagNum, p_szName);
        for (int i = 0; i < iCount; ++i) {
            p_Out.Put(' ');
            PutValue(p_Out, p_Bag, i, false);
        }
        p_Out.Put('\n');
    });
}

// The element name of a DumpXml line.
void PutXmlName(CMsgTextOut& p_Out, bool p_bByName, int p_iTagNum, const char* p_szName) {
    if (p_bByName) {
        p_Out.Put(p_szName);
    } else {
        p_Out.Put('t');
        p_Out.PutInt(p_iTagNum);
    }
}

void PutXmlTag(CMsgTextOut& p_Out, bool p_bClose, bool p_bByName, int p_iTagNum, const char* p_szName) {
    p_Out.Put(p_bClose ? "</" : "<", p_bClose ? 2 : 1);
    PutXmlName(p_Out, p_bByName, p_iTagNum, p_szName);
    p_Out.Put('>');
}

void DumpXmlFields(const CMsg& p_Msg, CMsgTextOut& p_Out, bool p_bByName, int p_iDepth) {
    ForEachSetTag(p_Msg, [&](int p_iTagNum, const char* p_szName, const CMsgValue& p_Bag) {
        int iCount = MsgAccess::ItemCount(p_Bag);
        for (int i = 0; i < iCount; ++i) {
            if (p_Bag.m_iType == TAG_TYPE_SUBMSG) {
                const CMsg* pSub = SubMsgAt(p_Bag, i);
                if (!pSub)
                    continue;
                p_Out.PutIndent(p_iDepth);
                PutXmlTag(p_Out, false, p_bByName, p_iTagNum, p_szName);
                p_Out.Put('\n');
                DumpXmlFields(*pSub, p_Out, p_bByName, p_iDepth + 1);
                p_Out.PutIndent(p_iDepth);
                PutXmlTag(p_Out, true, p_bByName, p_iTagNum, p_szName);
                p_Out.Put('\n');
                continue;
            }
            p_Out.PutIndent(p_iDepth);
            PutXmlTag(p_Out, false, p_bByName, p_iTagNum, p_szName);
            PutValue(p_Out, p_Bag, i, true);
            PutXmlTag(p_Out, true, p_bByName, p_iTagNum, p_szName);
            p_Out.Put('\n');
        }
    });
}

}  // namespace

void CMsg::Dump(CStream* p_pStream, bool p_bByName, int p_iDepth) {
    if (!p_pStream)
        return;
    CMsgTextOut out(p_pStream);
    if (p_iDepth == 1) {
        p_pStream->Clear();
        out.Put("Msg Dump ======================================\n");
        out.Put("  MsgNum : ");
        out.PutInt(GetMsgNum());
        out.Put(p_bByName ? "\n    Type : name\n" : "\n    Type : index\n");
        out.Put("     Ver : ");
        out.Put(GetVer());
        out.Put('\n');
    }
    DumpFields(*this, out, p_iDepth);
    if (p_iDepth == 1)
        out.Put("===============================================\n");
}

void CMsg::DumpXml(CStream* p_pStream, bool p_bByName, int p_iDepth) {
    if (!p_pStream)
        return;
    CMsgTextOut out(p_pStream);
    if (p_iDepth == 1) {
        out.Put("<?xml version='1.0' encoding='ISO-8859-1' ?>\n<msg no='");
        out.PutInt(GetMsgNum());
        out.Put(p_bByName ? "' type='name' ver=" : "' type='index' ver=");
        out.PutAttr(GetVer(), '\'');
        out.Put(">\n");
    }
    DumpXmlFields(*this, out, p_bByName, p_iDepth);
    if (p_iDepth == 1)
        out.Put("</msg>\n");
}
