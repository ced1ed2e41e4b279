// CPtrArray and the base of the items it holds.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "dat_class/array_growth.h"
#include "dat_class/array_repr.h"
#include "vorant/arrays.hpp"
#include "vorant/exception.hpp"

CPtrArrayItem::~CPtrArrayItem() = default;

CPtrArray::CPtrArray() : CPtrArray(true) {}

CPtrArray::CPtrArray(bool p_bAdopt) : m_pData(nullptr), m_iSize(0), m_iBufferSize(0), m_bAdopt(p_bAdopt) {}

CPtrArray::CPtrArray(int p_iCount, CPtrArrayItem* p_pItem, bool p_bAdopt) : CPtrArray(p_bAdopt) {
    Reset(p_iCount, p_pItem);
}

CPtrArray::~CPtrArray() { RemoveAll(); }

CPtrArray& CPtrArray::operator=(const CPtrArray& p_Other) {
    if (this == &p_Other)
        return *this;
    CPtrArrayItem** pNew = nullptr;
    if (p_Other.m_pData) {
        pNew = new (std::nothrow) CPtrArrayItem*[p_Other.m_iBufferSize]();
        if (!pNew)
            throw CException("CPtrArray::operator= : Out of memory", 0);
        std::copy(p_Other.m_pData, p_Other.m_pData + p_Other.m_iSize, pNew);
    }
    try {
        ReleaseAll(p_Other.m_pData, p_Other.m_iSize);
    } catch (...) {
        delete[] pNew;
        throw;
    }
    delete[] m_pData;
    m_pData = pNew;
    m_iSize = pNew ? p_Other.m_iSize : 0;
    m_iBufferSize = pNew ? p_Other.m_iBufferSize : 0;
    m_bAdopt = false;
    return *this;
}

void CPtrArray::Reallocate(int p_iCapacity, const char* p_szFailure) {
    CPtrArrayItem** pNew = p_iCapacity > m_iSize ? new (std::nothrow) CPtrArrayItem*[p_iCapacity]() : nullptr;
    if (!pNew)
        throw CException(p_szFailure, 0);
    std::copy(m_pData, m_pData + m_iSize, pNew);
    delete[] m_pData;
    m_pData = pNew;
    m_iBufferSize = p_iCapacity;
}

void CPtrArray::AllocFirst() { Reallocate(16, "CPtrArray::Add : Out of memory"); }

void CPtrArray::GrowBuffer(int p_iWanted) {
    if (p_iWanted >= 1 && p_iWanted <= m_iBufferSize)
        return;
    Reallocate(vorant::GrownCapacity(m_iSize, m_iBufferSize, p_iWanted), "CPtrArray::GrowBuffer : Out of memory");
}

int CPtrArray::Add(CPtrArrayItem* p_pItem) {
    if (!m_pData) {
        AllocFirst();
    } else if (m_iSize >= m_iBufferSize) {
        GrowBuffer(0);
    }
    m_pData[m_iSize] = p_pItem;
    return m_iSize++;
}

int CPtrArray::InsertAt(int p_iIndex, CPtrArrayItem* p_pItem) {
    if (p_iIndex < 0)
        return -1;
    if (p_iIndex > m_iSize)
        p_iIndex = m_iSize;
    if (!m_pData) {
        AllocFirst();
    } else if (m_iSize >= m_iBufferSize) {
        // Doubling up to a million slots, then a million at a time.
        const int64_t iLimit = 1048576;
        const int64_t iCap = m_iBufferSize;
        const int64_t iNew = std::min<int64_t>(iCap < iLimit ? iCap * 2 : iCap + iLimit, INT_MAX);
        Reallocate(static_cast<int>(iNew), "CPtrArray::InsertAt : Out of memory");
    }
    std::copy_backward(m_pData + p_iIndex, m_pData + m_iSize, m_pData + m_iSize + 1);
    m_pData[p_iIndex] = p_pItem;
    ++m_iSize;
    return p_iIndex;
}

int CPtrArray::RemoveAt(int p_iIndex) {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        return -1;
    CPtrArrayItem* pItem = m_pData[p_iIndex];
    std::copy(m_pData + p_iIndex + 1, m_pData + m_iSize, m_pData + p_iIndex);
    m_pData[--m_iSize] = nullptr;
    Release(pItem);
    return p_iIndex;
}

