// Test overlays: mains noise, baseline drift, the dynamic-range test, the
// +-300 mV DC sweep, the sine and ECG frequency scans and the baseline-reset
// overload. Expected values are worked out by hand from the overlay
// definitions (2 pi taken as 6.2831853).
#include "engine_fixture.h"
#include "sim_fixture.h"

#include "api/globals.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "waveforms/standard_tables.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

namespace {

using orvo::sim::EventKind;
using orvo::sim::LogEntry;
using orvo::sim::PlayedSample;
using orvo::test::ConnectedTest;
using orvo::test::EngineTest;
using orvo::test::IsOutputStageWrite;

constexpr double kMv = 1e-6;

// Engine-level checks without a device: parameters set directly, applied
// with _Change, the evaluator called at chosen in-period and playback times.
class OverlayTest : public EngineTest {};

TEST_F(OverlayTest, MainsNoiseIsASineOfHalfTheAmplitudeAtFiftyOrSixtyHertz)
{
    struct Case {
        uint32_t mode;
        uint32_t function;
        double t, outputTime, mv;
    };
    // In-beat times where the ECG itself is 0 mV.
    const Case cases[] = {
        {1, FUNC_ECG_QRS_T, 0.5, 0.005, 0.05},       // 50 Hz, quarter period
        {1, FUNC_ECG_QRS_T, 0.5, 0.015, -0.05},
        {1, FUNC_ECG_QRS_T, 0.5, 0.01, 0.0},
        {1, FUNC_ECG_PQRST, 0.8, 0.005, 0.05},
        {2, FUNC_ECG_QRS_T, 0.5, 1.0 / 240.0, 0.05},  // 60 Hz
        {2, FUNC_ECG_QRS_T, 0.5, 0.005, 0.0475528},
        {7, FUNC_ECG_PQRST, 0.8, 1.0 / 240.0, 0.05},  // any other mode: 60 Hz
        {0, FUNC_ECG_QRS_T, 0.5, 0.005, 0.0},
        {1, FUNC_SINE, 0.0, 0.005, 0.0},              // the sine gets no noise
        {1, FUNC_SQUARE, 0.0, 0.005, 0.5},
    };
    for (const Case& c : cases) {
        {
            CAutoCriticalSection lock(g_CriticalSection);
            g_MainNoise = c.mode;
        }
        Select(c.function);
        EXPECT_NEAR(VoltageAt(c.t, c.outputTime), c.mv, kMv)
            << "mode " << c.mode << ", function " << c.function << " at " << c.outputTime << " s";
    }
}

TEST_F(OverlayTest, MainsNoiseRidesOnTheAne20000Table)
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_nANE20000ChannelNumber = 1;
        g_MainNoise = 1;
    }
    Select(FUNC_ANE20000);
    EXPECT_NEAR(VoltageAt(0.25, 0.005), ANE20000[1000 + 250] / 1000.0 + 0.05, kMv);
}

TEST_F(OverlayTest, MainsNoiseAmplitudeTakesEffectAtTheNextChange)
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_MainNoise = 1;
    }
    Select(FUNC_ECG_QRS_T);
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_MainsNoiseAmp = 0.4;
    }
    EXPECT_NEAR(VoltageAt(0.5, 0.005), 0.05, kMv);
    Select(FUNC_ECG_QRS_T);
    EXPECT_NEAR(VoltageAt(0.5, 0.005), 0.2, kMv);
}

TEST_F(OverlayTest, RandomMainsNoiseStaysWithinHalfTheAmplitude)
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_MainNoise = 3;
    }
    Select(FUNC_ECG_QRS_T);
    double low = 1.0, high = -1.0;
    for (int i = 0; i < 20000; ++i) {
        const double v = VoltageAt(0.5, i / 40000.0);
        ASSERT_GE(v, -0.05);
        ASSERT_LE(v, 0.05);
        low = std::min(low, v);
        high = std::max(high, v);
    }
    EXPECT_LT(low, -0.045);
    EXPECT_GT(high, 0.045);
}

