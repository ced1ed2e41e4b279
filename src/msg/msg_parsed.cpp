// The reader's entry points into a message: SetParsedData stores one value
// given as text, MakeSubMsgEntry makes the sub-message of one element. Both
// raise CException on failure.
#include <climits>
#include <cstring>
#include <utility>

#include "dat_class/array_growth.h"
#include "dat_class/num_text.h"
#include "msg/msg_access.h"
#include "msg/msg_arena.h"
#include "msg/msg_info.h"
#include "msg/msg_value_kinds.h"
#include "vorant/msg_dic.hpp"

namespace {

// The container of an array bag, created on first use.
template <class T>
typename MsgValueKind<T>::Array* ItemsOf(CMsgValue* p_pBag) {
    auto*& pItems = MsgValueKind<T>::Items(*p_pBag);
    if (!pItems) {
        pItems = MsgTryNew<typename MsgValueKind<T>::Array>();
        if (!pItems)
            throw CException(MsgValueKind<T>::kNewArray, MA_ERR_MEMORY);
    }
    return pItems;
}

// int, double and bool: appended, or kept when the single tag has none yet.
template <class T>
void StoreInPlace(CMsgValue* p_pBag, T p_Value) {
    if (p_pBag->m_bArray)
        ItemsOf<T>(p_pBag)->Add(p_Value);
    else if (!p_pBag->m_bSet)
        MsgValueKind<T>::Single(*p_pBag) = p_Value;
}

// A single date for p_pBag made from p_Arg: in p_pArena when
// given (the bag then says so), else on the heap; null when memory runs out.
template <class T, class A>
T* NewSingle(CMsgValue* p_pBag, CMsgArena* p_pArena, A&& p_Arg) {
    if (!p_pArena)
        return MsgTryNew<T>(std::forward<A>(p_Arg));
    void* pPlace = p_pArena->Allocate(sizeof(T), alignof(T));
    if (!pPlace)
        return MsgTryNew<T>(std::forward<A>(p_Arg));
    T* pValue = MsgNullOnMemoryFailure([&] { return new (pPlace) T(std::forward<A>(p_Arg)); });
    if (pValue)
        p_pBag->m_bValueInArena = true;
    return pValue;
}

// A single string for p_pBag of p_szText (p_nLength characters): with its
// characters in p_pArena when given (the bag then says so), else on the
// heap; null when memory runs out.
CString* NewText(CMsgValue* p_pBag, CMsgArena* p_pArena, const char* p_szText, size_t p_nLength) {
    if (p_pArena && p_nLength < INT_MAX) {
        if (void* pPlace = p_pArena->Allocate(CPlacedString::Size(p_nLength), alignof(CString))) {
            p_pBag->m_bValueInArena = true;
            return CPlacedString::Make(pPlace, p_szText, p_nLength);
        }
    }
    return MsgTryNew<CString>(p_szText);
}

void StoreString(CMsgValue* p_pBag, const char* p_szText, size_t p_nLength, CMsgArena* p_pArena) {
    if (p_pBag->m_bArray) {
        ItemsOf<CString>(p_pBag)->Add(p_szText);
        return;
    }
    if (!p_pBag->m_Value.pStr) {
        // Created with the text: the first value of a single tag is the one kept.
        p_pBag->m_Value.pStr =
            p_pBag->m_bSet ? NewText(p_pBag, p_pArena, "", 0) : NewText(p_pBag, p_pArena, p_szText, p_nLength);
        if (!p_pBag->m_Value.pStr)
            throw CException("new CString failed", MA_ERR_MEMORY);
    } else if (!p_pBag->m_bSet) {
        p_pBag->m_Value.pStr->Set(p_szText);
    }
}

void StoreDate(CMsgValue* p_pBag, const CDate& p_Date, CMsgArena* p_pArena) {
    if (p_pBag->m_bArray) {
        ItemsOf<CDate>(p_pBag)->Add(p_Date);
        return;
    }
    if (!p_pBag->m_Value.pDate) {
        p_pBag->m_Value.pDate = NewSingle<CDate>(p_pBag, p_pArena, CDate());
        if (!p_pBag->m_Value.pDate)
            throw CException("new CDate failed", MA_ERR_MEMORY);
    }
    if (!p_pBag->m_bSet)
        *p_pBag->m_Value.pDate = p_Date;
}

// A parse adds rows one by one to an array no caller sees the capacity of:
// while small it skips ahead along the usual capacities to at least twice
// its own, so that a few hundred rows take a few copies instead of one per
// handful, and from 65 536 slots on it grows exactly as every array does
// (where a huge answer's last copy falls decides its peak). Failure is left
// to the append.
void GrowParsedRows(CMsgArray& p_Rows) {
    const int kSkipBelow = 65536;
    const int iCapacity = p_Rows.GetBufferSize();
    if (iCapacity == 0 || iCapacity >= kSkipBelow || p_Rows.GetSize() != iCapacity)
        return;
    int iTarget = iCapacity;
    while (iTarget <= 2 * iCapacity)
        iTarget = vorant::GrownCapacity(iTarget, iTarget, 0);
    p_Rows.SetBufferSize(iTarget - iCapacity);  // grows by that many
}

}  // namespace

