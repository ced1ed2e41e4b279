// The members of CHashBag. A unit that includes this instantiates the
// template for one list type.
#ifndef VORANT_DAT_CLASS_HASH_BAG_H
#define VORANT_DAT_CLASS_HASH_BAG_H

#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "dat_class/alloc_failure.h"
#include "dat_class/num_text.h"
#include "vorant/exception.hpp"
#include "vorant/hashes.hpp"
#include "vorant/stream.hpp"

namespace vorant {

// What a hash's Set returns when a new key's node cannot be made.
const int kHashNoMemory = -99;

// Value lists keep no adopt flag; item lists take the hash's.
template <typename TList>
void SetListAdopt(TList&, bool) {}
inline void SetListAdopt(CPtrArray& p_List, bool p_bAdopt) { p_List.SetAdoptFlag(p_bAdopt); }

// Replaces the whole list by p_Value.
template <typename TList, typename TValue>
void ReplaceList(TList& p_List, TValue p_Value) {
    p_List.RemoveAll();
    p_List.Add(p_Value);
}
// An owning item list must not delete the item that replaces it.
inline void ReplaceList(CPtrArray& p_List, CPtrArrayItem* p_pItem) {
    const bool bAdopt = p_List.GetAdoptFlag();
    p_List.SetAdoptFlag(false);
    for (int i; (i = p_List.Find(p_pItem)) >= 0;)
        p_List.RemoveAt(i);
    p_List.SetAdoptFlag(bAdopt);
    p_List.RemoveAll();
    p_List.Add(p_pItem);
}

inline void AppendNumber(std::string& p_Out, int p_iValue) {
    char szBuf[num_text::kIntSize];
    p_Out.append(szBuf, num_text::WriteInt(szBuf, p_iValue));
}

inline int KeyHash(const char* p_szKey, int p_iBuckets) {
    const size_t iLength = std::strlen(p_szKey);
    return CHashBagBase::HashFunc(p_szKey, iLength > INT_MAX ? INT_MAX : static_cast<int>(iLength)) % p_iBuckets;
}

}  // namespace vorant

template <typename TList, typename TValue, typename TOut>
struct CHashBag<TList, TValue, TOut>::CNode {
    CNode(int p_iHash, const char* p_szKey) : m_iHash(p_iHash), m_strKey(p_szKey), m_pNext(nullptr) {}

    int m_iHash;  // the bucket it is filed under
    CString m_strKey;
    TList m_List;
    CNode* m_pNext;
};

namespace vorant {

// Deletes every chain of p_iCount buckets.
template <typename TNode>
void FreeChains(TNode** p_pBuckets, int p_iCount) {
    for (int i = 0; i < p_iCount; ++i) {
        for (TNode* pNode = p_pBuckets[i]; pNode;) {
            TNode* pNext = pNode->m_pNext;
            delete pNode;
            pNode = pNext;
        }
        p_pBuckets[i] = nullptr;
    }
}

}  // namespace vorant

template <typename TList, typename TValue, typename TOut>
CHashBag<TList, TValue, TOut>::CHashBag(const char* p_szClass, int p_iBuckets)
    : m_pBuckets(nullptr), m_iBucketCount(0), m_iDataCount(0) {
    CheckBucketCount(p_szClass, p_iBuckets);
    m_pBuckets = new (std::nothrow) CNode*[p_iBuckets]();
    if (!m_pBuckets)
        throw CException(0, "%s() Out of memory", p_szClass);
    m_iBucketCount = p_iBuckets;
}

template <typename TList, typename TValue, typename TOut>
CHashBag<TList, TValue, TOut>::CHashBag(const CHashBag& p_Other)
    : m_pBuckets(nullptr), m_iBucketCount(0), m_iDataCount(0) {
    *this = p_Other;
}

template <typename TList, typename TValue, typename TOut>
CHashBag<TList, TValue, TOut>::~CHashBag() {
    FreeNodes();
    delete[] m_pBuckets;
}

