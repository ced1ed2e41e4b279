#include "api/library_state.h"

#include "transport/protocol.h"

std::atomic<bool> g_bInitialized{false};
CString g_strServerHost;
int g_iServerPort = 0;
int g_iTimeout = 90;
CString g_strUserKey;
int g_iConnectTimeoutMs = vorant::protocol::DEFAULT_CONNECT_TIMEOUT_MS;
int g_iDeadlineMs = 0;
int g_iMaxAnswer = vorant::protocol::DEFAULT_MAX_PACKET_LENGTH;
