// ORVOReset: every parameter back to its default, each through its public
// setter (so each step is skipped when no device is open).
#include "api/pump.h"
#include "api/setter_guard.h"
#include "device/output_stage.h"
#include "waveforms/loaded_recording.h"
#include "orvo.h"

namespace {

void ForEachChannel(void (*action)(int channel))
{
    for (int channel = 0; channel < 4; ++channel)
        action(channel);
}

}  // namespace

extern "C" ORVO_API void ORVOReset(void)
{
    {
        SetterGuard guard;
        if (guard.PumpReady())
            ResetHwStatus();
    }
    if (ORVOGetOutputFunction() != 0)
        ORVOSetOutputFunction(0);
    if (ORVOGetAmplitude() != 1.0)
        ORVOSetAmplitude(1.0);
    if (ORVOGetFrequency() != 1.0)
        ORVOSetFrequency(1.0);
    if (ORVOGetDCOffset() != 0)
        ForEachChannel([](int channel) { ORVOSetDCOffset(channel, 0); });
    if (ORVOGetDCOffsetVariableMode())
        ForEachChannel([](int channel) { ORVOSetDCOffsetVariableMode(channel, false); });
    if (GetDCOffsetCommonMode())
        SetDCOffsetCommonMode(false);
    if (ORVOGetPulseWidth() != 100.0)
        ORVOSetPulseWidth(100.0);
    ForEachChannel([](int channel) { ORVOSetInputImpedanceMode(channel, 0); });
    if (ORVOGetPacingPulseMode() != 0)
        ORVOSetPacingPulseMode(0);
    if (ORVOGetQRSDuration() != 100.0)
        ORVOSetQRSDuration(100.0);
    if (ORVOGetTWave() != 0.2)
        ORVOSetTWave(0.2);
    if (ORVOGetPacingAmplitude() != 0.0)
        ORVOSetPacingAmplitude(0.0);
    if (ORVOGetPacingDuration() != 2.0)
        ORVOSetPacingDuration(2.0);
    if (ORVOGetPacingRate() != 60)
        ORVOSetPacingRate(60);
    ORVOSetPacingRateSynchronized();
    if (ORVOGetOvershootTimeConstant() != 0)
        ORVOSetOvershootTimeConstant(0);
    if (GetECG2_27_NoiseAmp() != 0.1 || GetECG2_27_NoiseFreq() != 0)
        SetECG2_27_Noise(0, 0.1);
    if (GetECG2_27_AAMIDriftTest() || GetECG2_27_AAMIDriftTestAmp() != 4.0 || GetECG2_27_AAMIDriftTestFreq() != 0.1) {
        SetECG2_27_AAMIDriftTest(false);
        SetECG2_27_AAMIDriftTestAmp(4.0);
        SetECG2_27_AAMIDriftTestFreq(0.1);
    }
    if (ORVOGetDynamicRangeTest() || GetDynamicRangeTestAmp() != 1.0 || GetDynamicRangeTestFreq() != 40.0)
        ORVOSetDynamicRangeTest(false, true, 1.0, 40.0);
    if (ORVOGetFrequencyScan() || GetFreqScanSineStartFreq() != 0.67 || GetFreqScanSineStopFreq() != 150.0 ||
        GetFreqScanSineDuration() != 30)
        ORVOSetFrequencyScan(false, 30, 0.67, 150.0);
    if (ORVOGetPDuration() != 100.0)
        ORVOSetPDuration(100.0);
    if (ORVOGetPRInterval() != 160.0)
        ORVOSetPRInterval(160.0);
    if (ORVOGetQTInterval() != 350.0)
        ORVOSetQTInterval(350.0);
    if (ORVOGetPWave() != 0.2)
        ORVOSetPWave(0.2);
    if (ORVOGetSTDeviation() != 0.0)
        ORVOSetSTDeviation(0.0);
    SetAllOutputState(0);
    CAutoCriticalSection lock(g_CriticalSection);
    SetStandardWaveformLoop(true);
    g_bRawVariableDC = false;
}
