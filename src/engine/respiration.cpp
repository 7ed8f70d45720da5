// Host-side respiration: the breath waveform that modulates the ECG functions
// (baseline wander, amplitude and heart rate) and the apnea seconds of every
// minute signalled to the device.
#include "engine/engine.h"
#include "engine/parameters.h"
#include "api/globals.h"
#include "api/setter_guard.h"
#include "device/link.h"
#include "device/output_stage.h"

#include <cmath>

double s_OneRespireS = 0.0;
double s_InhaleS = 0.0;
double s_ExhaleS = 0.0;
double s_OneApneaS = 0.0;
double s_BaselineModV = 0.0;
double s_AmpModV = 0.0;
double s_FreqModHz = 0.0;
double s_FreqModPreEndT = 0.0;
double s_FreqModEndT = 0.0;
bool g_ExternalRespireModule = false;

double _solveRespireVoltage(double tau)
{
    if (tau <= s_InhaleS)
        return std::sin(TWO_PI * tau / (2.0 * s_InhaleS));
    const double exhaleTime = tau - s_InhaleS;
    if (exhaleTime <= s_ExhaleS)
        return -std::sin(TWO_PI * exhaleTime / (2.0 * s_ExhaleS));
    return 0.0;
}

double _solveRespireV()
{
    const double t = g_fOutputTime;
    if (s_OneApneaS == 0.0)
        return _solveRespireVoltage(t - s_OneRespireS * std::trunc(t / s_OneRespireS));
    const double m = t - 60.0 * std::trunc(t / 60.0);
    if (m >= 60.0 - s_OneApneaS)
        return 0.0;
    return _solveRespireVoltage(m - s_OneRespireS * std::trunc(m / s_OneRespireS));
}

void EnableApneaByTime(int seconds)
{
    const bool want = (seconds % 60) > 60 - g_nRespirationApneaTime;
    if (want != g_bRespirationApneaEnabled) {
        g_bRespirationApneaEnabled = !g_bRespirationApneaEnabled;
        SetApnea(g_bRespirationApneaEnabled);
    }
}

extern "C" {

// Takes the library lock (the poll thread reads these values on every
// sample). A rate or ratio below 1 would divide by zero: refused with 0.
ORVO_API int SetRespireAlgorithmParam(int respRate, int ieRatio, int apneaSeconds, int baselinePercent,
                                      int amplitudePercent, int frequencyPercent)
{
    CAutoCriticalSection lock(g_CriticalSection);
    if (!DeviceIsConnected() || respRate < 1 || ieRatio < 1)
        return 0;
    s_OneRespireS = 60.0 / respRate;
    s_ExhaleS = s_OneRespireS * ieRatio / (ieRatio + 1.0);
    s_InhaleS = s_ExhaleS / ieRatio;
    s_OneApneaS = apneaSeconds < 0 ? 0.0 : apneaSeconds;
    s_BaselineModV = g_Amplitude * baselinePercent / 100.0;
    s_AmpModV = g_Amplitude * amplitudePercent / 100.0;
    if (frequencyPercent != 0) {
        s_FreqModHz = g_F * frequencyPercent / 100.0;
        s_FreqModPreEndT = g_fOutputTime;
        s_FreqModEndT = g_fOutputTime + g_fTimePeriod;
    } else {
        s_FreqModHz = 0.0;
    }
    return 1;
}

ORVO_API int EnableExternalRespireModule(bool on)
{
    SetterGuard guard;
    if (!guard.Ready())
        return 1;
    g_ExternalRespireModule = on;
    SetRelays(true);
    return 0;
}

}  // extern "C"
