// vorant transport: the protocol's numbers, each in one place: which bodies
// travel compressed, the REJECT answer, and the default bounds of a call.
#ifndef VORANT_TRANSPORT_PROTOCOL_H
#define VORANT_TRANSPORT_PROTOCOL_H

namespace vorant {
namespace protocol {

// Bodies longer than this travel compressed, and those of this message
// number always.
const int COMPRESS_ABOVE = 1024;
const int ALWAYS_COMPRESSED_MSG_NUM = 1;

inline bool TravelsCompressed(long long p_llBodyBytes, int p_iMsgNum) {
    return p_llBodyBytes > COMPRESS_ABOVE || p_iMsgNum == ALWAYS_COMPRESSED_MSG_NUM;
}

// A server refuses a request by answering with this message: its code,
// reason and the service it refers to.
const int REJECT_MSG_NUM = 10;
const int REJECT_TAG_SYS_CODE = 6;
const int REJECT_TAG_REASON_TEXT = 7;
const int REJECT_TAG_REF_SVC_NUM = 8;

// Default bounds, milliseconds: each wait to send, each wait for answer
// bytes, and all of a connect's addresses together.
const int DEFAULT_SEND_TIMEOUT_MS = 90 * 1000;
const int DEFAULT_RECV_TIMEOUT_MS = 60 * 1000;
const int DEFAULT_CONNECT_TIMEOUT_MS = 10 * 1000;
// Answers above this many bytes (packet length or inflated body) are
// refused before anything of that size is read or allocated.
const int DEFAULT_MAX_PACKET_LENGTH = 64 * 1024 * 1024;

}  // namespace protocol
}  // namespace vorant

#endif  // VORANT_TRANSPORT_PROTOCOL_H
