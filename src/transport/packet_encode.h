// vorant transport: a packet built from its record in memory, with the codes
// and detail texts the adaptor records, for every writer of packets (the
// call engine, the blocking adaptor, a server framing its answers).
#ifndef VORANT_TRANSPORT_PACKET_ENCODE_H
#define VORANT_TRANSPORT_PACKET_ENCODE_H

#include <string>

class CPacketInfo;
class CStream;

namespace vorant {
namespace packet {

// Stamps p_pInfo->m_strTimeStamp with the local time and replaces
// *p_pPacket with the header, the body as it travels (zlib-compressed when
// m_bCompressed) and the checksum digits. 0, or ADAPTOR_NULL_PARAM,
// ADAPTOR_MEMORY, ADAPTOR_COMPRESSION, ADAPTOR_HEADER (a number wider than
// its field) with the record's details in *p_pDetails. Any thread; the zlib
// state is the calling thread's.
int EncodePacket(CPacketInfo* p_pInfo, CStream* p_pPacket, std::string* p_pDetails);

}  // namespace packet
}  // namespace vorant

#endif  // VORANT_TRANSPORT_PACKET_ENCODE_H
