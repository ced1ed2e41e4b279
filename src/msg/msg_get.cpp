// GetValue, GetValueAt and GetArrSize by tag number: a read resets its output,
// checks the tag and the bag's type, and never converts between types.
#include "msg/msg_access.h"
#include "msg/msg_info.h"
#include "msg/msg_value_kinds.h"

namespace {

// How a single read fills its output, per kind: reset before the checks,
// then from the single value, from an array's first element (with the
// container's own GetAt, which may raise or record its error) or from the
// element at an index.
template <class T>
struct ReadOne {
    using Out = T;
    static void Reset(T* p_pOut) { *p_pOut = T(); }
    static void Single(CMsgValue& p_Bag, T* p_pOut) { *p_pOut = MsgValueKind<T>::Single(p_Bag); }
    static void First(CMsgValue& p_Bag, T* p_pOut) { *p_pOut = MsgValueKind<T>::Items(p_Bag)->GetAt(0); }
    static void At(CMsgValue& p_Bag, int p_iIndex, T* p_pOut) {
        *p_pOut = MsgValueKind<T>::Items(p_Bag)->GetAt(p_iIndex);
    }
};

// Strings and dates are copied into the caller's object, which is not reset.
template <>
struct ReadOne<CString> {
    using Out = CString;
    static void Reset(CString*) {}
    static void Single(CMsgValue& p_Bag, CString* p_pOut) { p_pOut->Set(*p_Bag.m_Value.pStr); }
    static void First(CMsgValue& p_Bag, CString* p_pOut) { p_pOut->Set(p_Bag.m_Value.pStrArr->GetAt(0)); }
    static void At(CMsgValue& p_Bag, int p_iIndex, CString* p_pOut) {
        p_pOut->Set(p_Bag.m_Value.pStrArr->GetAt(p_iIndex));
    }
};

template <>
struct ReadOne<CDate> {
    using Out = CDate;
    static void Reset(CDate*) {}
    static void Single(CMsgValue& p_Bag, CDate* p_pOut) { *p_pOut = *p_Bag.m_Value.pDate; }
    static void First(CMsgValue& p_Bag, CDate* p_pOut) { *p_pOut = p_Bag.m_Value.pDateArr->GetAt(0); }
    static void At(CMsgValue& p_Bag, int p_iIndex, CDate* p_pOut) { *p_pOut = p_Bag.m_Value.pDateArr->GetAt(p_iIndex); }
};

// Sub-messages stay owned by the message; an empty array records its -27 on
// the array and gives null.
template <>
struct ReadOne<CMsg*> {
    using Out = CMsg*;
    static void Reset(CMsg** p_ppOut) { *p_ppOut = nullptr; }
    static void Single(CMsgValue& p_Bag, CMsg** p_ppOut) { *p_ppOut = p_Bag.m_Value.pMsg; }
    static void First(CMsgValue& p_Bag, CMsg** p_ppOut) { *p_ppOut = p_Bag.m_Value.pMsgArr->GetAt(0); }
    static void At(CMsgValue& p_Bag, int p_iIndex, CMsg** p_ppOut) {
        *p_ppOut = p_Bag.m_Value.pMsgArr->GetAt(p_iIndex);
    }
};

// One value of a tag: GetValue (p_bAt false: an array gives its first
// element) and GetValueAt (an array gives the element at p_iIndex, a single
// value whatever the index).
template <class T>
int Read(CMsg& p_Msg, int p_iTagNum, int p_iLine, bool p_bAt, int p_iIndex, T* p_pOut) {
    if (!p_pOut)
        return MsgAccess::NullParam(p_Msg);
    ReadOne<T>::Reset(p_pOut);
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(p_Msg, p_iTagNum, MsgValueKind<T>::kType, p_iLine, &pBag);
    if (iResult != 0)
        return iResult;
    if (!pBag->m_bArray) {
        ReadOne<T>::Single(*pBag, p_pOut);
    } else if (!p_bAt) {
        ReadOne<T>::First(*pBag, p_pOut);
    } else {
        if (p_iIndex < 0 || p_iIndex >= MsgAccess::ItemCount(*pBag))
            return MsgAccess::IndexFailure(p_Msg, p_iTagNum);
        ReadOne<T>::At(*pBag, p_iIndex, p_pOut);
    }
    return 0;
}

// A nullable output: reset to unset, then set from the plain read.
template <class T, class N>
int ReadNullable(CMsg& p_Msg, int p_iTagNum, int p_iLine, N* p_pOut) {
    if (!p_pOut)
        return MsgAccess::NullParam(p_Msg);
    p_pOut->SetNull();
    T value = T();
    int iResult = Read<T>(p_Msg, p_iTagNum, p_iLine, false, 0, &value);
    if (iResult == 0)
        *p_pOut = value;
    return iResult;
}

// A single value as the one element of an array output.
template <class T>
void AddSingle(typename MsgValueKind<T>::Array* p_pOut, CMsgValue& p_Bag) {
    p_pOut->Add(MsgValueKind<T>::Single(p_Bag));
}

template <>
void AddSingle<CString>(CStrArray* p_pOut, CMsgValue& p_Bag) {
    p_pOut->Add(p_Bag.m_Value.pStr->ToStr());
}

template <>
void AddSingle<CDate>(CDateArray* p_pOut, CMsgValue& p_Bag) {
    p_pOut->Add(*p_Bag.m_Value.pDate);
}

// The whole tag into an emptied array (a single value gives one element).
template <class T>
int ReadAll(CMsg& p_Msg, int p_iTagNum, int p_iLine, typename MsgValueKind<T>::Array* p_pOut) {
    if (!p_pOut)
        return MsgAccess::NullParam(p_Msg);
    p_pOut->RemoveAll();
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(p_Msg, p_iTagNum, MsgValueKind<T>::kType, p_iLine, &pBag);
    if (iResult != 0)
        return iResult;
    if (pBag->m_bArray)
        *p_pOut = *MsgValueKind<T>::Items(*pBag);
    else
        AddSingle<T>(p_pOut, *pBag);
    return 0;
}

}  // namespace

