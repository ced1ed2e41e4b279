#include "vorant/cstring.hpp"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>

#include "dat_class/alloc_failure.h"
#include "dat_class/num_text.h"

namespace {

const char kUnit[] = "dat_class/cstring";
const int kEmptyBufferSize = 8;

char g_szEmpty[1] = {'\0'};

// Lengths are 32-bit: a text that cannot be held is an allocation failure.
int CheckedLength(int64_t p_iLength, const char* p_szExpr, int p_iLine) {
    if (p_iLength < 0 || p_iLength >= INT_MAX)
        vorant::ThrowAllocFailure(kUnit, p_iLine, p_szExpr, std::bad_array_new_length());
    return static_cast<int>(p_iLength);
}

bool Within(const char* p_pText, const char* p_pBuffer, int p_iBufferSize) {
    std::less_equal<const char*> le;
    std::less<const char*> lt;
    return p_pBuffer && le(p_pBuffer, p_pText) && lt(p_pText, p_pBuffer + p_iBufferSize);
}

}  // namespace

char* CString::EmptyText() { return g_szEmpty; }

CString::CString() : m_pData(nullptr), m_iSize(0), m_iBufferSize(0) { MakeEmptyString(); }

CString::CString(const char* p_szText) : m_pData(nullptr), m_iSize(0), m_iBufferSize(0) { Set(p_szText); }

CString::CString(const CString& p_Other) : m_pData(nullptr), m_iSize(0), m_iBufferSize(0) { Set(p_Other.ToStr()); }

CString::CString(CString&& p_Other) noexcept
    : m_pData(p_Other.m_pData), m_iSize(p_Other.m_iSize), m_iBufferSize(p_Other.m_iBufferSize) {
    p_Other.m_pData = nullptr;
    p_Other.m_iSize = 0;
    p_Other.m_iBufferSize = 0;
}

CString::CString(const char* p_pHead, int p_iHead, const char* p_pTail, int p_iTail)
    : m_pData(nullptr), m_iSize(0), m_iBufferSize(0) {
    int iLen = CheckedLength(static_cast<int64_t>(p_iHead) + p_iTail, "char[iLen+1]", __LINE__);
    if (iLen == 0) {
        MakeEmptyString();
        return;
    }
    // clang-format off
    m_pData = VORANT_NEW(kUnit, char[iLen+1]);
    // clang-format on
    if (p_iHead)
        memcpy(m_pData, p_pHead, static_cast<size_t>(p_iHead));
    if (p_iTail)
        memcpy(m_pData + p_iHead, p_pTail, static_cast<size_t>(p_iTail));
    m_pData[iLen] = '\0';
    m_iSize = iLen;
    m_iBufferSize = iLen + 1;
}

CString::~CString() { delete[] m_pData; }

CString& CString::operator=(const char* p_szText) {
    Set(p_szText);
    return *this;
}

CString& CString::operator=(const CString& p_Other) {
    if (this != &p_Other)
        Set(p_Other.ToStr());
    return *this;
}

CString& CString::operator=(CString&& p_Other) noexcept {
    std::swap(m_pData, p_Other.m_pData);
    std::swap(m_iSize, p_Other.m_iSize);
    std::swap(m_iBufferSize, p_Other.m_iBufferSize);
    return *this;
}

void CString::MakeEmptyString() {
    if (m_pData && m_iBufferSize == kEmptyBufferSize) {
        memset(m_pData, 0, kEmptyBufferSize);
    } else {
        char* pBuffer = VORANT_NEW(kUnit, char[kEmptyBufferSize]);
        memset(pBuffer, 0, kEmptyBufferSize);
        delete[] m_pData;
        m_pData = pBuffer;
        m_iBufferSize = kEmptyBufferSize;
    }
    m_iSize = 0;
}

