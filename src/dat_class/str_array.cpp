// CStrArray and the CString::Split functions that fill it.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <string>

#include "dat_class/alloc_failure.h"
#include "dat_class/array_growth.h"
#include "dat_class/array_repr.h"
#include "vorant/arrays.hpp"
#include "vorant/exception.hpp"

namespace {

const char kUnit[] = "dat_class/str_array";

CString** NewSlots(int p_iCount, int p_iLine, const char* p_szExpr) {
    try {
        if (p_iCount < 0)
            throw std::bad_array_new_length();
        return new CString*[p_iCount];
    } catch (const std::bad_alloc& e) {
        vorant::ThrowAllocFailure(kUnit, p_iLine, p_szExpr, e);
    }
}

// Fills p_pSlots[p_iFrom..p_iTo) with new empty strings; on failure deletes
// those it made and raises CException -11.
void FillNewStrings(CString** p_pSlots, int p_iFrom, int p_iTo) {
    int i = p_iFrom;
    try {
        for (; i < p_iTo; ++i)
            p_pSlots[i] = new CString();
    } catch (const std::bad_alloc& e) {
        for (int j = p_iFrom; j < i; ++j)
            delete p_pSlots[j];
        vorant::ThrowAllocFailure(kUnit, __LINE__, "CString", e);
    } catch (...) {
        for (int j = p_iFrom; j < i; ++j)
            delete p_pSlots[j];
        throw;
    }
}

void MakeEmpty(CString* p_pString) {
    if (p_pString->GetLength() > 0)
        p_pString->Empty();
}

}  // namespace

CStrArray::CStrArray() : m_pData(nullptr), m_iSize(0), m_iBufferSize(0) {}

CStrArray::CStrArray(int p_iCount) : CStrArray() { SetSize(p_iCount); }

CStrArray::CStrArray(const CStrArray& p_Other) : CStrArray() { *this = p_Other; }

CStrArray::~CStrArray() { RemoveAll(); }

CStrArray& CStrArray::operator=(const CStrArray& p_Other) {
    if (this == &p_Other)
        return *this;
    SetSize(p_Other.m_iSize);
    for (int i = 0; i < m_iSize; ++i)
        m_pData[i]->Set(*p_Other.m_pData[i]);
    return *this;
}

void CStrArray::EmptyRange(int p_iFrom, int p_iTo) {
    for (int i = p_iFrom; i < p_iTo; ++i)
        MakeEmpty(m_pData[i]);
}

int CStrArray::SetSize(int p_iCount) {
    if (p_iCount < 0)
        return -1;
    if (p_iCount == 0) {
        RemoveAll();
        return 0;
    }
    if (!m_pData) {
        CString** pSlots = NewSlots(p_iCount, __LINE__, "CString*[m_iBufferSize]");
        try {
            FillNewStrings(pSlots, 0, p_iCount);
        } catch (...) {
            delete[] pSlots;
            throw;
        }
        m_pData = pSlots;
        m_iBufferSize = p_iCount;
    } else if (p_iCount > m_iBufferSize) {
        const int iNewMax = std::max(vorant::GrownCapacity(m_iSize, m_iBufferSize, 0), p_iCount);
        CString** pSlots = NewSlots(iNewMax, __LINE__, "CString*[iNewMax]");
        try {
            FillNewStrings(pSlots, m_iBufferSize, iNewMax);
        } catch (...) {
            delete[] pSlots;
            throw;
        }
        std::copy(m_pData, m_pData + m_iBufferSize, pSlots);
        delete[] m_pData;
        m_pData = pSlots;
        m_iBufferSize = iNewMax;
    }
    // Strings between the old and the new size start (or stay) empty.
    EmptyRange(std::min(m_iSize, p_iCount), std::max(m_iSize, p_iCount));
    m_iSize = p_iCount;
    return 0;
}

int CStrArray::Add(const char* p_szText) {
    SetSize(m_iSize + 1);
    m_pData[m_iSize - 1]->Set(p_szText);
    return m_iSize - 1;
}

int CStrArray::InsertAt(int p_iIndex, const char* p_szText) {
    if (p_iIndex < 0)
        return -1;
    if (p_iIndex > m_iSize)
        p_iIndex = m_iSize;
    SetSize(m_iSize + 1);
    CString* pString = m_pData[m_iSize - 1];
    std::copy_backward(m_pData + p_iIndex, m_pData + m_iSize - 1, m_pData + m_iSize);
    m_pData[p_iIndex] = pString;
    pString->Set(p_szText);
    return p_iIndex;
}

int CStrArray::RemoveAt(int p_iIndex) {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        return -1;
    CString* pString = m_pData[p_iIndex];
    MakeEmpty(pString);
    std::copy(m_pData + p_iIndex + 1, m_pData + m_iSize, m_pData + p_iIndex);
    m_pData[--m_iSize] = pString;
    return p_iIndex;
}

void CStrArray::RemoveLast() {
    if (m_iSize <= 0)
        return;
    MakeEmpty(m_pData[--m_iSize]);
}

const char* CStrArray::GetAt(int p_iIndex) const {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        return "";
    return m_pData[p_iIndex]->ToStr();
}

