#include "api/library_state.h"

std::atomic<bool> g_bInitialized{false};
CString g_strServerHost;
int g_iServerPort = 0;
int g_iTimeout = 90;
CString g_strUserKey;
