// GetValue, GetValueAt and GetArrSize by tag number: a read resets its output,
// checks the tag and the bag's type, and never converts between types.
#include "msg/msg_access.h"
#include "msg/msg_info.h"
#include "msg/msg_value_kinds.h"

namespace {

// int, double and bool: an array bag gives its first element, read with the
// container's own GetAt (which raises on an empty container).
template <class T>
int ReadInPlace(CMsg& p_Msg, int p_iTagNum, int p_iLine, T* p_pOut) {
    if (!p_pOut)
        return MsgAccess::NullParam(p_Msg);
    *p_pOut = T();
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(p_Msg, p_iTagNum, MsgValueKind<T>::kType, p_iLine, &pBag);
    if (iResult != 0)
        return iResult;
    *p_pOut = pBag->m_bArray ? MsgValueKind<T>::Items(*pBag)->GetAt(0) : MsgValueKind<T>::Single(*pBag);
    return 0;
}

template <class T>
int ReadInPlaceAt(CMsg& p_Msg, int p_iTagNum, int p_iIndex, int p_iLine, T* p_pOut) {
    if (!p_pOut)
        return MsgAccess::NullParam(p_Msg);
    *p_pOut = T();
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(p_Msg, p_iTagNum, MsgValueKind<T>::kType, p_iLine, &pBag);
    if (iResult != 0)
        return iResult;
    if (!pBag->m_bArray) {
        *p_pOut = MsgValueKind<T>::Single(*pBag);
        return 0;
    }
    const auto* pItems = MsgValueKind<T>::Items(*pBag);
    if (p_iIndex < 0 || p_iIndex >= pItems->GetSize())
        return MsgAccess::IndexFailure(p_Msg, p_iTagNum);
    *p_pOut = pItems->GetAt(p_iIndex);
    return 0;
}

// A nullable output: reset to unset, then set from the plain read.
template <class T, class N>
int ReadNullable(CMsg& p_Msg, int p_iTagNum, int p_iLine, N* p_pOut) {
    if (!p_pOut)
        return MsgAccess::NullParam(p_Msg);
    p_pOut->SetNull();
    T value = T();
    int iResult = ReadInPlace<T>(p_Msg, p_iTagNum, p_iLine, &value);
    if (iResult == 0)
        *p_pOut = value;
    return iResult;
}

// The whole tag into an emptied value array (a single value gives one element).
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
        p_pOut->Add(MsgValueKind<T>::Single(*pBag));
    return 0;
}

}  // namespace

int CMsg::GetValue(int p_iTagNum, int* p_pValue) {
    return ReadInPlace<int>(*this, p_iTagNum, msg_line::kGetInt, p_pValue);
}

int CMsg::GetValue(int p_iTagNum, double* p_pValue) {
    return ReadInPlace<double>(*this, p_iTagNum, msg_line::kGetDbl, p_pValue);
}

