// The basic test functions (sine, triangle, square, pulses, exponentials),
// the data functions' handling of missing data, silent codes, the frequency
// caps and the forced bipolar-exponential timing. Expected values are worked
// out by hand from the function definitions.
#include "engine_fixture.h"
#include "sim_fixture.h"

#include "api/globals.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "waveforms/loaded_recording.h"
#include "waveforms/standard_tables.h"

#include <mutex>
#include <vector>

namespace {

using orvo::test::ConnectedTest;
using orvo::test::EngineTest;

constexpr double kMv = 1e-6;

std::mutex g_reportedMutex;
std::vector<double> g_reported;  // frequencies told to the host

void RecordFrequency(double hz)
{
    std::lock_guard<std::mutex> lock(g_reportedMutex);
    g_reported.push_back(hz);
}

std::vector<double> Reported()
{
    std::lock_guard<std::mutex> lock(g_reportedMutex);
    return g_reported;
}

void ClearReported()
{
    std::lock_guard<std::mutex> lock(g_reportedMutex);
    g_reported.clear();
}

// Engine-level checks without a device: parameters set directly, applied
// with _Change, the evaluator called at chosen times within the period.
class TestFunctionTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ClearReported();
    }
    void TearDown() override
    {
        ORVORegisterFrequencyCallback(nullptr);
        EngineTest::TearDown();
    }
};

