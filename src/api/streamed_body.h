// The body of a received compressed packet inflated straight into the
// message reader, so that neither the whole inflated body nor a copy of it
// is held while the message is built.
#ifndef VORANT_API_STREAMED_BODY_H
#define VORANT_API_STREAMED_BODY_H

#include <string>

#include "transport/packet_decode.h"

class CMsg;

// Reads the compressed body of a packet whose header (checked by
// DecodeHeader into p_Frame) is at p_pHeader, wire body at p_pWire and
// checksum digits at p_pSum, into p_pMsg. Reports what inflating the body
// whole, checking it and then LoadXml of it report, in that order: a damaged
// body gives ADAPTOR_COMPRESSION ("ReceiveFrom(%d)(%ld)"), then a wrong sum
// ADAPTOR_CHECKSUM, each with details in *p_pDetails and the message not
// touched; 0 when the message was read. A document that does not parse
// raises LoadXml's CException (what was read before the failure stays).
// Any thread; the calling thread's reader.
int LoadCompressedBody(const char* p_pHeader, const char* p_pWire, const char* p_pSum,
                       const vorant::packet::Frame& p_Frame, CMsg* p_pMsg, std::string* p_pDetails);

#endif  // VORANT_API_STREAMED_BODY_H
