// The process-wide objects of the library, constructed at load in this order
// and destroyed at unload in reverse. They live in one translation unit so the
// order is fixed.
#include "api/globals.h"
#include "device/monitor.h"
#include "orvo.h"

CSimpleCriticalSection g_CriticalSection;
CAutoResetEvent g_hConnectedEvent(false);
CAutoResetEvent g_hReconnectEvent(false);
CAutoResetEvent g_hStopPlayEvent(false);
CManualResetEvent g_hPollingEvent(false);
CManualResetEvent g_hProcessRequestEvent(false);

CAutoResetEvent g_hSigTimer1Event(false);
CAutoResetEvent g_hSigTimer2Event(false);

std::map<unsigned int, NotifyEventCallback> g_mapNotifyEvent;
CAutoMonitor g_AutoMonitor("MsgMonitorWnd-ORVO400{3B9A61F4-7C2D-4E85-A1D0-5F6C2E8B7A43}");
CInstance g_Instance;

namespace {
// Constructed last, destroyed first: a host that unloads the library (or
// exits) without ORVOFree still gets the connection manager and the pump
// stopped before the objects above go away.
struct LibraryShutdown {
    ~LibraryShutdown() { ORVOFree(); }
} s_libraryShutdown;
}  // namespace