TEST_F(TestFunctionTest, PeriodicFunctionsFollowTheirDefinitions)
{
    struct Case {
        const char* what;
        uint32_t function;
        double amplitudeMv, hz, pulseMs, pacingMv;
        double t, mv;
    };
    const Case cases[] = {
        {"sine 1 mV 10 Hz", FUNC_SINE, 1.0, 10.0, 100.0, 0.0, 0.0, 0.0},
        {"sine 1 mV 10 Hz", FUNC_SINE, 1.0, 10.0, 100.0, 0.0, 0.025, 0.5},
        {"sine 1 mV 10 Hz", FUNC_SINE, 1.0, 10.0, 100.0, 0.0, 0.075, -0.5},
        {"triangle 2 mV 1 Hz", FUNC_TRIANGLE, 2.0, 1.0, 100.0, 0.0, 0.0, 0.0},
        {"triangle 2 mV 1 Hz", FUNC_TRIANGLE, 2.0, 1.0, 100.0, 0.0, 0.125, 0.5},
        {"triangle 2 mV 1 Hz", FUNC_TRIANGLE, 2.0, 1.0, 100.0, 0.0, 0.25, 1.0},
        {"triangle 2 mV 1 Hz", FUNC_TRIANGLE, 2.0, 1.0, 100.0, 0.0, 0.5, 0.0},
        {"triangle 2 mV 1 Hz", FUNC_TRIANGLE, 2.0, 1.0, 100.0, 0.0, 0.75, -1.0},
        {"triangle 2 mV 1 Hz", FUNC_TRIANGLE, 2.0, 1.0, 100.0, 0.0, 0.999, -0.004},
        {"triangle 2 mV 4 Hz", FUNC_TRIANGLE, 2.0, 4.0, 100.0, 0.0, 0.0625, 1.0},
        {"square 2 mV 1 Hz", FUNC_SQUARE, 2.0, 1.0, 100.0, 0.0, 0.0, 1.0},
        {"square 2 mV 1 Hz", FUNC_SQUARE, 2.0, 1.0, 100.0, 0.0, 0.4999, 1.0},
        {"square 2 mV 1 Hz", FUNC_SQUARE, 2.0, 1.0, 100.0, 0.0, 0.5, -1.0},
        {"square 2 mV 1 Hz", FUNC_SQUARE, 2.0, 1.0, 100.0, 0.0, 0.9, -1.0},
        {"pulse 1 mV 100 ms", FUNC_PULSE, 1.0, 1.0, 100.0, 0.0, 0.0, 1.0},
        {"pulse 1 mV 100 ms", FUNC_PULSE, 1.0, 1.0, 100.0, 0.0, 0.0999, 1.0},
        {"pulse 1 mV 100 ms", FUNC_PULSE, 1.0, 1.0, 100.0, 0.0, 0.1, 0.0},
        {"pulse 1 mV 100 ms", FUNC_PULSE, 1.0, 1.0, 100.0, 0.0, 0.5, 0.0},
        {"pulse wider than the period", FUNC_PULSE, 1.0, 5.0, 300.0, 0.0, 0.199, 1.0},
        {"triangular pulse", FUNC_TRIANGLE_PULSE, 2.0, 1.0, 100.0, 0.0, 0.0, 0.0},
        {"triangular pulse", FUNC_TRIANGLE_PULSE, 2.0, 1.0, 100.0, 0.0, 0.025, 1.0},
        {"triangular pulse", FUNC_TRIANGLE_PULSE, 2.0, 1.0, 100.0, 0.0, 0.05, 2.0},
        {"triangular pulse", FUNC_TRIANGLE_PULSE, 2.0, 1.0, 100.0, 0.0, 0.075, 1.0},
        {"triangular pulse", FUNC_TRIANGLE_PULSE, 2.0, 1.0, 100.0, 0.0, 0.1, 0.0},
        // With a pacing amplitude set the pulse starts 10 ms into the period.
        {"triangular pulse, pacing", FUNC_TRIANGLE_PULSE, 2.0, 1.0, 100.0, 5.0, 0.005, 0.0},
        {"triangular pulse, pacing", FUNC_TRIANGLE_PULSE, 2.0, 1.0, 100.0, 5.0, 0.01, 0.0},
        {"triangular pulse, pacing", FUNC_TRIANGLE_PULSE, 2.0, 1.0, 100.0, 5.0, 0.035, 1.0},
        {"triangular pulse, pacing", FUNC_TRIANGLE_PULSE, 2.0, 1.0, 100.0, 5.0, 0.06, 2.0},
        {"triangular pulse, pacing", FUNC_TRIANGLE_PULSE, 2.0, 1.0, 100.0, 5.0, 0.085, 1.0},
        {"triangular pulse, pacing", FUNC_TRIANGLE_PULSE, 2.0, 1.0, 100.0, 5.0, 0.1099, 0.004},
        {"triangular pulse, pacing", FUNC_TRIANGLE_PULSE, 2.0, 1.0, 100.0, 5.0, 0.11, 0.0},
        {"exponential decay 2 mV", FUNC_EXP_DECAY, 2.0, 1.0, 100.0, 0.0, 0.0, 2.0},
        {"exponential decay 2 mV", FUNC_EXP_DECAY, 2.0, 1.0, 100.0, 0.0, 0.05, 0.7357589},
        {"exponential decay 2 mV", FUNC_EXP_DECAY, 2.0, 1.0, 100.0, 0.0, 0.1, 0.2706706},
        {"bipolar exponential 2 mV", FUNC_BIPOLAR_EXP, 2.0, 1.0, 100.0, 0.0, 0.0, 1.0},
        {"bipolar exponential 2 mV", FUNC_BIPOLAR_EXP, 2.0, 1.0, 100.0, 0.0, 0.25, 0.0067379},
        {"bipolar exponential 2 mV", FUNC_BIPOLAR_EXP, 2.0, 1.0, 100.0, 0.0, 0.5, -1.0},
        {"bipolar exponential 2 mV", FUNC_BIPOLAR_EXP, 2.0, 1.0, 100.0, 0.0, 0.55, -0.3678794},
    };
    for (const Case& c : cases) {
        {
            CAutoCriticalSection lock(g_CriticalSection);
            g_Amplitude = c.amplitudeMv;
            g_F = c.hz;
            g_PulseWidth = c.pulseMs;
            g_PA = c.pacingMv;
        }
        Select(c.function);
        EXPECT_NEAR(VoltageAt(c.t), c.mv, kMv) << c.what << " at t = " << c.t;
    }
}

TEST_F(TestFunctionTest, BipolarExponentialForcesOneHertzAndFiftyMilliseconds)
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_F = 3.0;
        g_PulseWidth = 200.0;
    }
    Select(FUNC_BIPOLAR_EXP);
    CAutoCriticalSection lock(g_CriticalSection);
    EXPECT_EQ(g_F, 1.0);
    EXPECT_EQ(g_PulseWidth, 50.0);
    EXPECT_EQ(g_fTimePeriod, 1.0);
}

