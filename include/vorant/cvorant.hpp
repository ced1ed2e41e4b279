// vorant: the service facade (initialisation and service calls) and the bases
// of application-defined typed request and answer classes.
#ifndef VORANT_CVORANT_HPP
#define VORANT_CVORANT_HPP

#include "vorant/cstring.hpp"
#include "vorant/export.h"
#include "vorant/stream.hpp"
#include "vorant/vorant_error.hpp"

class CMsg;
class CMsgArray;

// Base of an application's typed message class: converts itself to and from
// a CMsg. Owns its name and last-error texts. Copies carry only the message
// number.
// An object serves one thread at a time. CVorant::CallService calls MakeMsg
// on the request object and LoadMsg on the answer object, on the caller's
// thread; an exception they raise passes through CallService.
class VORANT_API CMsgBase {
public:
    CMsgBase();
    virtual ~CMsgBase();

    // Fills this object from an answer; negative on failure, with the reason
    // in the last-error text.
    // p_pMsg belongs to the caller and lives only for this call: copy what
    // is kept.
    virtual int LoadMsg(CMsg* p_pMsg) = 0;
    // A new message built from this object, owned by the caller (free it with
    // MA_FreeMsg), or null with the reason in the last-error text.
    virtual CMsg* MakeMsg() = 0;
    // Returns the object to its freshly constructed state. Never called by
    // the library.
    virtual void Init() = 0;

    // A copy of the last-error text ("" when none).
    CString GetLastError() const;
    // "M_<name>(CMsg<msgnum as %04d>)".
    CString Repr() const;

protected:
    int m_iMsgNum;
    CString m_strName;
    CString m_strLastError;

private:
    CMsgBase(const CMsgBase& p_Other);
    CMsgBase& operator=(const CMsgBase& p_Other);
};

// Base of an application's typed array of CMsgBase items (an array-valued
// sub-message field). Owns its two texts; the library never calls the
// virtual operations.
// Copies carry the two texts. An object serves one thread at a time.
class VORANT_API CMsgBase_Array {
public:
    CMsgBase_Array();
    CMsgBase_Array(const CMsgBase_Array& p_Other);
    CMsgBase_Array& operator=(const CMsgBase_Array& p_Other);
    virtual ~CMsgBase_Array() = 0;

    virtual int GetSize() const = 0;
    virtual CMsgBase* GetAt(int p_iIndex) = 0;
    // Appends an item; returns its index or a negative code.
    virtual int Add(CMsgBase* p_pItem) = 0;
    virtual int SetAt(int p_iIndex, CMsgBase* p_pItem) = 0;
    virtual int RemoveAt(int p_iIndex) = 0;
    virtual void RemoveAll() = 0;
    // Fills the array from the items of a sub-message array field.
    virtual int LoadMsgArray(CMsgArray* p_pArray) = 0;
    // Appends every item as a sub-message under p_iTagNum of p_pParent.
    virtual int MakeMsgArray(CMsg* p_pParent, int p_iTagNum) = 0;
    virtual void SetSize(int p_iSize) = 0;

    // A copy of the last-error text ("" when none).
    CString GetLastError() const;

protected:
    CString m_strName;
    CString m_strLastError;
};

// The static service facade. Initialize once (before any call, never while
// calls run), then call services from any number of threads: calls only read
// the library-wide state.
// Every function returns 0 or a negative result and fills the caller's
// record; the record, and the messages of a call, serve one call at a time.
// Out of memory may still raise CException (code -11).
class VORANT_API CVorant {
public:
    // Loads the key file and the dictionary into the process-wide state and
    // keeps the server settings; the previous settings stay unless every step
    // succeeds. -1 configuration, key file or host unusable (record code 0,
    // text says why); -2 dictionary not loaded (code 0, the loader's text);
    // -3 network not started. The dictionary is the process's own:
    // initialise once per process, never while a call runs.
    // From the configuration file (keys msg_dic, key_file, server, timeout).
    // 0, or a negative code with the reason in p_pErr; -12 when p_pErr is null.
    static int Initialize(const char* p_szConfigPath, CVorantError* p_pErr);
    // From explicit settings; the time-out (seconds) is stored as given.
    static int Initialize(const char* p_szKeyFile, const char* p_szMsgDic, const char* p_szHost, int p_iPort,
                          int p_iTimeout, CVorantError* p_pErr);

    // One TCP connection per call; any thread after Initialize. p_pIn and
    // p_pOut stay the caller's; p_pIn is left as it is.
    // Sends p_pIn to service p_iSvcNum and parses the answer into p_pOut.
    // 0; -12 p_pErr null; -1 not initialised; -2 null message; -3 the call
    // failed (p_pErr code names the step); -4 the server rejected the request.
    // Record: -1 code -35; -2 code -12; -3 code -2 request not written, -3
    // connect, -4 send, -5 receive, -6/-7 answer not parsed, the step's
    // reason as text (transport failures "text(code)(details)"), service -1;
    // -4 the server's code, reason and service number, p_pOut holding the
    // REJECT message (a REJECT tag that does not read gives that read's code).
    static int CallServiceByMsg(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, CVorantError* p_pErr);
    // The same with typed objects converted through MakeMsg and LoadMsg.
    // 0; -12; -1 not initialised or null object; -2 request conversion
    // failed; -3 out of memory; -4 CallServiceByMsg failed; -5 answer
    // conversion failed.
    // The temporary messages are the library's and are freed on every path.
    // Record: as CallServiceByMsg, and code -12 for a null object, -1 with
    // the object's last error for -2 and -5, -11 for -3.
    static int CallService(int p_iSvcNum, CMsgBase* p_pIn, CMsgBase* p_pOut, CVorantError* p_pErr);

private:
    static int GetUserKey(const char* p_szKeyFile, CString& p_strUserKey, CString& p_strErrText);
    static int ReadFileToStream(const char* p_szFileName, CStream& p_Out, CString& p_strErrText);
    VORANT_LOCAL static int CallServiceCore(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, int p_iRefNum,
                                            CString& p_strErrText);
};

#endif  // VORANT_CVORANT_HPP
