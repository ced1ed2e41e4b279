#include "msg/msg_info.h"

#include <memory>
#include <new>

#include "vorant/msg_dic.hpp"
#include "vorant/msg_error.hpp"
#include "vorant/stream.hpp"

CTagInfo::CTagInfo(int p_iTagNum, const char* p_szName, int p_iType, int p_iSubMsg, bool p_bArray)
    : m_iTagNum(p_iTagNum),
      m_strName(p_szName),
      m_iType(p_iType),
      m_iSubMsg(p_iSubMsg),
      m_bArray(p_bArray),
      m_pNext(nullptr) {}

CMsgInfo::CMsgInfo(int p_iMsgNum, const char* p_szName, const char* p_szVer, int p_iHashSize, CMsgDic* p_pDic)
    : m_iMsgNum(p_iMsgNum),
      m_strName(p_szName),
      m_strVer(p_szVer),
      m_iHashSize(p_iHashSize > 0 && p_iHashSize <= MAX_BUCKETS ? p_iHashSize : MAX_BUCKETS),
      m_iTableHeads(m_iHashSize),
      m_pDic(p_pDic),
      m_pBuckets(),
      m_NameIndex(NAME_INDEX_BUCKETS) {}

CMsgInfo::~CMsgInfo() {
    for (CTagInfo*& pHead : m_pBuckets) {
        while (pHead) {
            CTagInfo* pNext = pHead->m_pNext;
            delete pHead;
            pHead = pNext;
        }
    }
}

int CMsgInfo::GetTagNumAt(int p_iIndex) const {
    if (p_iIndex < 0 || p_iIndex >= m_TagNums.GetSize())
        return -1;
    return m_TagNums.GetAt(p_iIndex);
}

int CMsgInfo::GetTagType(int p_iTagNum) const {
    const CTagInfo* p = GetTagInfo(p_iTagNum);
    return p ? p->m_iType : TAG_TYPE_UNKNOWN;
}

bool CMsgInfo::IsDefinedTag(int p_iTagNum) const { return GetTagInfo(p_iTagNum) != nullptr; }

bool CMsgInfo::IsArrayTag(int p_iTagNum) const {
    const CTagInfo* p = GetTagInfo(p_iTagNum);
    return p && p->m_bArray;
}

int CMsgInfo::GetSubMsgNum(int p_iTagNum) const {
    const CTagInfo* p = GetTagInfo(p_iTagNum);
    return p && p->m_iType == TAG_TYPE_SUBMSG ? p->m_iSubMsg : 0;
}

int CMsgInfo::GetTagNum(const char* p_szName, int* p_piTagNum) const {
    if (!p_szName || !p_piTagNum)
        return -1;
    int iTagNum = 0;
    if (m_NameIndex.Get(p_szName, &iTagNum) != 0)
        return -1;
    *p_piTagNum = iTagNum;
    return 0;
}

void CMsgInfo::AddTag(int p_iTagNum, const char* p_szName, int p_iType, int p_iSubMsg, bool p_bArray) {
    if (p_iTagNum < 0)
        throw CException(MA_ERR_TAGNUM_BOUNDARY, "msgnum=%d,tagnum=%d", m_iMsgNum, p_iTagNum);
    // The record is made first and a failure undoes the list entries made so
    // far, so that no tag number or name is left without a record.
    std::unique_ptr<CTagInfo> pTag;
    try {
        pTag.reset(new CTagInfo(p_iTagNum, p_szName, p_iType, p_iSubMsg, p_bArray));
    } catch (const std::bad_alloc&) {
        throw CException(MA_ERR_MEMORY, "(CTagInfo)");
    }
    m_TagNums.Add(p_iTagNum);
    int iResult = -1;
    try {
        iResult = m_NameIndex.Set(pTag->m_strName, p_iTagNum, false);
    } catch (...) {
        m_TagNums.RemoveLast();
        throw;
    }
    if (iResult != 0) {
        m_TagNums.RemoveLast();
        throw CException(MA_ERR_MEMORY, "(CTagInfo)");
    }
    CTagInfo** ppLink = &m_pBuckets[p_iTagNum % m_iHashSize];
    while (*ppLink)
        ppLink = &(*ppLink)->m_pNext;
    *ppLink = pTag.release();
    // Chains are only looked up, never walked in order: chains of about two
    // bags are as quick as one, and rows of few tags are many.
    const int iFew = (m_TagNums.GetSize() + 1) / 2;
    m_iTableHeads = iFew >= 1 && iFew < m_iHashSize ? iFew : m_iHashSize;
}

// The type column of the listing: the type name, the sub-message number, or
// "unknown".
static CString DumpTypeText(const CTagInfo& p_Tag) {
    if (p_Tag.m_iType == TAG_TYPE_SUBMSG)
        return CFormat("m%04d", p_Tag.m_iSubMsg);
    if (p_Tag.m_iType >= TAG_TYPE_STRING && p_Tag.m_iType <= TAG_TYPE_DATE)
        return GetTagTypeName(p_Tag.m_iType);
    return CString("unknown");
}

void CMsgInfo::Dump(CStream* p_pOut) const {
    if (!p_pOut)
        return;
    const int iCount = m_TagNums.GetSize();
    for (int i = 0; i < iCount; ++i) {
        const CTagInfo* p = GetTagInfo(m_TagNums.GetAt(i));
        if (!p)
            continue;
        p_pOut->AppendData(CFormat("\t<tag no='%d' name='%s' type='%s' array='%s' />\n", p->m_iTagNum,
                                   p->m_strName.ToStr(), DumpTypeText(*p).ToStr(), p->m_bArray ? "Y" : "N"));
    }
}