TEST_F(TestFunctionTest, CodesWithoutAShapeAndAFileThatIsNotLoadedPlaySilence)
{
    ASSERT_EQ(ECGFile, nullptr);
    for (uint32_t code : {uint32_t{FUNC_QRS_NOTCHED}, uint32_t{FUNC_QRS_SINGLE}, uint32_t{25}, uint32_t{FUNC_FILE},
                          uint32_t{FUNC_FILE_WITH_DC}}) {
        Select(code);
        for (double t = 0.0; t < 1.0; t += 0.001)
            ASSERT_EQ(VoltageAt(t), 0.0) << "code " << code << " at t = " << t;
    }
}

TEST_F(TestFunctionTest, TableIndexOutsideTheSelectedTablePlaysZero)
{
    struct Case {
        const char* what;
        uint32_t function;
        int index;  // waveform, pattern or lead
        double t;
        double mv;
    };
    const double* pattern1 = getIEC47RawArray(IEC247_PATTERN_1);
    ASSERT_NE(pattern1, nullptr);
    const Case cases[] = {
        // In range: the sample of the selected slot at the table's own rate.
        {"IEC 60601-2-27 waveform 2", FUNC_IEC227, 2, 0.5, IEC227W[2 * 66000 + 360] / 1000.0},
        {"IEC 60601-2-51 waveform 3", FUNC_IEC251, 3, 0.25, IEC251W[3 * 1000 + 250] / 1000.0},
        {"IEC 60601-2-47 pattern 1", FUNC_IEC247, 1, 0.5, pattern1[500]},
        {"ANE20000 lead 8", FUNC_ANE20000, 8, 0.1, ANE20000[8 * 1000 + 100] / 1000.0},
        // Outside: nothing is read, the output is silent.
        {"IEC 60601-2-27 waveform 10", FUNC_IEC227, 10, 0.5, 0.0},
        {"IEC 60601-2-27 waveform -1", FUNC_IEC227, -1, 0.5, 0.0},
        {"IEC 60601-2-51 waveform 16", FUNC_IEC251, 16, 0.25, 0.0},
        {"IEC 60601-2-51 waveform -1", FUNC_IEC251, -1, 0.25, 0.0},
        {"IEC 60601-2-47 pattern 5", FUNC_IEC247, 5, 0.5, 0.0},
        {"ANE20000 lead 9", FUNC_ANE20000, 9, 0.1, 0.0},
    };
    for (const Case& c : cases) {
        {
            CAutoCriticalSection lock(g_CriticalSection);
            if (c.function == FUNC_ANE20000)
                g_nANE20000ChannelNumber = c.index;
            else
                g_nSpecialWaveform = c.index;
        }
        Select(c.function);
        EXPECT_EQ(VoltageAt(c.t), c.mv) << c.what;
    }
}

TEST_F(TestFunctionTest, FrequencyAboveTheCapIsLoweredAndReported)
{
    struct Case {
        uint32_t function;
        double hz;
        double capped;
        bool reported;
    };
    const Case cases[] = {
        {FUNC_PULSE, 400.0, 5.0, true},        {FUNC_TRIANGLE_PULSE, 400.0, 5.0, true},
        {FUNC_EXP_DECAY, 400.0, 5.0, true},    {FUNC_EXP_DECAY, 5.0, 5.0, false},
        {FUNC_ECG_QRS_T, 400.0, 6.0, true},    {FUNC_ECG_PQRST, 400.0, 6.0, true},
        {FUNC_ECG_PQRST, 6.0, 6.0, false},     {FUNC_SINE, 400.0, 400.0, false},
        {FUNC_SINE, 600.0, 500.0, true},       {FUNC_SQUARE, 500.0, 500.0, false},
        {FUNC_IEC227, 600.0, 500.0, true},
    };
    ORVORegisterFrequencyCallback(RecordFrequency);
    for (const Case& c : cases) {
        ClearReported();
        {
            CAutoCriticalSection lock(g_CriticalSection);
            g_F = c.hz;
        }
        Select(c.function);
        {
            CAutoCriticalSection lock(g_CriticalSection);
            EXPECT_EQ(g_F, c.capped) << "function " << c.function << " at " << c.hz << " Hz";
        }
        const std::vector<double> expected = c.reported ? std::vector<double>{c.capped} : std::vector<double>{};
        EXPECT_EQ(Reported(), expected) << "function " << c.function << " at " << c.hz << " Hz";
    }
}

