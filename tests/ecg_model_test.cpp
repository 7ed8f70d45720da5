// The synthetic ECG functions 7 (QRS and T) and 8 (P, QRS, ST, T): segment
// timing, amplitudes, the fit into short beats, the amplitude clamp, the
// final clip and the ST deviation. Expected values are worked out by hand
// from the model (2 pi taken as 6.2831853).
#include "engine_fixture.h"
#include "sim_fixture.h"

#include "api/globals.h"
#include "engine/engine.h"
#include "engine/parameters.h"

#include <algorithm>
#include <vector>

namespace {

using orvo::test::ConnectedTest;
using orvo::test::EngineTest;

constexpr double kMv = 1e-6;  // mV tolerance of the engine-level checks

// Engine-level checks: no device, the parameter block set directly and
// applied with _Change, the evaluator called at chosen in-beat times.
class EcgModelTest : public EngineTest {};

struct Point {
    double t;   // s within the beat
    double mv;  // expected
};

void ExpectShape(const char* what, double (*voltageAt)(double, double), const std::vector<Point>& points)
{
    for (const Point& p : points)
        EXPECT_NEAR(voltageAt(p.t, 0.0), p.mv, kMv) << what << " at t = " << p.t;
}

TEST_F(EcgModelTest, QrsTAtDefaultsHasBaselineRSAndTWhereTheModelPutsThem)
{
    Select(FUNC_ECG_QRS_T);
    ExpectShape("function 7", VoltageAt,
                {
                    {0.0, 0.0},         {0.0099, 0.0},       // 10 ms of baseline
                    {0.02, 0.2},        {0.05375, 0.875},    // upstroke, R peak
                    {0.07875, 0.375},   {0.10375, -0.125},   // downstroke, S trough
                    {0.106875, -0.0625}, {0.11, 0.0},        // back to baseline
                    {0.15, 0.0},        {0.1799, 0.0},       // ST segment
                    {0.2, 0.0684040},   {0.27, 0.2},         // T wave, peak
                    {0.359, 0.0034905}, {0.361, 0.0},        // T ends at 360 ms
                    {0.7, 0.0},         {0.999, 0.0},
                });
}

TEST_F(EcgModelTest, PqrstAtDefaultsHasPQrsStAndTWhereTheModelPutsThem)
{
    Select(FUNC_ECG_PQRST);
    ExpectShape("function 8", VoltageAt,
                {
                    {0.0, 0.0},          {0.025, 0.1414214},  // P half sine
                    {0.05, 0.2},         {0.0999, 0.0006283}, // P peak and end
                    {0.13, 0.0},         {0.1599, 0.0},       // PR segment
                    {0.161, 0.02},       {0.18, 0.4},         // QRS onset at 160 ms
                    {0.20375, 0.875},    {0.25375, -0.125},   // R, S
                    {0.256875, -0.0625}, {0.26, 0.0},         // J point
                    {0.3, 0.0},          {0.3299, 0.0},       // ST to 330 ms
                    {0.35, 0.0684040},   {0.42, 0.2},         // T wave, peak
                    {0.509, 0.0034905},  {0.511, 0.0},        // T ends at 510 ms
                    {0.8, 0.0},
                });
}

TEST_F(EcgModelTest, ShortBeatsDropTheStSegmentThenTheTWaveOfQrsT)
{
    struct Case {
        double hz;
        double qrsMs;
        std::vector<Point> points;
    };
    const Case cases[] = {
        // 3 Hz: no room for 70 ms of ST, the 180 ms T wave starts right after QRS.
        {3.0, 100.0, {{0.05375, 0.875}, {0.10375, -0.125}, {0.15, 0.1285575}, {0.2, 0.2},
                      {0.289, 0.0034905}, {0.291, 0.0}}},
        // 3.7 Hz: 0.1 + 0.18 > 0.27 s but 0.1 + 0.16 fits: the T wave is cut
        // at 160 ms (sin 160 degrees) on its 0.36 s sine period.
        {3.7, 100.0, {{0.2, 0.2}, {0.269999, 0.0684073}, {0.2701, 0.0}}},
        // 6 Hz: neither ST nor T; the 100 ms QRS stays.
        {6.0, 100.0, {{0.05375, 0.875}, {0.10375, -0.125}, {0.11, 0.0}, {0.12, 0.0}, {0.16, 0.0}}},
        // 6 Hz with a 200 ms QRS: the QRS is shortened to the 1/6 s beat.
        {6.0, 200.0, {{0.0829167, 0.875}, {0.16625, -0.125}}},
    };
    for (const Case& c : cases) {
        {
            CAutoCriticalSection lock(g_CriticalSection);
            g_F = c.hz;
            g_QRSDuration = c.qrsMs;
        }
        Select(FUNC_ECG_QRS_T);
        for (const Point& p : c.points)
            EXPECT_NEAR(VoltageAt(p.t), p.mv, 1e-5) << c.hz << " Hz, QRS " << c.qrsMs << " ms, t = " << p.t;
    }
}

TEST_F(EcgModelTest, AmplitudeIsTheRToSSpanAndIsClampedToFiveMillivolts)
{
    struct Case {
        uint32_t function;
        double amplitude;
        double rTime, rMv, sTime, sMv;
    };
    const Case cases[] = {
        {FUNC_ECG_QRS_T, -1.0, 0.05375, -0.875, 0.10375, 0.125},  // inverted complex
        {FUNC_ECG_QRS_T, 8.0, 0.05375, 4.375, 0.10375, -0.625},   // played as 5 mV
        {FUNC_ECG_QRS_T, -8.0, 0.05375, -4.375, 0.10375, 0.625},
        {FUNC_ECG_PQRST, -1.0, 0.20375, -0.875, 0.25375, 0.125},
        {FUNC_ECG_PQRST, 8.0, 0.20375, 4.375, 0.25375, -0.625},
    };
    for (const Case& c : cases) {
        {
            CAutoCriticalSection lock(g_CriticalSection);
            g_Amplitude = c.amplitude;
        }
        Select(c.function);
        EXPECT_NEAR(VoltageAt(c.rTime), c.rMv, kMv) << "function " << c.function << ", " << c.amplitude << " mV";
        EXPECT_NEAR(VoltageAt(c.sTime), c.sMv, kMv) << "function " << c.function << ", " << c.amplitude << " mV";
    }
    // The T wave does not follow the amplitude.
    EXPECT_NEAR(VoltageAt(0.42), 0.2, kMv);
}

TEST_F(EcgModelTest, SumAboveFiveMillivoltsAfterTheOverlaysIsClipped)
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_Amplitude = 5.0;
        g_AAMIDriftTest = true;  // defaults: 4 mV p-p over 10 s, +2 mV at 2.5 s
    }
    Select(FUNC_ECG_QRS_T);
    EXPECT_NEAR(VoltageAt(0.05375, 2.5), 5.0, kMv);    // 4.375 + 2 clipped
    EXPECT_NEAR(VoltageAt(0.10375, 2.5), 1.375, kMv);  // -0.625 + 2
    EXPECT_NEAR(VoltageAt(0.05375, 7.5), 2.375, kMv);  // 4.375 - 2
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_Amplitude = -5.0;
    }
    Select(FUNC_ECG_PQRST);
    EXPECT_NEAR(VoltageAt(0.20375, 7.5), -5.0, kMv);  // -4.375 - 2 clipped
}