void CPtrArray::RemoveLast() {
    if (m_iSize <= 0)
        return;
    CPtrArrayItem* pItem = m_pData[--m_iSize];
    m_pData[m_iSize] = nullptr;
    Release(pItem);
}

CPtrArrayItem* CPtrArray::GetAt(int p_iIndex) const {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        ThrowInvalidIndex("GetAt", p_iIndex);
    return m_pData[p_iIndex];
}

void CPtrArray::SetAt(int p_iIndex, CPtrArrayItem* p_pItem) {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        ThrowInvalidIndex("SetAt", p_iIndex);
    CPtrArrayItem* pOld = m_pData[p_iIndex];
    m_pData[p_iIndex] = p_pItem;
    if (pOld != p_pItem)
        Release(pOld);
}

CPtrArrayItem* CPtrArray::operator[](int p_iIndex) const {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        ThrowInvalidIndex("operator[]", p_iIndex);
    return m_pData[p_iIndex];
}

CPtrArrayItem* CPtrArray::GetAtLast() const {
    if (m_iSize <= 0)
        throw CException("CPtrArray::GetAtLast : Empty", 0);
    return m_pData[m_iSize - 1];
}

int CPtrArray::Find(const CPtrArrayItem* p_pItem) const {
    for (int i = 0; i < m_iSize; ++i) {
        if (m_pData[i] == p_pItem)
            return i;
    }
    return -1;
}

void CPtrArray::Clear() {
    ReleaseAll(nullptr, 0);
    std::fill(m_pData, m_pData + m_iBufferSize, nullptr);
    m_iSize = 0;
}

void CPtrArray::RemoveAll() {
    ReleaseAll(nullptr, 0);
    delete[] m_pData;
    m_pData = nullptr;
    m_iSize = m_iBufferSize = 0;
}

void CPtrArray::Reset(int p_iCount, CPtrArrayItem* p_pItem) {
    if (p_iCount > m_iBufferSize)
        GrowBuffer(p_iCount);
    ReleaseAll(&p_pItem, 1);
    std::fill(m_pData, m_pData + m_iBufferSize, nullptr);
    m_iSize = std::max(p_iCount, 0);
    std::fill(m_pData, m_pData + m_iSize, p_pItem);
}

void CPtrArray::Release(CPtrArrayItem* p_pItem) {
    if (m_bAdopt && p_pItem && !IsIn(p_pItem))
        delete p_pItem;
}

void CPtrArray::ReleaseAll(CPtrArrayItem* const* p_pKeep, int p_iKeep) {
    if (!m_bAdopt || m_iSize <= 0)
        return;
    const std::less<const CPtrArrayItem*> less;
    std::vector<CPtrArrayItem*> sortedKeep;
    if (p_iKeep > 1) {
        try {
            sortedKeep.assign(p_pKeep, p_pKeep + p_iKeep);
        } catch (const std::bad_alloc&) {
            throw CException("CPtrArray::operator= : Out of memory", 0);
        }
        std::sort(sortedKeep.begin(), sortedKeep.end(), less);
    }
    auto isKept = [&](CPtrArrayItem* p_pItem) {
        return p_iKeep == 1 ? p_pItem == *p_pKeep
                            : std::binary_search(sortedKeep.begin(), sortedKeep.end(), p_pItem, less);
    };
    // Sorted, an item held more than once is deleted only once.
    std::sort(m_pData, m_pData + m_iSize, less);
    for (int i = 0; i < m_iSize; ++i) {
        CPtrArrayItem* pItem = m_pData[i];
        if (!pItem || (i > 0 && m_pData[i - 1] == pItem))
            continue;
        if (!isKept(pItem))
            delete pItem;
    }
}

CString CPtrArray::Repr(const char* p_szSep, bool p_bHeader) const {
    return vorant::ArrayRepr("CPtrArr", m_iSize, m_iBufferSize, p_szSep, p_bHeader, [this](std::string& p_Out, int i) {
        char szBuf[32];
        const int iLength = std::snprintf(szBuf, sizeof szBuf, "%p", static_cast<void*>(m_pData[i]));
        p_Out.append(szBuf, iLength > 0 ? iLength : 0);
    });
}

void CPtrArray::ThrowInvalidIndex(const char* p_szMethod, int p_iIndex) const {
    throw CException(0, "CPtrArray::%s : Invalid Index(%d:%d)", p_szMethod, m_iSize - 1, p_iIndex);
}
