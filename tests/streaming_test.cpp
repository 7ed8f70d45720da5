// Streaming through the virtual simulator: batches, sequence numbers, sample
// encoding, graph decimation, deferred and immediate changes, stop.
#include "sim_fixture.h"

#include <cmath>
#include <mutex>

#include "api/globals.h"
#include "engine/parameters.h"

namespace {

using orvo::sim::EventKind;
using orvo::sim::LogEntry;
using orvo::test::ConnectedTest;
using orvo::test::RealTimeConnectedTest;

constexpr double kRate = 40000.0;
constexpr double kTwoPi = 6.2831853;

// Main code of a value in mV, as the device must receive it: x 6400, limited,
// truncated toward zero.
int16_t MainCode(double millivolts)
{
    double code = millivolts * 4.0 * 1600.0;
    code = std::fmax(-32768.0, std::fmin(32767.0, code));
    return static_cast<int16_t>(code);
}

std::vector<LogEntry> EntriesOf(const std::vector<LogEntry>& log, EventKind kind)
{
    std::vector<LogEntry> out;
    for (const auto& entry : log)
        if (entry.kind == kind)
            out.push_back(entry);
    return out;
}

TEST_F(ConnectedTest, FirstBatchComesWithTheStartAndSequenceNumbersRunOn)
{
    sim().clearLog();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    WaitForSamples(700 * 5);
    const auto log = sim().log();
    const auto batches = EntriesOf(log, EventKind::Batch);
    ASSERT_GE(batches.size(), 3u);
    EXPECT_EQ(batches[0].sequence, 0);
    EXPECT_EQ(batches[1].sequence, 50);
    EXPECT_EQ(batches[2].sequence, 100);
    // The first batch is written before the device asked for anything.
    for (const auto& entry : log) {
        if (entry.kind == EventKind::Request)
            FAIL() << "a request came before the first batch";
        if (entry.kind == EventKind::Batch)
            break;
    }
}

TEST_F(ConnectedTest, SequenceNumbersWrapAfter65535WithoutGaps)
{
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    // 65536 packets of 14 samples, and some more.
    WaitForSamples(65536 * 14 + 700 * 3, 120000);
    EXPECT_EQ(sim().counters().sequenceGaps, 0u);
    EXPECT_EQ(sim().counters().malformedPackets, 0u);
    bool wrapped = false;
    for (const auto& batch : EntriesOf(sim().log(), EventKind::Batch))
        wrapped = wrapped || batch.sequence < 50;
    EXPECT_TRUE(wrapped);
}

struct EncodingCase {
    const char* name;
    int function;
    double amplitude;
    double expectedMv;  // value of the first sample
};

class SampleEncoding : public ConnectedTest, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(SampleEncoding, FirstSampleHasTheExpectedCodes)
{
    const EncodingCase& c = GetParam();
    ASSERT_EQ(ORVOSetAmplitude(c.amplitude), 0);
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(c.function), 0);
    WaitForSamples(700);
    const auto samples = sim().samples();
    EXPECT_EQ(samples[0].main, MainCode(c.expectedMv)) << c.name;
    EXPECT_EQ(samples[0].dc, 32768) << c.name;  // DC offset 0 mV
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SampleEncoding,
    ::testing::Values(EncodingCase{"1 mV is 6400", FUNC_SQUARE, 2.0, 1.0},
                      EncodingCase{"-6 mV is limited to -32768", FUNC_PULSE, -6.0, -6.0},
                      EncodingCase{"10 mV is limited to 32767", FUNC_PULSE, 10.0, 10.0},
                      EncodingCase{"100.9 codes truncate to 100", FUNC_SQUARE, 2 * 100.9 / 6400.0, 100.9 / 6400.0},
                      EncodingCase{"-100.9 codes truncate to -100", FUNC_PULSE, -100.9 / 6400.0, -100.9 / 6400.0}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(SampleEncodingReference, CodesOfTheDocumentedValues)
{
    EXPECT_EQ(MainCode(1.0), 6400);
    EXPECT_EQ(MainCode(-6.0), -32768);
    EXPECT_EQ(MainCode(100.9 / 6400.0), 100);
}

TEST_F(ConnectedTest, FixedDacCodeGoesOnEverySample)
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_nDcDACValue = 1234;
    }
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    WaitForSamples(1400);
    for (const auto& sample : sim().samples())
        ASSERT_EQ(sample.dc, 1234);
}