// Polls pred under the library lock until it holds (false after 5 s).
template <typename Pred>
bool EngineReaches(Pred pred)
{
    for (int i = 0; i < 5000; ++i) {
        {
            CAutoCriticalSection lock(g_CriticalSection);
            if (pred())
                return true;
        }
        SleepEx(1);
    }
    return false;
}

// End to end through the simulator.
class TestFunctionStreamTest : public ConnectedTest {
protected:
    void TearDown() override
    {
        ORVORegisterFrequencyCallback(nullptr);
        ConnectedTest::TearDown();
    }
};

TEST_F(TestFunctionStreamTest, SquareStreamsPlusAndMinusHalfTheAmplitude)
{
    ASSERT_EQ(ORVOSetAmplitude(2.0), 0);
    ASSERT_EQ(ORVOSetFrequency(1.0), 0);
    const auto s = Play(FUNC_SQUARE, 80000);
    ASSERT_GE(s.size(), 80000u);
    for (size_t i = 0; i < 80000; ++i) {
        const size_t inPeriod = i % 40000;
        if (inPeriod == 0 || inPeriod == 20000)
            continue;  // the edge sample may fall either side
        ASSERT_EQ(s[i].main, inPeriod < 20000 ? 6400 : -6400) << "sample " << i;
        ASSERT_EQ(s[i].dc, 0x8000) << "sample " << i;
    }
}

TEST_F(TestFunctionStreamTest, BipolarExponentialSelectedThroughTheSetterPlaysAtOneHertz)
{
    ASSERT_EQ(ORVOSetAmplitude(1.0), 0);
    ASSERT_EQ(ORVOSetFrequency(3.0), 0);
    ASSERT_EQ(ORVOSetPulseWidth(200.0), 0);
    const auto s = Play(FUNC_BIPOLAR_EXP, 40000);
    EXPECT_EQ(ORVOGetFrequency(), 1.0);
    EXPECT_EQ(ORVOGetPulseWidth(), 50.0);
    ASSERT_GE(s.size(), 40000u);
    EXPECT_EQ(s[0].main, 3200);             // +0.5 mV
    EXPECT_NEAR(s[2000].main, 1177, 1);     // 0.5 e^-1 at 50 ms
    EXPECT_NEAR(s[20001].main, -3198, 1);   // -0.5 e^-0.0005 just after 0.5 s
    EXPECT_NEAR(s[22000].main, -1177, 1);
}

TEST_F(TestFunctionStreamTest, UnknownCodeStreamsZeroMillivolts)
{
    const auto s = Play(25, 20000);
    ASSERT_GE(s.size(), 20000u);
    for (size_t i = 0; i < 20000; ++i) {
        ASSERT_EQ(s[i].main, 0) << "sample " << i;
        ASSERT_EQ(s[i].dc, 0x8000) << "sample " << i;
    }
}

TEST_F(TestFunctionStreamTest, FrequencyCapOnSelectionIsReportedThroughTheCallback)
{
    ORVORegisterFrequencyCallback(RecordFrequency);
    ClearReported();
    ASSERT_EQ(ORVOSetFrequency(400.0), 0);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_EXP_DECAY), 0);
    EXPECT_EQ(ORVOGetFrequency(), 5.0);
    EXPECT_EQ(Reported(), std::vector<double>{5.0});
}

// A file function selected with no file loaded has no period length; the
// next function selected must still take over at a period end.
TEST_F(TestFunctionStreamTest, FunctionSelectedAfterAFileWithoutDataTakesOver)
{
    ASSERT_EQ(ECGFile, nullptr);
    ASSERT_EQ(ORVOSetAmplitude(1.0), 0);
    ASSERT_EQ(ORVOSetFrequency(1.0), 0);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_FILE), 0);
    WaitForSamples(1400);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SQUARE), 0);
    ASSERT_TRUE(EngineReaches([] { return g_MainOutput == FUNC_SQUARE && g_fTimePeriod == 1.0; }))
        << "the square's period was never applied";
    sim().clearSamples();
    WaitForSamples(40000);
    const auto s = sim().samples();
    int high = 0, low = 0;
    for (const auto& sample : s) {
        high += sample.main == 3200;
        low += sample.main == -3200;
    }
    EXPECT_GT(high, 15000);
    EXPECT_GT(low, 15000);
}

}  // namespace
