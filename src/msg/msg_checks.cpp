// The checks shared by the typed members, in their fixed order, with the
// codes and details they record.
#include "msg/msg_access.h"
#include "msg/msg_info.h"

int MsgAccess::Fail(CMsg& p_Msg, int p_iCode, const char* p_szDetail) {
    p_Msg.SetLastError(p_iCode, "%s", p_szDetail);
    return p_iCode;
}

int MsgAccess::NullParam(CMsg& p_Msg) { return Fail(p_Msg, MA_ERR_NULL_PARAM, ""); }

int MsgAccess::CheckTag(CMsg& p_Msg, int p_iTagNum, const CTagInfo** p_ppTag) {
    if (!p_Msg.m_pMsgInfo) {
        p_Msg.SetLastError(MA_ERR_MSG_NOT_DEFINED, "msgnum=%d, tagnum=%d", p_Msg.GetSelfNum(), p_iTagNum);
        return MA_ERR_MSG_NOT_DEFINED;
    }
    const CTagInfo* pTag = p_Msg.m_pMsgInfo->GetTagInfo(p_iTagNum);
    if (!pTag) {
        p_Msg.SetLastError(MA_ERR_TAG_NOT_DEFINED, "msgnum=%d, tagnum=%d", p_Msg.GetSelfNum(), p_iTagNum);
        return MA_ERR_TAG_NOT_DEFINED;
    }
    if (p_ppTag)
        *p_ppTag = pTag;
    return 0;
}

int MsgAccess::TypeMismatch(CMsg& p_Msg, int p_iLine, int p_iTagNum, int p_iFound, int p_iWanted) {
    p_Msg.SetLastError(MA_ERR_TAG_TYPE, "Line:%d, tagnum=%d,type=(%s/%s)", p_iLine, p_iTagNum,
                       GetTagTypeName(p_iFound).ToStr(), GetTagTypeName(p_iWanted).ToStr());
    return MA_ERR_TAG_TYPE;
}

int MsgAccess::PrepareStore(CMsg& p_Msg, int p_iTagNum, int p_iType, int p_iLine, CMsgValue** p_ppBag) {
    const CTagInfo* pTag = nullptr;
    int iResult = CheckTag(p_Msg, p_iTagNum, &pTag);
    if (iResult != 0)
        return iResult;
    if (pTag->m_iType != p_iType)
        return TypeMismatch(p_Msg, p_iLine, p_iTagNum, pTag->m_iType, p_iType);
    CMsgValue* pBag = p_Msg.GetHashBag(p_iTagNum);
    if (!pBag) {
        pBag = NewBag(p_Msg, p_iTagNum);
        if (!pBag)
            return Fail(p_Msg, MA_ERR_MEMORY, "new CMsgValue failed");
    } else if (pBag->m_iType != 0 && pBag->m_iType != p_iType) {
        // Never reinterpret what a bag of another type holds.
        return TypeMismatch(p_Msg, p_iLine, p_iTagNum, pBag->m_iType, p_iType);
    }
    pBag->m_iType = static_cast<signed char>(p_iType);
    pBag->m_bArray = pTag->m_bArray;
    *p_ppBag = pBag;
    return 0;
}

int MsgAccess::PrepareRead(CMsg& p_Msg, int p_iTagNum, int p_iType, int p_iLine, CMsgValue** p_ppBag) {
    int iResult = CheckTag(p_Msg, p_iTagNum);
    if (iResult != 0)
        return iResult;
    CMsgValue* pBag = p_Msg.GetHashBag(p_iTagNum);
    if (!pBag) {
        p_Msg.SetLastError(MA_ERR_NO_DATA, "tagnum=%d", p_iTagNum);
        return MA_ERR_NO_DATA;
    }
    if (pBag->m_iType != p_iType)
        return TypeMismatch(p_Msg, p_iLine, p_iTagNum, pBag->m_iType, p_iType);
    if (!pBag->m_bSet) {
        p_Msg.SetLastError(MA_ERR_NO_DATA, "tagnum=%d,Unset", p_iTagNum);
        return MA_ERR_NO_DATA;
    }
    bool bNeedsObject = pBag->m_bArray || p_iType == TAG_TYPE_STRING || p_iType == TAG_TYPE_DATE;
    if (bNeedsObject && !pBag->m_Value.p) {
        p_Msg.SetLastError(MA_ERR_NO_DATA, "tagnum=%d,NULL", p_iTagNum);
        return MA_ERR_NO_DATA;
    }
    *p_ppBag = pBag;
    return 0;
}

int MsgAccess::IndexFailure(CMsg& p_Msg, int p_iTagNum) {
    // The record says "No Data found"; the result says which bound failed.
    p_Msg.SetLastError(MA_ERR_NO_DATA, "tagnum=%d", p_iTagNum);
    return MA_ERR_ARRAY_INDEX;
}

int MsgAccess::ResolveName(CMsg& p_Msg, const char* p_szName, int* p_piTagNum) {
    if (!p_Msg.m_pMsgInfo) {
        p_Msg.SetLastError(MA_ERR_MSG_NOT_DEFINED, "msgnum=%d", p_Msg.GetSelfNum());
        return MA_ERR_MSG_NOT_DEFINED;
    }
    *p_piTagNum = -1;
    // A null name is an unknown name.
    if (p_szName)
        p_Msg.m_pMsgInfo->GetTagNum(p_szName, p_piTagNum);
    return 0;
}
