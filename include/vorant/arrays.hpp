// vorant: growable typed arrays.
//
// Threads: arrays hold no shared state: an object serves one thread at a
// time, and different objects may be used on different threads at once.
#ifndef VORANT_ARRAYS_HPP
#define VORANT_ARRAYS_HPP

#include "vorant/cstring.hpp"
#include "vorant/date.hpp"
#include "vorant/export.h"

// The behaviour shared by the value arrays (CIntArray, CDblArray, CBoolArray,
// CDateArray). Owns m_pData (new[]); copies are deep. Slots between the size
// and the capacity hold zero values. Index and emptiness errors raise
// CException code 0 naming the class; a failed allocation raises
// CException MA_ERR_MEMORY and leaves the array unchanged (the first Add's
// raises code 0, "<class> - Out of memory").
template <typename T>
class VORANT_API CValueArray {
public:
    CValueArray();
    // p_iCount elements equal to p_Value (capacity p_iCount); empty when
    // p_iCount is below 1.
    CValueArray(int p_iCount, T p_Value);
    // The other's capacity, slots and size.
    CValueArray(const CValueArray& p_Other);
    CValueArray(CValueArray&& p_Other) noexcept;
    ~CValueArray();
    CValueArray& operator=(const CValueArray& p_Other);
    CValueArray& operator=(CValueArray&& p_Other) noexcept;

    // Appends; returns the new element's index.
    int Add(T p_Value);
    // 0 <= p_iIndex <= size, or raises; returns p_iIndex.
    int InsertAt(int p_iIndex, T p_Value);
    // 0 <= p_iIndex < size, or raises; returns p_iIndex.
    int RemoveAt(int p_iIndex);
    // Does nothing on an empty array.
    void RemoveLast();

    // 0 <= p_iIndex < size, or raises; GetAtLast raises when empty.
    T GetAt(int p_iIndex) const;
    void SetAt(int p_iIndex, T p_Value);
    T& operator[](int p_iIndex);
    const T& operator[](int p_iIndex) const;
    T GetAtLast() const;

    // Index of the first equal element, or -1.
    int Find(T p_Value) const;
    bool IsIn(T p_Value) const { return Find(p_Value) >= 0; }

    // Zeroes every slot and empties the array; the buffer stays.
    void Clear();
    // Frees the buffer.
    void RemoveAll();
    void SetNull() { RemoveAll(); }
    // As a new array of p_iCount elements equal to p_Value.
    void Reset(int p_iCount, T p_Value);
    // Ascending.
    void Sort();

    int GetSize() const { return m_iSize; }
    int GetCapacity() const { return m_iBufferSize; }
    bool IsEmpty() const { return m_iSize == 0; }
    bool IsValid() const { return m_iSize > 0; }

    // "<CIntArr: unset>" when empty; otherwise the elements with p_szSep
    // between them, after "CIntArr:(size/capacity)<sep>" when p_bHeader.
    CString Repr(const char* p_szSep = ",", bool p_bHeader = true) const;

private:
    void GrowBuffer(int p_iWanted);
    [[noreturn]] void ThrowInvalidIndex(const char* p_szMethod, int p_iIndex) const;

    T* m_pData;
    int m_iSize;
    int m_iBufferSize;
};

// 32-bit ints; elements print as "%d".
class VORANT_API CIntArray : public CValueArray<int> {
public:
    using CValueArray<int>::CValueArray;
};

// Doubles; elements print as "%f"; Find compares exactly.
class VORANT_API CDblArray : public CValueArray<double> {
public:
    using CValueArray<double>::CValueArray;
};

// Bools; elements print as 'Y' or 'N'; false sorts before true.
class VORANT_API CBoolArray : public CValueArray<bool> {
public:
    using CValueArray<bool>::CValueArray;
};

// Dates by value; compared by their eight date characters.
class VORANT_API CDateArray : public CValueArray<CDate> {
public:
    using CValueArray<CDate>::CValueArray;
};

// An array of strings. Owns the slot buffer m_pData and one CString object
// per slot up to the capacity (strings beyond the size are empty); copies
// are deep. Only operator[] (an invalid index) and GetAtLast (empty) raise
// CException code 0; allocation failures raise CException MA_ERR_MEMORY
// naming "dat_class/str_array". The other members answer a bad index with
// -1, "" or nothing, as each says.
class VORANT_API CStrArray {
public:
    CStrArray();
    // p_iCount empty strings.
    explicit CStrArray(int p_iCount);
    CStrArray(const CStrArray& p_Other);
    ~CStrArray();
    // The other's texts, reusing this array's string objects.
    CStrArray& operator=(const CStrArray& p_Other);

    // Resizes to p_iCount strings: -1 when negative, 0 after success; 0
    // frees everything.
    int SetSize(int p_iCount);
    // Appends; returns the new index.
    int Add(const char* p_szText);
    // -1 for a negative index; beyond the size counts as the size.
    int InsertAt(int p_iIndex, const char* p_szText);
    // -1 for an invalid index.
    int RemoveAt(int p_iIndex);
    void RemoveLast();

    // The text at p_iIndex, or "" for an invalid index; owned by the array,
    // valid until that string changes.
    const char* GetAt(int p_iIndex) const;
    // Ignored for an invalid index.
    void SetAt(int p_iIndex, const char* p_szText);
    CString& operator[](int p_iIndex);
    const CString& operator[](int p_iIndex) const;
    CString GetAtLast() const;