TEST_F(OverlayTest, DriftIsATriangleOfTheGivenPeriodAndTheEcgIsClippedOnIt)
{
    struct Case {
        uint32_t function;
        double amplitudeMv;
        double t, outputTime, mv;
    };
    const Case cases[] = {
        // Defaults: 4 mV peak to peak over 10 s, slope 0.8 mV/s.
        {FUNC_ECG_QRS_T, 1.0, 0.5, 0.0, 0.0},    {FUNC_ECG_QRS_T, 1.0, 0.5, 1.0, 0.8},
        {FUNC_ECG_QRS_T, 1.0, 0.5, 2.5, 2.0},    {FUNC_ECG_QRS_T, 1.0, 0.5, 5.0, 0.0},
        {FUNC_ECG_QRS_T, 1.0, 0.5, 7.5, -2.0},   {FUNC_ECG_QRS_T, 1.0, 0.5, 8.75, -1.0},
        {FUNC_ECG_QRS_T, 1.0, 0.5, 10.0, 0.0},   {FUNC_ECG_QRS_T, 1.0, 0.5, 12.5, 2.0},
        {FUNC_ECG_PQRST, 1.0, 0.8, 7.5, -2.0},
        {FUNC_ECG_QRS_T, 1.0, 0.05375, 2.5, 2.875},   // R peak on the drift
        {FUNC_ECG_QRS_T, 5.0, 0.05375, 2.5, 5.0},     // 4.375 + 2 clipped
        {FUNC_ECG_QRS_T, -5.0, 0.05375, 7.5, -5.0},   // -4.375 - 2 clipped
        {FUNC_SQUARE, 2.0, 0.1, 2.5, 1.0},            // other functions: no drift
    };
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_AAMIDriftTest = true;
    }
    for (const Case& c : cases) {
        {
            CAutoCriticalSection lock(g_CriticalSection);
            g_Amplitude = c.amplitudeMv;
        }
        Select(c.function);
        EXPECT_NEAR(VoltageAt(c.t, c.outputTime), c.mv, kMv)
            << "function " << c.function << ", " << c.amplitudeMv << " mV at " << c.outputTime << " s";
    }
}

TEST_F(OverlayTest, DriftFollowsTheDerivedPeriodAndSlope)
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_AAMIDriftTest = true;
        g_AAMIDriftTestWaveLen = 2.0;  // 0.5 Hz
        g_AAMIDriftTestWaveLenQuad = 0.5;
        g_AAMIDriftTestWaveLenQuad3 = 1.5;
        g_AAMIDriftTestSlope = 4.0;
    }
    Select(FUNC_ECG_QRS_T);
    EXPECT_NEAR(VoltageAt(0.5, 0.25), 1.0, kMv);
    EXPECT_NEAR(VoltageAt(0.5, 0.5), 2.0, kMv);
    EXPECT_NEAR(VoltageAt(0.5, 1.0), 0.0, kMv);
    EXPECT_NEAR(VoltageAt(0.5, 1.5), -2.0, kMv);
    EXPECT_NEAR(VoltageAt(0.5, 2.5), 2.0, kMv);
}

TEST_F(OverlayTest, DynamicRangeTestLowersTheAmplitudeSoTheSumStaysWithinFiveMillivolts)
{
    struct Case {
        double amplitudeMv, testMv, resultMv;
    };
    const Case cases[] = {
        {9.0, 1.0, 9.0},  // 4.5 + 0.5 is not above 5
        {9.5, 1.0, 9.0},
        {9.99, 1.0, 9.0},
        {10.0, 2.0, 8.0},
        {8.0, 1.0, 8.0},
        {10.0, 0.333, 9.67},  // rounded to 0.01 mV
        {10.0, 0.0, 10.0},
    };
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_DynamicRangeTest = true;
    }
    for (const Case& c : cases) {
        {
            CAutoCriticalSection lock(g_CriticalSection);
            g_Amplitude = c.amplitudeMv;
            g_ADynamicRange = c.testMv;
        }
        Select(FUNC_SQUARE);
        CAutoCriticalSection lock(g_CriticalSection);
        EXPECT_NEAR(g_Amplitude, c.resultMv, 1e-12) << c.amplitudeMv << " mV with a " << c.testMv << " mV test";
    }
}