int CString::Set(const char* p_szText) {
    if (!p_szText || !*p_szText) {
        MakeEmptyString();
        return 0;
    }
    int iLen = CheckedLength(static_cast<int64_t>(strlen(p_szText)), "char[iLen+1]", __LINE__);
    if (m_pData && iLen < m_iBufferSize) {
        // memmove first: the text may lie inside this very buffer.
        memmove(m_pData, p_szText, static_cast<size_t>(iLen));
        memset(m_pData + iLen, 0, static_cast<size_t>(m_iBufferSize - iLen));
    } else {
        // clang-format off
        char* pBuffer = VORANT_NEW(kUnit, char[iLen+1]);
        // clang-format on
        memcpy(pBuffer, p_szText, static_cast<size_t>(iLen) + 1);
        delete[] m_pData;
        m_pData = pBuffer;
        m_iBufferSize = iLen + 1;
    }
    m_iSize = iLen;
    return iLen;
}

int CString::Set(const CString& p_Other) {
    if (this == &p_Other)
        return m_iSize;
    return Set(p_Other.ToStr());
}

void CString::SetNull() { MakeEmptyString(); }
void CString::Clear() { MakeEmptyString(); }
void CString::Empty() { MakeEmptyString(); }

// Locale-free, so that a caller's LC_NUMERIC cannot change what is read.
int CString::ToInt() const { return vorant::num_text::ParseInt(m_pData); }

double CString::ToDbl() const { return vorant::num_text::ParseDbl(m_pData); }

char CString::operator[](int p_iIndex) const {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        throw CException("CString::operator[] - index overflow", 0);
    return m_pData[p_iIndex];
}

char* CString::GetBuffer(int p_iLength) {
    if (p_iLength < 0)
        p_iLength = 0;
    int iLen = CheckedLength(static_cast<int64_t>(p_iLength) + 1, "char[iLen]", __LINE__);
    char* pBuffer = VORANT_NEW(kUnit, char[iLen]);
    memset(pBuffer, 0, static_cast<size_t>(iLen));
    delete[] m_pData;
    m_pData = pBuffer;
    m_iSize = 0;
    m_iBufferSize = iLen;
    return m_pData;
}

void CString::ReleaseBuffer(int p_iLength) {
    if (p_iLength < 0) {
        // A buffer written without a terminator is caught by the bound below.
        p_iLength = m_pData ? static_cast<int>(strnlen(m_pData, static_cast<size_t>(m_iBufferSize))) : 0;
        if (!m_pData) {
            m_iSize = 0;
            return;
        }
    }
    if (p_iLength >= m_iBufferSize)
        throw CException("CString::ReleaseBuffer - out of index", 0);
    m_pData[p_iLength] = '\0';
    m_iSize = p_iLength;
}

void CString::MakeLower() {
    for (int i = 0; i < m_iSize; ++i)
        m_pData[i] = static_cast<char>(tolower(static_cast<unsigned char>(m_pData[i])));
}

void CString::MakeUpper() {
    for (int i = 0; i < m_iSize; ++i)
        m_pData[i] = static_cast<char>(toupper(static_cast<unsigned char>(m_pData[i])));
}

namespace {

template <typename Pred>
void TrimLeftIf(char* p_pData, int& p_iSize, Pred p_Trimmed) {
    int i = 0;
    while (i < p_iSize && p_Trimmed(static_cast<unsigned char>(p_pData[i])))
        ++i;
    if (i == 0)
        return;
    memmove(p_pData, p_pData + i, static_cast<size_t>(p_iSize - i) + 1);
    p_iSize -= i;
}

template <typename Pred>
void TrimRightIf(char* p_pData, int& p_iSize, Pred p_Trimmed) {
    int i = p_iSize;
    while (i > 0 && p_Trimmed(static_cast<unsigned char>(p_pData[i - 1])))
        --i;
    if (i == p_iSize)
        return;
    p_pData[i] = '\0';
    p_iSize = i;
}

struct IsSpace {
    bool operator()(unsigned char c) const { return isspace(c) != 0; }
};

struct IsChar {
    char m_cChar;
    bool operator()(unsigned char c) const { return c == static_cast<unsigned char>(m_cChar); }
};

struct InSet {
    const char* m_szSet;
    size_t m_iLength;
    bool operator()(unsigned char c) const { return memchr(m_szSet, c, m_iLength) != nullptr; }
};

}  // namespace

void CString::TrimLeft() { TrimLeftIf(m_pData, m_iSize, IsSpace()); }
void CString::TrimRight() { TrimRightIf(m_pData, m_iSize, IsSpace()); }
void CString::Trim() {
    TrimRight();
    TrimLeft();
}

