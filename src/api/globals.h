// Process-wide objects of the library, constructed at load in main.cpp.
#pragma once

#include "platform/platform.h"

// Serialises all device traffic and all changes of output state. Recursive.
extern CSimpleCriticalSection g_CriticalSection;

extern CAutoResetEvent g_hConnectedEvent;       // ORVOConnect saw a connection
extern CAutoResetEvent g_hReconnectEvent;       // wakes the connection thread
extern CAutoResetEvent g_hStopPlayEvent;        // stop request for the pump
extern CManualResetEvent g_hPollingEvent;       // set while a device is connected
extern CManualResetEvent g_hProcessRequestEvent;  // a device data request is in hand
