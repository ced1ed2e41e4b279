/* vorant: every code the library returns or records, by name. Valid C (C89
 * and later) and C++; vorant.h, cvorant.hpp and msg_error.hpp include it.
 *
 * Threads: constants only, for any thread.
 *
 * Three tables meet in one failed call, and their numbers overlap, so read
 * each number against the table it comes from:
 *
 *   - the result, what a function returns. Each function's own table
 *     (VorantCallResult for calls, VorantInitResult for initialisation, ...);
 *     MA_ERR_NULL_PARAM (-12) when the error record itself is null.
 *   - the record's code (VorantErrorInfo.code, CVorantError::GetCode). For a
 *     call that failed (VORANT_CALL_FAILED) it is the step that failed
 *     (VorantCallStep); for a REJECT the server's own code; otherwise a code
 *     of the library's table (MaErrorCode), or 0 where only the text says why.
 *   - the transport's table (VorantNetCode), which only ever appears inside a
 *     record's text: "Socket timeout(-8)((recv to=90))" is the table's text,
 *     the code VORANT_NET_TIMEOUT and the details.
 *
 * A timed-out call therefore returns VORANT_CALL_FAILED (-3), with the
 * record's code VORANT_STEP_RECEIVE (-5) and a text carrying
 * "(-8)" (VORANT_NET_TIMEOUT). The numbers never change: callers and stored
 * logs rely on them. */
#ifndef VORANT_CODES_H
#define VORANT_CODES_H

/* The library's error table: what the MSG_* functions and the message and
 * dictionary classes return, and the code of their last-error texts
 * "MSG_Error(%d) : %s {%s}". MA_GetErrorStr gives the table's text. */
enum MaErrorCode
#ifdef __cplusplus
    : int
#endif
{
    MA_OK = 0,
    MA_ERR_NO_DATA = -1, /* the tag is absent or not set */
    MA_ERR_MEMORY = -11,
    MA_ERR_NULL_PARAM = -12,
    MA_ERR_TAGDIC = -13,
    MA_ERR_TAGNUM_BOUNDARY = -14,
    MA_ERR_MSGNUM_BOUNDARY = -15,
    MA_ERR_SUBMSG_BOUNDARY = -16,
    MA_ERR_TAG_TYPE = -17,        /* the tag has another type */
    MA_ERR_TAG_NOT_DEFINED = -18, /* no such tag in the message */
    MA_ERR_MSG_NOT_DEFINED = -19, /* the message is not in the dictionary */
    MA_ERR_MSG_TAG_NOT_DEFINED = -20,
    MA_ERR_XML_PARSE = -21,
    MA_ERR_DUPLICATED_MSG = -22,
    MA_ERR_DUPLICATED_TAG = -23,
    MA_ERR_MSG_ASSERT_FORMAT = -24,
    MA_ERR_TAG_RESTRICTION_FORMAT = -25,
    MA_ERR_XML_INIT = -26,
    MA_ERR_ARRAY_INDEX = -27,   /* an index outside the array */
    MA_ERR_SERVICE_INPUT = -28, /* a sub-message that already belongs to a tree */
    MA_ERR_IMPORT_DICTIONARY = -29,
    MA_ERR_STATEMENT_ID = -30,
    MA_ERR_JSON_PARSE = -31,
    MA_ERR_FILE_NOT_FOUND = -32,
    MA_ERR_SOCKET = -33,
    MA_ERR_CONFIG_FILE = -34,
    MA_ERR_NOT_INITIALIZED = -35,
    MA_ERR_DICTIONARY_LOAD = -36
};

/* The transport's table: the number in the middle of a transport text,
 * "<table text>(<code>)(<details>)". */
