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

void Supervise()
{
    for (;;) {
        if (g_bStopConnectDeviceThread.load() != 0)
            return;
        g_hReconnectEvent.WaitTimeout(SUPERVISION_INTERVAL_MS);
        if (!DeviceIsAlive()) {
            DeviceClose();
            return;
        }
        if (!SupervisionPassSucceeds()) {
            DeviceClose();
            return;
        }
    }
}

void CleanUpAfterDevice(unsigned long pollThread, bool pollThreadStarted)
{
    g_hPollingEvent.ResetEvent();
    // The poll thread ends at its next turn; waiting for it means nothing of
    // the old connection touches the port, or the library's objects, later.
    if (pollThreadStarted)
        pthread_join(static_cast<pthread_t>(pollThread), nullptr);
    // A closed port has nothing to reset, and with output still marked as
    // running each setter would first wait 3 s for a request that cannot come.
    if (DeviceIsConnected()) {
        for (int channel = 0; channel < 4; ++channel) {
            ORVOSetDCOffsetVariableMode(channel, false);
            ORVOSetDCOffset(channel, 0);
        }
    }
    DeviceClose();
    g_AutoMonitor.PauseMonitor();
    NotifyListener(false);
}

void* ConnectDeviceThread(void*)
{
    while (g_bStopConnectDeviceThread.load() == 0) {
        if (!DeviceConnect(g_nPortNumber.load(), 1)) {
            usleep(10000);
            continue;
        }
        PrepareDevice();
        NotifyListener(true);
        g_AutoMonitor.StartMonitor();
        g_hPollingEvent.SetEvent();
        unsigned long pollThread = 0;
        const bool pollThreadStarted = CreateThread(&pollThread, USBDataPollThread, nullptr);
        Supervise();
        CleanUpAfterDevice(pollThread, pollThreadStarted);
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
