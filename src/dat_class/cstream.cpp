#include "vorant/stream.hpp"

#include <malloc.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>

#include "vorant/cstring.hpp"
#include "vorant/exception.hpp"

namespace {

char* CopyBuffer(const char* p_pData, int p_iCapacity) {
    if (!p_pData || p_iCapacity < 1)
        return nullptr;
    char* pCopy = static_cast<char*>(malloc(static_cast<size_t>(p_iCapacity)));
    if (!pCopy)
        throw CException("(CStream) Out of memory", 0);
    memcpy(pCopy, p_pData, static_cast<size_t>(p_iCapacity));
    return pCopy;
}

}  // namespace

CStream::CStream() : m_iSize(0), m_iCapacity(0), m_iGrowBy(DEFAULT_GROW_BY), m_pData(nullptr) {}

CStream::CStream(int p_iInitialSize, int p_iGrowBy)
    : m_iSize(0), m_iCapacity(0), m_iGrowBy(p_iGrowBy < 1 ? DEFAULT_GROW_BY : p_iGrowBy), m_pData(nullptr) {
    if (p_iInitialSize >= 1) {
        m_pData = static_cast<char*>(calloc(static_cast<size_t>(p_iInitialSize), 1));
        if (!m_pData)
            throw CException("(CStream) Out of memory", 0);
        m_iCapacity = p_iInitialSize;
    }
}

CStream::CStream(const CStream& p_Other)
    : m_iSize(p_Other.m_iSize),
      m_iCapacity(p_Other.m_iCapacity),
      m_iGrowBy(p_Other.m_iGrowBy),
      m_pData(CopyBuffer(p_Other.m_pData, p_Other.m_iCapacity)) {
    if (!m_pData)
        m_iSize = m_iCapacity = 0;
}

CStream::CStream(CStream&& p_Other) noexcept
    : m_iSize(p_Other.m_iSize),
      m_iCapacity(p_Other.m_iCapacity),
      m_iGrowBy(p_Other.m_iGrowBy),
      m_pData(p_Other.m_pData) {
    p_Other.m_pData = nullptr;
    p_Other.m_iSize = p_Other.m_iCapacity = 0;
}

CStream& CStream::operator=(const CStream& p_Other) {
    if (this != &p_Other) {
        CStream copy(p_Other);
        *this = std::move(copy);
    }
    return *this;
}

CStream& CStream::operator=(CStream&& p_Other) noexcept {
    std::swap(m_iSize, p_Other.m_iSize);
    std::swap(m_iCapacity, p_Other.m_iCapacity);
    std::swap(m_iGrowBy, p_Other.m_iGrowBy);
    std::swap(m_pData, p_Other.m_pData);
    return *this;
}

CStream::~CStream() { Free(); }

void CStream::Free() {
    free(m_pData);
    m_pData = nullptr;
    m_iSize = m_iCapacity = 0;
}

bool CStream::Reserve(int p_iNeeded) {
    if (m_pData && m_iCapacity > p_iNeeded)
        return true;
    // Whole growth steps until the terminator fits: callers size the step
    // (and may see the capacity), so the rule stays exactly this.
    int64_t iStep = m_iGrowBy;
    int64_t iSteps = (static_cast<int64_t>(p_iNeeded) + 1 - m_iCapacity + iStep - 1) / iStep;
    if (iSteps < 1)
        iSteps = 1;
    int64_t iCapacity = m_iCapacity + iSteps * iStep;
    if (iCapacity > INT_MAX) {
        if (static_cast<int64_t>(p_iNeeded) + 1 > INT_MAX)
            return false;
        iCapacity = INT_MAX;
    }
    // The block underneath grows by half again each time it moves, so that
    // appending piece by piece copies each byte a bounded number of times;
    // the steps only say how much of it is the capacity.
    if (m_pData && malloc_usable_size(m_pData) >= static_cast<size_t>(iCapacity)) {
        m_iCapacity = static_cast<int>(iCapacity);
        return true;
    }
    const int64_t iBlock = std::min<int64_t>(INT_MAX, iCapacity + iCapacity / 2);
    char* pData = static_cast<char*>(realloc(m_pData, static_cast<size_t>(iBlock)));
    if (!pData && iBlock > iCapacity)
        pData = static_cast<char*>(realloc(m_pData, static_cast<size_t>(iCapacity)));
    if (!pData)
        return false;
    m_pData = pData;
    m_iCapacity = static_cast<int>(iCapacity);
    return true;
}

int CStream::AppendData(const char* p_pData, int p_iLength) {
    if (!p_pData || p_iLength < 1)
        return 0;
    if (m_iCapacity - m_iSize <= p_iLength) {
        if (static_cast<int64_t>(m_iSize) + p_iLength >= INT_MAX)
            return -1;
        // Appending a piece of this very stream: the buffer may move on growth.
        std::less_equal<const char*> le;
        std::less<const char*> lt;
        bool bOwn = m_pData && le(m_pData, p_pData) && lt(p_pData, m_pData + m_iCapacity);
        std::ptrdiff_t iOffset = bOwn ? p_pData - m_pData : 0;
        if (!Reserve(m_iSize + p_iLength))
            return -1;
        if (bOwn)
            p_pData = m_pData + iOffset;
    }
    memmove(m_pData + m_iSize, p_pData, static_cast<size_t>(p_iLength));
    m_iSize += p_iLength;
    m_pData[m_iSize] = '\0';
    return 0;
}

int CStream::AppendData(const CString& p_Text) { return AppendData(p_Text.ToStr(), p_Text.GetLength()); }

int CStream::AppendLine(const CString& p_Text) {
    int iResult = AppendData(p_Text);
    AppendData("\n", 1);
    return iResult;
}

char* CStream::GetBuffer(int p_iLength) {
    if (p_iLength <= m_iCapacity) {
        if (m_pData)
            memset(m_pData, 0, static_cast<size_t>(m_iCapacity));
        m_iSize = 0;
        return m_pData;
    }
    Free();
    m_pData = static_cast<char*>(calloc(static_cast<size_t>(p_iLength), 1));
    if (m_pData)
        m_iCapacity = p_iLength;
    return m_pData;
}

void CStream::ReleaseBuffer(int p_iLength) {
    if (!m_pData) {
        m_iSize = 0;
        return;
    }
    if (p_iLength < 0) {
        // A buffer filled to the last byte has no terminator: cut like an
        // oversized length instead of reading past it.
        p_iLength = static_cast<int>(strnlen(m_pData, static_cast<size_t>(m_iCapacity)));
    }
    if (p_iLength >= m_iCapacity)
        p_iLength = m_iCapacity - 1;
    m_pData[p_iLength] = '\0';
    m_iSize = p_iLength;
}

void CStream::Clear() {
    if (m_pData)
        memset(m_pData, 0, static_cast<size_t>(m_iCapacity));
    m_iSize = 0;
}