int CMsg::GetValue(int p_iTagNum, CString* p_pValue) {
    return Read<CString>(*this, p_iTagNum, msg_line::kGetStr, false, 0, p_pValue);
}

int CMsg::GetValue(int p_iTagNum, int* p_pValue) {
    return Read<int>(*this, p_iTagNum, msg_line::kGetInt, false, 0, p_pValue);
}

int CMsg::GetValue(int p_iTagNum, double* p_pValue) {
    return Read<double>(*this, p_iTagNum, msg_line::kGetDbl, false, 0, p_pValue);
}

int CMsg::GetValue(int p_iTagNum, bool* p_pValue) {
    return Read<bool>(*this, p_iTagNum, msg_line::kGetBool, false, 0, p_pValue);
}

int CMsg::GetValue(int p_iTagNum, CDate* p_pValue) {
    return Read<CDate>(*this, p_iTagNum, msg_line::kGetDate, false, 0, p_pValue);
}

int CMsg::GetValue(int p_iTagNum, CMsg** p_ppValue) {
    return Read<CMsg*>(*this, p_iTagNum, msg_line::kGetMsg, false, 0, p_ppValue);
}

int CMsg::GetValue(int p_iTagNum, CInt* p_pValue) {
    return ReadNullable<int>(*this, p_iTagNum, msg_line::kGetCInt, p_pValue);
}

int CMsg::GetValue(int p_iTagNum, CDbl* p_pValue) {
    return ReadNullable<double>(*this, p_iTagNum, msg_line::kGetCDbl, p_pValue);
}

int CMsg::GetValue(int p_iTagNum, CBool* p_pValue) {
    return ReadNullable<bool>(*this, p_iTagNum, msg_line::kGetCBool, p_pValue);
}

CMsg* CMsg::GetValue(int p_iTagNum) {
    CMsg* pMsg = nullptr;
    return GetValue(p_iTagNum, &pMsg) >= 0 ? pMsg : nullptr;
}

int CMsg::GetValueAt(int p_iTagNum, int p_iIndex, CString* p_pValue) {
    return Read<CString>(*this, p_iTagNum, msg_line::kGetAtStr, true, p_iIndex, p_pValue);
}

int CMsg::GetValueAt(int p_iTagNum, int p_iIndex, int* p_pValue) {
    return Read<int>(*this, p_iTagNum, msg_line::kGetAtInt, true, p_iIndex, p_pValue);
}

int CMsg::GetValueAt(int p_iTagNum, int p_iIndex, double* p_pValue) {
    return Read<double>(*this, p_iTagNum, msg_line::kGetAtDbl, true, p_iIndex, p_pValue);
}

int CMsg::GetValueAt(int p_iTagNum, int p_iIndex, bool* p_pValue) {
    return Read<bool>(*this, p_iTagNum, msg_line::kGetAtBool, true, p_iIndex, p_pValue);
}

