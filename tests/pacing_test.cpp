// Pacemaker pulses on the DC channel: when they start in each beat, their
// length, the second pulse of modes 1 and 2, the fixed pacing rate, the droop
// and overshoot, the DC channel while pacing is off, and the pulse marks sent
// to the host's pacing graph. Checked on the samples the simulator played
// (DC code 0..65535 for -1000..+1000 mV; main code mV x 6400, truncated).
#include "sim_fixture.h"

#include "api/globals.h"
#include "engine/engine.h"
#include "engine/parameters.h"

#include <cmath>
#include <mutex>
#include <set>
#include <vector>

namespace {

using orvo::sim::PlayedSample;
using orvo::test::ConnectedTest;

constexpr uint16_t kDcZero = 32768;   // 0 mV
constexpr uint16_t kDc5mV = 32931;    // +5 mV
constexpr uint16_t kDc200mV = 39321;  // +200 mV
constexpr uint16_t kDcMinus500mV = 16384;
constexpr size_t kBeat = 40000;       // samples of a 1 Hz beat
constexpr size_t kPulse = 80;         // 2 ms at 40000 samples/s

class PacingTest : public ConnectedTest {
protected:
    void SetUp() override
    {
        ConnectedTest::SetUp();
        // Defaults, also when the tests share one process.
        ASSERT_EQ(ORVOSetAmplitude(1.0), 0);
        ASSERT_EQ(ORVOSetFrequency(1.0), 0);
        ASSERT_EQ(ORVOSetDCOffset(0, 0), 0);
        ASSERT_EQ(ORVOSetPacingAmplitude(0.0), 0);
        ASSERT_EQ(ORVOSetPacingDuration(2.0), 0);
        ASSERT_EQ(ORVOSetPacingPulseMode(0), 0);
        ASSERT_EQ(ORVOSetOvershootTimeConstant(0), 0);
        ASSERT_EQ(ORVOSetOvershootAmplitude(0.0), 0);
        ASSERT_EQ(ORVOSetPacingRateSynchronized(), 0);
    }
    void TearDown() override
    {
        ORVORegisterPacingOutputCallback(nullptr);
        ORVORegisterSignalOutputCallback(nullptr);
        ConnectedTest::TearDown();
    }

