// vorant: messages, the trees of typed tag values built against the dictionary.
#ifndef VORANT_MSG_HPP
#define VORANT_MSG_HPP

#include "vorant/arrays.hpp"
#include "vorant/cstring.hpp"
#include "vorant/date.hpp"
#include "vorant/export.h"
#include "vorant/msg_dic.hpp"
#include "vorant/msg_error.hpp"
#include "vorant/scalars.hpp"
#include "vorant/stream.hpp"

class CMsg;
class CMsgArray;
class CMsgArena;   // the blocks a parse places sub-messages in
class CMsgExtras;  // what few messages need: a version, a parse arena
struct MsgAccess;  // the library's own operations on message internals

// The value bag a message keeps for one tag: the tag's value, or the owned
// object or array it points to (by type, see below), and the next bag of the
// same hash chain. Owns its value and, through m_pNext, the rest of its chain.
// Only the library creates and fills bags.
class VORANT_API CMsgValue {
public:
    CMsgValue();
    // Releases the value and every later bag of the chain.
    ~CMsgValue();
    CMsgValue(const CMsgValue&) = delete;
    CMsgValue& operator=(const CMsgValue&) = delete;

    // Releases what the value field owns and zeroes it; the chain stays.
    void ReleaseValue();

    int m_iTagNum;
    signed char m_iType;  // tag type code 1 to 6; 0 in a new bag
    bool m_bSet;          // a value has been stored
    bool m_bArray;        // m_Value points to an array container
    // The bag lives in its message's table or a parse arena: it is
    // destroyed with them, never deleted alone.
    bool m_bPlaced : 1;
    // Its single string or date lives in a parse arena: destroyed, never
    // deleted.
    bool m_bValueInArena : 1;
    union Value {
        int i;          // 2 integer
        double d;       // 3 double
        bool b;         // 4 bool
        CString* pStr;  // 1 string
        CDate* pDate;   // 5 date
        CMsg* pMsg;     // 6 sub-message
        CStrArray* pStrArr;
        CIntArray* pIntArr;
        CDblArray* pDblArr;
        CBoolArray* pBoolArr;
        CDateArray* pDateArr;
        CMsgArray* pMsgArr;  // adopting
        void* p;
    } m_Value;
    CMsgValue* m_pNext;
};

// A growable array of message pointers. With the adopt flag set it owns its
// messages and deletes them when it lets them go; without it, it is a view.
// Not copyable: a message has exactly one owner.
class VORANT_API CMsgArray : public CLastError {
public:
    explicit CMsgArray(bool p_bAdopt = true);
    ~CMsgArray();
    CMsgArray(const CMsgArray&) = delete;
    CMsgArray& operator=(const CMsgArray&) = delete;

    // Appends; the new index, -12 for a null message, -11 when the slots
    // cannot grow.
    int Add(CMsg* p_pMsg);
    // The message at p_iIndex, or null with last error -27.
    CMsg* GetAt(int p_iIndex);
    // Replaces the message at p_iIndex (deleting the old one when adopting);
    // 0, or -27 for a bad index. Storing the pointer already held changes nothing.
    int SetAt(int p_iIndex, CMsg* p_pMsg);
    int GetSize() const { return m_iSize; }
    int GetBufferSize() const { return m_iBufferSize; }
    // Sets the count of slots in use; a negative count is ignored. An adopting
    // array deletes the messages it drops.
    void SetSize(int p_iSize);
    // Grows the slot buffer by p_iSize slots when p_iSize exceeds the capacity.
    void SetBufferSize(int p_iSize);
    void SetAdoptFlag(bool p_bAdopt) { m_bAdopt = p_bAdopt; }
    bool GetAdoptFlag() const { return m_bAdopt; }
    // Deletes the messages when adopting, then frees the slots.
    void RemoveAll();

private:
    // False when the slots cannot be allocated (nothing changes then).
    bool GrowBuffer(int p_iSize);

    CMsg** m_pData;
    int m_iSize;
    int m_iBufferSize;
    bool m_bAdopt;

    friend class CMsg;
    friend struct MsgAccess;
};

// A message: values for the tags of one dictionary definition, and through
// sub-message tags the root of a tree. Owns its value bags and through them
// every value, array and sub-message below it; after LoadXml also the memory
// the parsed sub-messages live in, until its content is released. Not copyable.
//
// Typed access returns 0 (GetArrSize: the count) or a negative error code,
// which it also records as the message's last error.
class VORANT_API CMsg : public CLastError {
public:
    enum { VER_SIZE = 16, VALUE_HEADS = 128 };