int CMsg::GetValueAt(int p_iTagNum, int p_iIndex, CDate* p_pValue) {
    return Read<CDate>(*this, p_iTagNum, msg_line::kGetAtDate, true, p_iIndex, p_pValue);
}

int CMsg::GetValueAt(int p_iTagNum, int p_iIndex, CMsg** p_ppValue) {
    return Read<CMsg*>(*this, p_iTagNum, msg_line::kGetAtMsg, true, p_iIndex, p_ppValue);
}

int CMsg::GetValue(int p_iTagNum, CStrArray* p_pValues) {
    return ReadAll<CString>(*this, p_iTagNum, msg_line::kGetStrArr, p_pValues);
}

int CMsg::GetValue(int p_iTagNum, CIntArray* p_pValues) {
    return ReadAll<int>(*this, p_iTagNum, msg_line::kGetIntArr, p_pValues);
}

int CMsg::GetValue(int p_iTagNum, CDblArray* p_pValues) {
    return ReadAll<double>(*this, p_iTagNum, msg_line::kGetDblArr, p_pValues);
}

int CMsg::GetValue(int p_iTagNum, CBoolArray* p_pValues) {
    return ReadAll<bool>(*this, p_iTagNum, msg_line::kGetBoolArr, p_pValues);
}

int CMsg::GetValue(int p_iTagNum, CDateArray* p_pValues) {
    return ReadAll<CDate>(*this, p_iTagNum, msg_line::kGetDateArr, p_pValues);
}

int CMsg::GetValue(int p_iTagNum, CMsgArray* p_pValues) {
    if (!p_pValues)
        return MsgAccess::NullParam(*this);
    // The output only views the messages; this message keeps owning them.
    p_pValues->RemoveAll();
    p_pValues->SetAdoptFlag(false);
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(*this, p_iTagNum, TAG_TYPE_SUBMSG, msg_line::kGetMsgArr, &pBag);
    if (iResult != 0)
        return iResult;
    if (pBag->m_bArray) {
        if (!MsgAccess::CopyItems(*pBag->m_Value.pMsgArr, p_pValues))
            return MsgAccess::Fail(*this, MA_ERR_MEMORY, "new CMsgArray failed");
        return 0;
    }
    if (pBag->m_Value.pMsg)
        p_pValues->Add(pBag->m_Value.pMsg);
    return 0;
}

int CMsg::GetArrSize(int p_iTagNum) {
    int iResult = MsgAccess::CheckTag(*this, p_iTagNum);
    if (iResult != 0)
        return iResult;
    CMsgValue* pBag = GetHashBag(p_iTagNum);
    if (!pBag) {
        SetLastError(MA_ERR_NO_DATA, "tagnum=%d", p_iTagNum);
        return MA_ERR_NO_DATA;
    }
    if (!pBag->m_bSet) {
        SetLastError(MA_ERR_NO_DATA, "tagnum=%d,Unset", p_iTagNum);
        return MA_ERR_NO_DATA;
    }
    if (!pBag->m_bArray)
        return 1;
    if (!pBag->m_Value.p) {
        SetLastError(MA_ERR_NO_DATA, "tagnum=%d,NULL", p_iTagNum);
        return MA_ERR_NO_DATA;
    }
    return MsgAccess::ItemCount(*pBag);
}

bool MsgAccess::CopyItems(const CMsgArray& p_From, CMsgArray* p_pTo) {
    int iNeeded = p_pTo->m_iSize + p_From.m_iSize;
    if (p_From.m_iSize > 0 && !p_pTo->GrowBuffer(iNeeded))
        return false;
    for (int i = 0; i < p_From.m_iSize; ++i)
        p_pTo->m_pData[p_pTo->m_iSize++] = p_From.m_pData[i];
    return true;
}

int MsgAccess::ItemCount(const CMsgValue& p_Bag) {
    if (!p_Bag.m_bArray)
        return 1;
    if (!p_Bag.m_Value.p)
        return 0;
    switch (p_Bag.m_iType) {
        case TAG_TYPE_STRING: return p_Bag.m_Value.pStrArr->GetSize();
        case TAG_TYPE_INT: return p_Bag.m_Value.pIntArr->GetSize();
        case TAG_TYPE_DBL: return p_Bag.m_Value.pDblArr->GetSize();
        case TAG_TYPE_BOOL: return p_Bag.m_Value.pBoolArr->GetSize();
        case TAG_TYPE_DATE: return p_Bag.m_Value.pDateArr->GetSize();
        case TAG_TYPE_SUBMSG: return p_Bag.m_Value.pMsgArr->GetSize();
        default: return 0;
    }
}
