// vorant transport: packets over the adaptor's TCP connection.
#ifndef VORANT_TRANSPORT_TCP_ADAPTOR_H
#define VORANT_TRANSPORT_TCP_ADAPTOR_H

#include "transport/adaptor.h"
#include "transport/packet_info.h"

class CStream;

// Writes and reads whole packets: the 128-byte header, the body (zlib
// compressed when the record says so) and the three checksum digits.
// Owns nothing beyond what CAdaptor owns.
class CTcpAdaptor : public CAdaptor {
public:
    // Builds the packet and writes it with one SendData. Stamps
    // p_pInfo->m_strTimeStamp. 0, or -1, -2, -15, -16 or a SendData code.
    int SendTo(CPacketInfo* p_pInfo, int p_iTimeout) override;

    // Reads one packet: header, body, checksum; inflates a compressed body.
    // 0, or -1, -2, -13, -15, -16, -17 or a ReceiveData code. Lengths above
    // GetMaxPacketLength() fail with -17 before the body is read. A time-out
    // after the header is -17, unless the deadline ended it (-8).
    int ReceiveFrom(CPacketInfo* p_pInfo, int p_iTimeout) override;

    // What SendTo writes, without writing it: replaces *p_pPacket with the
    // header, the wire body and the checksum digits. Errors as SendTo.
    int BuildPacket(CPacketInfo* p_pInfo, CStream* p_pPacket);

private:
    int ReceiveRest(char* p_pBuffer, int p_iLength, int p_iTimeout, const char* p_szPart);
    int ReceiveBody(CPacketInfo* p_pInfo, int p_iWireLength, int p_iBodyLength, int p_iTimeout, int* p_pBodySum);
};

#endif  // VORANT_TRANSPORT_TCP_ADAPTOR_H