void CString::TrimLeft(char p_cChar) { TrimLeftIf(m_pData, m_iSize, IsChar{p_cChar}); }
void CString::TrimRight(char p_cChar) { TrimRightIf(m_pData, m_iSize, IsChar{p_cChar}); }
void CString::Trim(char p_cChar) {
    TrimRight(p_cChar);
    TrimLeft(p_cChar);
}

void CString::TrimLeft(const char* p_szSet) {
    if (p_szSet && *p_szSet)
        TrimLeftIf(m_pData, m_iSize, InSet{p_szSet, strlen(p_szSet)});
}
void CString::TrimRight(const char* p_szSet) {
    if (p_szSet && *p_szSet)
        TrimRightIf(m_pData, m_iSize, InSet{p_szSet, strlen(p_szSet)});
}
void CString::Trim(const char* p_szSet) {
    TrimRight(p_szSet);
    TrimLeft(p_szSet);
}

CString CString::Left(int p_iCount) const {
    if (p_iCount < 0)
        p_iCount = 0;
    if (p_iCount < m_iSize)
        return CString(m_pData, p_iCount);
    return *this;
}

CString CString::Right(int p_iCount) const {
    if (p_iCount < 0)
        p_iCount = 0;
    if (p_iCount < m_iSize)
        return CString(m_pData + (m_iSize - p_iCount), p_iCount);
    return *this;
}

CString CString::Mid(int p_iStart, int p_iCount) const {
    if (p_iStart < 0)
        p_iStart = 0;
    if (p_iStart >= m_iSize)
        return CString();
    int iRest = m_iSize - p_iStart;
    if (p_iCount == -1 || p_iCount > iRest)
        p_iCount = iRest;
    // Only -1 means "to the end"; other negative counts take nothing.
    if (p_iCount < 0)
        p_iCount = 0;
    if (p_iStart == 0 && p_iCount == m_iSize)
        return *this;
    return CString(m_pData + p_iStart, p_iCount);
}

int CString::InsertText(int p_iPos, const char* p_pText, int p_iLength) {
    if (p_iLength < 1)
        return m_iSize;
    if (p_iPos < 0)
        p_iPos = 0;
    if (p_iPos > m_iSize)
        p_iPos = m_iSize;
    if (Within(p_pText, m_pData, m_iBufferSize)) {
        // Inserting part of itself: copy the piece out before moving the tail.
        CString piece(p_pText, p_iLength);
        return InsertText(p_iPos, piece.m_pData, p_iLength);
    }
    int iNewLen = CheckedLength(static_cast<int64_t>(m_iSize) + p_iLength, "char[iNewLen+1]", __LINE__);
    if (iNewLen >= m_iBufferSize) {
        // clang-format off
        char* pBuffer = VORANT_NEW(kUnit, char[iNewLen+1]);
        // clang-format on
        if (p_iPos)
            memcpy(pBuffer, m_pData, static_cast<size_t>(p_iPos));
        memcpy(pBuffer + p_iPos, p_pText, static_cast<size_t>(p_iLength));
        if (m_iSize > p_iPos)
            memcpy(pBuffer + p_iPos + p_iLength, m_pData + p_iPos, static_cast<size_t>(m_iSize - p_iPos));
        pBuffer[iNewLen] = '\0';
        delete[] m_pData;
        m_pData = pBuffer;
        m_iBufferSize = iNewLen + 1;
    } else {
        memmove(m_pData + p_iPos + p_iLength, m_pData + p_iPos, static_cast<size_t>(m_iSize - p_iPos) + 1);
        memcpy(m_pData + p_iPos, p_pText, static_cast<size_t>(p_iLength));
    }
    m_iSize = iNewLen;
    return m_iSize;
}

int CString::Insert(int p_iPos, char p_cChar) {
    // A zero byte is an empty text here, as it would be in a string.
    return InsertText(p_iPos, &p_cChar, p_cChar ? 1 : 0);
}

int CString::Insert(int p_iPos, const char* p_szText) {
    if (!p_szText)
        return m_iSize;
    int iLen = CheckedLength(static_cast<int64_t>(strlen(p_szText)), "char[iNewLen+1]", __LINE__);
    return InsertText(p_iPos, p_szText, iLen);
}

