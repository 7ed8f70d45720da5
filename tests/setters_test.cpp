// The parameter setters: ranges, result codes, the pump wait, ORVOReset, and
// the serialisation of host calls with the streaming traffic.
#include "sim_fixture.h"

#include <functional>
#include <thread>

#include "api/globals.h"
#include "engine/parameters.h"

namespace {

using orvo::sim::EventKind;
using orvo::test::ConnectedTest;

struct RangeCase {
    const char* name;
    std::function<int()> call;
    int expected;
};

std::vector<RangeCase> RangeCases()
{
    return {
        {"amplitude -10", [] { return ORVOSetAmplitude(-10.0); }, 0},
        {"amplitude 10", [] { return ORVOSetAmplitude(10.0); }, 0},
        {"amplitude 10.01", [] { return ORVOSetAmplitude(10.01); }, -2},
        {"amplitude -10.01", [] { return ORVOSetAmplitude(-10.01); }, -2},
        {"frequency 0.017", [] { return ORVOSetFrequency(0.017); }, 0},
        {"frequency 0.0169", [] { return ORVOSetFrequency(0.0169); }, -2},
        {"frequency 500", [] { return ORVOSetFrequency(500.0); }, 0},
        {"frequency 500.1", [] { return ORVOSetFrequency(500.1); }, -2},
        {"DC offset -1000", [] { return ORVOSetDCOffset(0, -1000); }, 0},
        {"DC offset 1001", [] { return ORVOSetDCOffset(0, 1001); }, -2},
        {"DC offset channel 4", [] { return ORVOSetDCOffset(4, 0); }, -2},
        {"DC offset channel -1", [] { return ORVOSetDCOffset(-1, 0); }, -2},
        {"variable DC channel 4", [] { return ORVOSetDCOffsetVariableMode(4, true); }, -2},
        {"lead channel 4", [] { return ORVOSetOutputLead(4, OUTPUT_LEAD_DEFAULT); }, -2},
        {"pulse width 1", [] { return ORVOSetPulseWidth(1.0); }, 0},
        {"pulse width 300", [] { return ORVOSetPulseWidth(300.0); }, 0},
        {"pulse width 0.9", [] { return ORVOSetPulseWidth(0.9); }, -2},
        {"impedance mode 3", [] { return ORVOSetInputImpedanceMode(0, 3); }, 0},
        {"impedance mode 4", [] { return ORVOSetInputImpedanceMode(0, 4); }, -2},
        {"impedance mode -1", [] { return ORVOSetInputImpedanceMode(0, -1); }, -2},
        {"impedance channel 4", [] { return ORVOSetInputImpedanceMode(4, 0); }, -2},
        {"signal ground channel 4", [] { return ORVOSetSignalGroundToGNDGround(4, true); }, -2},
        {"QRS 5", [] { return ORVOSetQRSDuration(5.0); }, 0},
        {"QRS 200", [] { return ORVOSetQRSDuration(200.0); }, 0},
        {"QRS 4.9", [] { return ORVOSetQRSDuration(4.9); }, -2},
        {"T wave 5", [] { return ORVOSetTWave(5.0); }, 0},
        {"T wave -0.1", [] { return ORVOSetTWave(-0.1); }, -2},
        {"pacing amplitude -700", [] { return ORVOSetPacingAmplitude(-700.0); }, 0},
        {"pacing amplitude 700.5", [] { return ORVOSetPacingAmplitude(700.5); }, -2},
        {"pacing duration 0.1", [] { return ORVOSetPacingDuration(0.1); }, 0},
        {"pacing duration 3.1", [] { return ORVOSetPacingDuration(3.1); }, -2},
        {"pacing rate 10", [] { return ORVOSetPacingRate(10); }, 0},
        {"pacing rate 360", [] { return ORVOSetPacingRate(360); }, 0},
        {"pacing rate 9", [] { return ORVOSetPacingRate(9); }, -2},
        {"pacing rate 361", [] { return ORVOSetPacingRate(361); }, -2},
        {"overshoot time constant 100", [] { return ORVOSetOvershootTimeConstant(100); }, 0},
        {"overshoot time constant 101", [] { return ORVOSetOvershootTimeConstant(101); }, -2},
        {"overshoot amplitude -5", [] { return ORVOSetOvershootAmplitude(-5.0); }, 0},
        {"overshoot amplitude -5.5", [] { return ORVOSetOvershootAmplitude(-5.5); }, -2},
        {"P duration 50", [] { return ORVOSetPDuration(50.0); }, 0},
        {"P duration 49", [] { return ORVOSetPDuration(49.0); }, -2},
        {"P duration 101", [] { return ORVOSetPDuration(101.0); }, -2},
        {"PR interval 0", [] { return ORVOSetPRInterval(0.0); }, 0},
        {"PR interval 201", [] { return ORVOSetPRInterval(201.0); }, -2},
        {"QT interval 100", [] { return ORVOSetQTInterval(100.0); }, 0},
        {"QT interval 901", [] { return ORVOSetQTInterval(901.0); }, -2},
        {"P wave 2", [] { return ORVOSetPWave(2.0); }, 0},
        {"P wave 2.1", [] { return ORVOSetPWave(2.1); }, -2},
        {"ST deviation -2", [] { return ORVOSetSTDeviation(-2.0); }, 0},
        {"ST deviation 2.1", [] { return ORVOSetSTDeviation(2.1); }, -2},
        {"ST segment 100", [] { return ORVOSetSTSegment(100.0); }, 0},
        {"ST segment 99", [] { return ORVOSetSTSegment(99.0); }, -2},
        {"T duration 900", [] { return ORVOSetTDuration(900.0); }, 0},
        {"T duration 901", [] { return ORVOSetTDuration(901.0); }, -2},
        {"dynamic range amplitude 10.5", [] { return ORVOSetDynamicRangeTest(true, true, 10.5, 40.0); }, -2},
        {"dynamic range frequency 61", [] { return ORVOSetDynamicRangeTest(true, true, 1.0, 61.0); }, -3},
        {"scan 180 s 0.67-500 Hz", [] { return ORVOSetFrequencyScan(true, 180, 0.67, 500.0); }, 0},
        {"scan start 0.66", [] { return ORVOSetFrequencyScan(true, 30, 0.66, 150.0); }, -2},
        {"scan stop 500.1", [] { return ORVOSetFrequencyScan(true, 30, 0.67, 500.1); }, -3},
        {"scan 9 s", [] { return ORVOSetFrequencyScan(true, 9, 0.67, 150.0); }, -4},
        {"scan 181 s", [] { return ORVOSetFrequencyScan(true, 181, 0.67, 150.0); }, -4},
    };
}

TEST_F(ConnectedTest, EverySetterAcceptsItsBoundsAndRefusesBeyond)
{
    for (const auto& c : RangeCases())
        EXPECT_EQ(c.call(), c.expected) << c.name;
}

TEST(SettersWithoutDevice, EverySetterReturnsMinusOneAndStoresNothing)
{
    const double amplitude = ORVOGetAmplitude();
    for (const auto& c : RangeCases())
        EXPECT_EQ(c.call(), -1) << c.name;
    EXPECT_EQ(ORVOSetOutputFunction(FUNC_SINE), -1);
    EXPECT_EQ(ORVOGetOutputFunction(), 0);
    EXPECT_EQ(ORVOGetAmplitude(), amplitude);
    EXPECT_EQ(ORVOGetQRSDuration(), 100.0);
}

TEST(SettersWithoutDevice, ResetChangesOnlyTheLoopFlagAndRawDcFlag)
{
    ORVOReset();
    EXPECT_EQ(ORVOGetAmplitude(), 1.0);
    EXPECT_EQ(ORVOGetFrequency(), 1.0);
    EXPECT_EQ(ORVOGetPulseWidth(), 100.0);
}

TEST_F(ConnectedTest, RefusalsStoreNothing)
{
    ASSERT_EQ(ORVOSetAmplitude(3.0), 0);
    EXPECT_EQ(ORVOSetAmplitude(11.0), -2);
    EXPECT_EQ(ORVOGetAmplitude(), 3.0);
    ASSERT_EQ(ORVOSetOvershootAmplitude(-3.0), 0);
    EXPECT_EQ(ORVOGetOvershootAmplitude(), 3.0);
}

TEST_F(ConnectedTest, PulseFunctionsLimitTheFrequencyToFiveHertz)
{
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_PULSE), 0);
    EXPECT_EQ(ORVOSetFrequency(6.0), -2);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_TRIANGLE_PULSE), 0);
    EXPECT_EQ(ORVOSetFrequency(6.0), -2);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    EXPECT_EQ(ORVOSetFrequency(6.0), 0);
}

