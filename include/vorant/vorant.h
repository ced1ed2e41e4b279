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
 *
 * Codes: 0 (or a length, size or count) is success. Negative results of the
 * MSG_* functions are the library's error table: -1 no data (tag absent or
 * unset), -11 out of memory, -12 null argument, -17 the tag has another type,
 * -18 no such tag in the message, -19 the message is not in the dictionary,
 * -27 index out of range, -28 the sub-message already belongs to a tree.
 * No function lets an exception escape into C. */

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

/* Loads the key file and the dictionary named by the configuration file
 * (keys msg_dic, key_file, server "HOST PORT", timeout in seconds, at least
 * 60) and keeps the server settings for every later call. -1: the
 * configuration, the key file or the host is unusable; -2: the dictionary
 * did not load; -3: the network could not start. On -1 nothing changes; the
 * dictionary is the process's own, so initialise once per process. err.code
 * is 0 for these failures; err.text says why. */
/* 0 on success (err untouched); -12 when err is null; otherwise the negative
 * result with the reason copied into err. */
VORANT_API int Vorant_Initialize(const char* configPath, VorantErrorInfo* err);
/* The same from explicit settings; timeout (seconds) is kept as given. */
VORANT_API int Vorant_InitializeEx(const char* keyFile, const char* msgDic, const char* host, int port, int timeout,
                                   VorantErrorInfo* err);
/* Sends in to service svcnum; out holds the answer on success. -4 is a
 * REJECT: err then holds the server's code, reason and service number. */
/* One TCP connection per call. Other results: -12 err null (nothing
 * written); -1 not initialised (err.code -35); -2 in or out null (err.code
 * -12); -3 the call failed, err.code naming the step (-2 request not
 * written, -3 connect, -4 send, -5 receive, -6 and -7 answer not parsed) and
 * err.text the reason (transport failures as "text(code)(details)"),
 * err.refSvcNum -1. in is left as it is; out receives the answer (on -4 the
 * REJECT message). Both stay the caller's. */
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

/* Vorant_CallService bounded by opts (null: the configured bounds). Results
 * as Vorant_CallService; -2 also for options out of range. A connect
 * time-out or the deadline fails with -3 and the step's code in err
 * (-3 connect, -4 send, -5 receive), the text naming "to=" or "deadline=". */
VORANT_API int Vorant_CallServiceEx(int svcnum, CMsg* in, CMsg* out, const VorantCallOptions* opts,
                                    VorantErrorInfo* err);
/* The bounds of calls without options, for Vorant_InitializeEx (the file
 * form sets them from connect_timeout, deadline and max_answer): connect
 * time-out ms (0: 10000), deadline ms (0: none), largest answer in bytes
 * (0: 67108864, else at least 128). 0, -12 (err null) or -1 (out of range,
 * nothing changed). Must not run while calls are in progress. */
VORANT_API int Vorant_SetCallBounds(int connectTimeoutMs, int deadlineMs, int maxAnswer, VorantErrorInfo* err);

/* Sets the trace hook (vorant/trace.h): hook is called with user once at the
 * end of every Vorant_CallService and CVorant call that got an error record.
 * A null hook removes it; without one a call only tests for it. Set it before
 * calls start, never while calls run (like Vorant_Initialize); it may be set
 * before or after initialisation. Returns 0. */
VORANT_API int Vorant_SetTraceHook(VorantTraceHook hook, void* user);

/* Messages. */

/* A new message of number msgnum, or null when it cannot be made (unknown
 * number, library not initialised). err is not written. */
VORANT_API CMsg* MSG_GetNewMsg(int msgnum, VorantErrorInfo* err);
/* The handle belongs to the caller. The dictionary is only read: any thread,
 * after Vorant_Initialize. */
/* Frees a message made by MSG_GetNewMsg and everything under it. */
/* Null is ignored. Never give it a handle from MSG_GetSub, MSG_GetAtSubArr
 * or one handed over with MSG_SetSub: their parent frees them. */
VORANT_API void MSG_Destroy(CMsg* msg);
/* The message number, or -12 for a null msg. */
VORANT_API int MSG_GetSelfNum(CMsg* msg);

/* Setters: 0 or a negative code; a null msg gives -12. */
/* A set replaces a single value and appends to an array-valued tag; -18,
 * -19, -17 and -11 as above, and the message's last error tells which.
 * MSG_SetStr stores nothing for a null or empty value (0) and gives -1 when
 * the library raised. */
VORANT_API int MSG_SetInt(CMsg* msg, int tag, int value);
VORANT_API int MSG_SetDbl(CMsg* msg, int tag, double value);
VORANT_API int MSG_SetStr(CMsg* msg, int tag, const char* value);
VORANT_API int MSG_SetBool(CMsg* msg, int tag, int value);
VORANT_API int MSG_SetDate(CMsg* msg, int tag, const char* date);
/* The parent takes sub over (an empty sub is freed at once). */
/* On 0 the handle sub is no longer the caller's (a replaced single
 * sub-message is freed, with every handle into it). -12 sub null; -28 sub
 * already belongs to a message (or is msg or one of its parents): nothing
 * changes. When the tag check fails (-17, -18, -19) sub stays the caller's. */
