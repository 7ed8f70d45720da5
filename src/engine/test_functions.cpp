// The periodic test signals: sine, triangle, square, pulses and exponentials.
#include "engine/engine.h"
#include "engine/parameters.h"
#include "orvo.h"

#include <cmath>

namespace {

constexpr double DECAY_TIME_CONSTANT_S = 0.05;
constexpr double DYNAMIC_RANGE_CLIP_MV = 5.0;

double Triangle(double t)
{
    const double period = g_fTimePeriod;
    const double k = 4.0 * s_A / period;
    if (t < period / 4.0)
        return k * t;
    if (t < 3.0 * period / 4.0)
        return 2.0 * s_A - k * t;
    return k * t - 4.0 * s_A;
}

double TrianglePulse(double t)
{
    const double d = s_PacDelayTP;
    const double k = 4.0 * s_A / s_PW;
    if (t < d)
        return 0.0;
    if (t < d + s_PW / 2.0)
        return (t - d) * k;
    if (t < d + s_PW)
        return 4.0 * s_A - (t - d) * k;
    return 0.0;
}

// The dynamic-range test adds its sine to the triangle and square and clips.
double WithDynamicRange(double v)
{
    if (!g_DynamicRangeTest)
        return v;
    v += DynamicRangeOverlay();
    return std::fmax(-DYNAMIC_RANGE_CLIP_MV, std::fmin(DYNAMIC_RANGE_CLIP_MV, v));
}

}  // namespace

double TestFunctionVoltage(uint32_t function, double t)
{
    switch (function) {
    case FUNC_SINE:
        return s_A * std::sin(TWO_PI * g_F * t);
    case FUNC_TRIANGLE:
        return WithDynamicRange(Triangle(t));
    case FUNC_SQUARE:
        return WithDynamicRange(t < g_fTimePeriod / 2.0 ? s_A : -s_A);
    case FUNC_PULSE:
        return t < s_PW ? 2.0 * s_A : 0.0;
    case FUNC_TRIANGLE_PULSE:
        return TrianglePulse(t);
    case FUNC_EXP_DECAY:
        return 2.0 * s_A * std::exp(-t / DECAY_TIME_CONSTANT_S);
    case FUNC_BIPOLAR_EXP:
        if (t < 0.5)
            return s_A * std::exp(-t / DECAY_TIME_CONSTANT_S);
        return -s_A * std::exp(-(t - 0.5) / DECAY_TIME_CONSTANT_S);
    default:
        return 0.0;
    }
}