int CMsg::GetValue(int p_iTagNum, bool* p_pValue) {
    return ReadInPlace<bool>(*this, p_iTagNum, msg_line::kGetBool, p_pValue);
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

int CMsg::GetValue(int p_iTagNum, CString* p_pValue) {
    if (!p_pValue)
        return MsgAccess::NullParam(*this);
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(*this, p_iTagNum, TAG_TYPE_STRING, msg_line::kGetStr, &pBag);
    if (iResult != 0)
        return iResult;
    if (pBag->m_bArray)
        p_pValue->Set(pBag->m_Value.pStrArr->GetAt(0));
    else
        p_pValue->Set(*pBag->m_Value.pStr);
    return 0;
}

int CMsg::GetValue(int p_iTagNum, CDate* p_pValue) {
    if (!p_pValue)
        return MsgAccess::NullParam(*this);
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(*this, p_iTagNum, TAG_TYPE_DATE, msg_line::kGetDate, &pBag);
    if (iResult != 0)
        return iResult;
    *p_pValue = pBag->m_bArray ? pBag->m_Value.pDateArr->GetAt(0) : *pBag->m_Value.pDate;
    return 0;
}

int CMsg::GetValue(int p_iTagNum, CMsg** p_ppValue) {
    if (!p_ppValue)
        return MsgAccess::NullParam(*this);
    *p_ppValue = nullptr;
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(*this, p_iTagNum, TAG_TYPE_SUBMSG, msg_line::kGetMsg, &pBag);
    if (iResult != 0)
        return iResult;
    // An empty array records its -27 on the array and gives null here.
    *p_ppValue = pBag->m_bArray ? pBag->m_Value.pMsgArr->GetAt(0) : pBag->m_Value.pMsg;
    return 0;
}

CMsg* CMsg::GetValue(int p_iTagNum) {
    CMsg* pMsg = nullptr;
    return GetValue(p_iTagNum, &pMsg) >= 0 ? pMsg : nullptr;
}

int CMsg::GetValue(int p_iTagNum, CStrArray* p_pValues) {
    if (!p_pValues)
        return MsgAccess::NullParam(*this);
    p_pValues->RemoveAll();
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(*this, p_iTagNum, TAG_TYPE_STRING, msg_line::kGetStrArr, &pBag);
    if (iResult != 0)
        return iResult;
    if (pBag->m_bArray)
        *p_pValues = *pBag->m_Value.pStrArr;
    else
        p_pValues->Add(pBag->m_Value.pStr->ToStr());
    return 0;
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
    if (!p_pValues)
        return MsgAccess::NullParam(*this);
    p_pValues->RemoveAll();
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(*this, p_iTagNum, TAG_TYPE_DATE, msg_line::kGetDateArr, &pBag);
    if (iResult != 0)
        return iResult;
    if (pBag->m_bArray)
        *p_pValues = *pBag->m_Value.pDateArr;
    else
        p_pValues->Add(*pBag->m_Value.pDate);
    return 0;
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

int CMsg::GetValueAt(int p_iTagNum, int p_iIndex, int* p_pValue) {
    return ReadInPlaceAt<int>(*this, p_iTagNum, p_iIndex, msg_line::kGetAtInt, p_pValue);
}

int CMsg::GetValueAt(int p_iTagNum, int p_iIndex, double* p_pValue) {
    return ReadInPlaceAt<double>(*this, p_iTagNum, p_iIndex, msg_line::kGetAtDbl, p_pValue);
}

int CMsg::GetValueAt(int p_iTagNum, int p_iIndex, bool* p_pValue) {
    return ReadInPlaceAt<bool>(*this, p_iTagNum, p_iIndex, msg_line::kGetAtBool, p_pValue);
}

int CMsg::GetValueAt(int p_iTagNum, int p_iIndex, CString* p_pValue) {
    if (!p_pValue)
        return MsgAccess::NullParam(*this);
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(*this, p_iTagNum, TAG_TYPE_STRING, msg_line::kGetAtStr, &pBag);
    if (iResult != 0)
        return iResult;
    if (!pBag->m_bArray) {
        p_pValue->Set(*pBag->m_Value.pStr);
        return 0;
    }
    const CStrArray* pItems = pBag->m_Value.pStrArr;
    if (p_iIndex < 0 || p_iIndex >= pItems->GetSize())
        return MsgAccess::IndexFailure(*this, p_iTagNum);
    p_pValue->Set((*pItems)[p_iIndex]);
    return 0;
}

int CMsg::GetValueAt(int p_iTagNum, int p_iIndex, CDate* p_pValue) {
    if (!p_pValue)
        return MsgAccess::NullParam(*this);
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(*this, p_iTagNum, TAG_TYPE_DATE, msg_line::kGetAtDate, &pBag);
    if (iResult != 0)
        return iResult;
    if (!pBag->m_bArray) {
        *p_pValue = *pBag->m_Value.pDate;
        return 0;
    }
    const CDateArray* pItems = pBag->m_Value.pDateArr;
    if (p_iIndex < 0 || p_iIndex >= pItems->GetSize())
        return MsgAccess::IndexFailure(*this, p_iTagNum);
    *p_pValue = pItems->GetAt(p_iIndex);
    return 0;
}

int CMsg::GetValueAt(int p_iTagNum, int p_iIndex, CMsg** p_ppValue) {
    if (!p_ppValue)
        return MsgAccess::NullParam(*this);
    *p_ppValue = nullptr;
    CMsgValue* pBag = nullptr;
    int iResult = MsgAccess::PrepareRead(*this, p_iTagNum, TAG_TYPE_SUBMSG, msg_line::kGetAtMsg, &pBag);
    if (iResult != 0)
        return iResult;
    if (!pBag->m_bArray) {
        *p_ppValue = pBag->m_Value.pMsg;
        return 0;
    }
    CMsgArray* pItems = pBag->m_Value.pMsgArr;
    if (p_iIndex < 0 || p_iIndex >= pItems->GetSize())
        return MsgAccess::IndexFailure(*this, p_iTagNum);
    *p_ppValue = pItems->GetAt(p_iIndex);
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
    switch (pBag->m_iType) {
        case TAG_TYPE_STRING: return pBag->m_Value.pStrArr->GetSize();
        case TAG_TYPE_INT: return pBag->m_Value.pIntArr->GetSize();
        case TAG_TYPE_DBL: return pBag->m_Value.pDblArr->GetSize();
        case TAG_TYPE_BOOL: return pBag->m_Value.pBoolArr->GetSize();
        case TAG_TYPE_DATE: return pBag->m_Value.pDateArr->GetSize();
        case TAG_TYPE_SUBMSG: return pBag->m_Value.pMsgArr->GetSize();
        default: return 0;
    }
}

bool MsgAccess::CopyItems(const CMsgArray& p_From, CMsgArray* p_pTo) {
    int iNeeded = p_pTo->m_iSize + p_From.m_iSize;
    if (p_From.m_iSize > 0 && !p_pTo->GrowBuffer(iNeeded))
        return false;
    for (int i = 0; i < p_From.m_iSize; ++i)
        p_pTo->m_pData[p_pTo->m_iSize++] = p_From.m_pData[i];
    return true;
}
