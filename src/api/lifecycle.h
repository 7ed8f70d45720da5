// The connection manager: the thread that finds, prepares and supervises the
// simulator and cleans up after it.
#pragma once

#include <atomic>

#include "orvo.h"

extern unsigned long g_hConnectDeviceThread;  // 0 = not running
extern std::atomic<int> g_bStopConnectDeviceThread;
extern std::atomic<int> g_nPortNumber;        // -1 = scan
extern std::atomic<int> g_bConnected;
// Set by the monitor when the port vanished; the connection thread cleans up.
extern std::atomic<bool> g_bDeviceLost;

// A streaming device must send its next request within this time for the
// watchdog pass to run; otherwise the link counts as failed.
constexpr unsigned int WATCHDOG_REQUEST_WAIT_MS = 5000;

bool DoInit(ConnectionCallback callback);
void ConnectedHandler(bool connected);
void NotifyListener(bool connected);
void ReconnectDevice();
// The device vanished: wake the connection thread, which stops the pump and
// closes the port.
void ReportDeviceLost();
void WinEventCb(unsigned int message, unsigned int wParam, unsigned long lParam);
void _OnDisconnected();
