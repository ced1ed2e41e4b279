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

#include "vorant/export.h"

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

/* 0 on success (err untouched); -12 when err is null; otherwise the negative
 * result with the reason copied into err. */
VORANT_API int Vorant_Initialize(const char* configPath, VorantErrorInfo* err);
VORANT_API int Vorant_InitializeEx(const char* keyFile, const char* msgDic, const char* host, int port, int timeout,
                                   VorantErrorInfo* err);
/* Sends in to service svcnum; out holds the answer on success. -4 is a
 * REJECT: err then holds the server's code, reason and service number. */
VORANT_API int Vorant_CallService(int svcnum, CMsg* in, CMsg* out, VorantErrorInfo* err);

/* A new message of number msgnum, or null when it cannot be made (unknown
 * number, library not initialised). err is not written. */
VORANT_API CMsg* MSG_GetNewMsg(int msgnum, VorantErrorInfo* err);
/* Frees a message made by MSG_GetNewMsg and everything under it. */
VORANT_API void MSG_Destroy(CMsg* msg);
VORANT_API int MSG_GetSelfNum(CMsg* msg);

/* Setters: 0 or a negative code; a null msg gives -12. */
VORANT_API int MSG_SetInt(CMsg* msg, int tag, int value);
VORANT_API int MSG_SetDbl(CMsg* msg, int tag, double value);
VORANT_API int MSG_SetStr(CMsg* msg, int tag, const char* value);
VORANT_API int MSG_SetBool(CMsg* msg, int tag, int value);
VORANT_API int MSG_SetDate(CMsg* msg, int tag, const char* date);
/* The parent takes sub over (an empty sub is freed at once). */
VORANT_API int MSG_SetSub(CMsg* msg, int tag, CMsg* sub);

/* Getters: 0 (or a length or size) or a negative code; -12 for a null msg or
 * a null output pointer. */
VORANT_API int MSG_GetStrLen(CMsg* msg, int tag);
/* buffer must hold MSG_GetStrLen(msg, tag) + 1 bytes. */
VORANT_API int MSG_GetStr(CMsg* msg, int tag, char* buffer);
/* A copy to release with free(), or null with the code in *result. */
VORANT_API char* MSG_GetStrEx(CMsg* msg, int tag, int* result);
VORANT_API int MSG_GetInt(CMsg* msg, int tag, int* value);
VORANT_API int MSG_GetDbl(CMsg* msg, int tag, double* value);
VORANT_API int MSG_GetBool(CMsg* msg, int tag, int* value);
/* date must hold 9 bytes. */
VORANT_API int MSG_GetDate(CMsg* msg, int tag, char* date);
/* The sub-message (owned by msg) or null, with the code in *result. */
VORANT_API CMsg* MSG_GetSub(CMsg* msg, int tag, int* result);

VORANT_API int MSG_GetArrSize(CMsg* msg, int tag);
VORANT_API int MSG_GetAtStrLen(CMsg* msg, int tag, int idx);
VORANT_API int MSG_GetAtStrArr(CMsg* msg, int tag, int idx, char* buffer);
VORANT_API char* MSG_GetAtStrArrEx(CMsg* msg, int tag, int idx, int* result);
VORANT_API int MSG_GetAtIntArr(CMsg* msg, int tag, int idx, int* value);
VORANT_API int MSG_GetAtDblArr(CMsg* msg, int tag, int idx, double* value);
VORANT_API int MSG_GetAtBoolArr(CMsg* msg, int tag, int idx, int* value);
VORANT_API int MSG_GetAtDateArr(CMsg* msg, int tag, int idx, char* date);
VORANT_API CMsg* MSG_GetAtSubArr(CMsg* msg, int tag, int idx, int* result);

/* The message's last error ("" when none), owned by the message. */
VORANT_API const char* MSG_GetLastError(CMsg* msg);
/* Appends a field listing to the file at path, or writes it to the standard
 * output when path is null. 0, -12 (null msg) or -1 (file not opened). */
VORANT_API int MSG_Dump(CMsg* msg, const char* path, VorantErrorInfo* err);

#ifdef __cplusplus
}
#endif

#endif /* VORANT_VORANT_H */