TEST_F(ConnectedTest, SineIsPlayedSampleBySample)
{
    ASSERT_EQ(ORVOSetAmplitude(2.0), 0);
    ASSERT_EQ(ORVOSetFrequency(10.0), 0);
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    WaitForSamples(8000);
    const auto samples = sim().samples();
    double time = 0.0;
    const double period = 1.0 / 10.0;
    for (size_t i = 0; i < 8000; ++i) {
        const double t = time - std::trunc(time / period) * period;
        ASSERT_EQ(samples[i].main, MainCode(1.0 * std::sin(kTwoPi * 10.0 * t))) << "sample " << i;
        time += 1.0 / kRate;
    }
}

std::mutex s_graphMutex;
std::vector<std::pair<double, double>> s_graphPoints;

void RecordGraphPoint(double time, double value)
{
    std::lock_guard<std::mutex> guard(s_graphMutex);
    s_graphPoints.emplace_back(time, value);
}

TEST_F(ConnectedTest, GraphReceivesEveryTenthSampleWithItsTime)
{
    ORVORegisterSignalOutputCallback(RecordGraphPoint);
    ASSERT_EQ(ORVOSetFrequency(10.0), 0);
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    WaitForSamples(7000);
    ORVORegisterSignalOutputCallback(nullptr);
    const auto samples = sim().samples();
    std::lock_guard<std::mutex> guard(s_graphMutex);
    ASSERT_GE(s_graphPoints.size(), 500u);
    for (size_t k = 0; k < 500; ++k) {
        EXPECT_NEAR(s_graphPoints[k].first, k * 10 / kRate, 1e-9) << k;
        EXPECT_EQ(MainCode(s_graphPoints[k].second), samples[k * 10].main) << k;
    }
}

// Index of the first sample whose main code differs from a sine of the given
// amplitude (peak-to-peak) and frequency played from time 0.
size_t FirstDeparture(const std::vector<orvo::sim::PlayedSample>& samples, double amplitude, double frequency)
{
    double time = 0.0;
    const double period = 1.0 / frequency;
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = time - std::trunc(time / period) * period;
        if (samples[i].main != MainCode(amplitude / 2.0 * std::sin(kTwoPi * frequency * t)))
            return i;
        time += 1.0 / kRate;
    }
    return samples.size();
}

// Index of the first sample after which a deferred change is applied: the
// first one at or after `from` whose in-period time lies within 0.4 ms of the
// period end (or any sample below 0.15 Hz), on the running clock.
size_t DeferredChangePoint(size_t from, double period)
{
    double time = 0.0;
    for (size_t i = 0;; ++i) {
        const double t = time - std::trunc(time / period) * period;
        if (i >= from && period - t < 0.0004)
            return i;
        time += 1.0 / kRate;
    }
}

double ClockAt(size_t index)
{
    double time = 0.0;
    for (size_t i = 0; i < index; ++i)
        time += 1.0 / kRate;
    return time;
}

TEST_F(RealTimeConnectedTest, DeferredChangeLandsInTheLastPointFourMillisecondsOfThePeriod)
{
    ASSERT_EQ(ORVOSetAmplitude(2.0), 0);
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);  // 1 Hz
    const size_t requestedAt = sim().sampleCount();
    ASSERT_LT(requestedAt, 30000u) << "the host was too slow for this test";
    ASSERT_EQ(ORVOSetAmplitude(4.0), 0);
    WaitForSamples(2 * 40000);
    const auto samples = sim().samples();
    const size_t departure = FirstDeparture(samples, 2.0, 1.0);
    // 16 samples of a 1 Hz period lie within its last 0.4 ms.
    EXPECT_EQ(departure, DeferredChangePoint(requestedAt, 1.0) + 1);
    EXPECT_GE(departure % 40000, 40000u - 16u);
    // From there the new amplitude plays at the same phase: time runs on.
    double time = ClockAt(departure);
    for (size_t i = departure; i < samples.size(); ++i) {
        const double t = time - std::trunc(time);
        ASSERT_EQ(samples[i].main, MainCode(2.0 * std::sin(kTwoPi * t))) << i;
        time += 1.0 / kRate;
    }
}

