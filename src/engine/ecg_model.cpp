// The synthetic ECG functions: QRS and T (function 7) and P-QRS-ST-T
// (function 8), built from straight-line QRS pieces and half-sine P and T
// waves.
#include "engine/engine.h"
#include "engine/parameters.h"
#include "orvo.h"

#include <cmath>

double s_t1, s_t2, s_t3, s_t4, s_t5;
double s_Cus_t1, s_Cus_t2, s_Cus_t3, s_Cus_t4, s_Cus_t5, s_Cus_t6, s_Cus_t7;

namespace {
constexpr double QRS_UP_SHARE = 0.4375;    // 7/16 of the QRS: rise to R
constexpr double QRS_DOWN_SHARE = 0.5;     // 8/16: fall to S
constexpr double QRS_RETURN_SHARE = 0.0625;  // 1/16: back to baseline
constexpr double R_SHARE = 0.875;          // R height, times the amplitude
constexpr double BASELINE_LEAD_S = 0.01;   // function 7 starts each beat flat
constexpr double ST_SEGMENT_S = 0.07;      // function 7
constexpr double T_WAVE_S = 0.18;          // function 7
constexpr double SHORT_T_WAVE_S = 0.16;
constexpr double T_SINE_PERIOD_S = 0.36;
}  // namespace

void _CheckECGTime()
{
    double q = g_QRSDuration / 1000.0;
    const double period = 1.0 / g_F;
    double st = ST_SEGMENT_S;
    double tw = T_WAVE_S;
    if (q + st + tw > period) {
        st = 0.0;
        if (q + tw > period) {
            tw = SHORT_T_WAVE_S;
            if (q + tw > period) {
                tw = 0.0;
                if (q > period)
                    q = period;
            }
        }
    }
    s_t1 = BASELINE_LEAD_S + QRS_UP_SHARE * q;
    s_t2 = s_t1 + QRS_DOWN_SHARE * q;
    s_t3 = s_t2 + QRS_RETURN_SHARE * q;
    s_t4 = s_t3 + st;
    s_t5 = s_t4 + tw;

    double stShare = g_STSegment;
    double tShare = g_TDuration;
    if (g_STSegment + g_TDuration != 0.0) {
        const double w = g_QTInterval / 1000.0 - q;
        stShare = g_STSegment * w / (g_STSegment + g_TDuration);
        tShare = g_TDuration * w / (g_STSegment + g_TDuration);
    }
    s_Cus_t1 = g_PDuration / 1000.0;
    s_Cus_t2 = s_Cus_t1 + (g_PRInterval - g_PDuration) / 1000.0;
    s_Cus_t3 = s_Cus_t2 + QRS_UP_SHARE * q;
    s_Cus_t4 = s_Cus_t3 + QRS_DOWN_SHARE * q;
    s_Cus_t5 = s_Cus_t4 + QRS_RETURN_SHARE * q;
    s_Cus_t6 = s_Cus_t5 + stShare;
    s_Cus_t7 = s_Cus_t6 + tShare;
}

double EcgQrsTVoltage(double t, double a)
{
    if (t < BASELINE_LEAD_S)
        return 0.0;
    if (t < s_t1)
        return R_SHARE * a * (t - BASELINE_LEAD_S) / (s_t1 - BASELINE_LEAD_S);
    if (t < s_t2)
        return (R_SHARE - (t - s_t1) / (s_t2 - s_t1)) * a;
    if (t < s_t3)
        return (0.125 * (t - s_t2) / (s_t3 - s_t2) - 0.125) * a;
    if (t < s_t4)
        return 0.0;
    if (t < s_t5)
        return g_CusT * std::sin(TWO_PI * (t - s_t4) / T_SINE_PERIOD_S);
    return 0.0;
}

double EcgPqrstVoltage(double t, double a)
{
    if (t < s_Cus_t1)
        return g_CusP * std::sin(TWO_PI * t / (0.002 * g_PDuration));
    if (t < s_Cus_t2)
        return 0.0;
    if (t < s_Cus_t3)
        return R_SHARE * a * (t - s_Cus_t2) / (s_Cus_t3 - s_Cus_t2);
    if (t < s_Cus_t4)
        return (R_SHARE - (t - s_Cus_t3) / (s_Cus_t4 - s_Cus_t3)) * a;
    if (t < s_Cus_t5)
        return (t - s_Cus_t4) * (a / 8.0 + g_CusST) / (s_Cus_t5 - s_Cus_t4) - a / 8.0;
    if (t < s_Cus_t6)
        return g_CusST;
    if (t < s_Cus_t7) {
        const double d = s_Cus_t7 - s_Cus_t6;
        const double wave = std::sin(TWO_PI * (t - s_Cus_t6) / (2.0 * d));
        if (g_CusST != 0.0 && t < s_Cus_t7 - 0.09)
            return g_CusST + (g_CusT - g_CusST) * wave;
        return g_CusT * wave;
    }
    return 0.0;
}

// Functions 7 and 8 with the respiration modulation, the mains noise, the
// drift and the final clip.
double EcgVoltage(double t)
{
    double respiration = 0.0;
    bool respirationKnown = false;
    if (s_FreqModHz != 0.0) {
        if (g_fOutputTime > s_FreqModEndT) {
            s_FreqModPreEndT = s_FreqModEndT;
            double r0 = 0.0;
            const double instant = s_FreqModEndT;
            if (s_OneApneaS == 0.0) {
                r0 = _solveRespireVoltage(instant - s_OneRespireS * std::trunc(instant / s_OneRespireS));
            } else {
                const double m = instant - 60.0 * std::trunc(instant / 60.0);
                if (m < 60.0 - s_OneApneaS)
                    r0 = _solveRespireVoltage(m - s_OneRespireS * std::trunc(m / s_OneRespireS));
            }
            s_FreqModEndT = s_FreqModEndT + 1.0 / (g_F + s_FreqModHz * r0);
        }
        t = g_fOutputTime - s_FreqModPreEndT;
        respiration = _solveRespireVoltage(t);
        respirationKnown = true;
    }

    double a = s_A;
    if (s_AmpModV != 0.0) {
        if (!respirationKnown) {
            respiration = _solveRespireV();
            respirationKnown = true;
        }
        if (respiration != 0.0)
            a = s_A + s_AmpModV * respiration;
    }

    double v = g_MainOutput == FUNC_ECG_QRS_T ? EcgQrsTVoltage(t, a) : EcgPqrstVoltage(t, a);

    if (s_BaselineModV != 0.0) {
        if (!respirationKnown)
            respiration = _solveRespireV();
        v += s_BaselineModV * respiration;
    }
    v += MainsNoise();
    if (g_AAMIDriftTest)
        v += DriftOffset();
    return std::fmax(-g_fVoltageRange, std::fmin(g_fVoltageRange, v));
}
