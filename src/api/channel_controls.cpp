// Multi-channel and special-waveform controls, and the parameters of the test
// overlays. Every control that changes engine state or talks to the device
// takes the library lock, so none of them races the pump; those that talk to
// the device also wait for the pump's next request while output runs.
#include "api/callbacks.h"
#include "api/setter_guard.h"
#include "device/exchange.h"
#include "device/output_stage.h"
#include "device/protocol.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "orvo.h"

namespace {

constexpr int CHANNEL_STATE_COMMAND_SIZE = 6;
constexpr unsigned char CHANNEL_STATE = 0x0D;
constexpr int ANE20000_LAST_LEAD = 8;

// Reads the enable and lead masks, lets change compute the new pair, writes it.
template <typename Change>
bool ModifyChannelState(Change change)
{
    SetterGuard guard;
    if (!guard.PumpReady())
        return false;
    const unsigned char read[CHANNEL_STATE_COMMAND_SIZE] = {0xCC, 0x00, CHANNEL_STATE, 0x00, 0x00, 0x00};
    unsigned char reply[REPORT_SIZE];
    if (!Exchange(read, CHANNEL_STATE_COMMAND_SIZE, reply, REPORT_SIZE) || reply[3] != FLAG_SET)
        return false;
    unsigned char enableMask = reply[4];
    unsigned char leadMask = reply[5];
    change(enableMask, leadMask);
    const unsigned char write[CHANNEL_STATE_COMMAND_SIZE] = {0xCC, 0xFF, CHANNEL_STATE, 0x00, enableMask, leadMask};
    return Exchange(write, CHANNEL_STATE_COMMAND_SIZE, reply, REPORT_SIZE) && reply[3] == FLAG_SET;
}

int SetSpecialWaveform(int index)
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_nSpecialWaveform = index;
    _Change();
    return RESULT_OK;
}

void SetDriftPeriod(double frequencyHz)
{
    g_AAMIDriftTestWaveLen = 1.0 / frequencyHz;
    g_AAMIDriftTestWaveLenQuad = 0.25 / frequencyHz;
    g_AAMIDriftTestWaveLenQuad3 = 0.75 / frequencyHz;
}

void UpdateDriftSlope()
{
    g_AAMIDriftTestSlope = 2.0 * g_AAMIDriftTestAmp / g_AAMIDriftTestWaveLen;
}

}  // namespace

extern "C" {

ORVO_API int SetDCOffsetCommonMode(bool on)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    g_bCommonMode = on;
    SetRelays(true);
    return RESULT_OK;
}

ORVO_API bool GetDCOffsetCommonMode(void)
{
    return ReadLocked(g_bCommonMode);
}

ORVO_API int SetAllOutputState(unsigned int)
{
    SetterGuard guard;
    if (!guard.Ready())
        return RESULT_NOT_READY;
    SetRelays(true);
    return RESULT_OK;
}

ORVO_API bool SetSelectedChannelEnabled(unsigned char channels, bool enable)
{
    return ModifyChannelState([&](unsigned char& enableMask, unsigned char&) {
        enableMask = enable ? static_cast<unsigned char>(enableMask | channels)
                            : static_cast<unsigned char>(enableMask & ~channels);
    });
}

ORVO_API bool SetSelectedChannelLeads(unsigned char channels, OutputLead lead)
{
    return ModifyChannelState([&](unsigned char& enableMask, unsigned char& leadMask) {
        enableMask = channels;
        leadMask = lead != 0 ? static_cast<unsigned char>(leadMask | channels)
                             : static_cast<unsigned char>(leadMask & ~channels);
    });
}

// One index shared by the three standard-waveform selections; an index
// outside the playing table plays silence.
ORVO_API int SetSpecialWave227(int index) { return SetSpecialWaveform(index); }
ORVO_API int SetSpecialWave251(int index) { return SetSpecialWaveform(index); }
ORVO_API int SetSpecialWave247(int index) { return SetSpecialWaveform(index); }
ORVO_API int GetSpecialWave227(void) { return ReadLocked(g_nSpecialWaveform); }
ORVO_API int GetSpecialWave251(void) { return ReadLocked(g_nSpecialWaveform); }
ORVO_API int GetSpecialWave247(void) { return ReadLocked(g_nSpecialWaveform); }

ORVO_API int SetANE20000Lead(int lead)
{
    if (lead < 0 || lead > ANE20000_LAST_LEAD)
        return RESULT_NOT_READY;
    CAutoCriticalSection lock(g_CriticalSection);
    g_nANE20000ChannelNumber = lead;
    _Change();
    return RESULT_OK;
}

ORVO_API int GetANE20000Lead(void)
{
    return ReadLocked(g_nANE20000ChannelNumber);
}

