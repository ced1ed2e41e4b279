/* vorant: the flat C interface. Initialise the library, call services, and
 * build, read and dump messages through an opaque message handle. Valid C
 * (C89 and later) and C++.
 *
 * Handles from MSG_GetNewMsg belong to the caller (release with
 * MSG_Destroy); handles from MSG_GetSub and MSG_GetAtSubArr belong to their
 * parent message. Booleans are int: non-zero is true on input, 255 or 0 on
 * output. Dates are 8 characters yyyymmdd on input (a zero byte ends them
 * early) and 9 bytes (8 characters and a zero) on output. */
#ifndef VORANT_VORANT_H
#define VORANT_VORANT_H

#include "vorant/codes.h"
#include "vorant/export.h"
#include "vorant/trace.h"

/* Threads: Vorant_Initialize must not run while any other vorant function
 * runs. After it has returned, any number of threads may call the other
 * functions at once, each on its own messages and error records: a message
 * (with its sub-messages) and a VorantErrorInfo serve one thread at a time.
 * The dictionary functions only read, and run on any thread.
 *
 * Codes (vorant/codes.h): 0 (or a length, size or count) is success. The
 * MSG_* functions return the library's table (MaErrorCode): MA_ERR_NO_DATA
 * tag absent or unset, MA_ERR_MEMORY out of memory, MA_ERR_NULL_PARAM a null
 * argument, MA_ERR_TAG_TYPE the tag has another type, MA_ERR_TAG_NOT_DEFINED
 * no such tag in the message, MA_ERR_MSG_NOT_DEFINED the message is not in
 * the dictionary, MA_ERR_ARRAY_INDEX index out of range,
 * MA_ERR_SERVICE_INPUT the sub-message already belongs to a tree. The
 * Vorant_* functions return their own results (VorantCallResult,
 * VorantInitResult, ...) and fill the caller's VorantErrorInfo. No function
 * lets an exception escape into C. */

