// Packets built by hand for the tests, independently of the adaptor.
#ifndef VORANT_TESTS_TRANSPORT_WIRE_H
#define VORANT_TESTS_TRANSPORT_WIRE_H

#include <string>

struct WireHeader {
    std::string begin = "QRB-XMP-V1.0";
    std::string packetLength;  // empty: 128 + body size, zero-padded
    std::string svc = "0007";
    std::string msg = "0012";
    std::string ref = "0000000000";
    std::string timeStamp = "20240131-235959";
    std::string userKey = "  KEY-1  ";
    std::string reserved1 = "r1";
    char compressed = 'N';
    std::string bodyLength;  // empty: uncompressed size, zero-padded
    std::string reserved2 = "r2";
    std::string reserved3 = "r3";
};

// Left-justified, blank-padded, cut to p_iWidth.
std::string Pad(const std::string& p_str, int p_iWidth);
// Zero-padded decimal of p_iWidth digits.
std::string Digits(long long p_llValue, int p_iWidth);
// zlib compress at the default level.
std::string Deflate(const std::string& p_strData);
// Sum of the bytes modulo 256.
int ByteSum(const std::string& p_strData);

// The 128 header bytes for a wire body of p_strWire (p_iPlainSize bytes
// before compression).
std::string Header(const WireHeader& p_Header, const std::string& p_strWire, int p_iPlainSize);
// Header, wire body and the correct checksum digits.
std::string Packet(const WireHeader& p_Header, const std::string& p_strPlainBody);

#endif  // VORANT_TESTS_TRANSPORT_WIRE_H