void CMsg::SetParsedData(int p_iTagNum, CString p_strValue) {
    MsgAccess::StoreText(*this, p_iTagNum, nullptr, p_strValue.ToStr(), static_cast<size_t>(p_strValue.GetLength()),
                         nullptr);
}

CMsgValue* MsgAccess::StoreBag(CMsg& p_Msg, int p_iTagNum, const CTagInfo* p_pTag, CMsgArena* p_pArena) {
    const CMsgInfo* pInfo = p_Msg.m_pMsgInfo;
    if (!pInfo)
        throw CException(MA_ERR_MSG_NOT_DEFINED, "msgnum=%d", p_Msg.GetSelfNum());
    CMsgValue* pBag = p_Msg.GetHashBag(p_iTagNum);
    if (!pBag) {
        const CTagInfo* pTag = p_pTag ? p_pTag : pInfo->GetTagInfo(p_iTagNum);
        if (!pTag)
            throw CException(MA_ERR_TAG_NOT_DEFINED, "tagnum=%d", p_iTagNum);
        pBag = NewBag(p_Msg, p_iTagNum, p_pArena);
        if (!pBag)
            throw CException("new CMsgValue failed", MA_ERR_MEMORY);
        pBag->m_iType = static_cast<signed char>(pTag->m_iType);
        pBag->m_bArray = pTag->m_bArray;
    }
    return pBag;
}

void MsgAccess::StoreText(CMsg& p_Msg, int p_iTagNum, const CTagInfo* p_pTag, CString& p_strText, CMsgArena* p_pArena) {
    CMsgValue* pBag = StoreBag(p_Msg, p_iTagNum, p_pTag, p_pArena);
    if (pBag->m_iType == TAG_TYPE_STRING && pBag->m_bArray) {
        // The new item takes the text over as well.
        CStrArray* pItems = ItemsOf<CString>(pBag);
        (*pItems)[pItems->Add("")] = std::move(p_strText);
        pBag->m_bSet = true;
        return;
    }
    if (pBag->m_iType != TAG_TYPE_STRING || pBag->m_bSet || pBag->m_Value.pStr) {
        StoreText(p_Msg, p_iTagNum, p_pTag, p_strText.ToStr(), static_cast<size_t>(p_strText.GetLength()), p_pArena);
        return;
    }
    // On the heap: the text's own buffer is kept.
    pBag->m_Value.pStr = MsgTryNew<CString>(std::move(p_strText));
    if (!pBag->m_Value.pStr)
        throw CException("new CString failed", MA_ERR_MEMORY);
    pBag->m_bSet = true;
}