    // Plays the function from its start for n samples, stops, returns them.
    std::vector<PlayedSample> Play(int function, size_t n)
    {
        sim().clearSamples();
        EXPECT_EQ(ORVOSetOutputFunction(function), 0);
        WaitForSamples(n);
        EXPECT_EQ(ORVOSetOutputFunction(FUNC_OFF), 0);
        auto samples = sim().samples();
        EXPECT_EQ(samples.size(), sim().sampleCount()) << "the start of the stream was dropped";
        EXPECT_GE(samples.size(), n);
        samples.resize(n);
        return samples;
    }
};

// Absolute pulse starts: the given in-period sample offsets in every period.
std::vector<size_t> Every(size_t period, const std::set<size_t>& offsets, size_t samples)
{
    std::vector<size_t> starts;
    for (size_t base = 0; base < samples; base += period)
        for (size_t offset : offsets)
            starts.push_back(base + offset);
    return starts;
}

// Every sample's DC code: pulse within kPulse samples from one of the starts,
// base elsewhere.
void ExpectPulses(const std::vector<PlayedSample>& s, const std::vector<size_t>& starts, uint16_t pulse,
                  uint16_t base = kDcZero)
{
    for (size_t i = 0; i < s.size(); ++i) {
        bool inPulse = false;
        for (size_t start : starts)
            inPulse = inPulse || (i >= start && i < start + kPulse);
        ASSERT_EQ(s[i].dc, inPulse ? pulse : base) << "sample " << i;
    }
}

TEST_F(PacingTest, QrsTBeatGetsOnePulseAt980MsOfEachSecond)
{
    ASSERT_EQ(ORVOSetPacingAmplitude(5.0), 0);
    const auto s = Play(FUNC_ECG_QRS_T, 3 * kBeat + 1000);
    // 20 ms before the period start, 30 ms before the QRS onset at 10 ms.
    ExpectPulses(s, Every(kBeat, {39200}, s.size()), kDc5mV);
    // Without overshoot the main channel keeps the plain ECG.
    EXPECT_NEAR(s[kBeat + 2150].main, 5600, 1);
    for (size_t i = 39200; i < 39200 + kPulse; ++i)
        EXPECT_EQ(s[i].main, 0) << "sample " << i;
}

TEST_F(PacingTest, PqrstBeatGetsItsPulse30MsBeforeTheQrsOnset)
{
    ASSERT_EQ(ORVOSetPRInterval(160.0), 0);
    ASSERT_EQ(ORVOSetPacingAmplitude(5.0), 0);
    const auto s = Play(FUNC_ECG_PQRST, 3 * kBeat);
    // 130 ms into each beat. In the first beat the instant lies at a negative
    // offset from the start, |ta - tk| < 105 us admits the samples up to
    // 105 us before it.
    size_t first = 0;
    while (first < s.size() && s[first].dc == kDcZero)
        ++first;
    EXPECT_GE(first, 5196u);
    EXPECT_LE(first, 5200u);
    ExpectPulses(s, {first, kBeat + 5200, 2 * kBeat + 5200}, kDc5mV);
}

TEST_F(PacingTest, PulseModesAddASecondPulseEarlierInEachPeriod)
{
    struct Case {
        int mode;
        std::set<size_t> starts;
    };
    const Case cases[] = {
        {0, {39200}},
        {1, {33200, 39200}},  // 150 ms earlier
        {2, {29200, 39200}},  // 250 ms earlier
        {3, {39200}},         // other values act like 0
    };
    ASSERT_EQ(ORVOSetPacingAmplitude(5.0), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        ASSERT_EQ(ORVOSetPacingPulseMode(c.mode), 0);
        ExpectPulses(Play(FUNC_ECG_QRS_T, 2 * kBeat), Every(kBeat, c.starts, 2 * kBeat), kDc5mV);
    }
}

TEST_F(PacingTest, FixedRateWithoutSynchronisationPacesTwiceAOneHertzBeat)
{
    ASSERT_EQ(ORVOSetPacingAmplitude(5.0), 0);
    ASSERT_EQ(ORVOSetPacingRate(120), 0);
    const auto s = Play(FUNC_ECG_QRS_T, 2 * kBeat);
    ExpectPulses(s, Every(kBeat, {19200, 39200}, s.size()), kDc5mV);  // 0.5 s apart
}

TEST_F(PacingTest, NegativePulseDroopsAndItsOvershootDecaysOnTheMainChannel)
{
    ASSERT_EQ(ORVOSetPacingAmplitude(-5.0), 0);
    ASSERT_EQ(ORVOSetOvershootAmplitude(1.0), 0);
    ASSERT_EQ(ORVOSetOvershootTimeConstant(10), 0);
    const auto s = Play(FUNC_ECG_QRS_T, kBeat + 1000);

    EXPECT_EQ(s[39199].dc, kDcZero);
    EXPECT_EQ(s[39200].dc, 32604);  // -5 mV: no droop on the first sample
    for (size_t i = 39201; i < 39200 + kPulse; ++i)
        EXPECT_GE(s[i].dc, s[i - 1].dc) << "the pulse sags towards zero, sample " << i;
    EXPECT_EQ(s[39200 + kPulse - 1].dc, 32624);  // -5 + (1 - e^-1) = -4.37 mV
    EXPECT_EQ(s[39200 + kPulse].dc, kDcZero);

    EXPECT_EQ(s[20000].main, 0);   // no tail before the first pulse
    EXPECT_EQ(s[39279].main, 0);   // nor during it
    EXPECT_EQ(s[39280].main, 6400);  // +1 mV right after the pulse
    EXPECT_NEAR(s[39680].main, 2354, 1);  // e^-1 mV after 10 ms
    EXPECT_GT(s[39480].main, s[39680].main);
}

TEST_F(PacingTest, DcChannelCarriesTheOffsetOnlyWhilePacingIsOff)
{
    ASSERT_EQ(ORVOSetDCOffset(0, 200), 0);
    ExpectPulses(Play(FUNC_ECG_QRS_T, kBeat), {}, kDcZero, kDc200mV);

    // Pacing replaces the offset by 0 mV between the pulses.
    ASSERT_EQ(ORVOSetPacingAmplitude(5.0), 0);
    ExpectPulses(Play(FUNC_ECG_QRS_T, kBeat), {39200}, kDc5mV);
}

TEST_F(PacingTest, BaselineResetTestPutsMinus500MillivoltsOnTheDcChannel)
{
    ASSERT_EQ(ORVOSetDCOffset(0, 200), 0);
    ASSERT_EQ(SetBaselineResetTest(1), 0);  // selects the sine and starts it
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_ECG_QRS_T), 0);
    sim().clearSamples();
    WaitForSamples(20000);
    const auto s = sim().samples();
    for (size_t i = 0; i < s.size(); ++i)
        ASSERT_EQ(s[i].dc, kDcMinus500mV) << "sample " << i;
}

TEST(PacingDcChannel, WithoutPacingTheDcValueComesFromTheTestThatRuns)
{
    struct Case {
        const char* what;
        uint32_t function;
        uint32_t baselineReset;
        int32_t dcSettingMv;
        double outputTime;
        double mv;
    };
    const Case cases[] = {
        {"DC offset", FUNC_ECG_QRS_T, 0, 200, 0.5, 200.0},
        {"negative DC offset", FUNC_SQUARE, 0, -1000, 0.5, -1000.0},
        {"baseline reset", FUNC_ECG_QRS_T, 1, 200, 0.5, -500.0},
        {"baseline reset during the DC sweep", FUNC_DC_RANGE_SWEEP, 4, 200, 5.0, -500.0},
        {"DC sweep before it starts", FUNC_DC_RANGE_SWEEP, 0, 200, 5.0, -300.0},
    };
    CAutoCriticalSection lock(g_CriticalSection);
    s_PulsesRequired = 0;
    for (const Case& c : cases) {
        g_MainOutput = c.function;
        g_BaseLineOverload = c.baselineReset;
        g_DCSetting = c.dcSettingMv;
        g_fOutputTime = c.outputTime;
        double mainAdd = 0.0;
        EXPECT_EQ(_GetPacingV5(mainAdd), c.mv) << c.what;
        EXPECT_EQ(mainAdd, 0.0) << c.what;
    }
    g_MainOutput = FUNC_OFF;
    g_BaseLineOverload = 0;
    g_DCSetting = 0;
    g_fOutputTime = 0.0;
}

