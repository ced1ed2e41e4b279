// The members of CValueArray<T>. A unit that includes this defines
// ValueArrayTraits<T> for its element type and instantiates the template.
#ifndef VORANT_DAT_CLASS_VALUE_ARRAY_H
#define VORANT_DAT_CLASS_VALUE_ARRAY_H

#include <algorithm>
#include <new>
#include <string>

#include "dat_class/alloc_failure.h"
#include "dat_class/array_growth.h"
#include "dat_class/array_repr.h"
#include "vorant/arrays.hpp"
#include "vorant/exception.hpp"

namespace vorant {

// What differs between the value arrays. A specialisation gives:
//   kClass    class name of the error texts ("CIntArray")
//   kRepr     name of the Repr texts ("CIntArr")
//   kElement  element type of the allocation-failure text ("int")
//   static void Append(std::string&, const T&)   the element's text
// and may replace the defaults of ValueArrayDefaults.
template <typename T>
struct ValueArrayTraits;

template <typename T>
struct ValueArrayDefaults {
    static bool Less(const T& p_A, const T& p_B) { return p_A < p_B; }
    static bool Equal(const T& p_A, const T& p_B) { return p_A == p_B; }
    // What a slot given up by RemoveAt or RemoveLast holds.
    static T Vacated() { return T(); }
};

// A zeroed buffer of p_iCount elements; a failed allocation raises
// CException -11.
template <typename T>
T* NewValueSlots(int p_iCount, int p_iLine, const char* p_szCountName) {
    try {
        if (p_iCount < 0)
            throw std::bad_array_new_length();
        return new T[p_iCount]();
    } catch (const std::bad_alloc& e) {
        std::string strExpr = std::string(ValueArrayTraits<T>::kElement) + "[" + p_szCountName + "]";
        ThrowAllocFailure("dat_class/value_array", p_iLine, strExpr.c_str(), e);
    }
}

}  // namespace vorant

template <typename T>
CValueArray<T>::CValueArray() : m_pData(nullptr), m_iSize(0), m_iBufferSize(0) {}

template <typename T>
CValueArray<T>::CValueArray(int p_iCount, T p_Value) : CValueArray() {
    Reset(p_iCount, p_Value);
}

template <typename T>
CValueArray<T>::CValueArray(const CValueArray& p_Other) : CValueArray() {
    *this = p_Other;
}

template <typename T>
CValueArray<T>::CValueArray(CValueArray&& p_Other) noexcept
    : m_pData(p_Other.m_pData), m_iSize(p_Other.m_iSize), m_iBufferSize(p_Other.m_iBufferSize) {
    p_Other.m_pData = nullptr;
    p_Other.m_iSize = p_Other.m_iBufferSize = 0;
}

template <typename T>
CValueArray<T>::~CValueArray() {
    delete[] m_pData;
}

template <typename T>
CValueArray<T>& CValueArray<T>::operator=(const CValueArray& p_Other) {
    if (this == &p_Other)
        return *this;
    T* pNew = nullptr;
    if (p_Other.m_pData) {
        pNew = vorant::NewValueSlots<T>(p_Other.m_iBufferSize, __LINE__, "m_iBufferSize");
        std::copy(p_Other.m_pData, p_Other.m_pData + p_Other.m_iBufferSize, pNew);
    }
    delete[] m_pData;
    m_pData = pNew;
    m_iSize = pNew ? p_Other.m_iSize : 0;
    m_iBufferSize = pNew ? p_Other.m_iBufferSize : 0;
    return *this;
}

template <typename T>
CValueArray<T>& CValueArray<T>::operator=(CValueArray&& p_Other) noexcept {
    if (this == &p_Other)
        return *this;
    delete[] m_pData;
    m_pData = p_Other.m_pData;
    m_iSize = p_Other.m_iSize;
    m_iBufferSize = p_Other.m_iBufferSize;
    p_Other.m_pData = nullptr;
    p_Other.m_iSize = p_Other.m_iBufferSize = 0;
    return *this;
}

template <typename T>
void CValueArray<T>::GrowBuffer(int p_iWanted) {
    if (p_iWanted >= 1 && p_iWanted <= m_iBufferSize)
        return;
    const int iNewMax = vorant::GrownCapacity(m_iSize, m_iBufferSize, p_iWanted);
    T* pNew = vorant::NewValueSlots<T>(iNewMax, __LINE__, "iNewMax");
    std::copy(m_pData, m_pData + m_iSize, pNew);
    delete[] m_pData;
    m_pData = pNew;
    m_iBufferSize = iNewMax;
}