void CStrArray::SetAt(int p_iIndex, const char* p_szText) {
    if (p_iIndex < 0 || p_iIndex >= m_iSize)
        return;
    m_pData[p_iIndex]->Set(p_szText);
}

CString& CStrArray::operator[](int p_iIndex) {
    const CStrArray& self = *this;
    return const_cast<CString&>(self[p_iIndex]);
}

const CString& CStrArray::operator[](int p_iIndex) const {
    if (p_iIndex < 0 || p_iIndex >= m_iSize) {
        throw CException(0, "CStrArray::operator[] : Invalid index(%d:%d)", m_iSize - 1, p_iIndex);
    }
    return *m_pData[p_iIndex];
}

CString CStrArray::GetAtLast() const {
    if (m_iSize <= 0)
        throw CException("CStrArray::GetAtLast : Empty", 0);
    return *m_pData[m_iSize - 1];
}

int CStrArray::Find(const char* p_szText) const {
    if (!p_szText)
        return -1;
    for (int i = 0; i < m_iSize; ++i) {
        if (std::strcmp(m_pData[i]->ToStr(), p_szText) == 0)
            return i;
    }
    return -1;
}

void CStrArray::Clear() {
    EmptyRange(0, m_iBufferSize);
    m_iSize = 0;
}

void CStrArray::RemoveAll() {
    for (int i = 0; i < m_iBufferSize; ++i)
        delete m_pData[i];
    delete[] m_pData;
    m_pData = nullptr;
    m_iSize = m_iBufferSize = 0;
}

void CStrArray::FreeExtra() {
    if (m_iSize == m_iBufferSize)
        return;
    if (m_iSize == 0) {
        RemoveAll();
        return;
    }
    CString** pSlots = NewSlots(m_iSize, __LINE__, "CString*[m_iSize]");
    std::copy(m_pData, m_pData + m_iSize, pSlots);
    for (int i = m_iSize; i < m_iBufferSize; ++i)
        delete m_pData[i];
    delete[] m_pData;
    m_pData = pSlots;
    m_iBufferSize = m_iSize;
}

CString CStrArray::Join(const char* p_szSep) const {
    std::string strOut;
    vorant::AppendJoined(strOut, m_iSize, p_szSep, [this](std::string& p_Out, int i) { p_Out += m_pData[i]->ToStr(); });
    return CString(strOut.c_str());
}

void CStrArray::Sort() {
    std::sort(m_pData, m_pData + m_iSize,
              [](const CString* p_pA, const CString* p_pB) { return std::strcmp(p_pA->ToStr(), p_pB->ToStr()) < 0; });
}

CString CStrArray::Repr(const char* p_szSep, bool p_bHeader) const {
    return vorant::ArrayRepr("CStrArr", m_iSize, m_iBufferSize, p_szSep, p_bHeader,
                             [this](std::string& p_Out, int i) { p_Out += m_pData[i]->ToStr(); });
}

// Splitting. The text is copied first, so that splitting a string of the
// output array itself is safe.
namespace {

bool IsSpace(char p_cChar) { return std::isspace(static_cast<unsigned char>(p_cChar)) != 0; }

// The piece [p_pBegin, p_pEnd), trimmed when asked, cut in place.
const char* CutPiece(char* p_pBegin, char* p_pEnd, bool p_bTrim) {
    if (p_bTrim) {
        while (p_pBegin < p_pEnd && IsSpace(*p_pBegin))
            ++p_pBegin;
        while (p_pEnd > p_pBegin && IsSpace(p_pEnd[-1]))
            --p_pEnd;
    }
    *p_pEnd = '\0';
    return p_pBegin;
}

// Cuts p_strText at every p_szSep (of p_iSepLength bytes, 0 for none) and
// appends the pieces; the last one goes in when it is not empty or when
// p_bKeepEmptyLast.
int SplitInto(std::string& p_strText, const char* p_szSep, size_t p_iSepLength, CStrArray* p_pOut, bool p_bTrim,
              bool p_bKeepEmptyLast) {
    char* pBegin = &p_strText[0];
    char* pEnd = pBegin + p_strText.size();
    if (p_iSepLength > 0) {
        for (char* pSep; (pSep = std::search(pBegin, pEnd, p_szSep, p_szSep + p_iSepLength)) != pEnd;) {
            char* pNext = pSep + p_iSepLength;
            p_pOut->Add(CutPiece(pBegin, pSep, p_bTrim));
            pBegin = pNext;
        }
    }
    const char* szLast = CutPiece(pBegin, pEnd, p_bTrim);
    if (*szLast || p_bKeepEmptyLast)
        p_pOut->Add(szLast);
    return p_pOut->GetSize();
}

}  // namespace

int CString::Split(char p_cSep, CStrArray* p_pOut, bool p_bTrim) const {
    if (!p_pOut)
        return -1;
    std::string strText(ToStr());
    p_pOut->Clear();
    return SplitInto(strText, &p_cSep, p_cSep ? 1 : 0, p_pOut, p_bTrim, false);
}

int CString::Split(const char* p_szSep, CStrArray* p_pOut, bool p_bTrim) const {
    if (!p_pOut)
        return -1;
    std::string strText(ToStr());
    p_pOut->Clear();
    return SplitInto(strText, p_szSep, p_szSep ? std::strlen(p_szSep) : 0, p_pOut, p_bTrim, !p_bTrim);
}
