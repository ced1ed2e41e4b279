// vorant transport: the fields of one packet's header and its body.
#ifndef VORANT_TRANSPORT_PACKET_INFO_H
#define VORANT_TRANSPORT_PACKET_INFO_H

#include "vorant/cstring.hpp"
#include "vorant/stream.hpp"

// One request or answer packet. Owns its strings and its body (deep copies).
// m_Body always holds the uncompressed body; m_bCompressed says how it
// travels. SendTo writes m_strTimeStamp; ReceiveFrom fills every field.
class CPacketInfo {
public:
    int m_iSvcNum = 0;
    int m_iMsgNum = 0;
    int m_iRefNum = 0;
    CString m_strTimeStamp;  // yyyymmdd-hhmmss, local time
    CString m_strUserKey;    // at most 20 characters travel
    CString m_strReserved1;  // 13 characters
    bool m_bCompressed = false;
    CString m_strReserved2;  // 8 characters
    CString m_strReserved3;  // 21 characters
    CStream m_Body;
};

#endif  // VORANT_TRANSPORT_PACKET_INFO_H
