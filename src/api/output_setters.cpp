// Selecting the output function and the per-channel output-stage settings.
#include "api/setter_guard.h"
#include "device/output_stage.h"
#include "device/standalone.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "orvo.h"

extern "C" {

ORVO_API int ORVOSetOutputFunction(int function)
{
    {
        SetterGuard guard;
        if (!guard.Ready())
            return RESULT_NOT_READY;
        g_nSampleRate = 40000;
        // A stop that no request consumed must not reach the next stream.
        g_hStopPlayEvent.ResetEvent();
        g_MainOutput = static_cast<uint32_t>(function);
        SetRelays(false);
        if (function == FUNC_BIPOLAR_EXP)
            _Change();
        else
            _ChangeRequested();
    }
    SleepEx(100);
    return RESULT_OK;
}

// Channels outside 0..3 would address bytes past the output-stage block:
// they are refused with -2.
ORVO_API int ORVOSetOutputLead(int channel, OutputLead lead)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (!IsValidChannel(channel))
        return RESULT_RANGE;
    SetRelays(true);
    return SetOutputLead(channel, lead) ? RESULT_OK : RESULT_RANGE;
}

ORVO_API int ORVOSetDCOffset(int channel, int offsetMv)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (offsetMv < -1000 || offsetMv > 1000 || !IsValidChannel(channel))
        return RESULT_RANGE;
    g_DCSetting = offsetMv;
    SetRelays(true);
    SetDcOffset(channel);
    return RESULT_OK;
}

ORVO_API int ORVOGetDCOffset(void)
{
    return ReadLocked(g_DCSetting);
}

ORVO_API int ORVOSetDCOffsetVariableMode(int channel, bool on)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (!IsValidChannel(channel))
        return RESULT_RANGE;
    g_bVariableDC = on;
    g_bTestVariableDC[channel] = on;
    SetRelays(true);
    SetDcOffset(channel);
    return RESULT_OK;
}

ORVO_API bool ORVOGetDCOffsetVariableMode(void)
{
    return ReadLocked(g_bVariableDC);
}

ORVO_API int ORVOSetInputImpedanceMode(int channel, int mode)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (mode < 0 || mode > 3 || !IsValidChannel(channel))
        return RESULT_RANGE;
    SetInputImpedanceMode(channel, mode);
    return RESULT_OK;
}

ORVO_API int ORVOGetInputImpedanceMode(int channel)
{
    SetterGuard guard;
    if (!guard.PumpReady())
        return RESULT_NOT_READY;
    if (!IsValidChannel(channel))
        return RESULT_RANGE;
    return GetInputImpedanceMode(channel);
}

ORVO_API int ORVOSetSignalGroundToGNDGround(int channel, bool on)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    if (!IsValidChannel(channel))
        return RESULT_RANGE;
    SetSignalGroundToGNDGround(channel, on);
    return RESULT_OK;
}

ORVO_API int ORVOGetSignalGroundToGNDGround(int channel)
{
    SetterGuard guard;
    if (!guard.Ready())
        return 1;
    if (!IsValidChannel(channel))
        return RESULT_RANGE;
    return GetSignalGroundToGNDGround(channel) ? 1 : 0;
}

// Standalone playback from the device's memory. The host uses it while
// streaming is off; should output run, it waits for the pump's request like
// the setters (-1 when none comes), so its exchanges never cut into the stream.
ORVO_API int ORVOOutputSignal(int outputFunction)
{
    SetterGuard guard;
    if (!guard.PumpReady())
        return -1;
    if (outputFunction == 0 || outputFunction > 8) {
        StopOutput();
        return 0;
    }
    if (!DeviceIsConnected())
        return -1;
    g_hStopPlayEvent.ResetEvent();
    g_MainOutput = static_cast<uint32_t>(outputFunction);
    g_fVoltageRange = 5.0;
    if (!WriteWaveformInfo())
        return 0;
    if (!WriteRawData())
        return 0;
    OutputSignal();
    return 0;
}

}  // extern "C"