TEST_F(OverlayTest, DynamicRangeSineIsAddedToSquareAndTriangleAndClipped)
{
    struct Case {
        uint32_t function;
        double amplitudeMv;
        double t, outputTime, mv;
    };
    // 1 mV at 40 Hz: +0.5 mV at 6.25 ms, -0.5 mV at 18.75 ms.
    const Case cases[] = {
        {FUNC_SQUARE, 2.0, 0.1, 0.00625, 1.5},     {FUNC_SQUARE, 2.0, 0.1, 0.01875, 0.5},
        {FUNC_SQUARE, 2.0, 0.6, 0.00625, -0.5},    {FUNC_SQUARE, 2.0, 0.6, 0.01875, -1.5},
        {FUNC_TRIANGLE, 2.0, 0.25, 0.00625, 1.5},  {FUNC_TRIANGLE, 2.0, 0.5, 0.01875, -0.5},
        // -9.5 mV is not lowered; the sum is clipped at +-5 mV.
        {FUNC_SQUARE, -9.5, 0.1, 0.01875, -5.0},   {FUNC_SQUARE, -9.5, 0.6, 0.00625, 5.0},
        {FUNC_SQUARE, -9.5, 0.1, 0.00625, -4.25},
    };
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_DynamicRangeTest = true;
    }
    for (const Case& c : cases) {
        {
            CAutoCriticalSection lock(g_CriticalSection);
            g_Amplitude = c.amplitudeMv;
        }
        Select(c.function);
        EXPECT_NEAR(VoltageAt(c.t, c.outputTime), c.mv, kMv)
            << "function " << c.function << ", " << c.amplitudeMv << " mV, t = " << c.t << " at " << c.outputTime;
    }
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_DynamicRangeTest = false;
        g_Amplitude = 2.0;
    }
    Select(FUNC_SQUARE);
    EXPECT_NEAR(VoltageAt(0.1, 0.00625), 1.0, kMv);
}

// ---- end to end --------------------------------------------------------------

std::mutex g_callbackMutex;
std::vector<double> g_frequencies;
std::vector<int> g_functions;
std::vector<int> g_baselineStates;

struct SweepCall {
    double time;  // playback time of the sample that made the call
    int offset;
};
std::vector<SweepCall> g_sweepCalls;
std::atomic<orvo::sim::Simulator*> g_pauseAt330s{nullptr};

void RecordFrequency(double hz)
{
    std::lock_guard<std::mutex> lock(g_callbackMutex);
    g_frequencies.push_back(hz);
}

void RecordFunction(int function)
{
    std::lock_guard<std::mutex> lock(g_callbackMutex);
    g_functions.push_back(function);
}

void RecordBaselineState(int state)
{
    std::lock_guard<std::mutex> lock(g_callbackMutex);
    g_baselineStates.push_back(state);
}

// Called by the pump with the library lock held, before the sample's time
// advances: g_fOutputTime is the time of the sample that made the call.
void RecordSweepOffset(int offset)
{
    const double now = g_fOutputTime;
    {
        std::lock_guard<std::mutex> lock(g_callbackMutex);
        g_sweepCalls.push_back({now, offset});
    }
    if (now >= 330.0) {
        if (orvo::sim::Simulator* sim = g_pauseAt330s.exchange(nullptr))
            sim->setRequestsPaused(true);
    }
}

template <typename T>
std::vector<T> Copy(const std::vector<T>& v)
{
    std::lock_guard<std::mutex> lock(g_callbackMutex);
    return v;
}

// Polls pred on this thread every 2 ms until it holds or timeoutMs passed.
template <typename Pred>
bool Eventually(Pred pred, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 2) {
        if (pred())
            return true;
        SleepEx(2);
    }
    return pred();
}

class OverlayStreamTest : public ConnectedTest {
protected:
    void SetUp() override
    {
        ConnectedTest::SetUp();
        {
            std::lock_guard<std::mutex> lock(g_callbackMutex);
            g_frequencies.clear();
            g_functions.clear();
            g_baselineStates.clear();
            g_sweepCalls.clear();
        }
        ASSERT_EQ(ORVOSetDynamicRangeTest(false, true, 1.0, 40.0), 0);
        ASSERT_EQ(ORVOSetAmplitude(1.0), 0);
        ASSERT_EQ(ORVOSetFrequency(1.0), 0);
    }
    void TearDown() override
    {
        ORVORegisterFrequencyCallback(nullptr);
        ORVORegisterOutputFunctionCallback(nullptr);
        RegisterBaselineResetCB(nullptr);
        RegisterSyncDCOffsetCB(nullptr);
        g_pauseAt330s = nullptr;
        ConnectedTest::TearDown();
    }

