// The device monitor: a thread that, while a device is connected, checks every
// 1.2 s that its port is still listed, and closes it and wakes the connection
// manager when it is gone. Created paused at library load.
#pragma once

#include <map>
#include <string>

#include "platform/platform.h"

class CAutoMonitor {
public:
    explicit CAutoMonitor(const char* windowName);
    ~CAutoMonitor();
    CAutoMonitor(const CAutoMonitor&) = delete;
    CAutoMonitor& operator=(const CAutoMonitor&) = delete;

    void StartMonitor();
    void PauseMonitor();
    bool IsMonitored();

private:
    pthread_t m_thread;
    CManualResetEvent m_enable;
    bool m_threadStarted;

    static void* MonitorDeviceThread(void* self);
    void Run();
    bool DevicePresent();
};

extern CAutoMonitor g_AutoMonitor;

// Registry of notification callbacks; nothing in the library reads it.
using NotifyEventCallback = void (*)(unsigned int code, unsigned int wParam, unsigned long lParam);
extern std::map<unsigned int, NotifyEventCallback> g_mapNotifyEvent;
void RegisterNotifyEvent(unsigned int code, NotifyEventCallback callback);

// Holder of the working directory; nothing in the library reads it.
class CInstance {
public:
    std::string GetWorkingDirectory() const { return m_workingDirectory; }

private:
    std::string m_workingDirectory = "./";
};
extern CInstance g_Instance;
