// vorant transport: a received packet checked and decoded from bytes in
// memory, with the codes and detail texts CTcpAdaptor::ReceiveFrom records,
// for readers that do their own socket work (an event-driven server).
#ifndef VORANT_TRANSPORT_PACKET_DECODE_H
#define VORANT_TRANSPORT_PACKET_DECODE_H

#include <string>

class CPacketInfo;
class CStream;

namespace vorant {
namespace packet {

// What a checked header says is still to come.
struct Frame {
    int m_iWireBody = 0;  // body bytes on the wire (then CHECKSUM_SIZE digits)
    int m_iBody = 0;      // ceiling of the inflated body (compressed packets)
};

// Checks the HEADER_SIZE bytes at p_pHeader (protocol name, packet and
// uncompressed lengths against p_iMaxPacketLength) and copies its fields
// into *p_pInfo (also when a length is wrong); m_iWireBody is set as soon
// as the packet length is valid. 0, or ADAPTOR_HEADER or
// ADAPTOR_CORRUPTED with the record's details in *p_pDetails.
int DecodeHeader(const char* p_pHeader, int p_iMaxPacketLength, CPacketInfo* p_pInfo, Frame* p_pFrame,
                 std::string* p_pDetails);

// Inflates (when compressed) the p_Frame.m_iWireBody bytes at p_pWire into
// p_pInfo->m_Body, then checks them with the header against the
// CHECKSUM_SIZE digits at p_pSum. 0, or ADAPTOR_MEMORY,
// ADAPTOR_COMPRESSION or ADAPTOR_CHECKSUM with details in *p_pDetails.
// Any thread; zlib state is the calling thread's.
int DecodeBody(const char* p_pHeader, const char* p_pWire, const char* p_pSum, const Frame& p_Frame,
               CPacketInfo* p_pInfo, std::string* p_pDetails);

// DecodeBody for a compressed body that stays on the wire, to be read later
// through CInflatingBody: inflates it only to check it, then checks the sum;
// the same codes and details. *p_pllInflated gets the inflated length (0
// when the body does not inflate, as DecodeBody leaves an empty body).
int CheckKeptBody(const char* p_pHeader, const char* p_pWire, const char* p_pSum, const Frame& p_Frame,
                  long long* p_pllInflated, std::string* p_pDetails);

// Inflates the p_iWire bytes at p_pWire into *p_pBody (its content
// replaced), at most p_iCeiling bytes (the header's uncompressed length; a
// body that inflates to less is kept at its own length). 0, or
// ADAPTOR_MEMORY ("ReceiveFrom") or ADAPTOR_COMPRESSION
// ("ReceiveFrom(<zlib result>)(<bytes>)") with details in *p_pDetails.
int InflateBody(const char* p_pWire, int p_iWire, int p_iCeiling, CStream* p_pBody, std::string* p_pDetails);

// Compares the CHECKSUM_SIZE digits at p_pSum with p_iComputed (header and
// wire body summed, mod 256). 0, or ADAPTOR_CHECKSUM with details.
int CheckSumField(int p_iComputed, const char* p_pSum, std::string* p_pDetails);

// An adaptor error record, "<table text>(<code>)(<details>)".
std::string ErrorRecord(int p_iCode, const std::string& p_strDetails);

}  // namespace packet
}  // namespace vorant

#endif  // VORANT_TRANSPORT_PACKET_DECODE_H
