// The message layer's own operations on message internals: bag lookup and
// creation, the checks shared by the typed members, and the reader's fast
// path for storing text. Messages name this struct as their friend.
#ifndef VORANT_MSG_MSG_ACCESS_H
#define VORANT_MSG_MSG_ACCESS_H

#include <cstddef>

#include "dat_class/placed_string.h"
#include "msg/msg_arena.h"
#include "msg/msg_info.h"
#include "vorant/msg.hpp"

// Type names and Line numbers printed in the -17 details of the typed members.
namespace msg_line {
enum : int {
    kGetStr = 699,
    kGetInt = 740,
    kGetDbl = 777,
    kGetBool = 814,
    kGetDate = 850,
    kGetMsg = 891,
    kGetStrArr = 943,
    kGetIntArr = 983,
    kGetDblArr = 1023,
    kGetBoolArr = 1063,
    kGetDateArr = 1103,
    kGetMsgArr = 1144,
    kSetStr = 1178,
    kSetInt = 1233,
    kSetDbl = 1280,
    kSetBool = 1327,
    kSetDate = 1378,
    kSetMsg = 1441,
    kGetCInt = 1987,
    kGetCDbl = 2024,
    kGetCBool = 2061,
    kSetCInt = 2114,
    kSetCDbl = 2165,
    kSetCBool = 2216,
    kGetAtStr = 2355,
    kGetAtInt = 2393,
    kGetAtDbl = 2431,
    kGetAtBool = 2469,
    kGetAtDate = 2506,
    kGetAtMsg = 2544
};
}  // namespace msg_line

struct MsgAccess {
    static CMsgInfo* Info(const CMsg& p_Msg) { return p_Msg.m_pMsgInfo; }
    static CMsgValue* Bag(const CMsg& p_Msg, int p_iTagNum) { return p_Msg.GetHashBag(p_iTagNum); }
    static CMsg* const* Items(const CMsgArray& p_Arr) { return p_Arr.m_pData; }

    // A new empty bag linked into p_Msg (from p_pArena when given), or null
    // when memory runs out.
    static CMsgValue* NewBag(CMsg& p_Msg, int p_iTagNum, CMsgArena* p_pArena = nullptr) {
        return p_Msg.NewHashBag(p_iTagNum, p_pArena);
    }

    // The arena of p_Msg, a top message being filled by a parse, made on
    // first need; null when memory runs out (the parse then uses the heap).
    static CMsgArena* ParseArena(CMsg& p_Msg);
    // A new sub-message placed in p_pArena (on the heap without one), or null
    // when memory runs out. The constructor's other exceptions pass on.
    // p_pInfo, when given, is the definition of p_iSelfNum: it is then
    // neither checked nor looked up.
    static CMsg* NewSubMsg(CMsgArena* p_pArena, int p_iSelfNum, int p_iRootNum, int p_iSelfTagNum, CMsgDic* p_pDic,
                           CMsgInfo* p_pInfo = nullptr);
    // The one way a message is deleted: one placed in an arena is destroyed
    // there, any other deleted. Null does nothing.
    static void DeleteMsg(CMsg* p_pMsg);
    // The one way a bag is let go, with the rest of its chain: one placed in
    // a table or an arena is destroyed there, any other deleted. Null does
    // nothing.
    static void DeleteBag(CMsgValue* p_pBag);

    // -19 without a definition, -18 for a negative or undefined tag (both
    // recorded with "msgnum=%d, tagnum=%d"), else 0 and the tag's definition.
    static int CheckTag(CMsg& p_Msg, int p_iTagNum, const CTagInfo** p_ppTag = nullptr);
    // The checks of a store up to its bag, which exists afterwards and carries
    // p_iType and the tag's array flag.
    static int PrepareStore(CMsg& p_Msg, int p_iTagNum, int p_iType, int p_iLine, CMsgValue** p_ppBag);
    // The checks of a read up to a set bag of type p_iType with its object.
    static int PrepareRead(CMsg& p_Msg, int p_iTagNum, int p_iType, int p_iLine, CMsgValue** p_ppBag);
    // Records -1 "tagnum=%d" and gives -27: an index outside an array.
    static int IndexFailure(CMsg& p_Msg, int p_iTagNum);
    // Resolves a tag name for the by-name members: -19 "msgnum=%d" without a
    // definition, else 0 and the tag number (-1 for an unknown name).
    static int ResolveName(CMsg& p_Msg, const char* p_szName, int* p_piTagNum);
    // Records -12 with an empty detail.
    static int NullParam(CMsg& p_Msg);
    // Records -17 "Line:%d, tagnum=%d,type=(%s/%s)" with the two type names.
    static int TypeMismatch(CMsg& p_Msg, int p_iLine, int p_iTagNum, int p_iFound, int p_iWanted);
    // Records p_iCode with the fixed detail p_szDetail; returns p_iCode.
    static int Fail(CMsg& p_Msg, int p_iCode, const char* p_szDetail);

