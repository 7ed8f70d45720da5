// Setters of the waveform parameters that follow the common pattern: guard,
// range check, store, then apply at once (_Change) or at the period end.
#include "api/setter_guard.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "orvo.h"

namespace {

enum class Apply { AtOnce, AtPeriodEnd };

int SetValue(double value, double low, double high, double& target, Apply apply)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (!InRange(value, low, high))
        return RESULT_RANGE;
    target = value;
    if (apply == Apply::AtOnce)
        _Change();
    else
        _ChangeRequested();
    return RESULT_OK;
}

}  // namespace

extern "C" {

ORVO_API int ORVOSetAmplitude(double amplitudeMv)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (!InRange(amplitudeMv, -10.0, 10.0))
        return RESULT_RANGE;
    if (g_BaseLineOverload != 0)
        return RESULT_CHECK_3;
    g_Amplitude = amplitudeMv;
    _ChangeRequested();
    return RESULT_OK;
}

ORVO_API int ORVOSetFrequency(double frequencyHz)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (!InRange(frequencyHz, 0.017, 500.0))
        return RESULT_RANGE;
    if (frequencyHz > 5.0 && (g_MainOutput == FUNC_PULSE || g_MainOutput == FUNC_TRIANGLE_PULSE))
        return RESULT_RANGE;
    if (s_FreqScanOn)
        return RESULT_CHECK_3;
    if (g_BaseLineOverload != 0)
        return RESULT_CHECK_4;
    g_F = frequencyHz;
    _ChangeRequested();
    return RESULT_OK;
}

ORVO_API int ORVOSetPulseWidth(double widthMs)
{
    return SetValue(widthMs, 1.0, 300.0, g_PulseWidth, Apply::AtPeriodEnd);
}

ORVO_API int ORVOSetQRSDuration(double durationMs)
{
    return SetValue(durationMs, 5.0, 200.0, g_QRSDuration, Apply::AtOnce);
}

ORVO_API int ORVOSetTWave(double amplitudeMv)
{
    return SetValue(amplitudeMv, 0.0, 5.0, g_CusT, Apply::AtOnce);
}

ORVO_API int ORVOSetPDuration(double durationMs)
{
    return SetValue(durationMs, 50.0, 100.0, g_PDuration, Apply::AtOnce);
}

// A PR interval below 50 ms takes the P duration with it; a P duration below
// 50 ms (left by such a short PR interval) is raised back to 50 ms.
ORVO_API int ORVOSetPRInterval(double intervalMs)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (!InRange(intervalMs, 0.0, 200.0))
        return RESULT_RANGE;
    g_PRInterval = intervalMs;
    if (intervalMs < 50.0)
        g_PDuration = intervalMs;
    else if (g_PDuration < 50.0)
        g_PDuration = 50.0;
    _Change();
    return RESULT_OK;
}

ORVO_API int ORVOSetQTInterval(double intervalMs)
{
    return SetValue(intervalMs, 100.0, 900.0, g_QTInterval, Apply::AtOnce);
}

ORVO_API int ORVOSetPWave(double amplitudeMv)
{
    return SetValue(amplitudeMv, 0.0, 2.0, g_CusP, Apply::AtOnce);
}

ORVO_API int ORVOSetSTDeviation(double levelMv)
{
    return SetValue(levelMv, -2.0, 2.0, g_CusST, Apply::AtOnce);
}

ORVO_API int ORVOSetSTSegment(double durationMs)
{
    return SetValue(durationMs, 100.0, 900.0, g_STSegment, Apply::AtPeriodEnd);
}

ORVO_API int ORVOSetTDuration(double durationMs)
{
    return SetValue(durationMs, 100.0, 900.0, g_TDuration, Apply::AtPeriodEnd);
}

