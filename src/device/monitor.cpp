#include "device/monitor.h"
#include "device/link.h"
#include "api/lifecycle.h"

#include <atomic>

namespace {
// Set at unload to end the monitor thread.
std::atomic<int> g_bStopMonitor{0};
constexpr int PRESENCE_ATTEMPTS = 3;
}  // namespace

CAutoMonitor::CAutoMonitor(const char*) : m_enable(false)
{
    m_threadStarted = pthread_create(&m_thread, nullptr, &CAutoMonitor::MonitorDeviceThread, this) == 0;
}

CAutoMonitor::~CAutoMonitor()
{
    g_bStopMonitor.store(1);
    m_enable.SetEvent();
    if (m_threadStarted)
        pthread_join(m_thread, nullptr);
}

void CAutoMonitor::StartMonitor()
{
    m_enable.SetEvent();
}

void CAutoMonitor::PauseMonitor()
{
    m_enable.ResetEvent();
}

bool CAutoMonitor::IsMonitored()
{
    return m_enable.WaitTimeout(0) == WAIT_SIGNALLED;
}

void* CAutoMonitor::MonitorDeviceThread(void* self)
{
    static_cast<CAutoMonitor*>(self)->Run();
    return nullptr;
}

// Up to three listings 500 ms apart; a stop request counts as absent. A pause
// means the connection ended meanwhile: its port is closed already, and a port
// opened since must not be closed on its account.
bool CAutoMonitor::DevicePresent()
{
    for (int attempt = 0; attempt < PRESENCE_ATTEMPTS; ++attempt) {
        if (g_bStopMonitor.load() != 0)
            return false;
        if (!IsMonitored() || DeviceIsAlive())
            return true;
        SleepEx(500);
    }
    return g_bStopMonitor.load() == 0 && !IsMonitored();
}

void CAutoMonitor::Run()
{
    while (g_bStopMonitor.load() == 0) {
        if (!IsMonitored()) {
            SleepEx(100);
            continue;
        }
        if (DevicePresent()) {
            SleepEx(1200);
            continue;
        }
        // The connection thread closes the port once the pump has stopped:
        // closing it here could pull it from under a read.
        ReportDeviceLost();
        SleepEx(100);
    }
}

void RegisterNotifyEvent(unsigned int code, NotifyEventCallback callback)
{
    g_mapNotifyEvent[code] = callback;
}
