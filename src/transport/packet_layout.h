// vorant transport: the fixed 128-byte packet header, field by field.
#ifndef VORANT_TRANSPORT_PACKET_LAYOUT_H
#define VORANT_TRANSPORT_PACKET_LAYOUT_H

#include "vorant/cstring.hpp"

class CPacketInfo;

// The sum of the bytes, each unsigned, modulo 256 (0 for a length below 1).
int CheckSum(const char* p_pData, int p_iLength);

namespace vorant {
namespace packet {

// A packet is the header, the body as it travels, then the checksum digits.
const int HEADER_SIZE = 128;
const int CHECKSUM_SIZE = 3;
extern const char BEGIN_STRING[];  // "QRB-XMP-V1.0"

struct Field {
    int m_iOffset;
    int m_iWidth;
};
constexpr Field BEGIN = {0, 12};
constexpr Field PACKET_LENGTH = {12, 10};  // 128 + body bytes on the wire
constexpr Field SVC_NUM = {22, 4};
constexpr Field MSG_NUM = {26, 4};
constexpr Field REF_NUM = {30, 10};
constexpr Field TIME_STAMP = {40, 15};
constexpr Field USER_KEY = {55, 20};
constexpr Field RESERVED1 = {75, 13};
constexpr Field COMPRESSED = {88, 1};    // 'Y' or 'N'
constexpr Field BODY_LENGTH = {89, 10};  // uncompressed body bytes
constexpr Field RESERVED2 = {99, 8};
constexpr Field RESERVED3 = {107, 21};

// The compression buffer for a body of p_iSize bytes: (size + 12) * 1.001
// + 1, truncated; always at least zlib's compressBound.
unsigned long CompressCapacity(int p_iSize);

// The local time now as "yyyymmdd-hhmmss".
CString CurrentTimeStamp();

// Writes the header of p_Info for a wire body of p_llWireBody bytes into
// p_szHeader (HEADER_SIZE + 1 bytes, zeroed first). Returns the character
// count the fields asked for: HEADER_SIZE unless a number was wider than its
// field, in which case later fields overwrite the excess.
int FormatHeader(const CPacketInfo& p_Info, long long p_llWireBody, char* p_szHeader);

// Copies the service, message and reference numbers, the text fields and
// the compression flag of a received header into p_pInfo. Numbers read like
// atoi (blanks skipped, stop at the first non-digit, none gives 0, clamped
// to int); text fields end early at a zero byte; the user key is trimmed.
void ReadHeaderFields(const char* p_pHeader, CPacketInfo* p_pInfo);

// Strictly reads a length or checksum field: optional blanks, an optional
// sign, at least one digit, optional blanks, nothing else. False otherwise.
bool ReadHeaderNumber(const char* p_pField, int p_iWidth, long long* p_pllValue);

// The field's bytes for an error text, with any unprintable byte as '?'.
CString PrintableField(const char* p_pField, int p_iWidth);

}  // namespace packet
}  // namespace vorant

#endif  // VORANT_TRANSPORT_PACKET_LAYOUT_H