ORVO_API int ORVOSetPacingAmplitude(double amplitudeMv)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (!InRange(amplitudeMv, -700.0, 700.0))
        return RESULT_RANGE;
    g_PA = amplitudeMv;
    // Pacing pulses travel on the DC path of every channel.
    if (amplitudeMv != 0.0) {
        for (int channel = 0; channel < 4; ++channel)
            ORVOSetDCOffsetVariableMode(channel, true);
    }
    _ChangeRequested();
    return RESULT_OK;
}

ORVO_API int ORVOSetPacingDuration(double durationMs)
{
    return SetValue(durationMs, 0.1, 3.0, g_PacingDuration, Apply::AtPeriodEnd);
}

ORVO_API int ORVOSetPacingRate(unsigned int pulsesPerMinute)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (pulsesPerMinute < 10 || pulsesPerMinute > 360)
        return RESULT_RANGE;
    g_PacingRate = pulsesPerMinute;
    g_pacingSynchronized = false;
    _ChangeRequested();
    return RESULT_OK;
}

ORVO_API int ORVOSetPacingRateSynchronized(void)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (!InRange(60.0 * g_F, 10.0, 360.0))
        return RESULT_RANGE;
    g_pacingSynchronized = true;
    return RESULT_OK;
}

ORVO_API int ORVOSetPacingPulseMode(int mode)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    g_PacingPulse = static_cast<uint32_t>(mode);
    _ChangeRequested();
    return RESULT_OK;
}

ORVO_API int ORVOSetOvershootTimeConstant(unsigned int timeConstantMs)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (timeConstantMs > 100)
        return RESULT_RANGE;
    g_PacingOvershootTC = timeConstantMs;
    _ChangeRequested();
    return RESULT_OK;
}

ORVO_API int ORVOSetOvershootAmplitude(double amplitudeMv)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    const double magnitude = amplitudeMv < 0.0 ? -amplitudeMv : amplitudeMv;
    if (!InRange(magnitude, 0.0, 5.0))
        return RESULT_RANGE;
    g_POA = magnitude;
    _ChangeRequested();
    return RESULT_OK;
}

// Getters read under the library lock: the pump changes some of these values
// while it plays (the frequency during a scan, for one).
ORVO_API int ORVOGetOutputFunction(void) { return static_cast<int>(ReadLocked(g_MainOutput)); }
ORVO_API double ORVOGetAmplitude(void) { return ReadLocked(g_Amplitude); }
ORVO_API double ORVOGetFrequency(void) { return ReadLocked(g_F); }
ORVO_API double ORVOGetPulseWidth(void) { return ReadLocked(g_PulseWidth); }
ORVO_API double ORVOGetQRSDuration(void) { return ReadLocked(g_QRSDuration); }
ORVO_API double ORVOGetTWave(void) { return ReadLocked(g_CusT); }
ORVO_API double ORVOGetPDuration(void) { return ReadLocked(g_PDuration); }
ORVO_API double ORVOGetPRInterval(void) { return ReadLocked(g_PRInterval); }
ORVO_API double ORVOGetQTInterval(void) { return ReadLocked(g_QTInterval); }
ORVO_API double ORVOGetPWave(void) { return ReadLocked(g_CusP); }
ORVO_API double ORVOGetSTDeviation(void) { return ReadLocked(g_CusST); }
ORVO_API double ORVOGetSTSegment(void) { return ReadLocked(g_STSegment); }
ORVO_API double ORVOGetTDuration(void) { return ReadLocked(g_TDuration); }
ORVO_API double ORVOGetPacingAmplitude(void) { return ReadLocked(g_PA); }
ORVO_API double ORVOGetPacingDuration(void) { return ReadLocked(g_PacingDuration); }
ORVO_API unsigned int ORVOGetPacingRate(void) { return ReadLocked(g_PacingRate); }
ORVO_API int ORVOGetPacingPulseMode(void) { return static_cast<int>(ReadLocked(g_PacingPulse)); }
ORVO_API unsigned int ORVOGetOvershootTimeConstant(void) { return ReadLocked(g_PacingOvershootTC); }
ORVO_API double ORVOGetOvershootAmplitude(void) { return ReadLocked(g_POA); }

}  // extern "C"
