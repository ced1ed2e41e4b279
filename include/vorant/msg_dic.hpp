// vorant: the message dictionary, the table of message and tag definitions.
//
// Threads: the dictionary is filled once, by CVorant::Initialize (or
// InitDictionary) while nothing else runs, and only read afterwards: readers
// on any thread need no lock.
#ifndef VORANT_MSG_DIC_HPP
#define VORANT_MSG_DIC_HPP

#include "vorant/cstring.hpp"
#include "vorant/export.h"
#include "vorant/msg_error.hpp"

class CStream;
class CMsgInfo;  // one message definition (library-internal)
class CTagInfo;  // one tag definition (library-internal)

// The table of message definitions, indexed by message number (1 to 9999).
// Owns every CMsgInfo in it for its whole life and, once InitDictionary has
// run, one start of the XML parser platform. Filled once, read-only after:
// readers on any thread need no lock. Not copyable.
class VORANT_API CMsgDic : public CLastError {
public:
    enum { MAX_MSG_NUM = 9999 };

    // Set when InitDictionary has loaded a file completely.
    static bool m_bLoaded;

    CMsgDic();
    ~CMsgDic();
    CMsgDic(const CMsgDic&) = delete;
    CMsgDic& operator=(const CMsgDic&) = delete;

    // 1 <= p_iMsgNum <= 9999.
    static bool IsValidMsgNum(int p_iMsgNum);

    // The definition, owned by the dictionary, or null for an undefined or
    // out-of-range number.
    CMsgInfo* GetMsgInfo(int p_iMsgNum) const;

    // Defines a message; p_strHash is its tag bucket count as text (0 or less,
    // empty or beyond 128 give 128). Raises CException MA_ERR_MSGNUM_BOUNDARY
    // for a number outside 1..9999, MA_ERR_DUPLICATED_MSG for one already
    // defined, MA_ERR_MEMORY; nothing is defined then.
    void SetMsgInfo(int p_iMsgNum, const CString& p_strName, const CString& p_strVer, const CString& p_strHash);

    // Defines one tag of a defined message. p_strType is "string", "integer",
    // "double", "bool", "date" or "m<sub-message number>"; p_strArray "Y"
    // makes an array tag. Raises CException MA_ERR_MSGNUM_BOUNDARY (number
    // outside 1..9999), MA_ERR_MSG_NOT_DEFINED (no such message),
    // MA_ERR_TAGNUM_BOUNDARY (negative tag), MA_ERR_SUBMSG_BOUNDARY
    // (sub-message number outside 1..9999), MA_ERR_TAG_TYPE (unknown type) or
    // MA_ERR_MEMORY; the tag is not defined then.
    void SetMsgDetail(int p_iMsgNum, int p_iTagNum, const CString& p_strName, const CString& p_strType,
                      const CString& p_strArray);

    // Loads a dictionary file, plain XML or encrypted ".exml", into this
    // dictionary. Raises CException, text "InitDictionary(<reason>)", with
    // MA_ERR_NULL_PARAM for a null path, MA_ERR_XML_INIT when the parser
    // cannot start, MA_ERR_DICTIONARY_LOAD when an ".exml" file cannot be
    // read or decrypted, MA_ERR_XML_PARSE for a missing or malformed file or
    // unknown elements, MA_ERR_MEMORY, or SetMsgInfo's and SetMsgDetail's
    // codes. The definitions made before a failure stay; m_bLoaded is set
    // only on success.
    void InitDictionary(const char* p_szPath);

    // Appends a text listing of every definition, by ascending message number.
    // A null stream does nothing.
    void Dump(CStream* p_pOut) const;

private:
    CMsgInfo* m_pMsgInfo[MAX_MSG_NUM + 1];  // slot 0 never used
    bool m_bXmlStarted;                     // holds one parser platform start
};

// The process-wide dictionary: static, never null, never to be freed.
VORANT_API CMsgDic* MA_GetMsgDic();

// The name of a tag type code: "string", "integer", "double", "bool", "date",
// "submsg", "Unknown" for 0 and "Unknown(<code>)" for any other.
VORANT_API CString GetTagTypeName(int p_iType);

#endif  // VORANT_MSG_DIC_HPP