ORVO_API int SetBaselineResetTest(int setting)
{
    static double currentAmp = 1.0;
    static double currentFreq = 1.0;
    CAutoCriticalSection lock(g_CriticalSection);
    if (!DeviceIsConnected())
        return RESULT_NOT_READY;
    if (setting != 0) {
        g_MainOutput = FUNC_SINE;
        if (g_BaseLineOverload == 0) {
            currentAmp = g_Amplitude;
            currentFreq = g_F;
        }
    } else if (g_BaseLineOverload != 0) {
        g_Amplitude = currentAmp;
        g_F = currentFreq;
    }
    const bool differs = static_cast<uint32_t>(setting) != g_BaseLineOverload;
    if (differs) {
        if (BaselineResetCallback callback = g_BaselineResetCB.load())
            callback(setting);
    }
    g_BaseLineOverload = static_cast<uint32_t>(setting);
    if (differs)
        _Baseline1V_CheckedChanged();
    return RESULT_OK;
}

ORVO_API int GetBaselineResetTest(void)
{
    return static_cast<int>(ReadLocked(g_BaseLineOverload));
}

ORVO_API int SetECG2_27_Noise(int type, double amplitudeMv)
{
    CAutoCriticalSection lock(g_CriticalSection);
    if (!DeviceIsConnected())
        return RESULT_NOT_READY;
    if (!InRange(amplitudeMv, 0.01, 5.0))
        return RESULT_RANGE;
    g_MainNoise = static_cast<uint32_t>(type);
    g_MainsNoiseAmp = amplitudeMv;
    _ChangeRequested();
    return RESULT_OK;
}

ORVO_API int GetECG2_27_NoiseFreq(void) { return static_cast<int>(ReadLocked(g_MainNoise)); }
ORVO_API double GetECG2_27_NoiseAmp(void) { return ReadLocked(g_MainsNoiseAmp); }

ORVO_API int SetECG2_27_AAMIDriftTest(bool on)
{
    CAutoCriticalSection lock(g_CriticalSection);
    if (!DeviceIsConnected())
        return RESULT_NOT_READY;
    g_AAMIDriftTest = on;
    _ChangeRequested();
    return RESULT_OK;
}

ORVO_API bool GetECG2_27_AAMIDriftTest(void) { return ReadLocked(g_AAMIDriftTest); }

ORVO_API int SetECG2_27_AAMIDriftTestAmp(double amplitudeMv)
{
    CAutoCriticalSection lock(g_CriticalSection);
    if (!DeviceIsConnected())
        return RESULT_NOT_READY;
    if (!InRange(amplitudeMv, 1.0, 8.0))
        return RESULT_RANGE;
    g_AAMIDriftTestAmp = amplitudeMv;
    UpdateDriftSlope();
    if (g_AAMIDriftTest)
        _ChangeRequested();
    return RESULT_OK;
}

ORVO_API double GetECG2_27_AAMIDriftTestAmp(void) { return ReadLocked(g_AAMIDriftTestAmp); }

ORVO_API int SetECG2_27_AAMIDriftTestFreq(double frequencyHz)
{
    CAutoCriticalSection lock(g_CriticalSection);
    if (!DeviceIsConnected())
        return RESULT_NOT_READY;
    if (!InRange(frequencyHz, 0.05, 2.0))
        return RESULT_RANGE;
    SetDriftPeriod(frequencyHz);
    UpdateDriftSlope();
    if (g_AAMIDriftTest)
        _ChangeRequested();
    return RESULT_OK;
}

ORVO_API double GetECG2_27_AAMIDriftTestFreq(void) { return 1.0 / ReadLocked(g_AAMIDriftTestWaveLen); }
ORVO_API double GetDynamicRangeTestAmp(void) { return ReadLocked(g_ADynamicRange); }
ORVO_API double GetDynamicRangeTestFreq(void) { return ReadLocked(g_FDynamicRange); }
ORVO_API double GetFreqScanSineStartFreq(void) { return ReadLocked(g_Fstart); }
ORVO_API double GetFreqScanSineStopFreq(void) { return ReadLocked(g_Ffinal); }
ORVO_API int GetFreqScanSineDuration(void) { return ReadLocked(g_Fduration); }

ORVO_API int SetFreqScanECG(bool on)
{
    CAutoCriticalSection lock(g_CriticalSection);
    if (!DeviceIsConnected())
        return RESULT_NOT_READY;
    if (on) {
        g_FreqScan3 = true;
        g_Fstart = 0.05;
        g_Ffinal = 0.5;
        s_FreqScanOn = true;
        s_FreqScanEndPending = false;
        g_F = 0.05;
        s_Fd = (0.5 - 0.05) / 30.0 / g_nSampleRate;
        g_MainOutput = FUNC_ECG_QRS_T;
        NotifyOutputFunction(FUNC_ECG_QRS_T);
    } else {
        g_MainOutput = FUNC_OFF;
        NotifyOutputFunction(FUNC_OFF);
    }
    _ChangeRequested();
    return RESULT_OK;
}

ORVO_API bool GetFreqScanECG(void)
{
    return ReadLocked(s_FreqScanOn);
}

}  // extern "C"