void MsgAccess::StoreText(CMsg& p_Msg, int p_iTagNum, const CTagInfo* p_pTag, const char* p_szText, size_t p_iLength,
                          CMsgArena* p_pArena) {
    CMsgValue* pBag = StoreBag(p_Msg, p_iTagNum, p_pTag, p_pArena);
    switch (pBag->m_iType) {
        case TAG_TYPE_STRING: StoreString(pBag, p_szText, p_iLength, p_pArena); break;
        case TAG_TYPE_INT: StoreInPlace<int>(pBag, vorant::num_text::ParseInt(p_szText)); break;
        case TAG_TYPE_DBL: StoreInPlace<double>(pBag, vorant::num_text::ParseDbl(p_szText)); break;
        case TAG_TYPE_BOOL: StoreInPlace<bool>(pBag, p_iLength == 4 && std::memcmp(p_szText, "true", 4) == 0); break;
        case TAG_TYPE_DATE: StoreDate(pBag, CDate(p_szText), p_pArena); break;
        default: throw CException(MA_ERR_TAG_TYPE, "tagnum=%d,type=%d", p_iTagNum, pBag->m_iType);
    }
    pBag->m_bSet = true;
}

CMsg* CMsg::MakeSubMsgEntry(int p_iTagNum) {
    return MsgAccess::MakeSubMsg(*this, p_iTagNum, nullptr, nullptr, nullptr);
}

CMsg* MsgAccess::MakeSubMsg(CMsg& p_Msg, int p_iTagNum, const CTagInfo* p_pTag, CMsgArena* p_pBagArena,
                            CMsgArena* p_pSubArena, CMsgInfo* p_pSubInfo) {
    const CMsgInfo* pInfo = p_Msg.m_pMsgInfo;
    if (!pInfo)
        throw CException(MA_ERR_MSG_NOT_DEFINED, "tagnum=%d,submsgnum=%d", p_iTagNum, p_Msg.GetSelfNum());
    const CTagInfo* pTag = p_pTag ? p_pTag : pInfo->GetTagInfo(p_iTagNum);
    if (!pTag)
        throw CException(MA_ERR_TAG_NOT_DEFINED, "tagnum=%d", p_iTagNum);
    // A bag of sub-messages on a tag of another type would later be read as
    // that type.
    if (pTag->m_iType != TAG_TYPE_SUBMSG)
        throw CException(MA_ERR_TAG_TYPE, "tagnum=%d,type=%d", p_iTagNum, pTag->m_iType);
    CMsgValue* pBag = p_Msg.GetHashBag(p_iTagNum);
    if (!pBag) {
        pBag = NewBag(p_Msg, p_iTagNum, p_pBagArena);
        if (!pBag)
            throw CException("new CMsgValue failed", MA_ERR_MEMORY);
        pBag->m_iType = TAG_TYPE_SUBMSG;
        pBag->m_bArray = pTag->m_bArray;
    }
    const int iSubNum = pTag->m_iSubMsg;
    const int iRootNum = p_Msg.m_iRootNum;
    // A known definition is taken as found only for a root number Init would
    // accept.
    CMsgInfo* pSubInfo = p_pTag && CMsgDic::IsValidMsgNum(iRootNum) ? p_pSubInfo : nullptr;
    CMsg* pSub = nullptr;
    if (pBag->m_bArray) {
        CMsgArray* pItems = ItemsOf<CMsg*>(pBag);
        pBag->m_bSet = true;
        GrowParsedRows(*pItems);
        pSub = NewSubMsg(p_pSubArena, iSubNum, iRootNum, p_iTagNum, p_Msg.GetMsgDic(), pSubInfo);
        if (!pSub)
            throw CException("new CMsg1 failed", MA_ERR_MEMORY);
        if (pItems->Add(pSub) < 0) {
            DeleteMsg(pSub);
            throw CException("new CMsg1 failed", MA_ERR_MEMORY);
        }
    } else {
        if (!pBag->m_Value.pMsg) {
            pBag->m_Value.pMsg = NewSubMsg(p_pSubArena, iSubNum, iRootNum, p_iTagNum, p_Msg.GetMsgDic(), pSubInfo);
            if (!pBag->m_Value.pMsg)
                throw CException("new CMsg2 failed", MA_ERR_MEMORY);
        }
        pSub = pBag->m_Value.pMsg;
        // A repeated element starts its sub-message afresh.
        if (pSubInfo)
            pSub->Redefine(pSubInfo, iRootNum, p_iTagNum);
        else
            pSub->Init(iSubNum, iRootNum, p_iTagNum);
        pBag->m_bSet = true;
    }
    pSub->m_pParent = &p_Msg;
    return pSub;
}