    // After a scan ended by itself: the output is off, the device was told
    // (output-stage write-back with mode 0x08) and no batch followed.
    void ExpectStoppedAndDeviceTold()
    {
        ASSERT_TRUE(Eventually([] { return !ORVOIsPlaying(); }, 5000));
        EXPECT_EQ(ORVOGetOutputFunction(), FUNC_OFF);
        EXPECT_FALSE(GetFreqScanECG());
        EXPECT_FALSE(ORVOGetFrequencyScan());
        ASSERT_TRUE(Eventually([this] { return sim().outputStage()[2] == 0x08; }, 5000));
        const uint64_t batches = sim().counters().batches;
        SleepEx(200);
        EXPECT_EQ(sim().counters().batches, batches) << "a batch was sent after the stop";

        const auto log = sim().log();
        size_t firstBatch = 0;
        while (firstBatch < log.size() && log[firstBatch].kind != EventKind::Batch)
            ++firstBatch;
        size_t stopWrite = log.size();
        for (size_t i = firstBatch; i < log.size(); ++i) {
            if (IsOutputStageWrite(log[i]) && log[i].bytes[2] == 0x08) {
                stopWrite = i;
                break;
            }
        }
        ASSERT_LT(stopWrite, log.size()) << "the device was never told that nothing plays";
        for (size_t i = stopWrite; i < log.size(); ++i)
            EXPECT_NE(log[i].kind, EventKind::Batch) << "log entry " << i;
    }

    // Frequencies reported once per batch: rising by 700 x perSample, from
    // first to the first value at or above stop, then -1.0 once.
    void ExpectScanReports(double first, double perSample, double stop)
    {
        const std::vector<double> reported = Copy(g_frequencies);
        ASSERT_GE(reported.size(), 3u);
        EXPECT_EQ(reported.back(), -1.0);
        EXPECT_EQ(std::count(reported.begin(), reported.end(), -1.0), 1);
        const std::vector<double> rising(reported.begin(), reported.end() - 1);
        EXPECT_NEAR(rising.front(), first, 1e-9);
        for (size_t i = 1; i < rising.size(); ++i)
            ASSERT_NEAR(rising[i] - rising[i - 1], 700 * perSample, 1e-9) << "report " << i;
        EXPECT_GE(rising.back(), stop - 0.000005);
        EXPECT_LT(rising[rising.size() - 2], stop - 0.000005);
        const double batches = (stop - first) / (700 * perSample) + 1;
        EXPECT_NEAR(static_cast<double>(rising.size()), batches, 1.0);
    }
};

TEST_F(OverlayStreamTest, DynamicRangeTestPlaysTheSquareWithTheSineOnTop)
{
    ASSERT_EQ(ORVOSetAmplitude(2.0), 0);
    ASSERT_EQ(ORVOSetDynamicRangeTest(true, false, 1.0, 40.0), 0);
    EXPECT_EQ(ORVOGetOutputFunction(), FUNC_SQUARE);
    WaitForSamples(40000);

    // Switching the test off selects no function: the output stops.
    ASSERT_EQ(ORVOSetDynamicRangeTest(false, false, 1.0, 40.0), 0);
    EXPECT_FALSE(ORVOIsPlaying());
    EXPECT_EQ(ORVOGetOutputFunction(), FUNC_OFF);

    const auto s = sim().samples();
    ASSERT_EQ(s.size(), sim().sampleCount());
    EXPECT_NEAR(s[250].main, 9600, 1);     // +1 + 0.5 mV
    EXPECT_NEAR(s[750].main, 3200, 1);     // +1 - 0.5 mV
    EXPECT_NEAR(s[20250].main, -3200, 1);  // -1 + 0.5 mV
}

TEST_F(OverlayStreamTest, DynamicRangeTestLowersTheUserAmplitude)
{
    ASSERT_EQ(ORVOSetAmplitude(9.5), 0);
    ASSERT_EQ(ORVOSetDynamicRangeTest(true, true, 1.0, 40.0), 0);
    EXPECT_EQ(ORVOGetOutputFunction(), FUNC_TRIANGLE);
    EXPECT_EQ(ORVOGetAmplitude(), 9.0);
}

