// The library-wide state that initialisation fills and service calls read.
#ifndef VORANT_API_LIBRARY_STATE_H
#define VORANT_API_LIBRARY_STATE_H

#include <atomic>

#include "vorant/cstring.hpp"

// Written only by CVorant::Initialize, which must not overlap any call; read
// by every call. g_bInitialized is set last (release), so a thread that sees
// it set also sees the settings it guards.
extern std::atomic<bool> g_bInitialized;
extern CString g_strServerHost;
extern int g_iServerPort;
extern int g_iTimeout;
extern CString g_strUserKey;
// Bounds of every call made without per-call options (CVorant::SetCallBounds,
// or the connect_timeout, deadline and max_answer keys).
extern int g_iConnectTimeoutMs;
extern int g_iDeadlineMs;  // 0: none
extern int g_iMaxAnswer;

#endif  // VORANT_API_LIBRARY_STATE_H