struct Mark {
    double time;
    double mv;
};
std::mutex g_marksMutex;
std::vector<Mark> g_marks;

void RecordMark(double time, double mv)
{
    std::lock_guard<std::mutex> lock(g_marksMutex);
    g_marks.push_back({time, mv});
}

void IgnoreGraph(double, double) {}

// Registers the graph callbacks. A pulse of an earlier stream in this process
// that no pacing callback consumed would otherwise be drawn at the start.
void RegisterGraphs()
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        s_PacingIndicationNeeded = false;
    }
    ORVORegisterSignalOutputCallback(IgnoreGraph);
    ORVORegisterPacingOutputCallback(RecordMark);
}

// The marks drawn before the given playback time (the stream runs on a
// little past the samples a test looks at).
std::vector<Mark> TakeMarks(double before = 1e9)
{
    std::lock_guard<std::mutex> lock(g_marksMutex);
    std::vector<Mark> marks;
    for (const Mark& m : g_marks)
        if (m.time < before)
            marks.push_back(m);
    g_marks.clear();
    return marks;
}

void ExpectMarks(const std::vector<Mark>& marks, const std::vector<double>& pulseTimes, double widthS, double mv)
{
    ASSERT_EQ(marks.size(), 4 * pulseTimes.size());
    for (size_t p = 0; p < pulseTimes.size(); ++p) {
        const Mark expected[4] = {{pulseTimes[p], 0.0},
                                  {pulseTimes[p], mv},
                                  {pulseTimes[p] + widthS, mv},
                                  {pulseTimes[p] + widthS, 0.0}};
        for (int k = 0; k < 4; ++k) {
            EXPECT_NEAR(marks[4 * p + k].time, expected[k].time, 1e-9) << "pulse " << p << ", point " << k;
            EXPECT_EQ(marks[4 * p + k].mv, expected[k].mv) << "pulse " << p << ", point " << k;
        }
    }
}

TEST_F(PacingTest, PacingGraphGetsFourPointsPerPulse)
{
    RegisterGraphs();
    TakeMarks();
    ASSERT_EQ(ORVOSetPacingAmplitude(5.0), 0);
    Play(FUNC_ECG_QRS_T, 2 * kBeat + 1000);
    ExpectMarks(TakeMarks(2.0), {0.98, 1.98}, 0.002, 5.0);
}

TEST_F(PacingTest, PulseStartingBetweenGraphSamplesIsDrawnAtTheNextOne)
{
    RegisterGraphs();
    TakeMarks();
    ASSERT_EQ(ORVOSetPacingAmplitude(5.0), 0);
    ASSERT_EQ(ORVOSetPacingDuration(1.0), 0);
    ASSERT_EQ(ORVOSetPacingRate(70), 0);  // pulses at k x 60/70 s - 20 ms
    // Pulses start on samples 33486 and 67772; the graph reports every tenth.
    Play(FUNC_ECG_QRS_T, 2 * kBeat);
    ExpectMarks(TakeMarks(2.0), {33490 / 40000.0, 67780 / 40000.0}, 0.001, 5.0);
}

}  // namespace

namespace {

// Plays function 8 with pacing on the engine alone (no device) and returns
// the time of the first pulse sample at or after from, up to until.
double FirstPulseTime(double from, double until)
{
    double mainAdd = 0.0;
    for (g_fOutputTime = from; g_fOutputTime < until; g_fOutputTime += 1.0 / 40000.0) {
        if (_GetPacingV5(mainAdd) == g_PA)
            return g_fOutputTime;
    }
    return -1.0;
}

TEST(PacingRestart, RestartRightAfterAPulseKeepsTheFirstPulseOfFunction8)
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_PA = 5.0;
    g_MainOutput = FUNC_ECG_PQRST;
    _Change();
    // A pulse 130 ms into the beat, then a stop within 10 ms of it.
    EXPECT_NEAR(FirstPulseTime(0.125, 0.135), 0.13, 0.0002);
    g_MainOutput = FUNC_OFF;
    _Change();
    // The next playback paces its first beat at 130 ms again.
    g_MainOutput = FUNC_ECG_PQRST;
    _Change();
    EXPECT_NEAR(FirstPulseTime(0.02, 0.2), 0.13, 0.0002);
    g_MainOutput = FUNC_OFF;
    _Change();
    g_PA = 0.0;
}

}  // namespace
