// vorant transport: what one connection saw, for the facade's trace hook.
#ifndef VORANT_TRANSPORT_WIRE_TRACE_H
#define VORANT_TRANSPORT_WIRE_TRACE_H

#include <chrono>

#include "vorant/stream.hpp"

// Filled by an adaptor given one with SetTrace; owned by the caller, who
// keeps it alive while the adaptor works. One thread, like its adaptor.
struct CWireTrace {
    using Clock = std::chrono::steady_clock;

    bool m_bConnectEnded = false;        // m_ConnectEndedAt is set
    Clock::time_point m_ConnectEndedAt;  // connected, or the connect step failed
    bool m_bSent = false;                // m_SentAt is set
    Clock::time_point m_SentAt;          // the request packet was written whole
    bool m_bHeaderArrived = false;       // m_HeaderAt is set
    Clock::time_point m_HeaderAt;        // the answer's header was read
    long long m_llAnswerWire = -1;       // answer body bytes on the wire
    CStream m_RequestPacket;             // the request packet as written
    CStream m_AnswerPacket;              // what arrived of the answer packet
};

#endif  // VORANT_TRANSPORT_WIRE_TRACE_H