int CString::Delete(int p_iPos, int p_iCount) {
    if (p_iPos < 0)
        p_iPos = 0;
    if (p_iCount < 1 || p_iPos >= m_iSize)
        return m_iSize;
    if (p_iCount > m_iSize - p_iPos)
        p_iCount = m_iSize - p_iPos;
    memmove(m_pData + p_iPos, m_pData + p_iPos + p_iCount, static_cast<size_t>(m_iSize - p_iPos - p_iCount) + 1);
    m_iSize -= p_iCount;
    return m_iSize;
}

int CString::Remove(char p_cChar) {
    int iKept = 0;
    for (int i = 0; i < m_iSize; ++i)
        if (m_pData[i] != p_cChar)
            m_pData[iKept++] = m_pData[i];
    int iRemoved = m_iSize - iKept;
    if (iRemoved) {
        m_pData[iKept] = '\0';
        m_iSize = iKept;
    }
    return iRemoved;
}

int CString::Replace(char p_cFrom, char p_cTo) {
    if (p_cFrom == p_cTo)
        return 0;
    int iCount = 0;
    for (int i = 0; i < m_iSize; ++i) {
        if (m_pData[i] == p_cFrom) {
            m_pData[i] = p_cTo;
            ++iCount;
        }
    }
    return iCount;
}

int CString::Replace(const char* p_szOld, const char* p_szNew) {
    if (!p_szOld || !*p_szOld || m_iSize == 0)
        return 0;
    if (!p_szNew)
        p_szNew = "";
    size_t iOld = strlen(p_szOld);
    size_t iNew = strlen(p_szNew);
    const char* pEnd = m_pData + m_iSize;

    int iCount = 0;
    for (const char* p = m_pData;; p += iOld, ++iCount) {
        p = static_cast<const char*>(memmem(p, static_cast<size_t>(pEnd - p), p_szOld, iOld));
        if (!p)
            break;
    }
    if (iCount == 0)
        return 0;

    int64_t iNewLen64 = static_cast<int64_t>(m_iSize) +
                        static_cast<int64_t>(iCount) * (static_cast<int64_t>(iNew) - static_cast<int64_t>(iOld));
    int iNewLen = CheckedLength(iNewLen64, "char[iNewLen+1]", __LINE__);
    // clang-format off
    char* pBuffer = VORANT_NEW(kUnit, char[iNewLen+1]);
    // clang-format on
    char* pOut = pBuffer;
    const char* pIn = m_pData;
    for (int i = 0; i < iCount; ++i) {
        const char* pHit = static_cast<const char*>(memmem(pIn, static_cast<size_t>(pEnd - pIn), p_szOld, iOld));
        memcpy(pOut, pIn, static_cast<size_t>(pHit - pIn));
        pOut += pHit - pIn;
        memcpy(pOut, p_szNew, iNew);
        pOut += iNew;
        pIn = pHit + iOld;
    }
    memcpy(pOut, pIn, static_cast<size_t>(pEnd - pIn));
    pBuffer[iNewLen] = '\0';
    // The old buffer goes last: the new text may have been read from it.
    delete[] m_pData;
    m_pData = pBuffer;
    m_iSize = iNewLen;
    m_iBufferSize = iNewLen + 1;
    return iCount;
}

void CString::ConcatInPlace(const char* p_pText, int p_iLength) {
    if (!p_pText || p_iLength < 1)
        return;
    int iNewLen = CheckedLength(static_cast<int64_t>(m_iSize) + p_iLength, "char[iNewLen+1]", __LINE__);
    // clang-format off
    char* pBuffer = VORANT_NEW(kUnit, char[iNewLen+1]);
    // clang-format on
    if (m_iSize)
        memcpy(pBuffer, m_pData, static_cast<size_t>(m_iSize));
    memcpy(pBuffer + m_iSize, p_pText, static_cast<size_t>(p_iLength));
    pBuffer[iNewLen] = '\0';
    delete[] m_pData;
    m_pData = pBuffer;
    m_iSize = iNewLen;
    m_iBufferSize = iNewLen + 1;
}

