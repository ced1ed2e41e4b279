// vorant: the library's owned 8-bit string and printf-style formatting.
//
// Threads: strings hold no shared state: an object serves one thread at a
// time, and different objects may be used on different threads at once.
// CFormat may run on any thread.
#ifndef VORANT_CSTRING_HPP
#define VORANT_CSTRING_HPP

#include <cstring>

#include "vorant/exception.hpp"
#include "vorant/export.h"

class CStrArray;
class CPlacedString;

// An owned, zero-terminated 8-bit string. Owns m_pData (allocated with
// new[]), except the texts of a parsed message, which live in its memory;
// copies are deep. Never null while alive: the empty string has an
// 8-byte zeroed buffer. Only a moved-from string has no buffer, and it reads
// as the empty text until it is assigned again.
// Index and argument errors raise CException code 0 where a member says so;
// failed allocations raise CException MA_ERR_MEMORY and leave the string as
// it was. Other out-of-range positions and counts are clamped, and a null
// text argument reads as the empty text, unless a member says otherwise.
class VORANT_API CString {
public:
    CString();
    CString(const char* p_szText);
    CString(const CString& p_Other);
    CString(CString&& p_Other) noexcept;
    ~CString();

    CString& operator=(const char* p_szText);
    CString& operator=(const CString& p_Other);
    CString& operator=(CString&& p_Other) noexcept;

    // Copies the text (null or "" makes the string empty); returns its length.
    int Set(const char* p_szText);
    int Set(const CString& p_Other);

    // SetNull, Clear and Empty are one operation: the empty string.
    void SetNull();
    void Clear();
    void Empty();

    // The text, owned by the string and valid until it next changes; never
    // null. Write through char* only within the length.
    operator char*() { return m_pData ? m_pData : EmptyText(); }
    operator const char*() const { return m_pData ? m_pData : EmptyText(); }
    const char* ToStr() const { return m_pData ? m_pData : EmptyText(); }

    int GetLength() const { return m_iSize; }
    int GetSize() const { return m_iSize; }
    int IsEmpty() const { return (m_pData == nullptr || m_iSize < 1) ? 1 : 0; }
    bool IsValid() const { return m_pData != nullptr && m_iSize >= 1; }
    // The leading number of the text, as atoi and atof read it in the "C"
    // locale (ToInt clamps to the int range); 0 when there is none.
    int ToInt() const;
    double ToDbl() const;

    // The character at p_iIndex; outside the text raises
    // "CString::operator[] - index overflow".
    char operator[](int p_iIndex) const;

    // Discards the text and returns a zeroed buffer of p_iLength + 1 bytes
    // (a negative length counts as 0), owned by the string.
    char* GetBuffer(int p_iLength);
    // -1: length from strlen; otherwise p_iLength, which must be below the
    // buffer size ("CString::ReleaseBuffer - out of index").
    void ReleaseBuffer(int p_iLength = -1);

    // Formats into this string (an argument may be this string itself);
    // returns the formatted length, or a negative value, the string left
    // empty, for a null format or one that cannot be rendered.
    int Format(const char* p_szFormat, ...) __attribute__((format(printf, 2, 3)));

    void MakeLower();
    void MakeUpper();

    void TrimLeft();
    void TrimRight();
    void Trim();
    void TrimLeft(char p_cChar);
    void TrimRight(char p_cChar);
    void Trim(char p_cChar);
    void TrimLeft(const char* p_szSet);
    void TrimRight(const char* p_szSet);
    void Trim(const char* p_szSet);

    // New strings of at most p_iCount characters from either end, or from
    // p_iStart (p_iCount -1: to the end; other negative counts: nothing).
    CString Left(int p_iCount) const;
    CString Right(int p_iCount) const;
    CString Mid(int p_iStart, int p_iCount = -1) const;

