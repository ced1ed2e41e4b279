/* vorant: the trace hook, a look at what each service call did: where it
 * connected, what it sent and received, and where its time went. Valid C
 * (C89 and later) and C++. Set it with Vorant_SetTraceHook (vorant.h) or
 * CVorant::SetTraceHook (cvorant.hpp).
 *
 * Threads: the hook is set before calls start, never while one runs; it is
 * then called on the thread of each call, by several threads at once when
 * calls run on several. A record is valid only while the hook runs. */
#ifndef VORANT_TRACE_H
#define VORANT_TRACE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The record of one call, filled by the library and handed to the hook.
 * It grows only at its end: `size` is sizeof(VorantTrace) as the library
 * was built, so a caller compiled against a newer header reads a field only
 * when its offset lies below `size`. Every pointer is valid only while the
 * hook runs. Times are microseconds of a monotonic clock; a phase the call
 * did not reach is -1, as is a size not known. */
typedef struct VorantTrace {
    size_t size;

    int svcNum;       /* the service called */
    int msgNum;       /* the request's message number */
    int answerMsgNum; /* the answer's message number (10 for a REJECT); 0 when none was parsed */
    const char* host; /* the server host of this call (its own, or the configured one) */
    int port;
    char address[64]; /* the numeric address actually connected, "" when no connection was made */

    int result; /* what the call returns: 0, or its negative result (-3 failed, -4 REJECT, ...) */
    int code;   /* the error record's code: 0, the failing step's code, or the server's SysCode */

    long long requestWireBytes; /* body bytes as they travelled (compressed when compressed) */
    long long requestBodyBytes; /* body bytes before compression */
    int requestCompressed;      /* 1 when the body travelled zlib-compressed */
    long long answerWireBytes;
    long long answerBodyBytes;
    int answerCompressed;

    long long serializeUs; /* the request written as message XML */
    long long resolveUs;   /* the server's name resolved */
    long long connectUs;   /* the TCP connection made */
    long long sendUs;      /* the packet framed (compressed) and written */
    long long firstByteUs; /* from the packet written to the answer's header arriving */
    long long receiveUs;   /* from the header to the answer complete (checked, inflated) */
    long long parseUs;     /* the answer parsed into the answer message */
    long long totalUs;     /* the whole call */

    /* The packets as they travelled: header, body, checksum digits. The
     * answer is what arrived, whole or not. Null (size 0) when none. */
    const unsigned char* requestPacket;
    size_t requestPacketSize;
    const unsigned char* answerPacket;
    size_t answerPacketSize;

    /* Since the engine (vorant/multi.h): */
    long long queueUs; /* how long the call waited for a free slot of its multi handle; 0 for a blocking call */
    int sysErrno;      /* the system's error number of the failing step (connect, send, receive), else 0 */
} VorantTrace;

/* Called once at the end of every service call, on the thread that made the
 * call, with the record and the `user` pointer given when it was set. Calls
 * on several threads call it concurrently. It must return quickly, must not
 * keep the record or its pointers, and must not set or clear the hook. */
typedef void (*VorantTraceHook)(const VorantTrace* trace, void* user);

#ifdef __cplusplus
}
#endif

#endif /* VORANT_TRACE_H */