enum VorantNetCode {
    VORANT_NET_OK = 0,
    VORANT_NET_MEMORY = -1,         /* "Memory error" */
    VORANT_NET_NULL_PARAM = -2,     /* "Parameter is NULL" */
    VORANT_NET_SOCKET = -3,         /* "Cannot open socket" */
    VORANT_NET_RESOLVE = -4,        /* "Failed in gethostbyname()": the name did not resolve */
    VORANT_NET_CONNECT = -5,        /* "Failed in connect()", a connect time-out or deadline too */
    VORANT_NET_SEND = -6,           /* "Failed in send()" */
    VORANT_NET_RECV = -7,           /* "Failed in recv()" */
    VORANT_NET_TIMEOUT = -8,        /* "Socket timeout": a send or receive time-out or deadline */
    VORANT_NET_CLOSED = -9,         /* "Socket closed": the server closed early */
    VORANT_NET_WAIT = -10,          /* "Failed in select()": the wait itself failed */
    VORANT_NET_SOCKOPT = -11,       /* "Failed in setsockopt()" */
    VORANT_NET_NOT_CONNECTED = -12, /* "Socket not connected" */
    VORANT_NET_CHECKSUM = -13,      /* "Checksum is incorrect" */
    VORANT_NET_TRAILER = -14,       /* "Invalid trailer data" */
    VORANT_NET_HEADER = -15,        /* "Header format is incorrect": not this protocol */
    VORANT_NET_COMPRESSION = -16,   /* "Compression failed": a body that does not inflate */
    VORANT_NET_CORRUPTED = -17      /* "Packet is corrupted": a length out of range, ... */
};

/* Results of Vorant_CallService, Vorant_CallServiceEx,
 * CVorant::CallServiceByMsg and of a multi handle's done. */
enum VorantCallResult {
    VORANT_OK = 0,
    VORANT_NOT_INITIALIZED = -1, /* record code MA_ERR_NOT_INITIALIZED */
    VORANT_INVALID_CALL = -2,    /* a null message or options out of range; record code MA_ERR_NULL_PARAM */
    VORANT_CALL_FAILED = -3,     /* record code: the VorantCallStep that failed */
    VORANT_REJECTED = -4         /* record: the server's code, reason and service number */
};

/* The record's code when a call returns VORANT_CALL_FAILED: the step that
 * failed. The record's text says why; a transport failure's text is
 * "<text>(<VorantNetCode>)(<details>)". */
enum VorantCallStep {
    VORANT_STEP_WRITE = -2,        /* the request message could not be written */
    VORANT_STEP_CONNECT = -3,      /* resolve or connect, their time-out or the deadline */
    VORANT_STEP_SEND = -4,         /* sending the request */
    VORANT_STEP_RECEIVE = -5,      /* receiving or checking the answer packet */
    VORANT_STEP_PARSE = -6,        /* the answer's XML did not parse */
    VORANT_STEP_PARSE_RAISED = -7, /* parsing the answer raised (out of memory, ...) */
    VORANT_CALL_CANCELLED = -8     /* a multi handle's call ended by Cancel or Destroy: "Call cancelled" */
};

/* Results of Vorant_Initialize, Vorant_InitializeEx and CVorant::Initialize.
 * The record's code is 0 for these; its text says why. */
enum VorantInitResult {
    VORANT_INIT_SETTINGS = -1,   /* the configuration, the key file or the host is unusable */
    VORANT_INIT_DICTIONARY = -2, /* the dictionary did not load */
    VORANT_INIT_NETWORK = -3     /* the network could not start */
};

/* Result of Vorant_SetCallBounds and CVorant::SetCallBounds for a value out
 * of range (nothing changed; record code 0, the text says which). */
enum VorantBoundsResult { VORANT_BOUNDS_OUT_OF_RANGE = -1 };

/* Results of CVorant::CallService, the call with typed request and answer
 * objects. */
enum VorantTypedResult {
    VORANT_TYPED_NOT_READY = -1,      /* not initialised (record MA_ERR_NOT_INITIALIZED) or a null object
                                         (record MA_ERR_NULL_PARAM) */
    VORANT_TYPED_REQUEST_FAILED = -2, /* MakeMsg gave null; record VORANT_OBJECT_FAILED */
    VORANT_TYPED_NO_MEMORY = -3,      /* the answer message could not be made; record MA_ERR_MEMORY */
    VORANT_TYPED_CALL_FAILED = -4,    /* CallServiceByMsg failed; its record */
    VORANT_TYPED_ANSWER_FAILED = -5   /* LoadMsg failed; record VORANT_OBJECT_FAILED */
};

/* The record's code when a typed object's own conversion failed
 * (VORANT_TYPED_REQUEST_FAILED, VORANT_TYPED_ANSWER_FAILED). */
enum VorantTypedRecord { VORANT_OBJECT_FAILED = -1 };

/* The result of a flat function for a failure without a code of its own: an
 * unexpected exception, or a file MSG_Dump could not open. */
enum VorantFlatResult { VORANT_FLAT_FAILED = -1 };

#endif /* VORANT_CODES_H */
