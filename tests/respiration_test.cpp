// Respiration: the host-side breath waveform and its apnea gap, the baseline,
// amplitude and heart-rate modulation of the ECG, the apnea seconds sent to
// the device, the attenuation table and the main-channel scaling by it, and
// switching respiration off.
#include "sim_fixture.h"

#include "api/globals.h"
#include "device/output_stage.h"
#include "engine/engine.h"
#include "engine/parameters.h"

#include <cmath>
#include <vector>

namespace {

using orvo::sim::LogEntry;
using orvo::test::ConnectedTest;

constexpr double kMv = 1e-6;

struct ModulationValues {
    double oneRespire, inhale, exhale, apnea, baseline, amplitude, frequency;
};

ModulationValues StoredModulation()
{
    CAutoCriticalSection lock(g_CriticalSection);
    return {s_OneRespireS, s_InhaleS, s_ExhaleS, s_OneApneaS, s_BaselineModV, s_AmpModV, s_FreqModHz};
}

void ExpectSameModulation(const ModulationValues& a, const ModulationValues& b)
{
    EXPECT_EQ(a.oneRespire, b.oneRespire);
    EXPECT_EQ(a.inhale, b.inhale);
    EXPECT_EQ(a.exhale, b.exhale);
    EXPECT_EQ(a.apnea, b.apnea);
    EXPECT_EQ(a.baseline, b.baseline);
    EXPECT_EQ(a.amplitude, b.amplitude);
    EXPECT_EQ(a.frequency, b.frequency);
}

// The respiration value at a playback time, with the apnea gap.
double RespirationAt(double outputTime)
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_fOutputTime = outputTime;
    const double r = _solveRespireV();
    g_fOutputTime = 0.0;
    return r;
}

TEST(RespirationWithoutDevice, AlgorithmParametersAreRefusedAndNothingIsStored)
{
    const ModulationValues before = StoredModulation();
    EXPECT_EQ(SetRespireAlgorithmParam(20, 2, 10, 10, 10, 10), 0);
    ExpectSameModulation(StoredModulation(), before);
}

TEST(RespirationWithoutDevice, SwitchingOffClearsEveryValueAndReportsNoDevice)
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_RespirationEnabled = true;
        g_nRespirationResistance = 1500;
        g_nRespirationApneaTime = 10;
        g_nRespirationFrequency = 3;
        g_nRespirationVariation = 4;
        g_nRespirationRatio = 5;
        g_nRespirationBaseline = 2;
        s_BaselineModV = 0.1;
        s_AmpModV = 0.2;
        s_FreqModHz = 0.3;
    }
    EXPECT_FALSE(EnableRespiration(false));
    CAutoCriticalSection lock(g_CriticalSection);
    EXPECT_FALSE(g_RespirationEnabled);
    EXPECT_EQ(g_nRespirationResistance, 0);
    EXPECT_EQ(g_nRespirationApneaTime, 0);
    EXPECT_EQ(g_nRespirationFrequency, 0);
    EXPECT_EQ(g_nRespirationVariation, 0);
    EXPECT_EQ(g_nRespirationRatio, 0);
    EXPECT_EQ(g_nRespirationBaseline, 0);
    EXPECT_EQ(s_BaselineModV, 0.0);
    EXPECT_EQ(s_AmpModV, 0.0);
    EXPECT_EQ(s_FreqModHz, 0.0);
    EXPECT_EQ(GetAttenuation(), 1.0);
}

class RespirationTest : public ConnectedTest {
protected:
    void SetUp() override
    {
        ConnectedTest::SetUp();
        ASSERT_EQ(ORVOSetAmplitude(1.0), 0);
        ASSERT_EQ(ORVOSetFrequency(1.0), 0);
    }
    void TearDown() override
    {
        {
            CAutoCriticalSection lock(g_CriticalSection);
            s_BaselineModV = s_AmpModV = s_FreqModHz = 0.0;
            s_OneApneaS = 0.0;
        }
        ConnectedTest::TearDown();
    }
};