TEST_F(EcgModelTest, StDeviationLiftsJPointAndStAndTheTWaveStartsFromIt)
{
    struct Case {
        double stMv;
        double qtMs;
        std::vector<Point> points;
    };
    const Case cases[] = {
        {0.1, 350.0, {{0.256875, -0.0125}, {0.26, 0.1}, {0.3, 0.1}, {0.33, 0.1}, {0.375, 0.1707107},
                      {0.42, 0.2}, {0.465, 0.1414214}, {0.511, 0.0}}},
        {-0.2, 350.0, {{0.256875, -0.1625}, {0.26, -0.2}, {0.32, -0.2}}},
        // QT 450 ms: T wave 0.358..0.61 s; 90 ms before its end it drops from
        // the lifted curve onto the plain half sine.
        {0.1, 450.0, {{0.358, 0.1}, {0.5199, 0.1901509}, {0.5201, 0.1800855}}},
    };
    for (const Case& c : cases) {
        {
            CAutoCriticalSection lock(g_CriticalSection);
            g_CusST = c.stMv;
            g_QTInterval = c.qtMs;
        }
        Select(FUNC_ECG_PQRST);
        for (const Point& p : c.points)
            EXPECT_NEAR(VoltageAt(p.t), p.mv, kMv) << "ST " << c.stMv << " mV, QT " << c.qtMs << " ms, t = " << p.t;
    }
}