TEST_F(RealTimeConnectedTest, FrequencyChangeContinuesAtThePhaseOfTheNewPeriod)
{
    // The square's half period follows the period of the last applied change.
    ASSERT_EQ(ORVOSetAmplitude(2.0), 0);
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SQUARE), 0);  // 1 Hz
    const size_t requestedAt = sim().sampleCount();
    ASSERT_LT(requestedAt, 30000u) << "the host was too slow for this test";
    ASSERT_EQ(ORVOSetFrequency(1.5), 0);
    WaitForSamples(2 * 40000);
    const auto samples = sim().samples();
    const size_t change = DeferredChangePoint(requestedAt, 1.0) + 1;
    // The 1.5 Hz square continues from the in-period time of the running
    // clock (about 1.0 mod 0.6667 = 0.333 s: just inside its first half),
    // not from its start.
    double time = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const double period = i < change ? 1.0 : 1.0 / 1.5;
        const double t = time - std::trunc(time / period) * period;
        ASSERT_EQ(samples[i].main, MainCode(t < period / 2.0 ? 1.0 : -1.0)) << i;
        time += 1.0 / kRate;
    }
}

TEST_F(RealTimeConnectedTest, BelowPointFifteenHertzAChangeAppliesOnTheNextSample)
{
    ASSERT_EQ(ORVOSetAmplitude(2.0), 0);
    ASSERT_EQ(ORVOSetFrequency(0.1), 0);
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SQUARE), 0);
    ASSERT_EQ(ORVOSetAmplitude(4.0), 0);
    const size_t afterSetter = sim().sampleCount();
    WaitForSamples(afterSetter + 700 * 3);
    const auto samples = sim().samples();
    size_t departure = 0;
    while (departure < samples.size() && samples[departure].main == MainCode(1.0))
        ++departure;
    // Applied within the batch that followed the setter, long before the end
    // of the 10 s period.
    EXPECT_LE(departure, afterSetter + 1400);
    EXPECT_EQ(samples[departure].main, MainCode(2.0));
}

TEST_F(ConnectedTest, ImmediateChangeLandsAtOnce)
{
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_ECG_QRS_T), 0);
    WaitForSamples(2000);
    ASSERT_EQ(ORVOSetQRSDuration(200.0), 0);
    const size_t afterSetter = sim().sampleCount();
    const size_t beatStart = (afterSetter / 40000 + 1) * 40000;  // the next beat
    WaitForSamples(beatStart + 40000);
    const auto samples = sim().samples();
    // With 200 ms the S trough lies at 10 + 0.9375 x 200 = 197.5 ms into the
    // beat, at -0.125 mV; with the old 100 ms it would be at 103.75 ms.
    size_t trough = beatStart;
    for (size_t i = beatStart; i < beatStart + 40000; ++i)
        if (samples[i].main < samples[trough].main)
            trough = i;
    EXPECT_NEAR(static_cast<double>(trough - beatStart), 0.1975 * kRate, 1.0);
    EXPECT_NEAR(samples[trough].main, MainCode(-0.125), 1);
}

TEST_F(ConnectedTest, StopAnswersTheNextRequestWithTheOutputStageAndEndsTheStream)
{
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    WaitForSamples(7000);
    sim().clearLog();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_OFF), 0);
    EXPECT_FALSE(ORVOIsPlaying());
    ASSERT_TRUE(sim().waitUntil([&] { return !sim().streaming(); }, 2000));
    const size_t played = sim().sampleCount();
    SleepEx(300);
    EXPECT_EQ(sim().sampleCount(), played);  // no further batch
    const auto log = sim().log();
    size_t modeOff = log.size();
    for (size_t i = 0; i < log.size() && modeOff == log.size(); ++i)
        if (orvo::test::IsOutputStageWrite(log[i]) && log[i].bytes[2] == 0x08)
            modeOff = i;
    ASSERT_LT(modeOff, log.size()) << "the device was never told that output stopped";
    for (size_t i = modeOff; i < log.size(); ++i)
        EXPECT_NE(log[i].kind, EventKind::Batch) << "batch after the stop at " << log[i].time;
}

TEST_F(ConnectedTest, RestartAfterAStopStartsAFreshStream)
{
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    WaitForSamples(7000);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_OFF), 0);
    sim().clearSamples();
    sim().clearLog();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SQUARE), 0);
    WaitForSamples(7000);
    EXPECT_EQ(EntriesOf(sim().log(), EventKind::Batch).front().sequence, 0);
    EXPECT_EQ(sim().counters().sequenceGaps, 0u);
}

TEST_F(ConnectedTest, UnknownCodeStreamsSilence)
{
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(25), 0);
    WaitForSamples(1400);
    EXPECT_TRUE(ORVOIsPlaying());
    for (const auto& sample : sim().samples())
        ASSERT_EQ(sample.main, 0);
}

TEST_F(ConnectedTest, StreamingInRealTimeKeepsUpWithTheDevice)
{
    sim().setFast(false);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    WaitForSamples(40000, 10000);
    EXPECT_EQ(sim().counters().sequenceGaps, 0u);
}

}  // namespace