    // Index of the first string equal to p_szText, -1 for none or null.
    int Find(const char* p_szText) const;
    bool IsIn(const char* p_szText) const { return Find(p_szText) >= 0; }

    // Empties every string; string objects and capacity stay.
    void Clear();
    // Deletes every string object and the slot buffer.
    void RemoveAll();
    void SetNull() { RemoveAll(); }
    // Shrinks the capacity to the size.
    void FreeExtra();

    // The texts with p_szSep between them; "" when empty.
    CString Join(const char* p_szSep) const;
    // Ascending by byte comparison.
    void Sort();

    int GetSize() const { return m_iSize; }
    int GetCapacity() const { return m_iBufferSize; }
    bool IsEmpty() const { return m_iSize == 0; }
    bool IsValid() const { return m_iSize > 0; }

    // "<CStrArr: unset>" or "CStrArr:(size/capacity)<sep>" and the texts.
    CString Repr(const char* p_szSep = ",", bool p_bHeader = true) const;

private:
    void EmptyRange(int p_iFrom, int p_iTo);

    CString** m_pData;
    int m_iSize;
    int m_iBufferSize;
};

// Base of everything a CPtrArray or CPtrHash holds, so that an owning
// container can delete it.
class VORANT_API CPtrArrayItem {
public:
    CPtrArrayItem() = default;
    virtual ~CPtrArrayItem();

protected:
    CPtrArrayItem(const CPtrArrayItem&) = default;
    CPtrArrayItem& operator=(const CPtrArrayItem&) = default;
};

// An array of item pointers. Owns the slot buffer m_pData, and the items
// while the adopt flag is set: an item it lets go of is deleted once, and
// only when no other slot still holds it. Not copy-constructible;
// assignment makes a non-owning copy of the pointers. GetAt, SetAt and
// operator[] raise CException code 0 for an index outside 0..size-1,
// GetAtLast when empty; a failed allocation raises code 0 ("... : Out of
// memory") and leaves the array unchanged.
class VORANT_API CPtrArray {
public:
    CPtrArray();
    explicit CPtrArray(bool p_bAdopt);
    // p_iCount copies of p_pItem.
    CPtrArray(int p_iCount, CPtrArrayItem* p_pItem, bool p_bAdopt);
    CPtrArray(const CPtrArray&) = delete;
    ~CPtrArray();
    // Lets go of the own items (those the other also holds are kept alive),
    // copies the other's pointers and clears the adopt flag.
    CPtrArray& operator=(const CPtrArray& p_Other);

    void SetAdoptFlag(bool p_bAdopt) { m_bAdopt = p_bAdopt; }
    bool GetAdoptFlag() const { return m_bAdopt; }

    // Appends (an adopting array owns p_pItem from now on); returns the new
    // index.
    int Add(CPtrArrayItem* p_pItem);
    // -1 for a negative index; beyond the size counts as the size.
    int InsertAt(int p_iIndex, CPtrArrayItem* p_pItem);
    // Lets go of the item; p_iIndex, or -1 for an invalid index.
    int RemoveAt(int p_iIndex);
    // Lets go of the last item; does nothing on an empty array.
    void RemoveLast();

    // The item, still owned by the array when adopting.
    CPtrArrayItem* GetAt(int p_iIndex) const;
    // Stores p_pItem and lets go of the one it replaces (unless the same).
    void SetAt(int p_iIndex, CPtrArrayItem* p_pItem);
    CPtrArrayItem* operator[](int p_iIndex) const;
    CPtrArrayItem* GetAtLast() const;

    // By pointer identity.
    int Find(const CPtrArrayItem* p_pItem) const;
    bool IsIn(const CPtrArrayItem* p_pItem) const { return Find(p_pItem) >= 0; }

    // Lets go of every item and zeroes the slots; the buffer stays.
    void Clear();
    // Lets go of every item and frees the buffer.
    void RemoveAll();
    void SetNull() { RemoveAll(); }
    // Capacity of at least p_iCount and p_iCount slots holding p_pItem.
    void Reset(int p_iCount, CPtrArrayItem* p_pItem);

    int GetSize() const { return m_iSize; }
    int GetCapacity() const { return m_iBufferSize; }
    bool IsEmpty() const { return m_iSize == 0; }
    bool IsValid() const { return m_iSize > 0; }

    // "<CPtrArr: unset>" or "CPtrArr:(size/capacity)<sep>" and the pointers.
    CString Repr(const char* p_szSep = ",", bool p_bHeader = true) const;

private:
    void AllocFirst();
    void GrowBuffer(int p_iWanted);
    void Reallocate(int p_iCapacity, const char* p_szFailure);
    // Deletes p_pItem when adopting and no slot holds it any more.
    void Release(CPtrArrayItem* p_pItem);
    // Deletes, when adopting, each distinct item of the first m_iSize slots
    // except the p_iKeep items at p_pKeep; the slots are left reordered.
    void ReleaseAll(CPtrArrayItem* const* p_pKeep, int p_iKeep);
    [[noreturn]] void ThrowInvalidIndex(const char* p_szMethod, int p_iIndex) const;

    CPtrArrayItem** m_pData;
    int m_iSize;
    int m_iBufferSize;
    bool m_bAdopt;
};

#endif  // VORANT_ARRAYS_HPP