    // Return the new length; positions are clamped to the text.
    int Insert(int p_iPos, char p_cChar);
    int Insert(int p_iPos, const char* p_szText);
    int Delete(int p_iPos, int p_iCount = 1);
    // Return how many characters or occurrences were affected.
    int Remove(char p_cChar);
    int Replace(char p_cFrom, char p_cTo);
    int Replace(const char* p_szOld, const char* p_szNew);

    CString& operator+=(const char* p_szText);
    CString& operator+=(const CString& p_Other);
    CString operator+(const char* p_szText) const;
    CString operator+(const CString& p_Other) const;

    // The index of the first hit at or after p_iStart (FindOneOf: of any
    // character of p_szSet; ReverseFind: the last hit), or -1 for none, a
    // null or empty text.
    int Find(char p_cChar, int p_iStart = 0) const;
    int Find(const char* p_szText, int p_iStart = 0) const;
    int ReverseFind(char p_cChar) const;
    int FindOneOf(const char* p_szSet) const;
    bool StartsWith(const char* p_szText) const;
    bool EndsWith(const char* p_szText) const;
    // -1, 0 or 1 by unsigned bytes; null raises "CString::Compare - invalid string".
    int Compare(const char* p_szText) const;
    // Difference of the first differing lowered characters; null raises
    // "CString::CompareNoCase - invalid string".
    int CompareNoCase(const char* p_szText) const;

    // Empty p_pOut, then fill it with the pieces between separators (each
    // trimmed of white space when p_bTrim); return the piece count, or -1
    // for a null p_pOut. An empty last piece is dropped, except by the text
    // separator without p_bTrim. A null or empty separator gives the whole
    // text as one piece.
    int Split(char p_cSep, CStrArray* p_pOut, bool p_bTrim) const;
    int Split(const char* p_szSep, CStrArray* p_pOut, bool p_bTrim) const;

    // "<CStr: text>" or "<CStr: unset>".
    CString Repr() const;

private:
    // The shared empty text read in place of a missing buffer.
    static char* EmptyText();
    // p_pHead[0..p_iHead) followed by p_pTail[0..p_iTail) in a buffer of
    // exactly the combined length + 1 (the empty string when both are empty).
    CString(const char* p_pHead, int p_iHead, const char* p_pTail = nullptr, int p_iTail = 0);
    // Over p_pData, which CPlacedString's caller frees.
    struct CPlaced {};
    CString(CPlaced, char* p_pData, int p_iSize, int p_iBufferSize) noexcept
        : m_pData(p_pData), m_iSize(p_iSize), m_iBufferSize(p_iBufferSize) {}
    void MakeEmptyString();
    void ConcatInPlace(const char* p_pText, int p_iLength);
    int InsertText(int p_iPos, const char* p_pText, int p_iLength);

    char* m_pData;
    int m_iSize;
    int m_iBufferSize;

    friend class CStrArray;
    friend class CPlacedString;  // the library's strings in memory it frees itself
};

// Text equality (the conversions to char* would otherwise compare pointers);
// a null text equals nothing.
inline bool operator==(const CString& p_Left, const CString& p_Right) {
    return p_Left.GetLength() == p_Right.GetLength() && strcmp(p_Left.ToStr(), p_Right.ToStr()) == 0;
}
inline bool operator==(const CString& p_Left, const char* p_szRight) {
    return p_szRight && strcmp(p_Left.ToStr(), p_szRight) == 0;
}
inline bool operator==(const char* p_szLeft, const CString& p_Right) { return p_Right == p_szLeft; }
inline bool operator!=(const CString& p_Left, const CString& p_Right) { return !(p_Left == p_Right); }
inline bool operator!=(const CString& p_Left, const char* p_szRight) { return !(p_Left == p_szRight); }
inline bool operator!=(const char* p_szLeft, const CString& p_Right) { return !(p_Right == p_szLeft); }

// A new string formatted like printf; empty for a null format or one that
// cannot be rendered. Raises CException MA_ERR_MEMORY when memory runs out.
VORANT_API CString CFormat(const char* p_szFormat, ...) __attribute__((format(printf, 1, 2)));

#endif  // VORANT_CSTRING_HPP