TEST_F(RespirationTest, RateOrRatioBelowOneIsRefusedAndKeepsThePreviousValues)
{
    ASSERT_EQ(SetRespireAlgorithmParam(20, 2, 0, 10, 0, 0), 1);
    const ModulationValues stored = StoredModulation();
    const int refused[][2] = {{0, 2}, {-20, 2}, {20, 0}, {20, -1}};
    for (const auto& args : refused) {
        EXPECT_EQ(SetRespireAlgorithmParam(args[0], args[1], 10, 50, 50, 50), 0)
            << "rate " << args[0] << ", ratio " << args[1];
        ExpectSameModulation(StoredModulation(), stored);
    }
}

TEST_F(RespirationTest, BreathOfTwentyPerMinuteWithRatioTwoInhalesOneSecondAndExhalesTwo)
{
    ASSERT_EQ(SetRespireAlgorithmParam(20, 2, 0, 0, 0, 0), 1);
    const ModulationValues v = StoredModulation();
    EXPECT_DOUBLE_EQ(v.oneRespire, 3.0);
    EXPECT_DOUBLE_EQ(v.inhale, 1.0);
    EXPECT_DOUBLE_EQ(v.exhale, 2.0);

    const double points[][2] = {
        {0.0, 0.0}, {0.5, 1.0}, {1.0, 0.0},                      // positive half sine over 1 s
        {1.5, -0.7071068}, {2.0, -1.0}, {2.5, -0.7071068}, {3.0, 0.0},  // negative over 2 s
        {3.5, 1.0}, {5.0, -1.0}, {59.0, -1.0},                   // every 3 s again
    };
    for (const auto& p : points)
        EXPECT_NEAR(RespirationAt(p[0]), p[1], kMv) << "at " << p[0] << " s";
}

TEST_F(RespirationTest, ApneaSilencesTheLastSecondsOfEveryMinuteAndBreathsRestartOnTheMinute)
{
    ASSERT_EQ(SetRespireAlgorithmParam(20, 2, 10, 0, 0, 0), 1);
    const double points[][2] = {
        {49.5, -0.7071068},  // 49.5 = 16 breaths + 1.5 s
        {50.0, 0.0}, {50.5, 0.0}, {55.0, 0.0}, {59.99, 0.0},
        {60.5, 1.0},         // the breath restarts at the minute
        {61.0, 0.0}, {61.5, -0.7071068}, {62.0, -1.0}, {110.5, 0.0}, {120.5, 1.0},
    };
    for (const auto& p : points)
        EXPECT_NEAR(RespirationAt(p[0]), p[1], kMv) << "at " << p[0] << " s";
}

// Engine-level modulation of the ECG: the library lock is held for the whole
// check, so the pump started by _Change waits and the time base is ours.
class ModulatedEcgTest : public RespirationTest {
protected:
    double EcgAt(double tInBeat, double outputTime)
    {
        g_fOutputTime = outputTime;
        return _GetMainFunctionVoltage(tInBeat);
    }
};

TEST_F(ModulatedEcgTest, BaselineWandersByTheGivenShareOfTheAmplitude)
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_MainOutput = FUNC_ECG_QRS_T;
    _Change();
    ASSERT_EQ(SetRespireAlgorithmParam(20, 2, 0, 10, 0, 0), 1);  // 10 % of 1 mV
    EXPECT_NEAR(EcgAt(0.5, 0.0), 0.0, kMv);
    EXPECT_NEAR(EcgAt(0.5, 0.5), 0.1, kMv);      // full inhalation
    EXPECT_NEAR(EcgAt(0.5, 2.0), -0.1, kMv);     // deepest exhalation
    EXPECT_NEAR(EcgAt(0.05375, 0.5), 0.975, kMv);  // R peak rides on it
}

