// Message and tag definitions of the dictionary, as the message layer reads them.
#ifndef VORANT_MSG_MSG_INFO_H
#define VORANT_MSG_MSG_INFO_H

#include "vorant/arrays.hpp"
#include "vorant/cstring.hpp"
#include "vorant/hashes.hpp"

class CMsgDic;
class CStream;

// Tag type codes.
enum TagType : int {
    TAG_TYPE_UNKNOWN = 0,
    TAG_TYPE_STRING = 1,
    TAG_TYPE_INT = 2,
    TAG_TYPE_DBL = 3,
    TAG_TYPE_BOOL = 4,
    TAG_TYPE_DATE = 5,
    TAG_TYPE_SUBMSG = 6
};

// One tag definition: a plain record owned by its CMsgInfo, chained with the
// other tags of its bucket.
class CTagInfo {
public:
    CTagInfo(int p_iTagNum, const char* p_szName, int p_iType, int p_iSubMsg, bool p_bArray);
    CTagInfo(const CTagInfo&) = delete;
    CTagInfo& operator=(const CTagInfo&) = delete;

    int m_iTagNum;
    CString m_strName;
    int m_iType;    // TagType, 1 to 6
    int m_iSubMsg;  // sub-message number for TAG_TYPE_SUBMSG, else 0
    bool m_bArray;
    CTagInfo* m_pNext;  // next tag of the same bucket
};

// One message definition. Owns its tags (chained in up to 128 buckets by tag
// number), the list of tag numbers in definition order and the index from
// tag name to tag numbers. Lookups never raise: unknown or negative numbers
// and names give null, 0, false or -1.
class CMsgInfo : public CPtrArrayItem {
public:
    enum { MAX_BUCKETS = 128, NAME_INDEX_BUCKETS = 1024 };

    // p_iHashSize above 0 (and at most 128) is the bucket count; otherwise 128.
    // p_pDic is the dictionary that owns the definition.
    CMsgInfo(int p_iMsgNum, const char* p_szName, const char* p_szVer, int p_iHashSize, CMsgDic* p_pDic);
    ~CMsgInfo() override;
    CMsgInfo(const CMsgInfo&) = delete;
    CMsgInfo& operator=(const CMsgInfo&) = delete;

    int GetMsgNum() const { return m_iMsgNum; }
    const CString& GetName() const { return m_strName; }
    const CString& GetVer() const { return m_strVer; }
    int GetHashSize() const { return m_iHashSize; }
    CMsgDic* GetDic() const { return m_pDic; }

    // Tag numbers in definition order (a number defined twice is listed twice).
    int GetTagCount() const { return m_TagNums.GetSize(); }
    // -1 when p_iIndex is outside 0 .. GetTagCount() - 1.
    int GetTagNumAt(int p_iIndex) const;
    // How many bag chains a message of this definition heads: the bucket
    // count, but no more than half its tags (at least one).
    int GetTableHeads() const { return m_iTableHeads; }

    // The first definition of p_iTagNum, or null. Inline: a parse looks up
    // every element.
    CTagInfo* GetTagInfo(int p_iTagNum) const {
        if (p_iTagNum < 0)
            return nullptr;
        for (CTagInfo* p = m_pBuckets[p_iTagNum % m_iHashSize]; p; p = p->m_pNext) {
            if (p->m_iTagNum == p_iTagNum)
                return p;
        }
        return nullptr;
    }
    int GetTagType(int p_iTagNum) const;  // TAG_TYPE_UNKNOWN when not defined
    bool IsDefinedTag(int p_iTagNum) const;
    bool IsArrayTag(int p_iTagNum) const;
    int GetSubMsgNum(int p_iTagNum) const;  // 0 unless a sub-message tag

    // 0 and the first tag number defined under p_szName (exact match), or -1
    // with *p_piTagNum unchanged.
    int GetTagNum(const char* p_szName, int* p_piTagNum) const;

    // Registers one definition, appended after the earlier ones.
    void AddTag(int p_iTagNum, const char* p_szName, int p_iType, int p_iSubMsg, bool p_bArray);

    // Appends the tag lines of the dictionary listing.
    void Dump(CStream* p_pOut) const;

private:
    int m_iMsgNum;
    CString m_strName;
    CString m_strVer;
    int m_iHashSize;
    int m_iTableHeads;
    CMsgDic* m_pDic;  // not owned: it owns this
    CIntArray m_TagNums;
    CTagInfo* m_pBuckets[MAX_BUCKETS];
    CIntHash m_NameIndex;
};

#endif  // VORANT_MSG_MSG_INFO_H
