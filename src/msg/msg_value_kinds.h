// What the typed members and the reader need to know per value kind: the
// tag type, the array container and where a bag keeps the value.
#ifndef VORANT_MSG_MSG_VALUE_KINDS_H
#define VORANT_MSG_MSG_VALUE_KINDS_H

#include <new>
#include <utility>

#include "msg/msg_info.h"
#include "vorant/exception.hpp"
#include "vorant/msg.hpp"

template <class T>
struct MsgValueKind;

template <>
struct MsgValueKind<int> {
    using Array = CIntArray;
    static constexpr int kType = TAG_TYPE_INT;
    static constexpr const char* kNewArray = "new CIntArray failed";
    static int& Single(CMsgValue& p_Bag) { return p_Bag.m_Value.i; }
    static Array*& Items(CMsgValue& p_Bag) { return p_Bag.m_Value.pIntArr; }
};

template <>
struct MsgValueKind<double> {
    using Array = CDblArray;
    static constexpr int kType = TAG_TYPE_DBL;
    static constexpr const char* kNewArray = "new CDblArray failed";
    static double& Single(CMsgValue& p_Bag) { return p_Bag.m_Value.d; }
    static Array*& Items(CMsgValue& p_Bag) { return p_Bag.m_Value.pDblArr; }
};

template <>
struct MsgValueKind<bool> {
    using Array = CBoolArray;
    static constexpr int kType = TAG_TYPE_BOOL;
    static constexpr const char* kNewArray = "new CBoolArray failed";
    static bool& Single(CMsgValue& p_Bag) { return p_Bag.m_Value.b; }
    static Array*& Items(CMsgValue& p_Bag) { return p_Bag.m_Value.pBoolArr; }
};

template <>
struct MsgValueKind<CDate> {
    using Array = CDateArray;
    static constexpr int kType = TAG_TYPE_DATE;
    static constexpr const char* kNewArray = "new CDateArray failed";
    static CDate*& Single(CMsgValue& p_Bag) { return p_Bag.m_Value.pDate; }
    static Array*& Items(CMsgValue& p_Bag) { return p_Bag.m_Value.pDateArr; }
};

template <>
struct MsgValueKind<CString> {
    using Array = CStrArray;
    static constexpr int kType = TAG_TYPE_STRING;
    static constexpr const char* kNewArray = "new CStrArray failed";
    static CString*& Single(CMsgValue& p_Bag) { return p_Bag.m_Value.pStr; }
    static Array*& Items(CMsgValue& p_Bag) { return p_Bag.m_Value.pStrArr; }
};

template <>
struct MsgValueKind<CMsg*> {
    using Array = CMsgArray;
    static constexpr int kType = TAG_TYPE_SUBMSG;
    static constexpr const char* kNewArray = "new CMsgArray failed";
    static CMsg*& Single(CMsgValue& p_Bag) { return p_Bag.m_Value.pMsg; }
    static Array*& Items(CMsgValue& p_Bag) { return p_Bag.m_Value.pMsgArr; }
};

// What p_fnMake returns, or null when memory runs out (a constructor's own
// -11 included); other exceptions pass on.
template <class F>
auto MsgNullOnMemoryFailure(F p_fnMake) -> decltype(p_fnMake()) {
    try {
        return p_fnMake();
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const CException& e) {
        if (e.GetCode() == MA_ERR_MEMORY)
            return nullptr;
        throw;
    }
}

// A new T, or null when memory runs out.
template <class T, class... A>
T* MsgTryNew(A&&... p_Args) {
    return MsgNullOnMemoryFailure([&] { return new T(std::forward<A>(p_Args)...); });
}

#endif  // VORANT_MSG_MSG_VALUE_KINDS_H