TEST_F(ModulatedEcgTest, AmplitudeFollowsTheBreath)
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_MainOutput = FUNC_ECG_QRS_T;
    _Change();
    ASSERT_EQ(SetRespireAlgorithmParam(20, 2, 0, 0, 50, 0), 1);  // +-0.5 mV
    EXPECT_NEAR(EcgAt(0.05375, 0.0), 0.875, kMv);
    EXPECT_NEAR(EcgAt(0.05375, 0.5), 1.3125, kMv);   // 0.875 x 1.5
    EXPECT_NEAR(EcgAt(0.05375, 2.0), 0.4375, kMv);   // 0.875 x 0.5
    EXPECT_NEAR(EcgAt(0.10375, 0.5), -0.1875, kMv);  // S: -0.125 x 1.5
    EXPECT_NEAR(EcgAt(0.27, 0.5), 0.2, kMv);         // the T wave keeps its height
}

TEST_F(ModulatedEcgTest, HeartRateModulationStretchesEachBeatByTheBreathAtItsStart)
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_MainOutput = FUNC_ECG_QRS_T;
    _Change();
    g_fOutputTime = 0.0;
    ASSERT_EQ(SetRespireAlgorithmParam(20, 2, 0, 0, 0, 10), 1);  // 0.1 Hz

    // R peaks (53.75 ms into each beat) over a minute of playback.
    std::vector<double> peaks;
    double runMax = 0.0, runMaxTime = 0.0;
    for (long n = 0; n < 62L * 40000; ++n) {
        const double now = n / 40000.0;
        const double v = EcgAt(0.0, now);
        if (v > 0.5) {
            if (v > runMax) {
                runMax = v;
                runMaxTime = now;
            }
        } else if (runMax > 0.0) {
            peaks.push_back(runMaxTime);
            runMax = 0.0;
        }
    }
    ASSERT_GE(peaks.size(), 60u);
    // Beat lengths 1 / (1 + 0.1 r0), r0 the breath at the beat's start:
    // r0 = 0 at 1 s, -1 at 2 s, sin(pi x 0.1111) at 3.1111 s.
    const double first[] = {1.0, 1.0 / 0.9, 1.0 / 1.0342020};
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(peaks[i + 2] - peaks[i + 1], first[i], 5e-5) << "beat " << i + 1;
    EXPECT_NEAR(peaks[0], 0.05375, 5e-5);
    double shortest = 10.0, longest = 0.0;
    for (size_t i = 1; i < peaks.size(); ++i) {
        shortest = std::fmin(shortest, peaks[i] - peaks[i - 1]);
        longest = std::fmax(longest, peaks[i] - peaks[i - 1]);
    }
    EXPECT_GE(shortest, 1.0 / 1.1 - 5e-5);
    EXPECT_LE(shortest, 0.915);
    EXPECT_LE(longest, 1.0 / 0.9 + 5e-5);
    EXPECT_GE(longest, 1.105);
}

bool IsRespirationPacket(const LogEntry& e)
{
    return e.kind == orvo::sim::EventKind::Command && e.bytes.size() == 19 && e.bytes[0] == 0xEA &&
           e.bytes[1] == 0xFF && e.bytes[2] == 0x01;
}

// Apnea flags (byte 12) of the respiration packets in the simulator's log.
std::vector<int> ApneaFlagsSent(const std::vector<LogEntry>& log)
{
    std::vector<int> flags;
    for (const LogEntry& e : log)
        if (IsRespirationPacket(e))
            flags.push_back(e.bytes[12]);
    return flags;
}

TEST_F(RespirationTest, ApneaSecondsAreSwitchedOnTheDeviceAsTheMinutePasses)
{
    ASSERT_TRUE(SetRespiration(1, 2, 3, 0, 10));
    const auto settings = sim().respiration();
    EXPECT_TRUE(settings.received);
    EXPECT_EQ(settings.rate, 2);
    EXPECT_EQ(settings.variation, 1);
    EXPECT_EQ(settings.ratio, 3);
    EXPECT_EQ(settings.baseline, 0);
    EXPECT_EQ(settings.apnea, 0);
    ASSERT_TRUE(EnableRespiration(true));

    sim().clearLog();
    struct Step {
        int second;
        std::vector<int> sent;
    };
    const Step steps[] = {
        {50, {}}, {51, {1}}, {55, {}}, {59, {}}, {60, {0}}, {61, {}}, {111, {1}}, {119, {}}, {120, {0}},
    };
    for (const Step& step : steps) {
        sim().clearLog();
        {
            CAutoCriticalSection lock(g_CriticalSection);
            EnableApneaByTime(step.second);
        }
        EXPECT_EQ(ApneaFlagsSent(sim().log()), step.sent) << "second " << step.second;
    }
    // Each packet repeats the stored settings.
    EXPECT_EQ(sim().respiration().rate, 2);
    EXPECT_EQ(sim().respiration().ratio, 3);
}

