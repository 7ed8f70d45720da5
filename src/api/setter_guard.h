// The common start of every setter: take the library lock and, while output
// runs, wait (up to 3000 ms) for the device's next data request, so that the
// setter's device traffic falls between that request and the batch answering
// it. Then the device must be open.
#pragma once

#include "api/globals.h"
#include "device/link.h"
#include "engine/parameters.h"

constexpr unsigned int PUMP_WAIT_MS = 3000;

class SetterGuard {
public:
    SetterGuard() : m_lock(g_CriticalSection)
    {
        m_pumpReady = !g_bECGGoing || g_hProcessRequestEvent.WaitTimeout(PUMP_WAIT_MS) == WAIT_SIGNALLED;
    }
    // The pump became ready (or output is off).
    bool PumpReady() const { return m_pumpReady; }
    // The pump became ready and a device is open.
    bool Ready() const { return m_pumpReady && DeviceIsConnected(); }

private:
    CAutoCriticalSection m_lock;
    bool m_pumpReady;
};

constexpr int RESULT_OK = 0;
constexpr int RESULT_NOT_READY = -1;  // no device, or the pump did not become ready
constexpr int RESULT_RANGE = -2;
constexpr int RESULT_CHECK_3 = -3;
constexpr int RESULT_CHECK_4 = -4;

inline bool InRange(double value, double low, double high)
{
    return value >= low && value <= high;
}

// Reads one value under the library lock.
template <typename T>
T ReadLocked(const T& value)
{
    CAutoCriticalSection lock(g_CriticalSection);
    return value;
}
