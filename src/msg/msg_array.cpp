// CMsgArray: the growable array of message pointers.
#include <climits>
#include <new>

#include "dat_class/array_growth.h"
#include "msg/msg_access.h"
#include "vorant/msg.hpp"

CMsgArray::CMsgArray(bool p_bAdopt) : m_pData(nullptr), m_iSize(0), m_iBufferSize(0), m_bAdopt(p_bAdopt) {}

CMsgArray::~CMsgArray() { RemoveAll(); }

int CMsgArray::Add(CMsg* p_pMsg) {
    if (!p_pMsg)
        return MA_ERR_NULL_PARAM;
    if (!m_pData) {
        m_pData = new (std::nothrow) CMsg*[1];
        if (!m_pData)
            return MA_ERR_MEMORY;
        m_pData[0] = nullptr;
        m_iBufferSize = 1;
    } else if (m_iSize >= m_iBufferSize && !GrowBuffer(0)) {
        return MA_ERR_MEMORY;
    }
    m_pData[m_iSize] = p_pMsg;
    return m_iSize++;
}

CMsg* CMsgArray::GetAt(int p_iIndex) {
    if (p_iIndex < 0 || p_iIndex >= m_iSize) {
        SetLastError(MA_ERR_ARRAY_INDEX, "<CMsgArray::GetAt:(0 <= %d < %d)>", p_iIndex, m_iSize);
        return nullptr;
    }
    return m_pData[p_iIndex];
}

int CMsgArray::SetAt(int p_iIndex, CMsg* p_pMsg) {
    if (p_iIndex < 0 || p_iIndex >= m_iSize) {
        SetLastError(MA_ERR_ARRAY_INDEX, "<CMsgArray::SetAt:(0 <= %d < %d)>", p_iIndex, m_iSize);
        return MA_ERR_ARRAY_INDEX;
    }
    // Storing the message already held must not delete it.
    if (m_pData[p_iIndex] == p_pMsg)
        return 0;
    if (m_bAdopt)
        MsgAccess::DeleteMsg(m_pData[p_iIndex]);
    m_pData[p_iIndex] = p_pMsg;
    return 0;
}

void CMsgArray::SetSize(int p_iSize) {
    if (p_iSize < 0)
        return;
    int iWanted = p_iSize == INT_MAX ? INT_MAX : p_iSize + 1;
    if (!GrowBuffer(iWanted))
        return;
    // Messages an owning array drops would otherwise be lost.
    if (m_bAdopt) {
        for (int i = p_iSize; i < m_iSize; ++i) {
            MsgAccess::DeleteMsg(m_pData[i]);
            m_pData[i] = nullptr;
        }
    }
    m_iSize = p_iSize;
}

void CMsgArray::SetBufferSize(int p_iSize) { GrowBuffer(p_iSize); }

void CMsgArray::RemoveAll() {
    if (m_bAdopt) {
        for (int i = 0; i < m_iSize; ++i) {
            MsgAccess::DeleteMsg(m_pData[i]);
            m_pData[i] = nullptr;
        }
    }
    delete[] m_pData;
    m_pData = nullptr;
    m_iSize = 0;
    m_iBufferSize = 0;
}

bool CMsgArray::GrowBuffer(int p_iSize) {
    if (p_iSize > 0 && p_iSize <= m_iBufferSize)
        return true;
    // The growth rule of every array class: an eighth of the size at a time.
    int iCapacity = vorant::GrownCapacity(m_iSize, m_iBufferSize, p_iSize);
    if (iCapacity < 0)
        return false;
    CMsg** pData = new (std::nothrow) CMsg*[static_cast<size_t>(iCapacity)];
    if (!pData)
        return false;
    for (int i = 0; i < m_iSize; ++i)
        pData[i] = m_pData[i];
    for (int i = m_iSize; i < iCapacity; ++i)
        pData[i] = nullptr;
    delete[] m_pData;
    m_pData = pData;
    m_iBufferSize = iCapacity;
    return true;
}