template <typename TList, typename TValue, typename TOut>
CHashBag<TList, TValue, TOut>& CHashBag<TList, TValue, TOut>::operator=(const CHashBag& p_Other) {
    if (this == &p_Other)
        return *this;
    const int iCount = p_Other.m_iBucketCount;
    // clang-format off
    CNode** pBuckets = VORANT_NEW("dat_class/hash_bag", CNode*[iCount]());
    // clang-format on
    try {
        for (int i = 0; i < iCount; ++i) {
            CNode** ppTail = &pBuckets[i];
            for (const CNode* pNode = p_Other.m_pBuckets[i]; pNode; pNode = pNode->m_pNext) {
                *ppTail = VORANT_NEW("dat_class/hash_bag", CNode(pNode->m_iHash, pNode->m_strKey));
                (*ppTail)->m_List = pNode->m_List;
                ppTail = &(*ppTail)->m_pNext;
            }
        }
    } catch (...) {
        vorant::FreeChains(pBuckets, iCount);
        delete[] pBuckets;
        throw;
    }
    FreeNodes();
    delete[] m_pBuckets;
    m_pBuckets = pBuckets;
    m_iBucketCount = iCount;
    m_iDataCount = p_Other.m_iDataCount;
    return *this;
}

template <typename TList, typename TValue, typename TOut>
void CHashBag<TList, TValue, TOut>::FreeNodes() {
    if (m_pBuckets)
        vorant::FreeChains(m_pBuckets, m_iBucketCount);
}

template <typename TList, typename TValue, typename TOut>
typename CHashBag<TList, TValue, TOut>::CNode* CHashBag<TList, TValue, TOut>::FindNode(const char* p_szKey) const {
    CheckKey(p_szKey);
    for (CNode* pNode = m_pBuckets[vorant::KeyHash(p_szKey, m_iBucketCount)]; pNode; pNode = pNode->m_pNext) {
        if (std::strcmp(pNode->m_strKey.ToStr(), p_szKey) == 0)
            return pNode;
    }
    return nullptr;
}

template <typename TList, typename TValue, typename TOut>
TList* CHashBag<TList, TValue, TOut>::FindList(const char* p_szKey) const {
    CNode* pNode = FindNode(p_szKey);
    return pNode ? &pNode->m_List : nullptr;
}

template <typename TList, typename TValue, typename TOut>
int CHashBag<TList, TValue, TOut>::Set(const char* p_szKey, TValue p_Value, bool p_bReplace) {
    return SetValue(p_szKey, p_Value, p_bReplace, true);
}

template <typename TList, typename TValue, typename TOut>
int CHashBag<TList, TValue, TOut>::SetValue(const char* p_szKey, TValue p_Value, bool p_bReplace, bool p_bAdoptNew) {
    CheckKey(p_szKey);
    const int iHash = vorant::KeyHash(p_szKey, m_iBucketCount);
    CNode** ppLink = &m_pBuckets[iHash];
    for (; *ppLink; ppLink = &(*ppLink)->m_pNext) {
        TList& list = (*ppLink)->m_List;
        if (std::strcmp((*ppLink)->m_strKey.ToStr(), p_szKey) != 0)
            continue;
        if (p_bReplace) {
            m_iDataCount -= list.GetSize();
            vorant::ReplaceList(list, p_Value);
        } else {
            list.Add(p_Value);
        }
        ++m_iDataCount;
        return 0;
    }
    std::unique_ptr<CNode> pNode;
    try {
        pNode.reset(new CNode(iHash, p_szKey));
        vorant::SetListAdopt(pNode->m_List, p_bAdoptNew);
        pNode->m_List.Add(p_Value);
    } catch (const std::bad_alloc&) {
        return vorant::kHashNoMemory;
    } catch (const CException&) {
        return vorant::kHashNoMemory;
    }
    *ppLink = pNode.release();
    ++m_iDataCount;
    return 0;
}