TEST_F(ConnectedTest, BaselineResetTestAndScanBlockAmplitudeAndFrequency)
{
    ASSERT_EQ(SetBaselineResetTest(2), 0);
    EXPECT_EQ(ORVOSetAmplitude(1.0), -3);
    EXPECT_EQ(ORVOSetFrequency(1.0), -4);
    ASSERT_EQ(SetBaselineResetTest(0), 0);
    ASSERT_EQ(ORVOSetFrequencyScan(true, 30, 0.67, 150.0), 0);
    EXPECT_EQ(ORVOSetFrequency(1.0), -3);
}

TEST_F(ConnectedTest, PrIntervalDragsThePDuration)
{
    ASSERT_EQ(ORVOSetPRInterval(40.0), 0);
    EXPECT_EQ(ORVOGetPDuration(), 40.0);
    ASSERT_EQ(ORVOSetPRInterval(120.0), 0);
    EXPECT_EQ(ORVOGetPDuration(), 50.0);
}

TEST_F(ConnectedTest, PacingRateClearsSynchronisationAndSevenHertzCannotRestoreIt)
{
    ASSERT_EQ(ORVOSetPacingRate(72), 0);
    EXPECT_FALSE(g_pacingSynchronized);
    ASSERT_EQ(ORVOSetFrequency(7.0), 0);
    EXPECT_EQ(ORVOSetPacingRateSynchronized(), -2);
    EXPECT_FALSE(g_pacingSynchronized);
    ASSERT_EQ(ORVOSetFrequency(1.0), 0);
    EXPECT_EQ(ORVOSetPacingRateSynchronized(), 0);
    EXPECT_TRUE(g_pacingSynchronized);
}

