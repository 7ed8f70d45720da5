// The DC channel: pacemaker pulses (with droop and the overshoot added to the
// main channel) while pacing is on, otherwise the DC offset, the baseline-reset
// level or the DC sweep.
#include "engine/engine.h"
#include "engine/parameters.h"
#include "orvo.h"

#include <cmath>

int32_t s_PulsesRequired = 0;
double s_pp = 1.0;
int32_t s_ppc = 1000;
double s_OTC = 0.0;
bool s_PacingPulseRaised = false;
double s_PacDelayTP = 0.0;
bool s_PacingIndicationNeeded = false;

namespace {
constexpr double BASELINE_RESET_DC_MV = -500.0;
constexpr double PULSE_REARM_S = 0.01;
constexpr double PULSE_START_WINDOW_S = 0.000105;
constexpr double SECOND_PULSE_LEAD_MODE1_S = 0.15;
constexpr double SECOND_PULSE_LEAD_MODE2_S = 0.25;

bool s_pacingPulse0Triggered = false;
bool s_pacingPulse1Triggered = false;
bool s_pacingPulse2Triggered = false;
}  // namespace

// A new playback starts with no pulse pending: a latch left set by a pulse
// just before the last stop would swallow the first pulse of function 8,
// whose first pacing instant comes 130 ms into the playback.
void ResetPacingForNewPlayback()
{
    s_pacingPulse0Triggered = false;
    s_pacingPulse1Triggered = false;
    s_pacingPulse2Triggered = false;
    s_PacingIndicationNeeded = false;
}

void _CheckIfPacingPulseNeeded(double offset, bool& triggered)
{
    const double ta = g_fOutputTime + offset;
    const double k = std::trunc(ta / s_pp + 0.000001);
    const double tk = k * s_pp;
    if (triggered) {
        if (ta - tk > PULSE_REARM_S)
            triggered = false;
        return;
    }
    if (std::fabs(ta - tk) < PULSE_START_WINDOW_S) {
        s_ppc = 0;
        s_PacingIndicationNeeded = true;
        triggered = true;
    }
}

double _GetPacingV5(double& mainAdd)
{
    if (s_PulsesRequired < 1) {
        if (g_BaseLineOverload != 0)
            return BASELINE_RESET_DC_MV;
        if (g_MainOutput == FUNC_DC_RANGE_SWEEP)
            return DcSweepDcVoltage();
        return static_cast<double>(g_DCSetting);
    }

    const double offset = g_Pacing_leading - (g_MainOutput == FUNC_ECG_PQRST ? s_Cus_t2 : 0.01);
    _CheckIfPacingPulseNeeded(offset, s_pacingPulse0Triggered);
    if (g_PacingPulse == 1)
        _CheckIfPacingPulseNeeded(offset + SECOND_PULSE_LEAD_MODE1_S, s_pacingPulse1Triggered);
    else if (g_PacingPulse == 2)
        _CheckIfPacingPulseNeeded(offset + SECOND_PULSE_LEAD_MODE2_S, s_pacingPulse2Triggered);

    const int pulseSamples = static_cast<int>(0.5 + g_nSampleRate * g_PacingDuration / 1000.0);
    const double sign = g_PA > 0.0 ? -1.0 : 1.0;  // the overshoot opposes the pulse

    if (s_ppc < pulseSamples) {
        s_PacingPulseRaised = true;
        ++s_ppc;
        double droop = 0.0;
        if (s_OTC != 0.0 && s_ppc > 1)
            droop = (1.0 - std::exp(-static_cast<double>(s_ppc) / pulseSamples)) * std::fabs(g_POA) * sign;
        return g_PA + droop;
    }
    if (s_OTC == 0.0)
        return 0.0;
    if (s_PacingPulseRaised) {
        mainAdd += std::fabs(g_POA) * sign * std::exp((pulseSamples - s_ppc) / (s_OTC * g_nSampleRate));
        ++s_ppc;
    }
    return 0.0;
}