CString& CString::operator+=(const char* p_szText) {
    if (p_szText && *p_szText)
        ConcatInPlace(p_szText, CheckedLength(static_cast<int64_t>(strlen(p_szText)), "char[iNewLen+1]", __LINE__));
    return *this;
}

CString& CString::operator+=(const CString& p_Other) {
    ConcatInPlace(p_Other.m_pData, p_Other.m_iSize);
    return *this;
}

CString CString::operator+(const char* p_szText) const {
    int iLen = p_szText ? CheckedLength(static_cast<int64_t>(strlen(p_szText)), "char[iLen+1]", __LINE__) : 0;
    return CString(m_pData, m_iSize, p_szText, iLen);
}

CString CString::operator+(const CString& p_Other) const {
    return CString(m_pData, m_iSize, p_Other.m_pData, p_Other.m_iSize);
}

int CString::Find(char p_cChar, int p_iStart) const {
    if (p_iStart < 0)
        p_iStart = 0;
    if (p_iStart >= m_iSize)
        return -1;
    const void* pHit = memchr(m_pData + p_iStart, p_cChar, static_cast<size_t>(m_iSize - p_iStart));
    return pHit ? static_cast<int>(static_cast<const char*>(pHit) - m_pData) : -1;
}

int CString::Find(const char* p_szText, int p_iStart) const {
    if (p_iStart < 0)
        p_iStart = 0;
    if (!p_szText || !*p_szText || p_iStart > m_iSize)
        return -1;
    size_t iLen = strlen(p_szText);
    if (iLen > static_cast<size_t>(m_iSize - p_iStart))
        return -1;
    const void* pHit = memmem(m_pData + p_iStart, static_cast<size_t>(m_iSize - p_iStart), p_szText, iLen);
    return pHit ? static_cast<int>(static_cast<const char*>(pHit) - m_pData) : -1;
}

int CString::ReverseFind(char p_cChar) const {
    if (m_iSize < 1)
        return -1;
    const void* pHit = memrchr(m_pData, p_cChar, static_cast<size_t>(m_iSize));
    return pHit ? static_cast<int>(static_cast<const char*>(pHit) - m_pData) : -1;
}

int CString::FindOneOf(const char* p_szSet) const {
    if (!p_szSet || !*p_szSet)
        return -1;
    InSet inSet{p_szSet, strlen(p_szSet)};
    for (int i = 0; i < m_iSize; ++i)
        if (inSet(static_cast<unsigned char>(m_pData[i])))
            return i;
    return -1;
}

bool CString::StartsWith(const char* p_szText) const {
    if (!p_szText)
        return false;
    size_t iLen = strlen(p_szText);
    if (iLen > static_cast<size_t>(m_iSize))
        return false;
    return iLen == 0 || memcmp(m_pData, p_szText, iLen) == 0;
}

bool CString::EndsWith(const char* p_szText) const {
    if (!p_szText)
        return false;
    size_t iLen = strlen(p_szText);
    if (iLen > static_cast<size_t>(m_iSize))
        return false;
    return iLen == 0 || memcmp(m_pData + (static_cast<size_t>(m_iSize) - iLen), p_szText, iLen) == 0;
}

int CString::Compare(const char* p_szText) const {
    if (!p_szText)
        throw CException("CString::Compare - invalid string", 0);
    int iResult = strcmp(ToStr(), p_szText);
    return (iResult > 0) - (iResult < 0);
}

int CString::CompareNoCase(const char* p_szText) const {
    if (!p_szText)
        throw CException("CString::CompareNoCase - invalid string", 0);
    const unsigned char* pLeft = reinterpret_cast<const unsigned char*>(ToStr());
    const unsigned char* pRight = reinterpret_cast<const unsigned char*>(p_szText);
    for (;; ++pLeft, ++pRight) {
        int iLeft = tolower(*pLeft);
        int iRight = tolower(*pRight);
        if (iLeft != iRight)
            return iLeft - iRight;
        if (iLeft == 0)
            return 0;
    }
}

CString CString::Repr() const {
    if (m_iSize > 0)
        return CFormat("<CStr: %s>", m_pData);
    return CString("<CStr: unset>");
}
