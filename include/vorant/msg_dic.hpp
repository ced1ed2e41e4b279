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

    // The definition, or null for an undefined or out-of-range number.
    CMsgInfo* GetMsgInfo(int p_iMsgNum) const;

    // Defines a message; p_strHash is its tag bucket count as text (0 or less,
    // empty or beyond 128 give 128). Raises CException -15, -22 or -11.
    void SetMsgInfo(int p_iMsgNum, const CString& p_strName, const CString& p_strVer, const CString& p_strHash);

    // Defines one tag of a defined message. p_strType is "string", "integer",
    // "double", "bool", "date" or "m<sub-message number>"; p_strArray "Y"
    // makes an array tag. Raises CException -15, -19, -14, -16, -17 or -11.
    void SetMsgDetail(int p_iMsgNum, int p_iTagNum, const CString& p_strName, const CString& p_strType,
                      const CString& p_strArray);

    // Loads a dictionary file, plain XML or encrypted ".exml", into this
    // dictionary. Raises CException with the failing step's code; the
    // definitions made before a failure stay.
    void InitDictionary(const char* p_szPath);

    // Appends a text listing of every definition, by ascending message number.
    void Dump(CStream* p_pOut) const;

private:
    CMsgInfo* m_pMsgInfo[MAX_MSG_NUM + 1];  // slot 0 never used
    bool m_bXmlStarted;                     // holds one parser platform start
};

// The process-wide dictionary.
VORANT_API CMsgDic* MA_GetMsgDic();

// The name of a tag type code: "string", "integer", "double", "bool", "date",
// "submsg", "Unknown" for 0 and "Unknown(<code>)" for any other.
VORANT_API CString GetTagTypeName(int p_iType);

#endif  // VORANT_MSG_DIC_HPP