    // The one way a single string or date is let go: one placed in a parse
    // arena is destroyed there, any other deleted. Null does nothing.
    template <class T>
    static void DeleteValue(T* p_pValue, bool p_bInArena) {
        if (!p_bInArena) {
            delete p_pValue;
        } else if (p_pValue) {
            p_pValue->~T();
            VORANT_ARENA_POISON(p_pValue, sizeof(T));
        }
    }
    // A string placed in an arena has its characters there too.
    static void DeleteValue(CString* p_pValue, bool p_bInArena) {
        if (!p_bInArena) {
            delete p_pValue;
        } else if (p_pValue) {
            const size_t nSize = CPlacedString::Size(static_cast<size_t>(p_pValue->GetLength()));
            CPlacedString::End(p_pValue);
            VORANT_ARENA_POISON(p_pValue, nSize);
        }
    }

    // Stores one value read from message XML (p_szText holds p_iLength
    // characters and a terminator). p_pTag, when given, is the tag's
    // definition in p_Msg's own definition; a new bag comes from p_pArena
    // when given. Raises CException on failure.
    static void StoreText(CMsg& p_Msg, int p_iTagNum, const CTagInfo* p_pTag, const char* p_szText, size_t p_iLength,
                          CMsgArena* p_pArena);
    // The same for a text held in p_strText, whose buffer a string tag
    // takes over (p_strText is then empty): a long text is not copied.
    static void StoreText(CMsg& p_Msg, int p_iTagNum, const CTagInfo* p_pTag, CString& p_strText, CMsgArena* p_pArena);
    // The bag a stored value goes to, made with the tag's type and array
    // flag when there is none yet. Raises CException.
    static CMsgValue* StoreBag(CMsg& p_Msg, int p_iTagNum, const CTagInfo* p_pTag, CMsgArena* p_pArena);
    // MakeSubMsgEntry, with a new bag of p_Msg from p_pBagArena and a new
    // sub-message placed in p_pSubArena, each when given. p_pTag, when
    // given, is the tag's definition in p_Msg's own definition, and
    // p_pSubInfo the definition of the sub-message it names.
    static CMsg* MakeSubMsg(CMsg& p_Msg, int p_iTagNum, const CTagInfo* p_pTag, CMsgArena* p_pBagArena,
                            CMsgArena* p_pSubArena, CMsgInfo* p_pSubInfo = nullptr);

    // Marks a successful store.
    static void MarkFilled(CMsg& p_Msg) { p_Msg.m_bEmpty = false; }

    // Deletes the message a single sub-message bag held before.
    static void DropSubMsg(CMsg& p_Msg, CMsg* p_pOld);
    // p_pCandidate is p_Msg or one of its ancestors.
    static bool IsSelfOrAncestor(const CMsg& p_Msg, const CMsg* p_pCandidate);

    // 1 for a single value, else the items of the bag's array (0 without one).
    static int ItemCount(const CMsgValue& p_Bag);

    // Calls p_Visit(tag number, bag) for every set bag of a type 1 to 6, in
    // definition order: what the writer and the dumps show.
    template <class Visit>
    static void ForEachSetBag(const CMsg& p_Msg, Visit p_Visit) {
        const CMsgInfo* pInfo = p_Msg.m_pMsgInfo;
        if (!pInfo)
            return;
        int iCount = pInfo->GetTagCount();
        for (int i = 0; i < iCount; ++i) {
            int iTagNum = pInfo->GetTagNumAt(i);
            const CMsgValue* pBag = p_Msg.GetHashBag(iTagNum);
            if (pBag && pBag->m_bSet && pBag->m_iType >= TAG_TYPE_STRING && pBag->m_iType <= TAG_TYPE_SUBMSG)
                p_Visit(iTagNum, *pBag);
        }
    }

    // Appends every pointer of p_From to p_To; false when p_To cannot grow.
    static bool CopyItems(const CMsgArray& p_From, CMsgArray* p_pTo);
};

#endif  // VORANT_MSG_MSG_ACCESS_H
