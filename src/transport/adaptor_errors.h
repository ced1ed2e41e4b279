// vorant transport: the adaptor's own error codes and their table texts.
#ifndef VORANT_TRANSPORT_ADAPTOR_ERRORS_H
#define VORANT_TRANSPORT_ADAPTOR_ERRORS_H

// Failures are the negative of a slot of the transport table (not the
// library's message error table).
enum {
    ADAPTOR_OK = 0,
    ADAPTOR_MEMORY = -1,
    ADAPTOR_NULL_PARAM = -2,
    ADAPTOR_SOCKET = -3,
    ADAPTOR_RESOLVE = -4,
    ADAPTOR_CONNECT = -5,
    ADAPTOR_SEND = -6,
    ADAPTOR_RECV = -7,
    ADAPTOR_TIMEOUT = -8,
    ADAPTOR_CLOSED = -9,
    ADAPTOR_WAIT = -10,
    ADAPTOR_SOCKOPT = -11,
    ADAPTOR_NOT_CONNECTED = -12,
    ADAPTOR_CHECKSUM = -13,
    ADAPTOR_TRAILER = -14,
    ADAPTOR_HEADER = -15,
    ADAPTOR_COMPRESSION = -16,
    ADAPTOR_CORRUPTED = -17
};

// The table text for a code: its magnitude picks the slot; slots without a
// text, magnitudes of 50 or more and INT_MIN give slot 0, "Unknown error".
const char* AdaptorErrorText(int p_iCode);

#endif  // VORANT_TRANSPORT_ADAPTOR_ERRORS_H
