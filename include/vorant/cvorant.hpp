// vorant: the service facade (initialisation and service calls) and the bases
// of application-defined typed request and answer classes.
//
// Threads: Initialize, SetCallBounds and SetTraceHook run before calls
// start, never while one runs. After Initialize has returned, any number of
// threads may call services at once; a message, a typed object and an error
// record serve one call at a time. Results are named in vorant/codes.h.
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
// a CMsg. Owns its name and last-error texts; not copyable.
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

public:
    CMsgBase(const CMsgBase&) = delete;
    CMsgBase& operator=(const CMsgBase&) = delete;
};

// Base of an application's typed array of CMsgBase items (an array-valued
// sub-message field). Owns its two texts; the items are the derived class's
// to own (Add and SetAt take an item, RemoveAt and RemoveAll drop them: the
// derived class says whether it frees them). Copies carry the two texts
// only. The library never calls the virtual operations. An object serves
// one thread at a time.
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

// The static service facade; owns nothing per call. Initialize once (before
// any call, never while calls run), then call services from any number of
// threads: calls only read the library-wide state. Every function returns 0
// or a negative result and fills the caller's record.
class VORANT_API CVorant {
public:
    // Loads the key file and the dictionary named by the configuration file
    // (keys msg_dic, key_file, server, timeout, connect_timeout, deadline,
    // max_answer) into the process-wide state and keeps the server settings.
    // Returns:
    //   0                        initialised; p_pErr cleared;
    //   MA_ERR_NULL_PARAM        p_pErr is null;
    //   VORANT_INIT_SETTINGS     the configuration, the key file or the host
    //                            is unusable; nothing has changed;
    //   VORANT_INIT_DICTIONARY   the dictionary did not load (a load that
    //                            fails part way may leave what it had read);
    //   VORANT_INIT_NETWORK      the network could not start.
    // On failure the record's code is 0 and its text says why. The
    // dictionary is the process's own: initialise once per process, never
    // while a call runs.
    static int Initialize(const char* p_szConfigPath, CVorantError* p_pErr);
    // The same from explicit settings; the time-out (seconds) is stored as
    // given and the other bounds stay as they are (SetCallBounds).
    static int Initialize(const char* p_szKeyFile, const char* p_szMsgDic, const char* p_szHost, int p_iPort,
                          int p_iTimeout, CVorantError* p_pErr);
    // The bounds of every call made without per-call options, for the
    // explicit form of Initialize: p_iConnectTimeoutMs milliseconds for
    // connecting (0: 10000); p_iDeadlineMs milliseconds for a whole call (0:
    // none); p_iMaxAnswer the largest answer in bytes (0: 67108864, else at
    // least 128). Returns:
    //   0                           stored;
    //   MA_ERR_NULL_PARAM           p_pErr is null;
    //   VORANT_BOUNDS_OUT_OF_RANGE  a value out of range: nothing changed,
    //                               the reason in p_pErr (code 0).
    // Like Initialize, never while calls are in progress.
    static int SetCallBounds(int p_iConnectTimeoutMs, int p_iDeadlineMs, int p_iMaxAnswer, CVorantError* p_pErr);

    // Sends p_pIn to service p_iSvcNum over one TCP connection and parses the
    // answer into p_pOut. p_pIn is left as it is; both stay the caller's.
    // Returns, with the record p_pErr holds:
    //   VORANT_OK               answered: p_pOut holds the answer;
    //   MA_ERR_NULL_PARAM       p_pErr is null (nothing written);
    //   VORANT_NOT_INITIALIZED  code MA_ERR_NOT_INITIALIZED;
    //   VORANT_INVALID_CALL     a null message: code MA_ERR_NULL_PARAM;
    //   VORANT_CALL_FAILED      code the step that failed (VorantCallStep:
    //                           VORANT_STEP_WRITE, _CONNECT, _SEND, _RECEIVE,
    //                           _PARSE, _PARSE_RAISED), text the reason (a
    //                           transport failure as "text(code)(details)"
    //                           with a VorantNetCode), service -1;
    //   VORANT_REJECTED         the server's code, reason and service
    //                           number; p_pOut holds the REJECT message (a
    //                           REJECT tag that does not read gives that
    //                           read's code).
    // Any thread after Initialize. Out of memory may raise CException
    // (MA_ERR_MEMORY).
    static int CallServiceByMsg(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, CVorantError* p_pErr);
    // The same bounded by p_pOptions (null: the configured bounds), and:
    //   VORANT_INVALID_CALL  also for options out of range (code
    //                        MA_ERR_NULL_PARAM);
    //   VORANT_CALL_FAILED   a connect time-out with VORANT_STEP_CONNECT and
    //                        'Failed in connect()(-5)((connect to=<s>))'; the
    //                        deadline with the step it ended (_CONNECT, _SEND
    //                        or _RECEIVE) and "deadline=<s>" in the text; a
    //                        larger answer with VORANT_STEP_RECEIVE and
    //                        'Packet is corrupted(-17)(...)'.
    static int CallServiceByMsg(int p_iSvcNum, CMsg* p_pIn, CMsg* p_pOut, const CCallOptions* p_pOptions,
                                CVorantError* p_pErr);
    // The same with typed objects converted through MakeMsg and LoadMsg; the
    // temporary messages are the library's and are freed on every path.
    // Returns, with the record p_pErr holds:
    //   0                            answered and loaded into p_pOut;
    //   MA_ERR_NULL_PARAM            p_pErr is null;
    //   VORANT_TYPED_NOT_READY       not initialised (MA_ERR_NOT_INITIALIZED)
    //                                or a null object (MA_ERR_NULL_PARAM);
    //   VORANT_TYPED_REQUEST_FAILED  MakeMsg gave null: VORANT_OBJECT_FAILED,
    //                                "Input Msg is corrupted(<last error>)";
    //   VORANT_TYPED_NO_MEMORY       MA_ERR_MEMORY;
    //   VORANT_TYPED_CALL_FAILED     CallServiceByMsg failed: its record;
    //   VORANT_TYPED_ANSWER_FAILED   LoadMsg failed: VORANT_OBJECT_FAILED,
    //                                p_pOut's last error.
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