TEST_F(EcgModelTest, StSegmentAndTWaveShareQtMinusQrsByTheirWeights)
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_STSegment = 100.0;
        g_TDuration = 100.0;
    }
    Select(FUNC_ECG_PQRST);
    // 250 ms split 125 : 125 -> T wave from 385 ms to 510 ms, peak at 447.5 ms.
    EXPECT_NEAR(VoltageAt(0.384), 0.0, kMv);
    EXPECT_NEAR(VoltageAt(0.4475), 0.2, kMv);
    EXPECT_NEAR(VoltageAt(0.511), 0.0, kMv);
}

// End to end: the simulator records main codes = mV x 6400, truncated.
class EcgStreamTest : public ConnectedTest {};

size_t IndexOfMax(const std::vector<orvo::sim::PlayedSample>& s, size_t from, size_t to)
{
    return std::max_element(s.begin() + from, s.begin() + to,
                            [](const auto& a, const auto& b) { return a.main < b.main; }) -
           s.begin();
}

size_t IndexOfMin(const std::vector<orvo::sim::PlayedSample>& s, size_t from, size_t to)
{
    return std::min_element(s.begin() + from, s.begin() + to,
                            [](const auto& a, const auto& b) { return a.main < b.main; }) -
           s.begin();
}

TEST_F(EcgStreamTest, QrsTStreamsRPeakSTroughAndTWaveEveryBeat)
{
    const auto s = Play(FUNC_ECG_QRS_T, 80000);
    ASSERT_GE(s.size(), 80000u);
    for (size_t beat = 0; beat < 2; ++beat) {
        const size_t start = beat * 40000;
        const size_t r = IndexOfMax(s, start, start + 40000);
        EXPECT_NEAR(static_cast<double>(r - start), 2150.0, 1.0);  // 53.75 ms
        EXPECT_NEAR(s[r].main, 5600, 1);                            // 0.875 mV
        const size_t sTrough = IndexOfMin(s, start, start + 40000);
        EXPECT_NEAR(static_cast<double>(sTrough - start), 4150.0, 1.0);  // 103.75 ms
        EXPECT_NEAR(s[sTrough].main, -800, 1);
        EXPECT_NEAR(s[start + 10800].main, 1280, 1);  // T peak 0.2 mV at 270 ms
        EXPECT_EQ(s[start + 399].main, 0);            // baseline before 10 ms
        EXPECT_EQ(s[start + 20000].main, 0);
    }
    for (size_t i = 0; i < 80000; ++i)
        ASSERT_EQ(s[i].dc, 0x8000) << "sample " << i;  // no pacing, no DC offset
}

TEST_F(EcgStreamTest, PqrstStreamsPWaveAndRPeakAtTheirTimes)
{
    const auto s = Play(FUNC_ECG_PQRST, 40000);
    ASSERT_GE(s.size(), 40000u);
    EXPECT_NEAR(s[2000].main, 1280, 1);  // P peak 0.2 mV at 50 ms
    const size_t r = IndexOfMax(s, 0, 40000);
    EXPECT_NEAR(static_cast<double>(r), 8150.0, 1.0);  // 203.75 ms
    EXPECT_NEAR(s[r].main, 5600, 1);
    EXPECT_EQ(s[6000].main, 0);  // PR segment
    EXPECT_EQ(s[30000].main, 0);
}

}  // namespace