TEST_F(OverlayStreamTest, DcSweepClimbsAndFallsOverItsWholeTwentyMinutes)
{
    RegisterSyncDCOffsetCB(RecordSweepOffset);
    g_pauseAt330s = &sim();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_DC_RANGE_SWEEP), 0);

    // Paused at 330 s: the last ~105 s of samples are still in the recorder.
    ASSERT_TRUE(Eventually([] { return g_pauseAt330s.load() == nullptr; }, 120000));
    // The batch answering the last request may still be arriving.
    std::vector<PlayedSample> s;
    uint64_t total = 0;
    do {
        SleepEx(50);
        total = sim().counters().samples;
        s = sim().samples();
    } while (sim().counters().samples != total);
    ASSERT_GT(total, 12900000u);
    const uint64_t first = total - s.size();  // absolute index of s[0]; index / 40000 = time
    ASSERT_LT(first, 12700000u);
    for (uint64_t n = 12700000; n < 12900000; n += 97) {
        if ((n + 2) % 20000 < 4)
            continue;  // a step sample: its main value is computed before the DC step
        const PlayedSample& p = s[n - first];
        const double sum = orvo::sim::dcCodeToMillivolts(p.dc) + orvo::sim::mainCodeToMillivolts(p.main);
        // DC steps of 0.5 mV completed by the fine ramp: 1 mV/s through 0 near 319.5 s.
        ASSERT_NEAR(sum, n / 40000.0 - 319.5, 0.05) << "sample " << n;
    }
    EXPECT_EQ(s[12800000 - first].dc, 32784);  // +0.5 mV at 320 s
    EXPECT_LT(std::abs(s[12800000 - first].main), 2);
    sim().setRequestsPaused(false);

    ASSERT_TRUE(Eventually(
        [] {
            CAutoCriticalSection lock(g_CriticalSection);
            return g_fOutputTime >= 1220.01;
        },
        240000))
        << "the sweep did not reach 1220 s";
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_OFF), 0);

    const std::vector<SweepCall> calls = Copy(g_sweepCalls);
    std::vector<SweepCall> before, during, after;
    for (const SweepCall& c : calls)
        (c.time < 20.0 ? before : c.time < 1220.0 ? during : after).push_back(c);

    // -300 on every sample of the first 0.3 ms and of the first 0.3 ms after the end.
    EXPECT_GE(before.size(), 11u);
    EXPECT_LE(before.size(), 13u);
    for (const SweepCall& c : before) {
        EXPECT_EQ(c.offset, -300);
        EXPECT_LT(c.time, 0.0003 + 1e-9);
    }
    EXPECT_GE(after.size(), 11u);
    EXPECT_LE(after.size(), 13u);
    for (const SweepCall& c : after) {
        EXPECT_EQ(c.offset, -300);
        EXPECT_LT(c.time, 1220.0003 + 1e-6);
    }

    // Twice a second: 1201 steps up (20 s .. 620 s), 1200 down to 1220 s.
    ASSERT_EQ(during.size(), 2401u);
    for (size_t k = 0; k < during.size(); ++k) {
        const double dc = k < 1201 ? -300.0 + 0.5 * (k + 1) : 300.5 - 0.5 * (k - 1200);
        ASSERT_EQ(during[k].offset, static_cast<int>(dc)) << "step " << k;
        ASSERT_NEAR(during[k].time, 20.0 + 0.5 * k, 0.0001) << "step " << k;
    }
}

TEST_F(OverlayStreamTest, SineScanReportsEachBatchAndStopsAtTheEnd)
{
    ORVORegisterFrequencyCallback(RecordFrequency);
    ASSERT_EQ(ORVOSetFrequencyScan(true, 30, 0.67, 150.0), 0);
    EXPECT_TRUE(ORVOGetFrequencyScan());
    EXPECT_TRUE(GetFreqScanECG());
    ASSERT_TRUE(Eventually([] { return !Copy(g_frequencies).empty() && Copy(g_frequencies).back() == -1.0; }, 60000));

    const double perSample = (150.0 - 0.67) / 30 / 40000;
    ExpectScanReports(0.67 + 700 * perSample, perSample, 150.0);
    ExpectStoppedAndDeviceTold();
    // 30 s of output (one batch at the start frequency before the scan).
    EXPECT_NEAR(static_cast<double>(sim().counters().samples), 1200000.0, 2000.0);
}

TEST_F(OverlayStreamTest, ScanWithTheStopBelowTheStartEndsAfterItsFirstBatch)
{
    ORVORegisterFrequencyCallback(RecordFrequency);
    ASSERT_EQ(ORVOSetFrequencyScan(true, 10, 100.0, 50.0), 0);
    ASSERT_TRUE(Eventually([] { return !Copy(g_frequencies).empty() && Copy(g_frequencies).back() == -1.0; }, 10000));
    const std::vector<double> reported = Copy(g_frequencies);
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_NEAR(reported[0], 100.0 - 700 * 50.0 / 10 / 40000, 1e-9);  // falling: 99.9125 Hz
    ExpectStoppedAndDeviceTold();
}

