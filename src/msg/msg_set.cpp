// SetValue by tag number: every store checks the definition, the tag and its
// type, then fills the tag's bag (one more element on an array tag).
#include <new>

#include "msg/msg_access.h"
#include "msg/msg_info.h"
#include "msg/msg_value_kinds.h"

namespace {

// The container of an array bag, created on first use.
template <class T>
int EnsureItems(CMsg& p_Msg, CMsgValue* p_pBag, typename MsgValueKind<T>::Array** p_ppItems) {
    auto*& pItems = MsgValueKind<T>::Items(*p_pBag);
    if (!pItems) {
        pItems = MsgTryNew<typename MsgValueKind<T>::Array>();
        if (!pItems)
            return MsgAccess::Fail(p_Msg, MA_ERR_MEMORY, MsgValueKind<T>::kNewArray);
    }
    p_pBag->m_bSet = true;
    *p_ppItems = pItems;
    return 0;
}

// Appends to an array bag; a container that cannot grow gives -11.
template <class T, class V>
int AppendItem(CMsg& p_Msg, CMsgValue* p_pBag, const V& p_Value) {
    typename MsgValueKind<T>::Array* pItems = nullptr;
    int iResult = EnsureItems<T>(p_Msg, p_pBag, &pItems);
    if (iResult != 0)
        return iResult;
    try {
        pItems->Add(p_Value);
    } catch (const std::bad_alloc&) {
        return MsgAccess::Fail(p_Msg, MA_ERR_MEMORY, MsgValueKind<T>::kNewArray);
    } catch (const CException& e) {
        if (e.GetCode() != MA_ERR_MEMORY)
            throw;
        return MsgAccess::Fail(p_Msg, MA_ERR_MEMORY, MsgValueKind<T>::kNewArray);
    }
    return 0;
}

// int, double and bool live in the bag itself.
template <class T>
int StoreInPlace(CMsg& p_Msg, int p_iTagNum, int p_iLine, T p_Value) {
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareStore(p_Msg, p_iTagNum, MsgValueKind<T>::kType, p_iLine, &pBag);
    if (iResult != 0)
        return iResult;
    if (pBag->m_bArray) {
        iResult = AppendItem<T>(p_Msg, pBag, p_Value);
        if (iResult != 0)
            return iResult;
    } else {
        MsgValueKind<T>::Single(*pBag) = p_Value;
        pBag->m_bSet = true;
    }
    MsgAccess::MarkFilled(p_Msg);
    return 0;
}

int StoreString(CMsg& p_Msg, int p_iTagNum, const char* p_szValue) {
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareStore(p_Msg, p_iTagNum, TAG_TYPE_STRING, msg_line::kSetStr, &pBag);
    if (iResult != 0)
        return iResult;
    if (pBag->m_bArray) {
        iResult = AppendItem<CString>(p_Msg, pBag, p_szValue);
        if (iResult != 0)
            return iResult;
    } else if (!pBag->m_Value.pStr || pBag->m_bValueInArena) {
        // A parsed text's characters cannot grow where they are: it is
        // replaced instead.
        CString* pStr = MsgTryNew<CString>(p_szValue);
        if (!pStr)
            return MsgAccess::Fail(p_Msg, MA_ERR_MEMORY, "new CString failed");
        MsgAccess::DeleteValue(pBag->m_Value.pStr, pBag->m_bValueInArena);
        pBag->m_bValueInArena = false;
        pBag->m_Value.pStr = pStr;
        pBag->m_bSet = true;
    } else {
        // A later text replaces the earlier one, as for every other single
        // value: keeping the first while returning 0 would lose the caller's data.
        pBag->m_Value.pStr->Set(p_szValue);
    }
    MsgAccess::MarkFilled(p_Msg);
    return 0;
}

}  // namespace

int CMsg::SetValue(int p_iTagNum, const char* p_szValue) {
    if (!p_szValue || !*p_szValue)
        return 0;
    return StoreString(*this, p_iTagNum, p_szValue);
}

int CMsg::SetValue(int p_iTagNum, const CString& p_strValue) { return SetValue(p_iTagNum, p_strValue.ToStr()); }

