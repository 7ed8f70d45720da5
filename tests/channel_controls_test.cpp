// Multi-channel and special-waveform controls: the channel-state masks
// (read-modify-write against the device), the shared standard-waveform
// index, the ANE20000 lead, the noise and drift setters with their ranges and
// derived values, the output-state re-send and the common-mode flag.
#include "sim_fixture.h"

#include "api/globals.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "waveforms/standard_tables.h"

#include <vector>

namespace {

using orvo::sim::LogEntry;
using orvo::test::Commands;
using orvo::test::ConnectedTest;
using orvo::test::IsOutputStageWrite;

using Bytes = std::vector<uint8_t>;

bool IsChannelStateCommand(const LogEntry& e)
{
    return e.bytes.size() == 6 && e.bytes[0] == 0xCC && e.bytes[2] == 0x0D;
}

std::vector<Bytes> ChannelStateCommands(const std::vector<LogEntry>& log)
{
    std::vector<Bytes> commands;
    for (const LogEntry& e : Commands(log))
        if (IsChannelStateCommand(e))
            commands.push_back(e.bytes);
    return commands;
}

class ChannelControlsTest : public ConnectedTest {};

TEST_F(ChannelControlsTest, ChannelMasksAreReadModifiedAndWrittenBack)
{
    struct Step {
        bool leads;  // SetSelectedChannelLeads, else SetSelectedChannelEnabled
        uint8_t channels;
        int value;   // enable flag or lead
        uint8_t enable, lead;  // masks in the device afterwards
    };
    // Power-up masks: enable 0x0F, lead 0x00.
    const Step steps[] = {
        {false, 0x02, 0, 0x0D, 0x00},  // disable: AND NOT, lead kept
        {false, 0x30, 1, 0x3D, 0x00},  // enable: OR
        {true, 0x05, 1, 0x05, 0x05},   // leads: enable = channels, lead OR
        {true, 0x03, 1, 0x03, 0x07},
        {true, 0x01, 0, 0x01, 0x06},   // lead 0: AND NOT
        {false, 0x08, 1, 0x09, 0x06},
    };
    for (const Step& step : steps) {
        sim().clearLog();
        const bool done = step.leads ? SetSelectedChannelLeads(step.channels, static_cast<OutputLead>(step.value))
                                     : SetSelectedChannelEnabled(step.channels, step.value != 0);
        const auto masks = sim().channelMasks();
        SCOPED_TRACE(std::string(step.leads ? "leads " : "enable ") + std::to_string(step.channels) + " " +
                     std::to_string(step.value));
        EXPECT_TRUE(done);
        EXPECT_EQ(masks.enable, step.enable);
        EXPECT_EQ(masks.lead, step.lead);
        const auto sent = ChannelStateCommands(sim().log());
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[0], (Bytes{0xCC, 0x00, 0x0D, 0x00, 0x00, 0x00}));
        EXPECT_EQ(sent[1], (Bytes{0xCC, 0xFF, 0x0D, 0x00, step.enable, step.lead}));
    }
}

TEST_F(ChannelControlsTest, ShortRepliesMakeTheChannelCommandsFailWithoutWriting)
{
    sim().setShortReplies(true);
    sim().clearLog();
    EXPECT_FALSE(SetSelectedChannelEnabled(0x01, false));
    EXPECT_FALSE(SetSelectedChannelLeads(0x01, static_cast<OutputLead>(1)));
    sim().setShortReplies(false);
    for (const Bytes& sent : ChannelStateCommands(sim().log()))
        EXPECT_EQ(sent[1], 0x00) << "a write was sent after a refused read";
    const auto masks = sim().channelMasks();
    EXPECT_EQ(masks.enable, 0x0F);
    EXPECT_EQ(masks.lead, 0x00);
    // The link still works afterwards.
    EXPECT_TRUE(SetSelectedChannelEnabled(0x01, false));
    EXPECT_EQ(sim().channelMasks().enable, 0x0E);
}

TEST_F(ChannelControlsTest, ChannelCommandsWhileStreamingFallBetweenARequestAndItsBatch)
{
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    WaitForSamples(7000);
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(SetSelectedChannelEnabled(0x01, i % 2 == 1)) << "toggle " << i;
    EXPECT_EQ(sim().channelMasks().enable, 0x0F);
    const size_t played = sim().sampleCount();
    WaitForSamples(played + 7000);

    // The whole log: the request a command answers may lie before any cut.
    const auto log = sim().log();
    orvo::sim::EventKind last = orvo::sim::EventKind::Batch;
    int channelCommands = 0;
    for (const LogEntry& e : log) {
        if (e.kind != orvo::sim::EventKind::Command) {
            last = e.kind;
            continue;
        }
        if (IsChannelStateCommand(e)) {
            ++channelCommands;
            EXPECT_EQ(last, orvo::sim::EventKind::Request) << "a channel command outside a request's turn";
        }
    }
    EXPECT_EQ(channelCommands, 20);
    const auto counters = sim().counters();
    EXPECT_EQ(counters.incompleteBatches, 0u);
    EXPECT_EQ(counters.malformedBytes, 0u);
    EXPECT_EQ(counters.sequenceGaps, 0u);
}

