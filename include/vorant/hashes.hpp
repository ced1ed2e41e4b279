// vorant: text-keyed hashes of value lists.
//
// Threads: hashes hold no shared state: an object serves one thread at a
// time, and different objects may be used on different threads at once.
#ifndef VORANT_HASHES_HPP
#define VORANT_HASHES_HPP

#include "vorant/arrays.hpp"
#include "vorant/cstring.hpp"
#include "vorant/export.h"

class CStream;

// What every keyed hash shares and needs no element type for.
class VORANT_API CHashBagBase {
public:
    // The hash of the first p_iLength bytes of p_szKey (0 for none), below 2^30.
    static int HashFunc(const char* p_szKey, int p_iLength);

protected:
    // Raises "CString::Compare - invalid string" (code 0) for a null key.
    static void CheckKey(const char* p_szKey);
    // Raises "<Class>() Invalid size(%d)" for a bucket count below 1.
    static void CheckBucketCount(const char* p_szClass, int p_iBuckets);
};

// A hash from text keys to value lists (TList, one of the arrays) in a fixed
// number of buckets, each a chain of nodes in the order the keys came. Owns
// the bucket array and the nodes; each node owns its key and its list.
// Copies are deep. Every member taking a key raises CException code 0 for a
// null key; the constructors raise for a bucket count below 1 or when the
// buckets cannot be allocated, a copy with MA_ERR_MEMORY.
template <typename TList, typename TValue, typename TOut>
class VORANT_API CHashBag : public CHashBagBase {
public:
    ~CHashBag();
    CHashBag& operator=(const CHashBag& p_Other);

    // Files p_Value under p_szKey: appended to the key's list, or replacing
    // the whole list when p_bReplace; the hash keeps a copy of the key. 0, or
    // -99 (nothing filed) when a new key's node cannot be made; growing an
    // existing key's list raises its array's allocation failure.
    int Set(const char* p_szKey, TValue p_Value, bool p_bReplace);
    // A copy of the key's whole list, the caller's; -1 (p_pOut untouched)
    // when absent or p_pOut is null.
    int Get(const char* p_szKey, TList* p_pOut) const;
    // The first value of the key's list; -1 (p_pOut untouched) when absent or
    // p_pOut is null.
    int Get(const char* p_szKey, TOut* p_pOut) const;
    // Deletes the key and its values; -1 when absent.
    int Remove(const char* p_szKey);
    // Every key, bucket by bucket, each chain in order, into p_Out (emptied
    // first).
    void GetKeys(CStrArray& p_Out) const;
    // Deletes every node; the buckets stay.
    void Clear();
    // Appends the listing of buckets, keys and values (nothing for null).
    void Dump(CStream* p_pStream) const;

    int GetBucketCount() const { return m_iBucketCount; }
    // The number of values over all keys.
    int GetDataCount() const { return m_iDataCount; }

protected:
    struct CNode;

    CHashBag(const char* p_szClass, int p_iBuckets);
    CHashBag(const CHashBag& p_Other);
    // Set, with the adopt flag of a new node's list (item lists only).
    int SetValue(const char* p_szKey, TValue p_Value, bool p_bReplace, bool p_bAdoptNew);
    // The key's list, or null.
    TList* FindList(const char* p_szKey) const;
    // Sets the adopt flag of every list (item lists only).
    void SetListsAdopt(bool p_bAdopt);

private:
    CNode* FindNode(const char* p_szKey) const;
    void FreeNodes();

    CNode** m_pBuckets;
    int m_iBucketCount;
    int m_iDataCount;
};

// Ints by key.
class VORANT_API CIntHash : public CHashBag<CIntArray, int, int> {
public:
    explicit CIntHash(int p_iBuckets = 1024) : CHashBag("CIntHash", p_iBuckets) {}
};

// Doubles by key.
class VORANT_API CDblHash : public CHashBag<CDblArray, double, double> {
public:
    explicit CDblHash(int p_iBuckets = 1024) : CHashBag("CDblHash", p_iBuckets) {}
};

// Strings by key; the first value of an empty list reads as "".
class VORANT_API CStrHash : public CHashBag<CStrArray, const char*, CString> {
public:
    explicit CStrHash(int p_iBuckets = 1024) : CHashBag("CStrHash", p_iBuckets) {}
};

// Items by key. While the adopt flag is set the hash owns its items (each
// filed under one key) and deletes them with their node; Get of a list
// gives a non-owning copy. Not copyable: items cannot be duplicated.
class VORANT_API CPtrHash : public CHashBag<CPtrArray, CPtrArrayItem*, CPtrArrayItem*> {
public:
    explicit CPtrHash(bool p_bAdopt = true, int p_iBuckets = 1024)
        : CHashBag("CPtrHash", p_iBuckets), m_bAdopt(p_bAdopt) {}
    CPtrHash(const CPtrHash&) = delete;
    CPtrHash& operator=(const CPtrHash&) = delete;

    int Set(const char* p_szKey, CPtrArrayItem* p_pItem, bool p_bReplace) {
        return SetValue(p_szKey, p_pItem, p_bReplace, m_bAdopt);
    }
    using CHashBag::Get;
    // The key's first item (still the hash's when adopting), or null when
    // absent or empty.
    CPtrArrayItem* Get(const char* p_szKey) const;

    bool GetAdoptFlag() const { return m_bAdopt; }
    // Applies to the items already held as well.
    void SetAdoptFlag(bool p_bAdopt);

private:
    bool m_bAdopt;
};

#endif  // VORANT_HASHES_HPP