VORANT_API int MSG_SetSub(CMsg* msg, int tag, CMsg* sub);

/* Getters: 0 (or a length or size) or a negative code; -12 for a null msg or
 * a null output pointer. */
/* -1, -17, -18, -19 as above. A read of an array-valued tag gives its first
 * element; the MSG_GetAt* forms give element idx (-27 outside the array).
 * A failed read of the message sets a numeric or boolean output to 0; text
 * and date buffers are written only on success. */
VORANT_API int MSG_GetStrLen(CMsg* msg, int tag);
/* buffer must hold MSG_GetStrLen(msg, tag) + 1 bytes. */
VORANT_API int MSG_GetStr(CMsg* msg, int tag, char* buffer);
/* A copy to release with free(), or null with the code in *result. */
/* result may be null. */
VORANT_API char* MSG_GetStrEx(CMsg* msg, int tag, int* result);
VORANT_API int MSG_GetInt(CMsg* msg, int tag, int* value);
VORANT_API int MSG_GetDbl(CMsg* msg, int tag, double* value);
VORANT_API int MSG_GetBool(CMsg* msg, int tag, int* value);
/* date must hold 9 bytes. */
VORANT_API int MSG_GetDate(CMsg* msg, int tag, char* date);
/* The sub-message (owned by msg) or null, with the code in *result. */
VORANT_API CMsg* MSG_GetSub(CMsg* msg, int tag, int* result);

/* Handles from MSG_GetSub and MSG_GetAtSubArr stay valid until msg is
 * destroyed or the tag's value replaced; never MSG_Destroy them. */

/* The number of values of the tag: 1 for a single-valued tag, or a negative
 * code (-1, -18, -19). */
VORANT_API int MSG_GetArrSize(CMsg* msg, int tag);
/* Element idx of an array-valued tag (any idx reads a single value); as the
 * plain getters, with -27 when idx is outside the array. */
VORANT_API int MSG_GetAtStrLen(CMsg* msg, int tag, int idx);
VORANT_API int MSG_GetAtStrArr(CMsg* msg, int tag, int idx, char* buffer);
VORANT_API char* MSG_GetAtStrArrEx(CMsg* msg, int tag, int idx, int* result);
VORANT_API int MSG_GetAtIntArr(CMsg* msg, int tag, int idx, int* value);
VORANT_API int MSG_GetAtDblArr(CMsg* msg, int tag, int idx, double* value);
VORANT_API int MSG_GetAtBoolArr(CMsg* msg, int tag, int idx, int* value);
VORANT_API int MSG_GetAtDateArr(CMsg* msg, int tag, int idx, char* date);
VORANT_API CMsg* MSG_GetAtSubArr(CMsg* msg, int tag, int idx, int* result);

/* The message's last error ("" when none), owned by the message. */
/* Valid until the next failure on msg or its destruction; a null msg gives
 * a static text. */
VORANT_API const char* MSG_GetLastError(CMsg* msg);
/* Appends a field listing to the file at path, or writes it to the standard
 * output when path is null. 0, -12 (null msg) or -1 (file not opened). */
/* err may be null; it is written only when msg is null or the file does
 * not open. */
VORANT_API int MSG_Dump(CMsg* msg, const char* path, VorantErrorInfo* err);
/* Writes the same listing into buffer: at most size - 1 characters and a
 * zero byte (nothing when size is 0, where buffer may be null). Returns the
 * whole listing's length, as snprintf does, so a result of size or more
 * means it was cut; -12 for a null msg, a negative size or a null buffer
 * with a positive size. Thread contract as for the getters. */
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

/* The number of the message defined under name (exact match); -19 when no
 * message has that name, -12 for a null name. */
VORANT_API int MSG_FindMsgNum(const char* name);
/* The name of message msgnum, or null when it is not defined. */
VORANT_API const char* MSG_GetMsgName(int msgnum);
/* How many tag definitions message msgnum has, or -19 when it is not defined. */
VORANT_API int MSG_GetTagDefCount(int msgnum);
/* Fills def with tag definition idx (0 to MSG_GetTagDefCount - 1, in
 * dictionary order) of message msgnum. 0; -12 for a null def or a size
 * smaller than this record; -19 for an undefined message; -27 for an index
 * outside the definitions. A tag number defined twice is listed twice, both
 * times with its first definition. */
VORANT_API int MSG_GetTagDef(int msgnum, int idx, VorantTagDef* def);

#ifdef __cplusplus
}
#endif

/* Many calls in flight on one thread: Vorant_Multi*. */
#include "vorant/multi.h"

#endif /* VORANT_VORANT_H */