TEST_F(ChannelControlsTest, StandardWaveformSelectionsShareOneIndexAppliedAtOnce)
{
    ASSERT_EQ(SetSpecialWave251(3), 0);
    EXPECT_EQ(GetSpecialWave247(), 3);
    EXPECT_EQ(GetSpecialWave227(), 3);
    EXPECT_EQ(GetSpecialWave251(), 3);

    ASSERT_EQ(SetSpecialWave227(0), 0);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_IEC227), 0);
    ASSERT_EQ(SetSpecialWave227(3), 0);
    CAutoCriticalSection lock(g_CriticalSection);
    EXPECT_NEAR(g_fTimePeriod, 47.93194, 1e-5);  // waveform 3's length, without waiting for the period end
    EXPECT_EQ(g_fTimePeriod, IEC227WL[3]);
}

TEST(ChannelControlsWithoutDevice, Ane20000LeadOutsideZeroToEightIsRefusedAndTheLeadKept)
{
    ASSERT_EQ(SetANE20000Lead(5), 0);
    const int cases[][3] = {
        // lead, result, lead afterwards
        {-1, -1, 5}, {9, -1, 5}, {0, 0, 0}, {8, 0, 8}, {100, -1, 8},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SetANE20000Lead(c[0]), c[1]) << "lead " << c[0];
        EXPECT_EQ(GetANE20000Lead(), c[2]) << "after lead " << c[0];
    }
    SetANE20000Lead(0);
}

TEST(ChannelControlsWithoutDevice, DeviceSettersReportNoDeviceAndStoreNothing)
{
    const int noiseType = GetECG2_27_NoiseFreq();
    const double noiseAmp = GetECG2_27_NoiseAmp();
    const bool drift = GetECG2_27_AAMIDriftTest();
    const double driftAmp = GetECG2_27_AAMIDriftTestAmp();
    const double driftFreq = GetECG2_27_AAMIDriftTestFreq();
    const bool commonMode = GetDCOffsetCommonMode();

    EXPECT_EQ(SetECG2_27_Noise(1, 1.0), -1);
    EXPECT_EQ(SetECG2_27_AAMIDriftTest(!drift), -1);
    EXPECT_EQ(SetECG2_27_AAMIDriftTestAmp(5.0), -1);
    EXPECT_EQ(SetECG2_27_AAMIDriftTestFreq(0.5), -1);
    EXPECT_EQ(SetBaselineResetTest(1), -1);
    EXPECT_EQ(SetFreqScanECG(true), -1);
    EXPECT_EQ(SetDCOffsetCommonMode(!commonMode), -1);
    EXPECT_EQ(SetAllOutputState(0), -1);

    EXPECT_EQ(GetECG2_27_NoiseFreq(), noiseType);
    EXPECT_EQ(GetECG2_27_NoiseAmp(), noiseAmp);
    EXPECT_EQ(GetECG2_27_AAMIDriftTest(), drift);
    EXPECT_EQ(GetECG2_27_AAMIDriftTestAmp(), driftAmp);
    EXPECT_EQ(GetECG2_27_AAMIDriftTestFreq(), driftFreq);
    EXPECT_EQ(GetBaselineResetTest(), 0);
    EXPECT_FALSE(GetFreqScanECG());
    EXPECT_EQ(GetDCOffsetCommonMode(), commonMode);
    EXPECT_EQ(ORVOGetOutputFunction(), FUNC_OFF);
}

TEST_F(ChannelControlsTest, NoiseAndDriftSettersAcceptTheirRangesInclusively)
{
    struct Case {
        const char* what;
        int (*set)(double);
        double (*get)();
        double value;
        int result;
        double stored;
    };
    static auto setNoise = [](double mv) { return SetECG2_27_Noise(1, mv); };
    const Case cases[] = {
        {"noise", +setNoise, GetECG2_27_NoiseAmp, 0.01, 0, 0.01},
        {"noise", +setNoise, GetECG2_27_NoiseAmp, 5.0, 0, 5.0},
        {"noise", +setNoise, GetECG2_27_NoiseAmp, 0.009, -2, 5.0},
        {"noise", +setNoise, GetECG2_27_NoiseAmp, 5.01, -2, 5.0},
        {"noise", +setNoise, GetECG2_27_NoiseAmp, -1.0, -2, 5.0},
        {"drift amplitude", SetECG2_27_AAMIDriftTestAmp, GetECG2_27_AAMIDriftTestAmp, 1.0, 0, 1.0},
        {"drift amplitude", SetECG2_27_AAMIDriftTestAmp, GetECG2_27_AAMIDriftTestAmp, 8.0, 0, 8.0},
        {"drift amplitude", SetECG2_27_AAMIDriftTestAmp, GetECG2_27_AAMIDriftTestAmp, 0.99, -2, 8.0},
        {"drift amplitude", SetECG2_27_AAMIDriftTestAmp, GetECG2_27_AAMIDriftTestAmp, 8.01, -2, 8.0},
        {"drift frequency", SetECG2_27_AAMIDriftTestFreq, GetECG2_27_AAMIDriftTestFreq, 0.05, 0, 0.05},
        {"drift frequency", SetECG2_27_AAMIDriftTestFreq, GetECG2_27_AAMIDriftTestFreq, 2.0, 0, 2.0},
        {"drift frequency", SetECG2_27_AAMIDriftTestFreq, GetECG2_27_AAMIDriftTestFreq, 0.049, -2, 2.0},
        {"drift frequency", SetECG2_27_AAMIDriftTestFreq, GetECG2_27_AAMIDriftTestFreq, 2.01, -2, 2.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.set(c.value), c.result) << c.what << " " << c.value;
        EXPECT_NEAR(c.get(), c.stored, 1e-12) << c.what << " after " << c.value;
    }
    // The noise type is passed on as it is.
    EXPECT_EQ(SetECG2_27_Noise(42, 1.0), 0);
    EXPECT_EQ(GetECG2_27_NoiseFreq(), 42);
    EXPECT_EQ(SetECG2_27_Noise(0, 0.1), 0);
}