    // p_iSelfNum > 0 gives a defined message (Init's exceptions pass on);
    // 0 or less an undefined one. A null dictionary raises -12.
    explicit CMsg(int p_iSelfNum = 0, int p_iRootNum = 0, int p_iSelfTagNum = 0, CMsgDic* p_pDic = MA_GetMsgDic());
    ~CMsg();
    CMsg(const CMsg&) = delete;
    CMsg& operator=(const CMsg&) = delete;

    // Gives the message the definition p_iSelfNum and releases every value,
    // sub-message and child it held. Raises -15 or -19.
    void Init(int p_iSelfNum, int p_iRootNum, int p_iSelfTagNum);

    int GetMsgNum() const { return m_iRootNum; }
    void SetRootNum(int p_iRootNum) { m_iRootNum = p_iRootNum; }
    int GetSelfNum() const;  // its definition's number, 0 when undefined
    int GetSelfTagNum() const { return m_iSelfTagNum; }
    bool IsEmpty() const { return m_bEmpty; }
    // Keeps at most 16 characters.
    void SetVer(const CString& p_strVer);
    const char* GetVer() const;
    CMsgDic* GetMsgDic() const;
    CMsg* GetParentMsg() const { return m_pParent; }
    void SetParentMsg(CMsg* p_pParent) { m_pParent = p_pParent; }
    // 0, or -12 for a null child. Sub-messages are known through their tags:
    // nothing is stored.
    int AddChild(CMsg* p_pChild);

    // ---- typed access by tag number
    int SetValue(int p_iTagNum, const char* p_szValue);
    int SetValue(int p_iTagNum, const CString& p_strValue);
    int SetValue(int p_iTagNum, int p_iValue);
    int SetValue(int p_iTagNum, double p_dValue);
    int SetValue(int p_iTagNum, bool p_bValue);
    int SetValue(int p_iTagNum, CDate p_Value);
    int SetValue(int p_iTagNum, CInt p_Value);
    int SetValue(int p_iTagNum, CDbl p_Value);
    int SetValue(int p_iTagNum, CBool p_Value);
    // The message takes ownership of p_pMsg. An empty p_pMsg is deleted
    // instead (result 0). A message that already belongs to a tree (or is
    // this message or one of its ancestors) is refused with -28.
    int SetValue(int p_iTagNum, CMsg* p_pMsg);

    int GetValue(int p_iTagNum, CString* p_pValue);
    int GetValue(int p_iTagNum, int* p_pValue);
    int GetValue(int p_iTagNum, double* p_pValue);
    int GetValue(int p_iTagNum, bool* p_pValue);
    int GetValue(int p_iTagNum, CDate* p_pValue);
    int GetValue(int p_iTagNum, CInt* p_pValue);
    int GetValue(int p_iTagNum, CDbl* p_pValue);
    int GetValue(int p_iTagNum, CBool* p_pValue);
    // The sub-message stays owned by this message.
    int GetValue(int p_iTagNum, CMsg** p_ppValue);
    CMsg* GetValue(int p_iTagNum);
    int GetValue(int p_iTagNum, CStrArray* p_pValues);
    int GetValue(int p_iTagNum, CIntArray* p_pValues);
    int GetValue(int p_iTagNum, CDblArray* p_pValues);
    int GetValue(int p_iTagNum, CBoolArray* p_pValues);
    int GetValue(int p_iTagNum, CDateArray* p_pValues);
    // p_pValues is emptied and left non-adopting: the messages stay owned here.
    int GetValue(int p_iTagNum, CMsgArray* p_pValues);

    int GetValueAt(int p_iTagNum, int p_iIndex, CString* p_pValue);
    int GetValueAt(int p_iTagNum, int p_iIndex, int* p_pValue);
    int GetValueAt(int p_iTagNum, int p_iIndex, double* p_pValue);
    int GetValueAt(int p_iTagNum, int p_iIndex, bool* p_pValue);
    int GetValueAt(int p_iTagNum, int p_iIndex, CDate* p_pValue);
    int GetValueAt(int p_iTagNum, int p_iIndex, CMsg** p_ppValue);

    int GetArrSize(int p_iTagNum);

    // ---- typed access by tag name
    int SetValue(const char* p_szName, const char* p_szValue);
    int SetValue(const char* p_szName, const CString& p_strValue);
    int SetValue(const char* p_szName, int p_iValue);
    int SetValue(const char* p_szName, double p_dValue);
    int SetValue(const char* p_szName, bool p_bValue);
    int SetValue(const char* p_szName, CDate p_Value);
    int SetValue(const char* p_szName, CInt p_Value);
    int SetValue(const char* p_szName, CDbl p_Value);
    int SetValue(const char* p_szName, CBool p_Value);
    int SetValue(const char* p_szName, CMsg* p_pMsg);

