// vorant: messages, the trees of typed tag values built against the dictionary.
//
// Threads: a message and everything under it (sub-messages, arrays, its last
// error) serve one thread at a time; different messages may be used on
// different threads at once, since they only read the dictionary. Make
// messages only after the dictionary has loaded (CVorant::Initialize).
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

    // Appends p_pMsg, which an adopting array now owns. Returns its index,
    // MA_ERR_NULL_PARAM for a null message or MA_ERR_MEMORY when the slots
    // cannot grow (the message is then not taken). Records no last error.
    int Add(CMsg* p_pMsg);
    // The message at p_iIndex, still owned by the array (or by the message it
    // views); null with last error MA_ERR_ARRAY_INDEX outside 0..size-1.
    CMsg* GetAt(int p_iIndex);
    // Replaces the message at p_iIndex (an adopting array deletes the old one
    // and owns p_pMsg). Returns 0, or MA_ERR_ARRAY_INDEX (also the last error)
    // outside 0..size-1. Storing the pointer already held changes nothing.
    int SetAt(int p_iIndex, CMsg* p_pMsg);
    int GetSize() const { return m_iSize; }
    int GetBufferSize() const { return m_iBufferSize; }
    // Sets the count of slots in use. An adopting array deletes the messages
    // it drops. A negative count, or slots that cannot be allocated, change
    // nothing.
    void SetSize(int p_iSize);
    // Grows the slot buffer by p_iSize slots when p_iSize exceeds the capacity
    // (0 or less: by the usual step); when memory runs out nothing changes.
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
// which it also records as the message's last error. The common checks, in
// this order:
//   MA_ERR_NULL_PARAM       a null output (or sub-message) pointer;
//   MA_ERR_MSG_NOT_DEFINED  the message is undefined (no definition number);
//   MA_ERR_TAG_NOT_DEFINED  the definition has no such tag;
//   MA_ERR_NO_DATA          (reads) the tag was never set;
//   MA_ERR_TAG_TYPE         the tag, or the value it holds, has another type:
//                           nothing is ever converted between types;
//   MA_ERR_MEMORY           (stores) a value or its array cannot be allocated.
class VORANT_API CMsg : public CLastError {
public:
    enum { VER_SIZE = 16, VALUE_HEADS = 128 };

    // p_iSelfNum > 0 gives a defined message (Init's exceptions pass on);
    // 0 or less an undefined one. Raises CException MA_ERR_NULL_PARAM for a
    // null dictionary; the dictionary is borrowed and must outlive the message.
    explicit CMsg(int p_iSelfNum = 0, int p_iRootNum = 0, int p_iSelfTagNum = 0, CMsgDic* p_pDic = MA_GetMsgDic());
    ~CMsg();
    CMsg(const CMsg&) = delete;
    CMsg& operator=(const CMsg&) = delete;

    // Gives the message the definition p_iSelfNum (root p_iRootNum, itself
    // when 0 or less) and releases every value and sub-message it held.
    // Raises CException MA_ERR_MSGNUM_BOUNDARY for a number outside 1..9999
    // or MA_ERR_MSG_NOT_DEFINED for one the dictionary lacks; the message is
    // unchanged then.
    void Init(int p_iSelfNum, int p_iRootNum, int p_iSelfTagNum);

    int GetMsgNum() const { return m_iRootNum; }
    void SetRootNum(int p_iRootNum) { m_iRootNum = p_iRootNum; }
    int GetSelfNum() const;  // its definition's number, 0 when undefined
    int GetSelfTagNum() const { return m_iSelfTagNum; }
    bool IsEmpty() const { return m_bEmpty; }
    // Keeps at most 16 characters. May raise CException MA_ERR_MEMORY.
    void SetVer(const CString& p_strVer);
    // The version, "" when none; owned by the message, valid until SetVer.
    const char* GetVer() const;
    // The dictionary the message was made against (borrowed).
    CMsgDic* GetMsgDic() const;
    CMsg* GetParentMsg() const { return m_pParent; }
    void SetParentMsg(CMsg* p_pParent) { m_pParent = p_pParent; }
    // Kept for callers built against older versions: registers nothing
    // (sub-messages are known through their tags alone) and returns 0, or
    // MA_ERR_NULL_PARAM for a null child.
    int AddChild(CMsg* p_pChild);

    // ---- typed access by tag number
    // Stores a copy of the value; on an array tag it appends one element. A
    // later value of a single tag replaces the earlier one. A null or empty
    // text and an unset CDate, CInt, CDbl or CBool store nothing and return
    // 0. Results: 0 or the common checks' codes.
    int SetValue(int p_iTagNum, const char* p_szValue);
    int SetValue(int p_iTagNum, const CString& p_strValue);
    int SetValue(int p_iTagNum, int p_iValue);
    int SetValue(int p_iTagNum, double p_dValue);
    int SetValue(int p_iTagNum, bool p_bValue);
    int SetValue(int p_iTagNum, CDate p_Value);
    int SetValue(int p_iTagNum, CInt p_Value);
    int SetValue(int p_iTagNum, CDbl p_Value);
    int SetValue(int p_iTagNum, CBool p_Value);
    // The message takes ownership of p_pMsg (on an array tag as one more
    // element; on a single tag the sub-message held before is deleted). An
    // empty p_pMsg is deleted instead (result 0). MA_ERR_NULL_PARAM for null;
    // MA_ERR_SERVICE_INPUT, p_pMsg still the caller's, for a message that
    // already belongs to a tree (or is this message or one of its
    // ancestors), except the one this single tag already holds (0). On any
    // other failure p_pMsg also stays the caller's.
    int SetValue(int p_iTagNum, CMsg* p_pMsg);

