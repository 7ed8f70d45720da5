#include "api/lifecycle.h"
#include "api/callbacks.h"
#include "api/globals.h"
#include "api/pump.h"
#include "device/link.h"
#include "device/monitor.h"
#include "engine/parameters.h"

#include <unistd.h>

unsigned long g_hConnectDeviceThread = 0;
std::atomic<int> g_bStopConnectDeviceThread{0};
std::atomic<int> g_nPortNumber{-1};
std::atomic<int> g_bConnected{0};
std::atomic<bool> g_bDeviceLost{false};

namespace {

constexpr unsigned int SUPERVISION_INTERVAL_MS = 30000;

void PrepareDevice()
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_bECGGoing = false;
    }
    for (int channel = 0; channel < 4; ++channel) {
        ORVOSetOutputLead(channel, OUTPUT_LEAD_DEFAULT);
        ORVOSetInputImpedanceMode(channel, 0);
    }
}

// One watchdog exchange, made right after a device request while streaming so
// that it falls between the request and the batch that answers it.
bool SupervisionPassSucceeds()
{
    CAutoCriticalSection lock(g_CriticalSection);
    if (g_bECGGoing && g_hProcessRequestEvent.WaitTimeout(WATCHDOG_REQUEST_WAIT_MS) != WAIT_SIGNALLED)
        return false;
    return WatchDog();
}

enum class SupervisionEnd { StopRequested, DeviceLost };

SupervisionEnd Supervise()
{
    for (;;) {
        if (g_bStopConnectDeviceThread.load() != 0)
            return SupervisionEnd::StopRequested;
        g_hReconnectEvent.WaitTimeout(SUPERVISION_INTERVAL_MS);
        if (g_bDeviceLost.load() || !DeviceIsAlive() || !SupervisionPassSucceeds())
            return SupervisionEnd::DeviceLost;
    }
}

// The port is closed only here, after the poll thread has ended and under the
// library lock, so no thread is reading or writing it at that moment.
void CleanUpAfterDevice(unsigned long pollThread, bool pollThreadStarted, SupervisionEnd end)
{
    g_hPollingEvent.ResetEvent();
    if (pollThreadStarted)
        pthread_join(static_cast<pthread_t>(pollThread), nullptr);
    if (end == SupervisionEnd::DeviceLost) {
        // Nothing more comes from this device: no request to wait for, and
        // nothing to reset on it.
        CAutoCriticalSection lock(g_CriticalSection);
        g_bECGGoing = false;
        s_pumpReading = false;
    } else {
        for (int channel = 0; channel < 4; ++channel) {
            ORVOSetDCOffsetVariableMode(channel, false);
            ORVOSetDCOffset(channel, 0);
        }
    }
    {
        CAutoCriticalSection lock(g_CriticalSection);
        DeviceClose();
    }
    g_AutoMonitor.PauseMonitor();
    NotifyListener(false);
}

// One search attempt. The probe runs under the library lock: the candidate
// port already counts as open, and host calls must not talk to it in the
// middle of its identification.
bool SearchOnce()
{
    bool found = false;
    {
        CAutoCriticalSection lock(g_CriticalSection);
        found = FindDevice(g_nPortNumber.load()) != 0;
    }
    if (!found) {
        usleep(1000000);
        usleep(10000);
    }
    return found;
}

void* ConnectDeviceThread(void*)
{
    while (g_bStopConnectDeviceThread.load() == 0) {
        if (!SearchOnce())
            continue;
        g_bDeviceLost.store(false);
        PrepareDevice();
        NotifyListener(true);
        g_AutoMonitor.StartMonitor();
        g_hPollingEvent.SetEvent();
        unsigned long pollThread = 0;
        const bool pollThreadStarted = CreateThread(&pollThread, USBDataPollThread, nullptr);
        const SupervisionEnd end = Supervise();
        CleanUpAfterDevice(pollThread, pollThreadStarted, end);
    }
    return nullptr;
}

}  // namespace

bool DoInit(ConnectionCallback callback)
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_hReconnectEvent.ResetEvent();
    g_bStopConnectDeviceThread.store(0);
    g_Callback.store(callback);
    if (g_hConnectDeviceThread == 0)
        return CreateThread(&g_hConnectDeviceThread, ConnectDeviceThread, nullptr);
    return true;
}

void ConnectedHandler(bool connected)
{
    if (connected)
        g_hConnectedEvent.SetEvent();
}

void NotifyListener(bool connected)
{
    g_bConnected.store(connected ? 1 : 0);
    if (ConnectionCallback callback = g_Callback.load())
        callback(connected);
}

void ReconnectDevice()
{
    g_hReconnectEvent.SetEvent();
}

void ReportDeviceLost()
{
    g_bDeviceLost.store(true);
    ReconnectDevice();
}

void WinEventCb(unsigned int message, unsigned int, unsigned long)
{
    if (message == 537)
        g_hReconnectEvent.SetEvent();
}

void _OnDisconnected()
{
    RegisterNotifyEvent(537, nullptr);
    DeviceClose();
}

extern "C" {

ORVO_API bool ORVOInit(ConnectionCallback callback)
{
    g_nPortNumber.store(-1);
    return DoInit(callback);
}

ORVO_API bool ORVOConnect(int port, unsigned int timeout)
{
    g_nPortNumber.store(port);
    g_hConnectedEvent.ResetEvent();
    if (!DoInit(ConnectedHandler))
        return false;
    if (g_hConnectedEvent.WaitTimeout(timeout) == WAIT_SIGNALLED)
        return true;
    ORVOFree();
    return false;
}

ORVO_API void ORVOFree(void)
{
    ORVOSetOutputFunction(0);
    unsigned long thread = 0;
    {
        CAutoCriticalSection lock(g_CriticalSection);
        thread = g_hConnectDeviceThread;
    }
    if (thread == 0)
        return;
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_bStopConnectDeviceThread.store(1);
        g_Callback.store(nullptr);
        ReconnectDevice();
    }
    pthread_join(static_cast<pthread_t>(thread), nullptr);
    CAutoCriticalSection lock(g_CriticalSection);
    g_hConnectDeviceThread = 0;
}

ORVO_API bool ORVOIsConnected(void)
{
    return DeviceIsConnected();
}

ORVO_API bool ORVOIsPlaying(void)
{
    return g_bECGGoing;
}

}  // extern "C"