TEST_F(ConnectedTest, DcOffsetIsSharedByAllChannels)
{
    ASSERT_EQ(ORVOSetDCOffset(2, 300), 0);
    ASSERT_EQ(ORVOSetDCOffset(0, 0), 0);
    EXPECT_EQ(ORVOGetDCOffset(), 0);
}

TEST_F(ConnectedTest, DynamicRangeTestOffStopsTheOutput)
{
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    ASSERT_TRUE(ORVOIsPlaying());
    ASSERT_EQ(ORVOSetDynamicRangeTest(false, true, 1.0, 40.0), 0);
    EXPECT_EQ(ORVOGetOutputFunction(), 0);
    EXPECT_FALSE(ORVOIsPlaying());
}

TEST_F(ConnectedTest, RejectedScanStillSelectsAndStartsTheSine)
{
    EXPECT_EQ(ORVOSetFrequencyScan(false, 5, 1.0, 2.0), -4);
    EXPECT_EQ(ORVOGetOutputFunction(), FUNC_SINE);
    EXPECT_TRUE(ORVOIsPlaying());
}

TEST_F(ConnectedTest, SettersFailWithMinusOneWhenThePumpDoesNotBecomeReady)
{
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    WaitForSamples(7000);
    sim().setRequestsPaused(true);
    SleepEx(100);  // let the request in flight be served
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ORVOSetAmplitude(2.0), -1);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(2900));
    EXPECT_EQ(ORVOGetAmplitude(), 1.0);
    sim().setRequestsPaused(false);
    EXPECT_EQ(ORVOSetAmplitude(2.0), 0);
}

std::vector<double> s_frequencies;
void RecordFrequency(double frequency)
{
    s_frequencies.push_back(frequency);
}

TEST_F(ConnectedTest, FrequencyCapsAreReportedThroughTheCallback)
{
    ORVORegisterFrequencyCallback(RecordFrequency);
    ASSERT_EQ(ORVOSetFrequency(400.0), 0);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_EXP_DECAY), 0);
    EXPECT_EQ(ORVOGetFrequency(), 5.0);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_OFF), 0);
    ASSERT_EQ(ORVOSetFrequency(400.0), 0);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_ECG_QRS_T), 0);
    EXPECT_EQ(ORVOGetFrequency(), 6.0);
    ORVORegisterFrequencyCallback(nullptr);
    ASSERT_EQ(s_frequencies.size(), 2u);
    EXPECT_EQ(s_frequencies[0], 5.0);
    EXPECT_EQ(s_frequencies[1], 6.0);
}

TEST_F(ConnectedTest, DynamicRangeTestLowersTheAmplitude)
{
    ASSERT_EQ(ORVOSetAmplitude(9.0), 0);
    ASSERT_EQ(ORVOSetDynamicRangeTest(true, false, 1.0, 40.0), 0);
    EXPECT_EQ(ORVOGetAmplitude(), 9.0);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_OFF), 0);
    ASSERT_EQ(ORVOSetAmplitude(9.5), 0);
    ASSERT_EQ(ORVOSetDynamicRangeTest(true, false, 1.0, 40.0), 0);
    EXPECT_EQ(ORVOGetAmplitude(), 9.0);
}

