// The change protocol: a parameter set by the host becomes effective at once
// (_Change) or at the end of the waveform period being played.
#include "engine/engine.h"
#include "engine/parameters.h"
#include "api/callbacks.h"
#include "api/globals.h"
#include "api/pump.h"
#include "device/output_stage.h"
#include "waveforms/loaded_recording.h"
#include "waveforms/standard_tables.h"

#include <cmath>

namespace {

bool s_changeInProcess = false;

double FrequencyCap(uint32_t function)
{
    switch (function) {
    case FUNC_PULSE:
    case FUNC_TRIANGLE_PULSE:
    case FUNC_EXP_DECAY:
        return 5.0;
    case FUNC_ECG_QRS_T:
    case FUNC_ECG_PQRST:
        return 6.0;
    default:
        return 500.0;
    }
}

void StopStreaming()
{
    g_bECGGoing = false;
    g_fOutputTime = 0.0;
    g_fOutputTimeGraph = 0.0;
    g_hStopPlayEvent.SetEvent();
    SetBaselineResetTest(0);
    s_FreqScanOn = false;
    s_FreqScanEndPending = false;
    g_FreqScan1 = false;
    g_FreqScan3 = false;
    g_RespirationEnabled = false;
    g_nDcDACValue = -1;
}

double TablePeriod(uint32_t function, double period)
{
    switch (function) {
    case FUNC_IEC227:
        if (g_nSpecialWaveform >= 0 && g_nSpecialWaveform < IEC227_WAVEFORM_COUNT)
            return IEC227WL[g_nSpecialWaveform];
        return period;
    case FUNC_IEC251:
    case FUNC_ANE20000:
        return 1.0;
    case FUNC_IEC247:
        return g_nSpecialWaveform == IEC247_PATTERN_4 ? 3600.0 : 60.0;
    case FUNC_FILE:
    case FUNC_FILE_WITH_DC:
        return ECGFileSize / ECGFileFreq;
    default:
        return period;
    }
}

void SetUpPacing()
{
    s_PulsesRequired = 0;
    s_PacDelayTP = 0.0;
    if (g_PA == 0.0)
        return;
    s_PulsesRequired = g_PacingPulse != 0 ? 2 : 1;
    s_OTC = g_PacingOvershootTC / 1000.0;
    s_ppc = 1000;
    s_PacingPulseRaised = false;
    if (g_pacingSynchronized && g_fTimePeriod >= 1.0 / 6.0 && g_fTimePeriod <= 6.0)
        s_pp = g_fTimePeriod;
    else
        s_pp = 60.0 / g_PacingRate;
    s_PacDelayTP = 0.01;
}

void StartStreaming()
{
    g_nSequenceCheck = 0;
    ResetPacingForNewPlayback();
    s_ChangeOnNextCycle = false;
    SetRelays(true);
    _SendNextPacket();
    // Only now may the poll thread read: the start's own exchange and first
    // batch are out, and the device's first request follows that batch.
    g_bECGGoing = true;
    s_pumpReading = true;
}

}  // namespace

void _Change()
{
    if (s_changeInProcess)
        return;
    s_changeInProcess = true;

    if (g_MainOutput == FUNC_OFF) {
        if (g_bECGGoing)
            StopStreaming();
    } else {
        if (g_MainOutput != FUNC_FILE_WITH_DC)
            g_bRawVariableDC = false;
        if (g_MainOutput == FUNC_BIPOLAR_EXP) {
            g_F = 1.0;
            g_PulseWidth = 50.0;
        }
        s_A = g_Amplitude / 2.0;
        const double cap = FrequencyCap(g_MainOutput);
        if (g_MainOutput == FUNC_ECG_QRS_T || g_MainOutput == FUNC_ECG_PQRST)
            s_A = std::fmax(-5.0, std::fmin(5.0, g_Amplitude));
        if (g_F > cap) {
            g_F = cap;
            NotifyFrequency(g_F);
        }
        g_fTimePeriod = 1.0 / g_F;
        s_MainsNoiseAmplitude = 0.5 * g_MainsNoiseAmp;
        g_fTimePeriod = TablePeriod(g_MainOutput, g_fTimePeriod);

        if (g_DynamicRangeTest && s_A + g_ADynamicRange / 2.0 > 5.0) {
            s_A = 5.0 - g_ADynamicRange / 2.0;
            g_Amplitude = std::floor(2.0 * s_A * 100.0 + 0.5) / 100.0;
        }
        s_PW = g_PulseWidth / 1000.0;
        _CheckECGTime();
        SetUpPacing();

        if (g_MainOutput == FUNC_DC_RANGE_SWEEP)
            ResetDcSweep();
        if (!g_bECGGoing)
            StartStreaming();
    }

    g_fVoltageRange = g_RangeV4Ch2Off;
    if (g_PA > 0.0)
        g_fVoltageRange = g_RangeV4Ch2On;
    if (g_bVariableDC)
        g_fVoltageRange = g_RangeV4Ch2On;
    s_changeInProcess = false;
}

void _ChangeRequested()
{
    if (g_bECGGoing && g_MainOutput != 0) {
        s_ChangeOnNextCycle = true;
        return;
    }
    _Change();
}

void _CheckIfChangeRequired(double tInPeriod)
{
    if (!s_ChangeOnNextCycle)
        return;
    // A period that is not a finite number (a file function with no file,
    // 0 / 0, or a recording without a rate) has no end to wait for: the change
    // is applied at once.
    if (!std::isfinite(g_fTimePeriod) || g_fTimePeriod - tInPeriod < 0.0004 || g_F < 0.15) {
        s_ChangeOnNextCycle = false;
        _Change();
        SetRelays(true);
    }
}

void _Baseline1V_CheckedChanged()
{
    if (g_BaseLineOverload != 0 && g_MainOutput == FUNC_SINE) {
        switch (g_BaseLineOverload) {
        case 1: g_F = 50.0; break;
        case 2: g_F = 60.0; break;
        case 3: g_F = 80.0; break;
        case 4: g_F = 100.0; break;
        default: break;
        }
        NotifyFrequency(g_F);
        g_fTimePeriod = 1.0 / g_F;
        g_Amplitude = 1000.0;
        _ChangeRequested();
    }
    if (g_BaseLineOverload == 0) {
        g_F = 1.0;
        g_Amplitude = 0.0;
        _ChangeRequested();
    }
}

// Nine entries (i = -4..4) of about 16.4 million each: the table is sized for
// nine and holds 32-bit values, so nothing is cut or written past its end.
uint32_t g_ECGDCVariableCalibrationData[9];

extern "C" ORVO_API void SetDefaultECGDCVariableCalibrationData(void)
{
    for (int i = -4; i <= 4; ++i)
        g_ECGDCVariableCalibrationData[i + 4] =
            static_cast<uint32_t>(0.5 + ((10000.0 + 3.0 * i) / 4.0) / 10.0 * 65535.0);
}
