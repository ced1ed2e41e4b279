// -v and --trace-packet: what a call did, on standard error, from the
// library's trace hook.
#ifndef VORANT_CALL_TRACE_OUTPUT_H
#define VORANT_CALL_TRACE_OUTPUT_H

#include <string>

#include "vorant/trace.h"

// The verbose account of one call: address, both headers field by field,
// body sizes and compression, the phase timings and the result; with
// p_bPackets, a hex and text dump of both packets.
std::string FormatTrace(const VorantTrace& p_Trace, bool p_bPackets);

// 16 bytes a line: offset, hex, and the printable bytes.
std::string HexDump(const unsigned char* p_pData, size_t p_nSize, const char* p_szPrefix);

#endif  // VORANT_CALL_TRACE_OUTPUT_H