template <typename T>
int CValueArray<T>::Add(T p_Value) {
    if (!m_pData) {
        m_pData = new (std::nothrow) T[4]();
        if (!m_pData)
            throw CException(0, "%s - Out of memory", vorant::ValueArrayTraits<T>::kClass);
        m_iBufferSize = 4;
    } else if (m_iSize >= m_iBufferSize) {
        GrowBuffer(0);
    }
    m_pData[m_iSize] = p_Value;
    return m_iSize++;
}

template <typename T>
int CValueArray<T>::InsertAt(int p_iIndex, T p_Value) {
    if (p_iIndex < 0 || p_iIndex > m_iSize)
        ThrowInvalidIndex("InsertAt", p_iIndex);
    if (p_iIndex == m_iSize)
        return Add(p_Value);
    if (m_iSize >= m_iBufferSize)
        GrowBuffer(0);
    std::copy_backward(m_pData + p_iIndex, m_pData + m_iSize, m_pData + m_iSize + 1);
    m_pData[p_iIndex] = p_Value;
    ++m_iSize;
    return p_iIndex;
}

template <typename T>
int CValueArray<T>::RemoveAt(int p_iIndex) {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        ThrowInvalidIndex("RemoveAt", p_iIndex);
    std::copy(m_pData + p_iIndex + 1, m_pData + m_iSize, m_pData + p_iIndex);
    RemoveLast();
    return p_iIndex;
}

template <typename T>
void CValueArray<T>::RemoveLast() {
    if (m_iSize <= 0)
        return;
    m_pData[--m_iSize] = vorant::ValueArrayTraits<T>::Vacated();
}

template <typename T>
T CValueArray<T>::GetAt(int p_iIndex) const {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        ThrowInvalidIndex("GetAt", p_iIndex);
    return m_pData[p_iIndex];
}

template <typename T>
void CValueArray<T>::SetAt(int p_iIndex, T p_Value) {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        ThrowInvalidIndex("SetAt", p_iIndex);
    m_pData[p_iIndex] = p_Value;
}

template <typename T>
T& CValueArray<T>::operator[](int p_iIndex) {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        ThrowInvalidIndex("operator[]", p_iIndex);
    return m_pData[p_iIndex];
}

template <typename T>
const T& CValueArray<T>::operator[](int p_iIndex) const {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        ThrowInvalidIndex("operator[]", p_iIndex);
    return m_pData[p_iIndex];
}

template <typename T>
T CValueArray<T>::GetAtLast() const {
    if (m_iSize <= 0)
        throw CException(0, "%s::GetAtLast : Empty", vorant::ValueArrayTraits<T>::kClass);
    return m_pData[m_iSize - 1];
}

template <typename T>
int CValueArray<T>::Find(T p_Value) const {
    for (int i = 0; i < m_iSize; ++i) {
        if (vorant::ValueArrayTraits<T>::Equal(m_pData[i], p_Value))
            return i;
    }
    return -1;
}

template <typename T>
void CValueArray<T>::Clear() {
    std::fill(m_pData, m_pData + m_iBufferSize, T());
    m_iSize = 0;
}

template <typename T>
void CValueArray<T>::RemoveAll() {
    delete[] m_pData;
    m_pData = nullptr;
    m_iSize = m_iBufferSize = 0;
}

template <typename T>
void CValueArray<T>::Reset(int p_iCount, T p_Value) {
    if (p_iCount < 1) {
        RemoveAll();
        return;
    }
    T* pNew = vorant::NewValueSlots<T>(p_iCount, __LINE__, "p_iCount");
    std::fill(pNew, pNew + p_iCount, p_Value);
    delete[] m_pData;
    m_pData = pNew;
    m_iSize = m_iBufferSize = p_iCount;
}

template <typename T>
void CValueArray<T>::Sort() {
    if (m_iSize < 2)
        return;
    std::sort(m_pData, m_pData + m_iSize, vorant::ValueArrayTraits<T>::Less);
}

template <typename T>
CString CValueArray<T>::Repr(const char* p_szSep, bool p_bHeader) const {
    return vorant::ArrayRepr(
        vorant::ValueArrayTraits<T>::kRepr, m_iSize, m_iBufferSize, p_szSep, p_bHeader,
        [this](std::string& p_Out, int i) { vorant::ValueArrayTraits<T>::Append(p_Out, m_pData[i]); });
}

template <typename T>
void CValueArray<T>::ThrowInvalidIndex(const char* p_szMethod, int p_iIndex) const {
    throw CException(0, "%s::%s : Invalid Index(%d:%d)", vorant::ValueArrayTraits<T>::kClass, p_szMethod, m_iSize - 1,
                     p_iIndex);
}

#endif  // VORANT_DAT_CLASS_VALUE_ARRAY_H
