// Test overlays: mains noise, baseline drift, the dynamic-range sine, the
// +-300 mV DC sweep and the frequency scans.
#include "engine/engine.h"
#include "engine/parameters.h"
#include "api/callbacks.h"
#include "orvo.h"

#include <cmath>
#include <cstdlib>

double s_InputDynamicRangeDC = -300.0;
double s_InputDynamicRangeAC = 0.0;
bool s_FreqScanEndPending = false;

namespace {

constexpr double SWEEP_START_S = 20.0;
constexpr double SWEEP_TURN_S = 620.0;
constexpr double SWEEP_END_S = 1220.0;
constexpr double SWEEP_REST_MV = -300.0;
constexpr double SWEEP_STEP_MV = 0.5;
constexpr long SWEEP_STEP_TICKS = 5000;  // half a second in 0.1 ms
constexpr double SWEEP_REPORT_WINDOW_S = 0.0003;

long s_lastSweepStepTick = -1;  // the step already made for this tick

void ReportSweepOffset(int offset)
{
    if (SyncDCOffsetCallback callback = g_SyncDCOffsetCB.load())
        callback(offset);
}

}  // namespace

double MainsNoise()
{
    if (g_MainNoise == 0)
        return 0.0;
    if (g_MainNoise == 3)
        return s_MainsNoiseAmplitude * (2.0 * std::rand() / 2147483647.0 - 1.0);
    const double frequency = g_MainNoise == 1 ? 50.0 : 60.0;
    return s_MainsNoiseAmplitude * std::sin(TWO_PI * frequency * g_fOutputTime);
}

double DriftOffset()
{
    const double length = g_AAMIDriftTestWaveLen;
    const double u = g_fOutputTime - length * std::trunc(g_fOutputTime / length);
    const double slope = g_AAMIDriftTestSlope;
    if (u < g_AAMIDriftTestWaveLenQuad)
        return slope * u;
    if (u < g_AAMIDriftTestWaveLenQuad3)
        return g_AAMIDriftTestAmp - slope * u;
    return slope * u - 2.0 * g_AAMIDriftTestAmp;
}

double DynamicRangeOverlay()
{
    return g_ADynamicRange / 2.0 * std::sin(TWO_PI * g_FDynamicRange * g_fOutputTime);
}

void ResetDcSweep()
{
    s_InputDynamicRangeDC = SWEEP_REST_MV;
    s_InputDynamicRangeAC = 0.0;
    s_lastSweepStepTick = -1;
}

double DcSweepMainVoltage()
{
    const double t = g_fOutputTime;
    if (t < SWEEP_START_S || t >= SWEEP_END_S)
        return 0.0;
    s_InputDynamicRangeAC += (t <= SWEEP_TURN_S ? 1.0 : -1.0) / g_nSampleRate;
    return s_InputDynamicRangeAC;
}

double DcSweepDcVoltage()
{
    const double t = g_fOutputTime;
    if (t < SWEEP_START_S) {
        if (t < SWEEP_REPORT_WINDOW_S)
            ReportSweepOffset(static_cast<int>(SWEEP_REST_MV));
        return SWEEP_REST_MV;
    }
    if (t >= SWEEP_END_S) {
        if (t < SWEEP_END_S + SWEEP_REPORT_WINDOW_S)
            ReportSweepOffset(static_cast<int>(SWEEP_REST_MV));
        return SWEEP_REST_MV;
    }
    const long tick = static_cast<long>(t * 10000.0 + 0.5);
    if (tick % SWEEP_STEP_TICKS == 0 && tick != s_lastSweepStepTick) {
        s_lastSweepStepTick = tick;
        s_InputDynamicRangeDC += t <= SWEEP_TURN_S ? SWEEP_STEP_MV : -SWEEP_STEP_MV;
        s_InputDynamicRangeAC = 0.0;
        ReportSweepOffset(static_cast<int>(s_InputDynamicRangeDC));
    }
    return s_InputDynamicRangeDC;
}

void AdvanceFrequencyScan()
{
    const double cycles = g_fOutputTime / g_fTimePeriod;
    const double phase = cycles - std::trunc(cycles);
    g_F += s_Fd;
    g_fTimePeriod = 1.0 / g_F;
    g_fOutputTime = g_fTimePeriod * phase;
}

void _UpdateFreqScanIfRequired()
{
    if (!s_FreqScanOn || s_FreqScanEndPending)
        return;
    NotifyFrequency(g_F);
    const double rounded = std::floor(g_F * 100000.0 + 0.5) / 100000.0;
    if (rounded >= g_Ffinal || rounded <= g_Fstart) {
        NotifyFrequency(-1.0);
        s_FreqScanEndPending = true;
    }
}

void StopFinishedFrequencyScan()
{
    if (!s_FreqScanEndPending)
        return;
    s_FreqScanEndPending = false;
    if (g_FreqScan1)
        ORVOSetFrequencyScan(false, g_Fduration, g_Fstart, g_Ffinal);
    if (g_FreqScan3)
        SetFreqScanECG(false);
}
