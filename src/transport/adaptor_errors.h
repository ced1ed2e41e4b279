// vorant transport: the adaptor's own error codes and their table texts.
#ifndef VORANT_TRANSPORT_ADAPTOR_ERRORS_H
#define VORANT_TRANSPORT_ADAPTOR_ERRORS_H

#include "vorant/codes.h"

// The transport's table (VorantNetCode) under the names the transport and
// the tools use. Failures are the negative of a slot of this table, not of
// the library's message error table.
enum {
    ADAPTOR_OK = VORANT_NET_OK,
    ADAPTOR_MEMORY = VORANT_NET_MEMORY,
    ADAPTOR_NULL_PARAM = VORANT_NET_NULL_PARAM,
    ADAPTOR_SOCKET = VORANT_NET_SOCKET,
    ADAPTOR_RESOLVE = VORANT_NET_RESOLVE,
    ADAPTOR_CONNECT = VORANT_NET_CONNECT,
    ADAPTOR_SEND = VORANT_NET_SEND,
    ADAPTOR_RECV = VORANT_NET_RECV,
    ADAPTOR_TIMEOUT = VORANT_NET_TIMEOUT,
    ADAPTOR_CLOSED = VORANT_NET_CLOSED,
    ADAPTOR_WAIT = VORANT_NET_WAIT,
    ADAPTOR_SOCKOPT = VORANT_NET_SOCKOPT,
    ADAPTOR_NOT_CONNECTED = VORANT_NET_NOT_CONNECTED,
    ADAPTOR_CHECKSUM = VORANT_NET_CHECKSUM,
    ADAPTOR_TRAILER = VORANT_NET_TRAILER,
    ADAPTOR_HEADER = VORANT_NET_HEADER,
    ADAPTOR_COMPRESSION = VORANT_NET_COMPRESSION,
    ADAPTOR_CORRUPTED = VORANT_NET_CORRUPTED
};

// The table text for a code: its magnitude picks the slot; slots without a
// text, magnitudes of 50 or more and INT_MIN give slot 0, "Unknown error".
const char* AdaptorErrorText(int p_iCode);

#endif  // VORANT_TRANSPORT_ADAPTOR_ERRORS_H