#ifdef __cplusplus
class CMsg;
extern "C" {
#else
typedef struct CMsg CMsg;
#endif

/* The caller's error record, filled by the Vorant_* functions and MSG_Dump. */
typedef struct VorantErrorInfo {
    int code;        /* error code: negative library code, or the server's code of a REJECT */
    char text[1024]; /* zero-terminated, at most 1022 characters */
    int refSvcNum;   /* the service number the error refers to */
} VorantErrorInfo;

/* The record's layout is part of the interface: 1032 bytes. */
typedef char VorantErrorInfo_size_is_1032[(sizeof(VorantErrorInfo) == 1032) ? 1 : -1];

/* Loads the key file and the dictionary named by the configuration file at
 * configPath (keys msg_dic, key_file, server "HOST PORT", timeout,
 * connect_timeout, deadline, max_answer; see README) and keeps the server
 * settings for every later call. Returns:
 *   0                       initialised; err untouched;
 *   MA_ERR_NULL_PARAM       err is null (nothing else happens);
 *   VORANT_INIT_SETTINGS    the configuration, the key file or the host is
 *                           unusable; nothing has changed;
 *   VORANT_INIT_DICTIONARY  the dictionary did not load (a load that fails
 *                           part way may leave what it had read);
 *   VORANT_INIT_NETWORK     the network could not start.
 * On failure err.code is 0 and err.text says why. The dictionary is the
 * process's own: initialise once per process, before any other call. */
VORANT_API int Vorant_Initialize(const char* configPath, VorantErrorInfo* err);

/* Vorant_Initialize from explicit settings: timeout (seconds) is kept as
 * given; the other bounds stay as they are (Vorant_SetCallBounds). Results
 * and thread rule as Vorant_Initialize. */
VORANT_API int Vorant_InitializeEx(const char* keyFile, const char* msgDic, const char* host, int port, int timeout,
                                   VorantErrorInfo* err);

/* Sends in to service svcnum over one TCP connection and parses the answer
 * into out. in is left as it is; both stay the caller's. Returns:
 *   VORANT_OK              answered: out holds the answer;
 *   MA_ERR_NULL_PARAM      err is null (nothing written);
 *   VORANT_NOT_INITIALIZED Vorant_Initialize has not succeeded (err.code
 *                          MA_ERR_NOT_INITIALIZED);
 *   VORANT_INVALID_CALL    in or out is null (err.code MA_ERR_NULL_PARAM);
 *   VORANT_CALL_FAILED     err.code is the step that failed (VorantCallStep:
 *                          VORANT_STEP_WRITE, _CONNECT, _SEND, _RECEIVE,
 *                          _PARSE, _PARSE_RAISED), err.text the reason
 *                          (a transport failure as "text(code)(details)",
 *                          the code a VorantNetCode), err.refSvcNum -1;
 *   VORANT_REJECTED        the server refused: out holds the REJECT message,
 *                          err its code, reason and service number (a REJECT
 *                          tag that does not read gives that read's code).
 * Any thread after Vorant_Initialize; in, out and err serve this call only. */
VORANT_API int Vorant_CallService(int svcnum, CMsg* in, CMsg* out, VorantErrorInfo* err);

/* Bounds for one call. Set size to sizeof(VorantCallOptions) and the fields
 * wanted; a field that is 0 takes the configured value. Later versions only
 * append fields: the library reads just the fields that lie within size
 * (an older caller's smaller struct works unchanged), and a size of 0 means
 * every configured value. */
typedef struct VorantCallOptions {
    unsigned int size;    /* sizeof(VorantCallOptions) as the caller compiled it */
    int connectTimeoutMs; /* connecting, all addresses of the server's name together */
    int recvTimeoutMs;    /* each wait for answer bytes */
    int deadlineMs;       /* start of the call to the last answer byte; negative: none */
    int maxAnswer;        /* largest answer in bytes; 0, or at least 128 */
    /* Since the 40-byte layout: */
    const char* host; /* the server of this call; null or "" keeps the configured host */
    int port;         /* its port, 1 to 65535; 0 keeps the configured port */
} VorantCallOptions;

/* The first layout was 20 bytes (up to maxAnswer); callers built against it
 * keep working. Later versions only grow the record. */
#define VORANT_CALL_OPTIONS_V1_SIZE 20

/* Vorant_CallService bounded by opts (null: the configured bounds; only
 * read during the call). Results as Vorant_CallService, and:
 *   VORANT_INVALID_CALL  also for options out of range (err.code
 *                        MA_ERR_NULL_PARAM, "Invalid call options(...)");
 *   VORANT_CALL_FAILED   a connect time-out with VORANT_STEP_CONNECT and
 *                        "Failed in connect()(-5)((connect to=<s>))"; the
 *                        deadline with the step it ended (VORANT_STEP_CONNECT,
 *                        _SEND or _RECEIVE) and "deadline=<s>" in the text; a
 *                        larger answer with VORANT_STEP_RECEIVE and
 *                        "Packet is corrupted(-17)(...)". */
VORANT_API int Vorant_CallServiceEx(int svcnum, CMsg* in, CMsg* out, const VorantCallOptions* opts,
                                    VorantErrorInfo* err);

/* Sets the bounds of calls without options, for Vorant_InitializeEx (the
 * file form sets them from connect_timeout, deadline and max_answer):
 * connect time-out ms (0: 10000), deadline ms (0: none), largest answer in
 * bytes (0: 67108864, else at least 128). Returns 0; MA_ERR_NULL_PARAM
 * for a null err; VORANT_BOUNDS_OUT_OF_RANGE with the reason in err.text,
 * nothing changed. Like Vorant_Initialize, never while calls run. */
VORANT_API int Vorant_SetCallBounds(int connectTimeoutMs, int deadlineMs, int maxAnswer, VorantErrorInfo* err);

/* Sets the trace hook (vorant/trace.h): hook is called with user once at the
 * end of every Vorant_CallService and CVorant call that got an error record.
 * A null hook removes it; without one a call only tests for it. Set it before
 * calls start, never while calls run (like Vorant_Initialize); it may be set
 * before or after initialisation. Returns 0. */
VORANT_API int Vorant_SetTraceHook(VorantTraceHook hook, void* user);

/* Messages. */

/* A new empty message of number msgnum, owned by the caller (release it
 * with MSG_Destroy); null when it cannot be made (a number not in the
 * dictionary, the library not initialised, out of memory). err is not
 * used: it may be null, and is never written. Any thread after
 * Vorant_Initialize. */
VORANT_API CMsg* MSG_GetNewMsg(int msgnum, VorantErrorInfo* err);
/* Frees a message made by MSG_GetNewMsg and everything under it; null is
 * ignored. Never give it a handle from MSG_GetSub, MSG_GetAtSubArr or one
 * handed over with MSG_SetSub: their parent frees them. */
VORANT_API void MSG_Destroy(CMsg* msg);
/* The message number, or MA_ERR_NULL_PARAM for a null msg. */
VORANT_API int MSG_GetSelfNum(CMsg* msg);

/* Setters: a set replaces a single value and appends to an array-valued
 * tag. 0, or MA_ERR_NULL_PARAM (null msg), MA_ERR_TAG_NOT_DEFINED,
 * MA_ERR_MSG_NOT_DEFINED, MA_ERR_TAG_TYPE, MA_ERR_MEMORY, with the message's
 * last error telling which. MSG_SetStr stores nothing for a null or empty
 * value (0) and gives VORANT_FLAT_FAILED when the library raised. */
VORANT_API int MSG_SetInt(CMsg* msg, int tag, int value);
VORANT_API int MSG_SetDbl(CMsg* msg, int tag, double value);
VORANT_API int MSG_SetStr(CMsg* msg, int tag, const char* value);
VORANT_API int MSG_SetBool(CMsg* msg, int tag, int value);
VORANT_API int MSG_SetDate(CMsg* msg, int tag, const char* date);
/* Stores sub under tag: on 0 msg owns it and the handle sub is no longer
 * the caller's (an empty sub is freed at once; a replaced single
 * sub-message is freed, with every handle into it). MA_ERR_NULL_PARAM sub
 * null; MA_ERR_SERVICE_INPUT sub already belongs to a message (or is msg or
 * one of its parents): nothing changes. When the tag check fails
 * (MA_ERR_TAG_TYPE, MA_ERR_TAG_NOT_DEFINED, MA_ERR_MSG_NOT_DEFINED) sub stays
 * the caller's. */
VORANT_API int MSG_SetSub(CMsg* msg, int tag, CMsg* sub);

/* Getters: 0 (or a length or size), or MA_ERR_NULL_PARAM (a null msg or
 * output pointer), MA_ERR_NO_DATA, MA_ERR_TAG_TYPE, MA_ERR_TAG_NOT_DEFINED,
 * MA_ERR_MSG_NOT_DEFINED. A read of an array-valued tag gives its first
 * element; the MSG_GetAt* forms give element idx (MA_ERR_ARRAY_INDEX
 * outside the array). A failed read sets a numeric or boolean output to 0;
 * text and date buffers are written only on success. */
VORANT_API int MSG_GetStrLen(CMsg* msg, int tag);
/* buffer must hold MSG_GetStrLen(msg, tag) + 1 bytes. */
VORANT_API int MSG_GetStr(CMsg* msg, int tag, char* buffer);
/* A copy to release with free(), or null with the code in *result (result
 * may be null). */
VORANT_API char* MSG_GetStrEx(CMsg* msg, int tag, int* result);
VORANT_API int MSG_GetInt(CMsg* msg, int tag, int* value);
VORANT_API int MSG_GetDbl(CMsg* msg, int tag, double* value);
VORANT_API int MSG_GetBool(CMsg* msg, int tag, int* value);
/* date must hold 9 bytes. */
VORANT_API int MSG_GetDate(CMsg* msg, int tag, char* date);
/* The sub-message, or null with the code in *result. The handle belongs to
 * msg: valid until msg is destroyed or the tag's value replaced; never
 * MSG_Destroy it. The same for MSG_GetAtSubArr. */
VORANT_API CMsg* MSG_GetSub(CMsg* msg, int tag, int* result);

/* The number of values of the tag: 1 for a single-valued tag, or
 * MA_ERR_NO_DATA, MA_ERR_TAG_NOT_DEFINED, MA_ERR_MSG_NOT_DEFINED. */
VORANT_API int MSG_GetArrSize(CMsg* msg, int tag);
/* Element idx of an array-valued tag (any idx reads a single value); as the
 * plain getters, with MA_ERR_ARRAY_INDEX when idx is outside the array. */
VORANT_API int MSG_GetAtStrLen(CMsg* msg, int tag, int idx);
VORANT_API int MSG_GetAtStrArr(CMsg* msg, int tag, int idx, char* buffer);
VORANT_API char* MSG_GetAtStrArrEx(CMsg* msg, int tag, int idx, int* result);
VORANT_API int MSG_GetAtIntArr(CMsg* msg, int tag, int idx, int* value);
VORANT_API int MSG_GetAtDblArr(CMsg* msg, int tag, int idx, double* value);
VORANT_API int MSG_GetAtBoolArr(CMsg* msg, int tag, int idx, int* value);
VORANT_API int MSG_GetAtDateArr(CMsg* msg, int tag, int idx, char* date);
VORANT_API CMsg* MSG_GetAtSubArr(CMsg* msg, int tag, int idx, int* result);

/* The message's last error ("" when none), owned by the message: valid
 * until the next failure on msg or its destruction. A null msg gives a
 * static text. */
VORANT_API const char* MSG_GetLastError(CMsg* msg);
/* Appends a field listing to the file at path, or writes it to the standard
 * output when path is null. 0; MA_ERR_NULL_PARAM for a null msg (err.code
 * MA_ERR_NULL_PARAM); VORANT_FLAT_FAILED when the file does not open
 * (err.code MA_ERR_FILE_NOT_FOUND). err may be null; it is written only on
 * these two failures. */
VORANT_API int MSG_Dump(CMsg* msg, const char* path, VorantErrorInfo* err);
/* Writes the same listing into buffer: at most size - 1 characters and a
 * zero byte (nothing when size is 0, where buffer may be null). Returns the
 * whole listing's length, as snprintf does, so a result of size or more
 * means it was cut; MA_ERR_NULL_PARAM for a null msg, a negative size or a
 * null buffer with a positive size. Thread contract as for the getters. */
VORANT_API int MSG_DumpToBuffer(CMsg* msg, char* buffer, int size);

/* ---- The dictionary, for callers that type values themselves.
 * It is filled by Vorant_Initialize* and read-only afterwards: these
 * functions may run on any thread once initialisation has returned. Names
 * are owned by the dictionary and stay valid for the life of the process. */

/* Tag type codes of VorantTagDef.type. */
#define VORANT_TAG_STRING 1
#define VORANT_TAG_INT 2
#define VORANT_TAG_DBL 3
#define VORANT_TAG_BOOL 4
#define VORANT_TAG_DATE 5
#define VORANT_TAG_SUBMSG 6

/* One tag definition. The caller sets size to sizeof(VorantTagDef) before
 * the call, so that the record can grow without breaking older callers. */
typedef struct VorantTagDef {
    int size;
    int tag;          /* tag number */
    const char* name; /* the tag's name in the dictionary */
    int type;         /* VORANT_TAG_* */
    int subMsg;       /* message number of a VORANT_TAG_SUBMSG tag, else 0 */
    int isArray;      /* 1 for an array tag, else 0 */
} VorantTagDef;

/* The number of the message defined under name (exact match);
 * MA_ERR_MSG_NOT_DEFINED when no message has that name, MA_ERR_NULL_PARAM
 * for a null name. */
VORANT_API int MSG_FindMsgNum(const char* name);
/* The name of message msgnum, or null when it is not defined. */
VORANT_API const char* MSG_GetMsgName(int msgnum);
/* How many tag definitions message msgnum has, or MA_ERR_MSG_NOT_DEFINED. */
VORANT_API int MSG_GetTagDefCount(int msgnum);
/* Fills def with tag definition idx (0 to MSG_GetTagDefCount - 1, in
 * dictionary order) of message msgnum. 0; MA_ERR_NULL_PARAM for a null def
 * or a size smaller than this record; MA_ERR_MSG_NOT_DEFINED for an
 * undefined message; MA_ERR_ARRAY_INDEX for an index outside the
 * definitions. A tag number defined twice is listed twice, both
 * times with its first definition. */
VORANT_API int MSG_GetTagDef(int msgnum, int idx, VorantTagDef* def);

#ifdef __cplusplus
}
#endif

/* Many calls in flight on one thread: Vorant_Multi*. */
#include "vorant/multi.h"

#endif /* VORANT_VORANT_H */