TEST_F(OverlayStreamTest, EcgScanRunsFromThreeToThirtyBeatsPerMinuteAndStops)
{
    ORVORegisterFrequencyCallback(RecordFrequency);
    ORVORegisterOutputFunctionCallback(RecordFunction);
    ASSERT_EQ(SetFreqScanECG(true), 0);
    EXPECT_TRUE(GetFreqScanECG());
    EXPECT_EQ(GetFreqScanSineStartFreq(), 0.05);
    EXPECT_EQ(GetFreqScanSineStopFreq(), 0.5);
    EXPECT_EQ(ORVOGetOutputFunction(), FUNC_ECG_QRS_T);
    ASSERT_TRUE(Eventually([] { return !Copy(g_frequencies).empty() && Copy(g_frequencies).back() == -1.0; }, 60000));

    const double perSample = (0.5 - 0.05) / 30 / 40000;
    ExpectScanReports(0.05 + 700 * perSample, perSample, 0.5);
    ExpectStoppedAndDeviceTold();
    EXPECT_NEAR(static_cast<double>(sim().counters().samples), 1200000.0, 2000.0);
    const std::vector<int> functions = Copy(g_functions);
    ASSERT_FALSE(functions.empty());
    EXPECT_EQ(functions.front(), FUNC_ECG_QRS_T);
    EXPECT_EQ(functions.back(), FUNC_OFF);
}

TEST_F(OverlayStreamTest, BaselineResetMovesTheOverloadSineToTheDcChannel)
{
    ORVORegisterFrequencyCallback(RecordFrequency);
    RegisterBaselineResetCB(RecordBaselineState);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);

    ASSERT_EQ(SetBaselineResetTest(2), 0);
    EXPECT_EQ(Copy(g_baselineStates), std::vector<int>{2});
    EXPECT_EQ(GetBaselineResetTest(), 2);
    EXPECT_EQ(ORVOGetFrequency(), 60.0);
    EXPECT_EQ(ORVOGetAmplitude(), 1000.0);
    EXPECT_EQ(Copy(g_frequencies), std::vector<double>{60.0});
    EXPECT_EQ(ORVOSetAmplitude(2.0), -3);
    EXPECT_EQ(ORVOSetFrequency(5.0), -4);

    ASSERT_TRUE(Eventually(
        [] {
            CAutoCriticalSection lock(g_CriticalSection);
            return s_A == 500.0;
        },
        5000));
    sim().clearSamples();
    WaitForSamples(40000);
    const auto s = sim().samples();
    uint16_t low = 0xFFFF, high = 0;
    int crossings = 0;
    for (size_t i = 0; i < 40000; ++i) {
        ASSERT_EQ(s[i].main, 0) << "sample " << i;
        low = std::min(low, s[i].dc);
        high = std::max(high, s[i].dc);
        if (i > 0 && (s[i].dc >= 0x8000) != (s[i - 1].dc >= 0x8000))
            ++crossings;
    }
    EXPECT_GE(low, 16383);   // -500 mV
    EXPECT_LE(low, 16400);
    EXPECT_LE(high, 49152);  // +500 mV
    EXPECT_GE(high, 49135);
    EXPECT_NEAR(crossings, 120, 2);  // 60 Hz

    // Each setting has its frequency; switching between them saves nothing new.
    const double settings[][2] = {{1, 50.0}, {3, 80.0}, {4, 100.0}, {2, 60.0}};
    for (const auto& setting : settings) {
        ASSERT_EQ(SetBaselineResetTest(static_cast<int>(setting[0])), 0);
        EXPECT_EQ(ORVOGetFrequency(), setting[1]) << "setting " << setting[0];
        EXPECT_EQ(ORVOGetAmplitude(), 1000.0) << "setting " << setting[0];
        EXPECT_EQ(Copy(g_frequencies).back(), setting[1]) << "setting " << setting[0];
    }
    EXPECT_EQ(Copy(g_baselineStates), (std::vector<int>{2, 1, 3, 4, 2}));

    // The same setting again changes nothing and calls nothing.
    ASSERT_EQ(SetBaselineResetTest(2), 0);
    EXPECT_EQ(Copy(g_baselineStates), (std::vector<int>{2, 1, 3, 4, 2}));

    ASSERT_EQ(SetBaselineResetTest(0), 0);
    EXPECT_EQ(Copy(g_baselineStates), (std::vector<int>{2, 1, 3, 4, 2, 0}));
    EXPECT_EQ(ORVOGetFrequency(), 1.0);
    EXPECT_EQ(ORVOGetAmplitude(), 0.0);
}

}  // namespace