int CMsg::SetValue(int p_iTagNum, int p_iValue) {
    return StoreInPlace<int>(*this, p_iTagNum, msg_line::kSetInt, p_iValue);
}

int CMsg::SetValue(int p_iTagNum, double p_dValue) {
    return StoreInPlace<double>(*this, p_iTagNum, msg_line::kSetDbl, p_dValue);
}

int CMsg::SetValue(int p_iTagNum, bool p_bValue) {
    return StoreInPlace<bool>(*this, p_iTagNum, msg_line::kSetBool, p_bValue);
}

int CMsg::SetValue(int p_iTagNum, CInt p_Value) {
    if (!p_Value.IsValid())
        return 0;
    return StoreInPlace<int>(*this, p_iTagNum, msg_line::kSetCInt, p_Value.ToInt());
}

int CMsg::SetValue(int p_iTagNum, CDbl p_Value) {
    if (!p_Value.IsValid())
        return 0;
    return StoreInPlace<double>(*this, p_iTagNum, msg_line::kSetCDbl, p_Value.ToDbl());
}

int CMsg::SetValue(int p_iTagNum, CBool p_Value) {
    if (!p_Value.IsValid())
        return 0;
    return StoreInPlace<bool>(*this, p_iTagNum, msg_line::kSetCBool, static_cast<bool>(p_Value));
}

int CMsg::SetValue(int p_iTagNum, CDate p_Value) {
    if (!p_Value.IsValid())
        return 0;
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareStore(*this, p_iTagNum, TAG_TYPE_DATE, msg_line::kSetDate, &pBag);
    if (iResult != 0)
        return iResult;
    if (pBag->m_bArray) {
        iResult = AppendItem<CDate>(*this, pBag, p_Value);
        if (iResult != 0)
            return iResult;
    } else {
        CDate* pDate = MsgTryNew<CDate>(p_Value);
        if (!pDate)
            return MsgAccess::Fail(*this, MA_ERR_MEMORY, "new CDate failed");
        MsgAccess::DeleteValue(pBag->m_Value.pDate, pBag->m_bValueInArena);
        pBag->m_bValueInArena = false;
        pBag->m_Value.pDate = pDate;
        pBag->m_bSet = true;
    }
    m_bEmpty = false;
    return 0;
}

int CMsg::SetValue(int p_iTagNum, CMsg* p_pMsg) {
    if (!p_pMsg)
        return MsgAccess::NullParam(*this);
    if (p_pMsg->m_pParent || MsgAccess::IsSelfOrAncestor(*this, p_pMsg)) {
        // Storing the sub-message this single tag already holds changes nothing.
        CMsgValue* pHeld = p_pMsg->m_pParent == this ? GetHashBag(p_iTagNum) : nullptr;
        if (pHeld && !pHeld->m_bArray && pHeld->m_iType == TAG_TYPE_SUBMSG && pHeld->m_Value.pMsg == p_pMsg)
            return 0;
        // A second owner (or a cycle) would free the message twice.
        SetLastError(MA_ERR_SERVICE_INPUT, "tagnum=%d,msgnum=%d,sub-message already belongs to a tree", p_iTagNum,
                     GetSelfNum());
        return MA_ERR_SERVICE_INPUT;
    }
    if (p_pMsg->IsEmpty()) {
        MsgAccess::DeleteMsg(p_pMsg);
        return 0;
    }
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareStore(*this, p_iTagNum, TAG_TYPE_SUBMSG, msg_line::kSetMsg, &pBag);
    if (iResult != 0)
        return iResult;
    if (pBag->m_bArray) {
        CMsgArray* pItems = nullptr;
        iResult = EnsureItems<CMsg*>(*this, pBag, &pItems);
        if (iResult != 0)
            return iResult;
        if (pItems->Add(p_pMsg) < 0)
            return MsgAccess::Fail(*this, MA_ERR_MEMORY, "new CMsgArray failed");
    } else {
        CMsg* pOld = pBag->m_Value.pMsg;
        pBag->m_Value.pMsg = p_pMsg;
        pBag->m_bSet = true;
        if (pOld)
            MsgAccess::DropSubMsg(*this, pOld);
    }
    p_pMsg->m_iRootNum = m_iRootNum;
    p_pMsg->m_pParent = this;
    m_bEmpty = false;
    return 0;
}