TEST_F(RespirationTest, ApneaTimeZeroNeverSwitchesApneaOn)
{
    ASSERT_TRUE(SetRespiration(1, 2, 3, 0, 0));
    ASSERT_TRUE(EnableRespiration(true));
    sim().clearLog();
    for (int second : {0, 30, 59, 60}) {
        CAutoCriticalSection lock(g_CriticalSection);
        EnableApneaByTime(second);
    }
    EXPECT_TRUE(ApneaFlagsSent(sim().log()).empty());
}

TEST_F(RespirationTest, StreamingSendsApneaOnceTheFiftyFirstSecondIsReached)
{
    ASSERT_TRUE(SetRespiration(1, 2, 3, 0, 10));
    ASSERT_TRUE(EnableRespiration(true));
    sim().clearLog();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_ECG_QRS_T), 0);
    bool apnea = false;
    for (int i = 0; i < 6000 && !apnea; ++i) {
        apnea = sim().respiration().apnea == 1;
        if (!apnea)
            SleepEx(5);
    }
    ASSERT_TRUE(apnea) << "no apnea packet within 30 s";
    {
        CAutoCriticalSection lock(g_CriticalSection);
        EXPECT_GE(g_fOutputTimeGraph, 51.0);
        EXPECT_LT(g_fOutputTimeGraph, 60.0);
    }
    const std::vector<int> sent = ApneaFlagsSent(sim().log());
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), 1);
}

TEST_F(RespirationTest, AttenuationFollowsTheBaselineResistanceWhileRespirationIsOn)
{
    const double table[] = {2.873, 7.827, 13.134, 17.92, 22.9};  // 500 .. 2500 ohm
    for (int baseline = 0; baseline < 5; ++baseline) {
        ASSERT_TRUE(SetRespiration(0, 0, 0, baseline, 0));
        {
            CAutoCriticalSection lock(g_CriticalSection);
            EXPECT_EQ(g_nRespirationResistance, 500 * (baseline + 1));
            EXPECT_EQ(GetAttenuation(), 1.0) << "respiration is still off";
        }
        ASSERT_TRUE(EnableRespiration(true));
        {
            CAutoCriticalSection lock(g_CriticalSection);
            EXPECT_EQ(GetAttenuation(), table[baseline]) << "baseline " << baseline;
        }
        ASSERT_TRUE(EnableRespiration(false));
        CAutoCriticalSection lock(g_CriticalSection);
        EXPECT_EQ(GetAttenuation(), 1.0);
    }
    CAutoCriticalSection lock(g_CriticalSection);
    g_RespirationEnabled = true;
    g_nRespirationResistance = 750;  // not a table value
    EXPECT_EQ(GetAttenuation(), 1.0);
    g_RespirationEnabled = false;
    g_nRespirationResistance = 0;
}

TEST_F(RespirationTest, MainChannelIsScaledUpByTheAttenuationWhileRespirationIsOn)
{
    ASSERT_EQ(ORVOSetAmplitude(2.0), 0);
    ASSERT_TRUE(SetRespiration(0, 0, 0, 0, 0));  // 500 ohm: 2.873
    ASSERT_TRUE(EnableRespiration(true));
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SQUARE), 0);
    WaitForSamples(40000);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_OFF), 0);
    const auto s = sim().samples();
    ASSERT_EQ(s.size(), sim().sampleCount());
    ASSERT_GE(s.size(), 40000u);
    EXPECT_EQ(s[100].main, 2227);     // 1 mV x 6400 / 2.873, truncated
    EXPECT_EQ(s[30000].main, -2227);
}

}  // namespace