TEST_F(ChannelControlsTest, DriftFrequencyDerivesPeriodQuartersAndSlope)
{
    ASSERT_EQ(SetECG2_27_AAMIDriftTestAmp(4.0), 0);
    ASSERT_EQ(SetECG2_27_AAMIDriftTestFreq(0.5), 0);
    EXPECT_EQ(GetECG2_27_AAMIDriftTestFreq(), 0.5);
    {
        CAutoCriticalSection lock(g_CriticalSection);
        EXPECT_EQ(g_AAMIDriftTestWaveLen, 2.0);
        EXPECT_EQ(g_AAMIDriftTestWaveLenQuad, 0.5);
        EXPECT_EQ(g_AAMIDriftTestWaveLenQuad3, 1.5);
        EXPECT_EQ(g_AAMIDriftTestSlope, 4.0);
    }
    // The amplitude changes only the slope.
    ASSERT_EQ(SetECG2_27_AAMIDriftTestAmp(6.0), 0);
    CAutoCriticalSection lock(g_CriticalSection);
    EXPECT_EQ(g_AAMIDriftTestWaveLen, 2.0);
    EXPECT_EQ(g_AAMIDriftTestSlope, 6.0);
}

TEST_F(ChannelControlsTest, DriftValuesRequestAChangeOnlyWhileTheDriftTestIsOn)
{
    ASSERT_EQ(SetECG2_27_AAMIDriftTest(false), 0);
    ASSERT_EQ(ORVOSetFrequency(0.2), 0);  // 5 s beats: a request waits for the period end
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_ECG_QRS_T), 0);

    // The lock keeps the pump from applying what is requested.
    CAutoCriticalSection lock(g_CriticalSection);
    struct Step {
        const char* what;
        int (*set)();
        bool requested;
    };
    const Step steps[] = {
        {"frequency, drift off", [] { return SetECG2_27_AAMIDriftTestFreq(0.5); }, false},
        {"amplitude, drift off", [] { return SetECG2_27_AAMIDriftTestAmp(5.0); }, false},
        {"drift on", [] { return SetECG2_27_AAMIDriftTest(true); }, true},
        {"frequency, drift on", [] { return SetECG2_27_AAMIDriftTestFreq(0.25); }, true},
        {"amplitude, drift on", [] { return SetECG2_27_AAMIDriftTestAmp(4.0); }, true},
    };
    for (const Step& step : steps) {
        s_ChangeOnNextCycle = false;
        EXPECT_EQ(step.set(), 0) << step.what;
        EXPECT_EQ(s_ChangeOnNextCycle, step.requested) << step.what;
    }
}

TEST_F(ChannelControlsTest, AllOutputStateResendsTheSameCommandWhateverTheArgument)
{
    sim().clearLog();
    ASSERT_EQ(SetAllOutputState(0), 0);
    const auto first = Commands(sim().log());
    sim().clearLog();
    ASSERT_EQ(SetAllOutputState(1), 0);
    const auto second = Commands(sim().log());

    ASSERT_EQ(first.size(), second.size());
    bool wroteStage = false;
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].bytes, second[i].bytes) << "command " << i;
        wroteStage = wroteStage || IsOutputStageWrite(first[i]);
    }
    EXPECT_TRUE(wroteStage);
}

TEST_F(ChannelControlsTest, CommonModeFlagIsStoredAndTheOutputStageResent)
{
    for (bool on : {true, false}) {
        sim().clearLog();
        ASSERT_EQ(SetDCOffsetCommonMode(on), 0);
        EXPECT_EQ(GetDCOffsetCommonMode(), on);
        bool wroteStage = false;
        for (const LogEntry& e : Commands(sim().log()))
            wroteStage = wroteStage || IsOutputStageWrite(e);
        EXPECT_TRUE(wroteStage) << "common mode " << on;
    }
}

}  // namespace
