// CMsgValue: one tag's value bag and the chain it heads.
#include <cstring>

#include "msg/msg_access.h"
#include "msg/msg_info.h"
#include "vorant/msg.hpp"

#if defined(__x86_64__)
// A parsed row holds one per value.
static_assert(sizeof(CMsgValue) == 24, "a bag stays 24 bytes");
#endif

CMsgValue::CMsgValue()
    : m_iTagNum(0),
      m_iType(0),
      m_bSet(false),
      m_bArray(false),
      m_bPlaced(false),
      m_bValueInArena(false),
      m_pNext(nullptr) {
    std::memset(&m_Value, 0, sizeof(m_Value));
    m_bValueInArena = false;
}

CMsgValue::~CMsgValue() {
    ReleaseValue();
    // Iterative, so that a long chain cannot exhaust the stack.
    CMsgValue* pNext = m_pNext;
    m_pNext = nullptr;
    while (pNext) {
        CMsgValue* pAfter = pNext->m_pNext;
        pNext->m_pNext = nullptr;
        MsgAccess::DeleteBag(pNext);
        pNext = pAfter;
    }
}

void MsgAccess::DeleteBag(CMsgValue* p_pBag) {
    if (!p_pBag)
        return;
    if (p_pBag->m_bPlaced)
        p_pBag->~CMsgValue();
    else
        delete p_pBag;
}

void CMsgValue::ReleaseValue() {
    if (m_bArray) {
        switch (m_iType) {
            case TAG_TYPE_STRING: delete m_Value.pStrArr; break;
            case TAG_TYPE_INT: delete m_Value.pIntArr; break;
            case TAG_TYPE_DBL: delete m_Value.pDblArr; break;
            case TAG_TYPE_BOOL: delete m_Value.pBoolArr; break;
            case TAG_TYPE_DATE: delete m_Value.pDateArr; break;
            case TAG_TYPE_SUBMSG: delete m_Value.pMsgArr; break;
            default: break;
        }
    } else {
        switch (m_iType) {
            case TAG_TYPE_STRING: MsgAccess::DeleteValue(m_Value.pStr, m_bValueInArena); break;
            case TAG_TYPE_DATE: MsgAccess::DeleteValue(m_Value.pDate, m_bValueInArena); break;
            case TAG_TYPE_SUBMSG: MsgAccess::DeleteMsg(m_Value.pMsg); break;
            default: break;
        }
    }
    std::memset(&m_Value, 0, sizeof(m_Value));
    m_bValueInArena = false;
}