template <typename TList, typename TValue, typename TOut>
int CHashBag<TList, TValue, TOut>::Get(const char* p_szKey, TList* p_pOut) const {
    const TList* pList = FindList(p_szKey);
    if (!pList || !p_pOut)
        return -1;
    *p_pOut = *pList;
    return 0;
}

template <typename TList, typename TValue, typename TOut>
int CHashBag<TList, TValue, TOut>::Get(const char* p_szKey, TOut* p_pOut) const {
    const TList* pList = FindList(p_szKey);
    if (!pList || !p_pOut)
        return -1;
    *p_pOut = pList->GetAt(0);
    return 0;
}

template <typename TList, typename TValue, typename TOut>
int CHashBag<TList, TValue, TOut>::Remove(const char* p_szKey) {
    CheckKey(p_szKey);
    for (CNode** ppLink = &m_pBuckets[vorant::KeyHash(p_szKey, m_iBucketCount)]; *ppLink;
         ppLink = &(*ppLink)->m_pNext) {
        CNode* pNode = *ppLink;
        if (std::strcmp(pNode->m_strKey.ToStr(), p_szKey) != 0)
            continue;
        *ppLink = pNode->m_pNext;
        m_iDataCount -= pNode->m_List.GetSize();
        delete pNode;
        return 0;
    }
    return -1;
}

template <typename TList, typename TValue, typename TOut>
void CHashBag<TList, TValue, TOut>::GetKeys(CStrArray& p_Out) const {
    p_Out.Clear();
    for (int i = 0; i < m_iBucketCount; ++i) {
        for (const CNode* pNode = m_pBuckets[i]; pNode; pNode = pNode->m_pNext) {
            p_Out.Add(pNode->m_strKey.ToStr());
        }
    }
}

template <typename TList, typename TValue, typename TOut>
void CHashBag<TList, TValue, TOut>::Clear() {
    FreeNodes();
    m_iDataCount = 0;
}

template <typename TList, typename TValue, typename TOut>
void CHashBag<TList, TValue, TOut>::SetListsAdopt(bool p_bAdopt) {
    for (int i = 0; i < m_iBucketCount; ++i) {
        for (CNode* pNode = m_pBuckets[i]; pNode; pNode = pNode->m_pNext) {
            vorant::SetListAdopt(pNode->m_List, p_bAdopt);
        }
    }
}

template <typename TList, typename TValue, typename TOut>
void CHashBag<TList, TValue, TOut>::Dump(CStream* p_pStream) const {
    if (!p_pStream)
        return;
    using vorant::AppendNumber;
    std::string strOut = "Total HashBag size : ";
    AppendNumber(strOut, m_iBucketCount);
    strOut += ", DataCnt : ";
    AppendNumber(strOut, m_iDataCount);
    strOut += '\n';
    for (int i = 0; i < m_iBucketCount; ++i) {
        const CNode* pFirst = m_pBuckets[i];
        if (!pFirst)
            continue;
        strOut += "Hash : ";
        AppendNumber(strOut, pFirst->m_iHash);
        strOut += '\n';
        int iCount = 0;
        for (const CNode* pNode = pFirst; pNode; pNode = pNode->m_pNext, ++iCount) {
            strOut.append("  Key : [").append(pNode->m_strKey.ToStr()).append("](");
            AppendNumber(strOut, pNode->m_iHash);
            strOut.append(")\n      : [").append(pNode->m_List.Repr(", ", false).ToStr()).append("]\n");
        }
        strOut += "      (Hash(";
        AppendNumber(strOut, pFirst->m_iHash);
        strOut += ") Cnt : ";
        AppendNumber(strOut, iCount);
        strOut += ")\n";
        // Handed over a bucket at a time, so no one piece outgrows an int.
        if (strOut.size() >= 65536) {
            p_pStream->AppendData(strOut.data(), static_cast<int>(strOut.size()));
            strOut.clear();
        }
    }
    p_pStream->AppendData(strOut.data(), static_cast<int>(strOut.size()));
}

#endif  // VORANT_DAT_CLASS_HASH_BAG_H
