// The dynamic-range test and the sine frequency scan.
#include "api/callbacks.h"
#include "api/setter_guard.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "orvo.h"

extern "C" {

ORVO_API int ORVOSetDynamicRangeTest(bool on, bool triangle, double amplitudeMv, double frequencyHz)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (!InRange(amplitudeMv, 0.0, 10.0))
        return RESULT_RANGE;
    if (!InRange(frequencyHz, 1.0, 60.0))
        return RESULT_CHECK_3;
    g_MainOutput = on ? (triangle ? FUNC_TRIANGLE : FUNC_SQUARE) : FUNC_OFF;
    g_DynamicRangeTest = on;
    g_ADynamicRange = amplitudeMv;
    g_FDynamicRange = frequencyHz;
    _ChangeRequested();
    return RESULT_OK;
}

ORVO_API bool ORVOGetDynamicRangeTest(void)
{
    return ReadLocked(g_DynamicRangeTest);
}

// The sine is selected first, always: also a rejected call and a call that
// switches the scan off start from the sine.
ORVO_API int ORVOSetFrequencyScan(bool on, int seconds, double startHz, double stopHz)
{
    SetterGuard guard;
    if (!guard.PumpReady())
        return RESULT_NOT_READY;
    ORVOSetOutputFunction(FUNC_SINE);
    if (!DeviceIsConnected())
        return RESULT_NOT_READY;
    if (!InRange(startHz, 0.67, 500.0))
        return RESULT_RANGE;
    if (!InRange(stopHz, 0.67, 500.0))
        return RESULT_CHECK_3;
    if (seconds < 10 || seconds > 180)
        return RESULT_CHECK_4;
    g_Fstart = startHz;
    g_Ffinal = stopHz;
    g_Fduration = seconds;
    if (on) {
        g_FreqScan1 = true;
        s_FreqScanOn = true;
        s_FreqScanEndPending = false;
        g_F = startHz;
        s_Fd = (stopHz - startHz) / seconds / g_nSampleRate;
        g_MainOutput = FUNC_SINE;
        NotifyOutputFunction(FUNC_SINE);
        _ChangeRequested();
    } else if (g_MainOutput != FUNC_OFF) {
        g_MainOutput = FUNC_OFF;
        NotifyOutputFunction(FUNC_OFF);
        _ChangeRequested();
    }
    return RESULT_OK;
}

ORVO_API bool ORVOGetFrequencyScan(void)
{
    return ReadLocked(g_FreqScan1);
}

}  // extern "C"