    // Copies the tag's value (an array tag: its first element) into
    // *p_pValue. int, double, bool and CMsg* outputs are reset first and
    // CInt, CDbl, CBool set to null, so a failed read leaves them unset; a
    // CString or CDate output keeps its content on failure. Results: 0 or
    // the common checks' codes.
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
    // The sub-message (owned by this message), or null on any failure, with
    // the code as the last error.
    CMsg* GetValue(int p_iTagNum);
    // Empties *p_pValues, then copies every element of the tag into it (a
    // single tag gives one). Results: 0 or the common checks' codes.
    int GetValue(int p_iTagNum, CStrArray* p_pValues);
    int GetValue(int p_iTagNum, CIntArray* p_pValues);
    int GetValue(int p_iTagNum, CDblArray* p_pValues);
    int GetValue(int p_iTagNum, CBoolArray* p_pValues);
    int GetValue(int p_iTagNum, CDateArray* p_pValues);
    // p_pValues is emptied and left non-adopting: the messages stay owned here.
    int GetValue(int p_iTagNum, CMsgArray* p_pValues);

    // As GetValue, for the element at p_iIndex of an array tag (a single tag
    // gives its value whatever the index). MA_ERR_ARRAY_INDEX for an index
    // outside the array, with the last error recorded as MA_ERR_NO_DATA.
    // A sub-message stays owned by this message.
    int GetValueAt(int p_iTagNum, int p_iIndex, CString* p_pValue);
    int GetValueAt(int p_iTagNum, int p_iIndex, int* p_pValue);
    int GetValueAt(int p_iTagNum, int p_iIndex, double* p_pValue);
    int GetValueAt(int p_iTagNum, int p_iIndex, bool* p_pValue);
    int GetValueAt(int p_iTagNum, int p_iIndex, CDate* p_pValue);
    int GetValueAt(int p_iTagNum, int p_iIndex, CMsg** p_ppValue);

    // The element count of an array tag, 1 for a set single tag;
    // MA_ERR_NO_DATA when the tag was never set, or the common checks' codes
    // (the type is not checked).
    int GetArrSize(int p_iTagNum);

    // ---- typed access by tag name
    // As the members by number, after the dictionary name resolves to the
    // tag: MA_ERR_MSG_NOT_DEFINED for an undefined message; an unknown or null
    // name gives MA_ERR_TAG_NOT_DEFINED.
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
    // names array items a<tag> in the numbered form. 0, or MA_ERR_NULL_PARAM
    // for a null stream. A piece the stream cannot grow for is left out and
    // the result stays 0.
    int ToXml(CStream* p_pStream, bool p_bArrayItemTag, bool p_bByName, int p_iDepth);
    // Parses a message XML document into this message; 0, or
    // MA_ERR_NULL_PARAM for null. Raises CException MA_ERR_XML_PARSE for
    // malformed or unknown content, MA_ERR_MEMORY when memory runs out, or a
    // check's code (MA_ERR_TAG_NOT_DEFINED, ...); the values read before the
    // failure stay. The parse runs on a reader of the calling thread's own.
    int LoadXml(const char* p_szXml);
    // Stores one value given as text (the reader's entry point), converted
    // to the tag's type. Raises CException MA_ERR_MSG_NOT_DEFINED,
    // MA_ERR_TAG_NOT_DEFINED, MA_ERR_TAG_TYPE or MA_ERR_MEMORY.
    void SetParsedData(int p_iTagNum, CString p_strValue);
    // Creates (array tag) or resets (single tag) the sub-message of
    // p_iTagNum and returns it, owned by this message. Raises CException
    // MA_ERR_MSG_NOT_DEFINED, MA_ERR_TAG_NOT_DEFINED, MA_ERR_TAG_TYPE (not a
    // sub-message tag), MA_ERR_MEMORY, or Init's codes.
    CMsg* MakeSubMsgEntry(int p_iTagNum);

    // ---- diagnostic dumps
    // One line per field; p_iDepth 1 replaces the stream's content. A null
    // stream does nothing; a piece the stream cannot grow for is left out.
    void Dump(CStream* p_pStream, bool p_bByName, int p_iDepth);
    // Indented XML; always appends. Null and growth as Dump.
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
    // A sub-message of the definition p_pInfo, which its parent's tag
    // names; p_iRootNum is the parent's. Nothing is checked or looked up.
    CMsg(CMsgInfo* p_pInfo, int p_iRootNum, int p_iSelfTagNum);
    // Init against p_pDic.
    void Define(CMsgDic* p_pDic, int p_iSelfNum, int p_iRootNum, int p_iSelfTagNum);
    // Define's end, once the definition is found and the numbers checked.
    void Redefine(CMsgInfo* p_pInfo, int p_iRootNum, int p_iSelfTagNum);
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

// A new top-level message against the process-wide dictionary, owned by the
// caller (free it with MA_FreeMsg); null when p_iMsgNum is above 9999 or not
// defined, or memory runs out. 0 or less gives an undefined message. Never
// raises.
VORANT_API CMsg* MA_NewMsg(int p_iMsgNum);
// Deletes the message and its whole tree; null does nothing.
VORANT_API void MA_FreeMsg(CMsg* p_pMsg);

#endif  // VORANT_MSG_HPP