TEST_F(ConnectedTest, StopEndsScanBaselineTestAndFixedDcCode)
{
    ASSERT_EQ(ORVOSetFrequencyScan(true, 30, 0.67, 150.0), 0);
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_nDcDACValue = 99;
    }
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_OFF), 0);
    EXPECT_FALSE(GetFreqScanECG());
    EXPECT_FALSE(ORVOGetFrequencyScan());
    EXPECT_EQ(g_nDcDACValue, -1);
    EXPECT_EQ(g_fOutputTime, 0.0);
}

std::vector<int> s_functions;
void RecordFunction(int function)
{
    s_functions.push_back(function);
}

TEST_F(ConnectedTest, ResetRestoresTheDefaults)
{
    ASSERT_EQ(ORVOSetAmplitude(3.0), 0);
    ASSERT_EQ(ORVOSetQRSDuration(150.0), 0);
    ASSERT_EQ(ORVOSetPacingAmplitude(5.0), 0);
    ASSERT_EQ(ORVOSetDCOffset(1, 300), 0);
    ASSERT_EQ(SetECG2_27_Noise(1, 0.5), 0);
    ASSERT_EQ(ORVOSetFrequencyScan(false, 60, 1.0, 100.0), 0);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    ORVORegisterOutputFunctionCallback(RecordFunction);
    ORVOReset();
    ORVORegisterOutputFunctionCallback(nullptr);
    EXPECT_EQ(ORVOGetOutputFunction(), 0);
    EXPECT_FALSE(ORVOIsPlaying());
    EXPECT_EQ(ORVOGetAmplitude(), 1.0);
    EXPECT_EQ(ORVOGetQRSDuration(), 100.0);
    EXPECT_EQ(ORVOGetPacingAmplitude(), 0.0);
    EXPECT_EQ(ORVOGetDCOffset(), 0);
    EXPECT_FALSE(ORVOGetDCOffsetVariableMode());
    EXPECT_EQ(GetECG2_27_NoiseFreq(), 0);
    EXPECT_EQ(GetECG2_27_NoiseAmp(), 0.1);
    EXPECT_EQ(GetFreqScanSineStartFreq(), 0.67);
    EXPECT_EQ(GetFreqScanSineStopFreq(), 150.0);
    EXPECT_EQ(GetFreqScanSineDuration(), 30);
    // The scan reset first selects the sine (which starts it) and then stops.
    ASSERT_FALSE(s_functions.empty());
    EXPECT_EQ(s_functions.back(), 0);
    EXPECT_GE(sim().calibration().resets, 1u);
}

// While output runs, every command of a host thread falls between a device
// request and the batch answering it: after a batch, the next thing on the
// line is the device's next request.
TEST_F(ConnectedTest, ConcurrentSettersNeverCutBetweenABatchAndTheNextRequest)
{
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_ECG_QRS_T), 0);
    WaitForSamples(7000);
    sim().clearLog();
    std::vector<std::thread> hosts;
    for (int h = 0; h < 3; ++h)
        hosts.emplace_back([h] {
            for (int i = 0; i < 20; ++i) {
                ORVOSetAmplitude(1.0 + 0.1 * ((i + h) % 5));
                ORVOSetDCOffset(h, 10 * i);
                ORVOSetQRSDuration(80.0 + i);
            }
        });
    for (auto& host : hosts)
        host.join();
    const auto log = sim().log();
    // The log was cleared mid-stream: a request may already have been in hand
    // then, so the state is known only from the first batch on.
    size_t first = 0;
    while (first < log.size() && log[first].kind != EventKind::Batch)
        ++first;
    bool requestInHand = false;
    int commandsWhileStreaming = 0;
    for (size_t i = first; i < log.size(); ++i) {
        const auto& entry = log[i];
        if (entry.kind == EventKind::Request)
            requestInHand = true;
        else if (entry.kind == EventKind::Batch)
            requestInHand = false;
        else if (entry.kind == EventKind::Command) {
            EXPECT_TRUE(requestInHand) << "command at " << entry.time << " outside a request";
            ++commandsWhileStreaming;
        }
    }
    EXPECT_GE(commandsWhileStreaming, 60);
    EXPECT_EQ(sim().counters().sequenceGaps, 0u);
    EXPECT_EQ(sim().counters().malformedPackets, 0u);
    EXPECT_EQ(sim().counters().malformedBytes, 0u);
}

}  // namespace
