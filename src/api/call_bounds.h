// The configured bounds of service calls: checking and storing them.
#ifndef VORANT_API_CALL_BOUNDS_H
#define VORANT_API_CALL_BOUNDS_H

#include "vorant/cstring.hpp"

// The smallest answer bound: a header alone is 128 bytes.
const int kMinAnswerBound = 128;

// Stores the bounds of calls made without options into the library-wide
// state; 0 picks each one's default. 0, or -1 with the reason in
// *p_pstrReason and nothing changed. Must not overlap any call.
int StoreCallBounds(int p_iConnectTimeoutMs, int p_iDeadlineMs, int p_iMaxAnswer, CString* p_pstrReason);

#endif  // VORANT_API_CALL_BOUNDS_H
