// vorant: the service facade (initialisation and service calls) and the bases
// of application-defined typed request and answer classes.
#ifndef VORANT_CVORANT_HPP
#define VORANT_CVORANT_HPP

#include "vorant/codes.h"
#include "vorant/cstring.hpp"
#include "vorant/export.h"
#include "vorant/stream.hpp"
#include "vorant/trace.h"
#include "vorant/vorant_error.hpp"

class CMsg;
class CMsgArray;
class CCallTrace;

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

// Bounds for one service call. Each field that is 0 takes the library's
// configured value (CVorant::SetCallBounds, or the configuration file's
// connect_timeout, timeout, deadline and max_answer). A plain value that
// owns nothing: the library only reads it during the call and keeps no
// pointer to it, so one value may serve calls on several threads at once.
struct CCallOptions {
    // Milliseconds for connecting, all addresses of the server's name
    // together; at least 0.
    int m_iConnectTimeoutMs = 0;
    // Milliseconds each wait for answer bytes may last; at least 0.
    int m_iRecvTimeoutMs = 0;
    // Milliseconds from the start of the call to the last answer byte;
    // negative: no deadline for this call.
    int m_iDeadlineMs = 0;
    // Largest answer accepted, in bytes (packet length, and the inflated
    // body); 0, or at least 128.
    int m_iMaxAnswer = 0;
    // The server of this call: a name or numeric address ("::1" and
    // "[::1]" alike) and its port. Null or "" keeps the configured host,
    // 0 the configured port. Only read while the call starts.
    const char* m_szHost = nullptr;
    int m_iPort = 0;
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
    // The bounds of every call made without per-call options, for the
    // explicit form of Initialize (the file form sets them from its keys
    // connect_timeout, deadline and max_answer; the explicit form leaves
    // them as they are). p_iConnectTimeoutMs: milliseconds for connecting,
    // 0 the default 10000; p_iDeadlineMs: milliseconds for a whole call, 0
    // none (the default); p_iMaxAnswer: largest answer in bytes, 0 the
    // default 67108864, else at least 128. 0; -12 p_pErr null; -1 a value
    // out of range (nothing changed, the reason in p_pErr). Like
    // Initialize, it must not run while calls are in progress.
    static int SetCallBounds(int p_iConnectTimeoutMs, int p_iDeadlineMs, int p_iMaxAnswer, CVorantError* p_pErr);

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
    // The same bounded by p_pOptions (null: the configured bounds). -2 also
    // for options out of range (p_pErr code -12). A connect time-out gives
    // -3 with code -3 and 'Failed in connect()(-5)((connect to=<s>))'; the
    // deadline gives -3 with the code of the step it ended (-3 connect, -4
    // send, -5 receive) and "deadline=<s>" in the text; a larger answer
    // gives -3 with code -5 and 'Packet is corrupted(-17)(...)'.
    static int CallServiceByMsg(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, const CCallOptions* p_pOptions,
                                CVorantError* p_pErr);
    // The same with typed objects converted through MakeMsg and LoadMsg.
    // 0; -12; -1 not initialised or null object; -2 request conversion
    // failed; -3 out of memory; -4 CallServiceByMsg failed; -5 answer
    // conversion failed.
    // The temporary messages are the library's and are freed on every path.
    // Record: as CallServiceByMsg, and code -12 for a null object, -1 with
    // the object's last error for -2 and -5, -11 for -3.
    static int CallService(int p_iSvcNum, CMsgBase* p_pIn, CMsgBase* p_pOut, CVorantError* p_pErr);
    // The same bounded by p_pOptions (null: the configured bounds).
    static int CallService(int p_iSvcNum, CMsgBase* p_pIn, CMsgBase* p_pOut, const CCallOptions* p_pOptions,
                           CVorantError* p_pErr);

    // Sets the trace hook (vorant/trace.h), called with p_pUser once at the
    // end of every CallServiceByMsg (and so every CallService that reaches
    // it) given an error record, on the calling thread. Null removes it;
    // without one a call only tests for it. Set it before calls start, never
    // while calls run; before or after Initialize. Returns 0.
    static int SetTraceHook(VorantTraceHook p_pHook, void* p_pUser);

private:
    static int GetUserKey(const char* p_szKeyFile, CString& p_strUserKey, CString& p_strErrText);
    static int ReadFileToStream(const char* p_szFileName, CStream& p_Out, CString& p_strErrText);
    // p_Bounds holds the bounds in effect: a 0 deadline is none, a 0 receive
    // time-out the configured one. p_pTrace, when not null, collects what
    // the call did for the trace hook.
    VORANT_LOCAL static int CallServiceCore(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, int p_iRefNum,
                                            const CCallOptions& p_Bounds, CString& p_strErrText,
                                            CCallTrace* p_pTrace = nullptr);
    // CallServiceByMsg after its error record is known not to be null.
    VORANT_LOCAL static int CallChecked(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, const CCallOptions* p_pOptions,
                                        CVorantError* p_pErr, CCallTrace* p_pTrace);
};

#endif  // VORANT_CVORANT_HPP