    int GetValue(const char* p_szName, CString* p_pValue);
    int GetValue(const char* p_szName, int* p_pValue);
    int GetValue(const char* p_szName, double* p_pValue);
    int GetValue(const char* p_szName, bool* p_pValue);
    int GetValue(const char* p_szName, CDate* p_pValue);
    int GetValue(const char* p_szName, CInt* p_pValue);
    int GetValue(const char* p_szName, CDbl* p_pValue);
    int GetValue(const char* p_szName, CBool* p_pValue);
    int GetValue(const char* p_szName, CMsg** p_ppValue);
    CMsg* GetValue(const char* p_szName);
    int GetValue(const char* p_szName, CStrArray* p_pValues);
    int GetValue(const char* p_szName, CIntArray* p_pValues);
    int GetValue(const char* p_szName, CDblArray* p_pValues);
    int GetValue(const char* p_szName, CBoolArray* p_pValues);
    int GetValue(const char* p_szName, CDateArray* p_pValues);
    int GetValue(const char* p_szName, CMsgArray* p_pValues);

    // ---- message XML
    // Writes the message XML: p_iDepth 1 replaces the stream's content with a
    // whole document, other depths append the field elements only.
    // p_bByName selects element names from the dictionary; p_bArrayItemTag
    // names array items a<tag> in the numbered form. 0, or -12 for a null stream.
    int ToXml(CStream* p_pStream, bool p_bArrayItemTag, bool p_bByName, int p_iDepth);
    // Parses a message XML document into this message; -12 for null. Parser
    // and content errors are raised as CException; the values read before
    // the failure stay.
    int LoadXml(const char* p_szXml);
    // Stores one value given as text (the reader's entry point). Raises
    // CException on failure.
    void SetParsedData(int p_iTagNum, CString p_strValue);
    // Creates (array tag) or resets (single tag) the sub-message of
    // p_iTagNum and returns it. Raises CException on failure.
    CMsg* MakeSubMsgEntry(int p_iTagNum);

    // ---- diagnostic dumps
    // One line per field; p_iDepth 1 replaces the stream's content.
    void Dump(CStream* p_pStream, bool p_bByName, int p_iDepth);
    // Indented XML; always appends.
    void DumpXml(CStream* p_pStream, bool p_bByName, int p_iDepth);

private:
    // The first bag of p_iTagNum, or null.
    CMsgValue* GetHashBag(int p_iTagNum) const;
    // A new empty bag for p_iTagNum, linked at the end of its chain, from
    // p_pArena when given (the table too, when there is none yet); null
    // when memory runs out. Callers first try GetHashBag.
    CMsgValue* NewHashBag(int p_iTagNum, CMsgArena* p_pArena = nullptr);
    // Deletes every bag (and so every value and sub-message), then the
    // arena this message's parses placed them in.
    void ReleaseContent();
    // Init against p_pDic.
    void Define(CMsgDic* p_pDic, int p_iSelfNum, int p_iRootNum, int p_iSelfTagNum);
    int HeadIndex(int p_iTagNum) const { return p_iTagNum % m_iHeadCount; }

    int m_iRootNum;
    int m_iSelfTagNum;
    short m_iHeadCount;
    signed char m_iPoolSize;  // at most 16
    signed char m_iPoolUsed;
    bool m_bEmpty;
    bool m_bInArena;     // placed in a parse arena: destroyed, never deleted
    bool m_bArenaTable;  // m_pValues is in a parse arena: never freed
    // The value table, allocated with the first bag as one block: the heads
    // of m_iHeadCount bag chains (the definition's bucket count, at most 128,
    // and no more than its tag count), then room for m_iPoolSize bags;
    // further bags come from the heap. A table a parse makes holds the heads
    // only; its bags come from the arena one by one.
    CMsgValue** m_pValues;
    CMsg* m_pParent;
    // Null for an undefined message; a definition knows its dictionary.
    CMsgInfo* m_pMsgInfo;
    // The version, the dictionary of an undefined message and the arena of
    // LoadXml's sub-messages, tables and bags; made when first needed, so a
    // parsed row carries one pointer for them.
    CMsgExtras* m_pExtras;

    friend struct MsgAccess;
};

// A new top-level message against the process-wide dictionary; null when
// p_iMsgNum is above 9999 or not defined, or memory runs out. 0 or less gives
// an undefined message.
VORANT_API CMsg* MA_NewMsg(int p_iMsgNum);
// Deletes the message and its whole tree; null does nothing.
VORANT_API void MA_FreeMsg(CMsg* p_pMsg);

#endif  // VORANT_MSG_HPP
