// Standalone playback: the sample-rate choice, one generated period, the
// waveform-info and raw-data uploads, the control record, start, stop, the
// stop burst and storing a period in a ROM slot.
#include "sim_fixture.h"

#include "api/globals.h"
#include "device/output_stage.h"
#include "device/standalone.h"
#include "device/storage.h"
#include "engine/parameters.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using orvo::sim::EventKind;
using orvo::sim::LogEntry;
using orvo::sim::PlayedSample;
using orvo::sim::RawAckFault;
using orvo::test::Commands;
using orvo::test::ConnectedTest;
using Bytes = std::vector<uint8_t>;

constexpr uint16_t DC_ZERO_CODE = 0x8000;

unsigned Word(const Bytes& bytes, size_t at)
{
    return static_cast<unsigned>(bytes.at(at)) << 8 | bytes.at(at + 1);
}

bool StartsWith(const LogEntry& entry, std::initializer_list<uint8_t> prefix, size_t size)
{
    return entry.bytes.size() == size && std::equal(prefix.begin(), prefix.end(), entry.bytes.begin());
}
bool IsWaveformInfo(const LogEntry& e) { return StartsWith(e, {0xEA, 0xFF, 0x01}, 64); }
bool IsRawData(const LogEntry& e) { return StartsWith(e, {0xEA, 0xFF, 0x04}, 64); }
bool IsControlRecord(const LogEntry& e) { return StartsWith(e, {0xEA, 0xFF, 0x00}, 64); }
bool IsStopCommand(const LogEntry& e) { return StartsWith(e, {0xEA, 0xFF, 0x00, 0x00, 0x00}, 5); }
bool IsRomStore(const LogEntry& e) { return StartsWith(e, {0xEA, 0xFF, 0x07, 0x00}, 5); }
bool IsRomStatusQuery(const LogEntry& e) { return StartsWith(e, {0xEA, 0x00, 0x07, 0x00}, 6); }
bool IsStageQuery(const LogEntry& e) { return e.bytes == Bytes(64, 0x00); }

template <typename Pred>
std::vector<LogEntry> Filter(const std::vector<LogEntry>& log, Pred pred)
{
    std::vector<LogEntry> out;
    std::copy_if(log.begin(), log.end(), std::back_inserter(out), pred);
    return out;
}

// The square wave of the basic test functions as the device must receive it:
// +A for the first half of each period, -A for the second (A = amplitude / 2),
// sampled on the engine clock from startTime at the given rate, 6400 codes per mV.
std::vector<PlayedSample> ExpectedSquare(double hz, double amplitude, int rate, int count, double startTime,
                                         uint16_t dcCode)
{
    const double period = 1.0 / hz;
    const double dt = 1.0 / rate;
    std::vector<PlayedSample> out;
    double time = startTime;
    for (int i = 0; i < count; ++i) {
        const double t = time - period * std::floor(time / period);
        const double mv = t < period / 2.0 ? amplitude / 2.0 : -amplitude / 2.0;
        const double code = std::max(-32768.0, std::min(32767.0, mv * 6400.0));
        out.push_back(PlayedSample{dcCode, static_cast<int16_t>(code)});
        time += dt;
    }
    return out;
}

// Sets the engine parameters that one generated period depends on.
void SelectPeriod(uint32_t function, double hz, double amplitude)
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_MainOutput = function;
    g_F = hz;
    g_Amplitude = amplitude;
    g_DCSetting = 0;
    g_nDcDACValue = -1;
    g_bVariableDC = true;
}

double OutputTime()
{
    CAutoCriticalSection lock(g_CriticalSection);
    return g_fOutputTime;
}

// ---- sample rate and period length -----------------------------------------

TEST(StandaloneRate, ChoosesTheHighestTableRateThatKeepsAPeriodWithin2000Samples)
{
    struct Case {
        double hz;
        int rate;
        int samples;
    };
    const Case cases[] = {
        {20.0, 40000, 2000}, {19.99, 20000, 1000}, {1.0, 2000, 2000},  {0.67, 1000, 1492},
        {0.025, 50, 2000},   {0.02, 1000, 50000},  {60.0, 40000, 666}, {2.3, 4000, 1739},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hz);
        EXPECT_EQ(GetSampleRateByFrequency(c.hz), c.rate);
        EXPECT_EQ(GetPixelNumberByFrequency(c.hz), c.samples);
    }
}

// ---- one generated period --------------------------------------------------

TEST(StandaloneGeneration, WorkingAmplitudeIsHalvedExceptForTheEcgFunctions)
{
    struct Case {
        uint32_t function;
        double expected;
    };
    for (const Case c : {Case{FUNC_SQUARE, 1.0}, Case{FUNC_SINE, 1.0}, Case{FUNC_ECG_QRS_T, 2.0},
                         Case{FUNC_ECG_PQRST, 2.0}}) {
        SCOPED_TRACE(c.function);
        SelectPeriod(c.function, 1.0, 2.0);
        int count = 0;
        double* volts = nullptr;
        double* dc = nullptr;
        CAutoCriticalSection lock(g_CriticalSection);
        ASSERT_TRUE(GenWaveform(&count, &volts, &dc));
        EXPECT_EQ(s_A, c.expected);
        EXPECT_EQ(count, 2000);
        delete[] volts;
        delete[] dc;
    }
}

TEST(StandaloneGeneration, AdvancesTheEngineClockByOnePeriod)
{
    SelectPeriod(FUNC_SQUARE, 1.0, 2.0);
    CAutoCriticalSection lock(g_CriticalSection);
    g_fOutputTime = 0.25;
    int count = 0;
    double* volts = nullptr;
    double* dc = nullptr;
    GenWaveform(&count, &volts, &dc);
    EXPECT_NEAR(g_fOutputTime, 1.25, 1e-9);
    EXPECT_EQ(g_fTimePeriod, 1.0);
    // Starting a quarter period in: the square is still high, and turns low
    // a quarter period later (sample 500 of 2000).
    EXPECT_EQ(volts[0], 1.0);
    EXPECT_EQ(volts[499], 1.0);
    EXPECT_EQ(volts[501], -1.0);
    EXPECT_EQ(volts[1501], 1.0);
    delete[] volts;
    delete[] dc;
}

TEST(StandaloneGeneration, EveryDcCodeIsTheFixedCodeOrTheCodeOfTheDcOffset)
{
    struct Case {
        int32_t fixedCode;
        int32_t offsetMv;
        double expected;
    };
    const Case cases[] = {{-1, 0, 32768}, {-1, -300, 22937}, {-1, 300, 42598}, {1234, 300, 1234}, {0x12345, 0, 0x2345}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixedCode);
        SelectPeriod(FUNC_SINE, 10.0, 1.0);
        CAutoCriticalSection lock(g_CriticalSection);
        g_nDcDACValue = c.fixedCode;
        g_DCSetting = c.offsetMv;
        int count = 0;
        double* volts = nullptr;
        double* dc = nullptr;
        GenWaveform(&count, &volts, &dc);
        ASSERT_EQ(count, 2000);
        EXPECT_TRUE(std::all_of(dc, dc + count, [&](double code) { return code == c.expected; }));
        delete[] volts;
        delete[] dc;
        g_nDcDACValue = -1;
        g_DCSetting = 0;
    }
}

// ---- waveform-info packet --------------------------------------------------

class StandaloneTest : public ConnectedTest {
protected:
    void SetUp() override
    {
        ConnectedTest::SetUp();
        sim().clearLog();
    }
    std::vector<LogEntry> DeviceCommands() { return Commands(sim().log()); }
};

TEST_F(StandaloneTest, WaveformInfoDescribesThePeriodAndTheCurrentParameters)
{
    struct Case {
        double hz;
        uint32_t function;
        double pulseWidthMs;
        unsigned samples;
        unsigned hundredths;
        uint8_t widthByte;
    };
    const Case cases[] = {
        {2.3, FUNC_SQUARE, 100.0, 1739, 229, 0x00},   // 2.3 / 0.01 = 229.99...
        {0.67, FUNC_ECG_QRS_T, 300.0, 1492, 67, 0x01},  // 300 = 0x012C: bits 8-15
        {1.0, FUNC_PULSE, 255.0, 2000, 100, 0x00},
        {60.0, FUNC_SINE, 256.0, 666, 6000, 0x01},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hz);
        {
            CAutoCriticalSection lock(g_CriticalSection);
            g_F = c.hz;
            g_MainOutput = c.function;
            g_PulseWidth = c.pulseWidthMs;
            g_MainNoise = 2;
            g_MainsNoiseAmp = 0.35;
            g_PA = -5.5;
            g_PacingDuration = 2.5;
            g_PacingRate = 120;
            ASSERT_TRUE(WriteWaveformInfo());
        }
        const auto report = sim().waveformInfo();
        const Bytes info(report.begin(), report.end());
        const Bytes head(info.begin(), info.begin() + 6);
        EXPECT_EQ(head, (Bytes{0xEA, 0xFF, 0x01, 0x00, 0x00, 0x00}));
        EXPECT_EQ(Word(info, 6), c.samples);
        EXPECT_EQ(Word(info, 8), c.hundredths);
        EXPECT_EQ(info[10], c.function);
        EXPECT_EQ(info[11], c.widthByte);
        EXPECT_EQ(Word(info, 36), 2u);
        EXPECT_EQ(Word(info, 38), 35u);
        EXPECT_EQ(Word(info, 40), 0xFFFBu);  // -5.5 mV: integer part -5
        EXPECT_EQ(Word(info, 42), 2u);
        EXPECT_EQ(Word(info, 44), 120u);
        for (size_t i : {12, 20, 35, 46, 63})
            EXPECT_EQ(info[i], 0x00) << "byte " << i;
    }
    CAutoCriticalSection lock(g_CriticalSection);
    g_PA = 0.0;
    g_MainNoise = 0;
    g_MainsNoiseAmp = 0.1;
}

// ---- raw-data upload -------------------------------------------------------

TEST_F(StandaloneTest, UploadOf2000SamplesSends143PacketsWithRunningIndices)
{
    Bytes data(8008, 0x00);
    for (size_t i = 0; i < 8000; ++i)
        data[i] = static_cast<uint8_t>(1 + i % 251);
    {
        CAutoCriticalSection lock(g_CriticalSection);
        ASSERT_TRUE(WriteWaveformRawData(data.data(), static_cast<unsigned>(data.size())));
    }
    const auto raw = Filter(DeviceCommands(), IsRawData);
    ASSERT_EQ(raw.size(), 143u);
    for (size_t p = 0; p < raw.size(); ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(Word(raw[p].bytes, 6), 14 * p);
        EXPECT_EQ(raw[p].bytes[3], 0x00);
        EXPECT_TRUE(std::equal(raw[p].bytes.begin() + 8, raw[p].bytes.end(), data.begin() + 56 * p));
        // The device acknowledges with the packet itself, byte 3 set.
        Bytes ack = raw[p].bytes;
        ack[3] = 0xFF;
        EXPECT_EQ(raw[p].reply, ack);
    }
    EXPECT_EQ(Word(raw.back().bytes, 6), 1988u);
    EXPECT_EQ(Bytes(raw.back().bytes.end() - 8, raw.back().bytes.end()), Bytes(8, 0x00));
}

TEST_F(StandaloneTest, WrongAcknowledgementEndsTheUploadWithFalse)
{
    const Bytes data(8008, 0x11);
    for (RawAckFault fault : {RawAckFault::ClearedAckByte, RawAckFault::ChangedIndex}) {
        SCOPED_TRACE(static_cast<int>(fault));
        sim().clearLog();
        sim().setRawAckFault(fault);
        {
            CAutoCriticalSection lock(g_CriticalSection);
            EXPECT_FALSE(WriteWaveformRawData(data.data(), static_cast<unsigned>(data.size())));
        }
        EXPECT_EQ(Filter(DeviceCommands(), IsRawData).size(), 1u);
    }
    sim().setRawAckFault(RawAckFault::None);
}

TEST_F(StandaloneTest, UploadOfFewerThanFourBytesSendsNothingAndSucceeds)
{
    const Bytes data(64, 0x22);
    for (unsigned count : {0u, 1u, 3u}) {
        CAutoCriticalSection lock(g_CriticalSection);
        EXPECT_TRUE(WriteWaveformRawData(data.data(), count)) << count;
    }
    EXPECT_TRUE(Filter(DeviceCommands(), IsRawData).empty());
}

// ---- conversion of one generated period (WriteRawData) ----------------------

TEST_F(StandaloneTest, ConvertedPeriodIsPaddedToWholePacketsWithZeroBytes)
{
    struct Case {
        double hz;
        size_t packets;   // buffer bytes / 56
        size_t dataBytesInLast;
    };
    // 2000 samples: 8000 bytes -> 8008; 1492 samples: 5968 bytes -> 5992.
    for (const Case c : {Case{1.0, 143, 48}, Case{0.67, 107, 32}}) {
        SCOPED_TRACE(c.hz);
        sim().clearLog();
        SelectPeriod(FUNC_SQUARE, c.hz, 2.0);
        {
            CAutoCriticalSection lock(g_CriticalSection);
            ASSERT_TRUE(WriteRawData());
        }
        const auto raw = Filter(DeviceCommands(), IsRawData);
        ASSERT_EQ(raw.size(), c.packets);
        const Bytes& last = raw.back().bytes;
        EXPECT_TRUE(std::all_of(last.begin() + 8 + c.dataBytesInLast, last.end(), [](uint8_t b) { return b == 0; }));
        // The last real sample is a full sample (DC 0 mV = 0x8000), not padding.
        EXPECT_EQ(Word(last, 8 + c.dataBytesInLast - 4), DC_ZERO_CODE);
    }
}

TEST_F(StandaloneTest, ConvertedSamplesCarryDcCodeAndScaledLimitedMainValue)
{
    struct Case {
        double amplitude;  // square: +-amplitude/2 mV
        unsigned high;
        unsigned low;
    };
    const Case cases[] = {
        {2.0, 0x1900, 0xE700},   // +-1 mV = +-6400
        {12.0, 0x7FFF, 0x8000},  // +-6 mV is limited to 32767 / -32768
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.amplitude);
        sim().clearLog();
        SelectPeriod(FUNC_SQUARE, 1.0, c.amplitude);
        {
            CAutoCriticalSection lock(g_CriticalSection);
            g_fOutputTime = 0.0;
            ASSERT_TRUE(WriteRawData());
        }
        const auto raw = Filter(DeviceCommands(), IsRawData);
        ASSERT_EQ(raw.size(), 143u);
        EXPECT_EQ(Word(raw[0].bytes, 8), DC_ZERO_CODE);
        EXPECT_EQ(Word(raw[0].bytes, 10), c.high);
        // Sample 1400 (packet 100, slot 0) lies in the second half of the period.
        EXPECT_EQ(Word(raw[100].bytes, 8), DC_ZERO_CODE);
        EXPECT_EQ(Word(raw[100].bytes, 10), c.low);
    }
}

TEST_F(StandaloneTest, ConvertedDcChannelFollowsTheDcPathWithoutVariableDc)
{
    SelectPeriod(FUNC_SQUARE, 1.0, 2.0);
    {
        CAutoCriticalSection lock(g_CriticalSection);
        g_bVariableDC = false;
        g_DCSetting = 300;  // the DC path carries the offset while pacing is off
        ASSERT_TRUE(WriteRawData());
        g_bVariableDC = true;
        g_DCSetting = 0;
    }
    const auto raw = Filter(DeviceCommands(), IsRawData);
    ASSERT_FALSE(raw.empty());
    EXPECT_EQ(Word(raw[0].bytes, 8), 42598u);
}

// ---- control record --------------------------------------------------------

TEST_F(StandaloneTest, ControlRecordCarriesRateFractionAndTheChannelBlocks)
{
    ASSERT_EQ(ORVOSetInputImpedanceMode(1, 2), 0);
    ASSERT_EQ(ORVOSetSignalGroundToGNDGround(2, true), 0);
    ASSERT_EQ(ORVOSetOutputLead(3, OutputLead(1)), 0);
    struct Case {
        double hz;
        Bytes rateAndFraction;  // bytes 8-11
    };
    const Case cases[] = {
        {1.0, {0x07, 0xD0, 0x00, 0x00}},   // 2000/s, 2000 samples
        {0.67, {0x03, 0xE8, 0x02, 0x19}},  // 1000/s, 1492.537 samples
        {2.3, {0x0F, 0xA0, 0x00, 0x82}},   // 4000/s, 1739.130 samples
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hz);
        _DEVICE_CONTROL_SETTING setting;
        std::memset(&setting, 0xAA, sizeof setting);
        {
            CAutoCriticalSection lock(g_CriticalSection);
            g_F = c.hz;
            ASSERT_TRUE(GetDeviceControlSetting(&setting));
        }
        const Bytes record(setting.bytes, setting.bytes + 64);
        EXPECT_EQ(Bytes(record.begin(), record.begin() + 8), (Bytes{0xEA, 0xFF, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}));
        EXPECT_EQ(Bytes(record.begin() + 8, record.begin() + 12), c.rateAndFraction);
        EXPECT_EQ(record[12], 0x04);
        EXPECT_EQ(record[13], 0x00);
        EXPECT_EQ(Bytes(record.begin() + 14, record.begin() + 32), Bytes(18, 0x00));
        const auto stage = sim().outputStage();
        EXPECT_EQ(Bytes(record.begin() + 32, record.end()), Bytes(stage.begin() + 32, stage.end()));
    }
    const auto stage = sim().outputStage();
    EXPECT_EQ(stage[32 + 8 * 1 + 1], 0xFF);  // the blocks copied are not all zero
    EXPECT_EQ(stage[32 + 8 * 2 + 5], 0xFF);
}

TEST_F(StandaloneTest, ControlRecordFailsUntouchedWhenTheStageQueryFails)
{
    sim().setSilent(true);
    _DEVICE_CONTROL_SETTING setting;
    std::memset(&setting, 0xAA, sizeof setting);
    {
        CAutoCriticalSection lock(g_CriticalSection);
        EXPECT_FALSE(GetDeviceControlSetting(&setting));
        EXPECT_FALSE(OutputSignal());
    }
    sim().setSilent(false);
    EXPECT_TRUE(std::all_of(setting.bytes, setting.bytes + 64, [](uint8_t b) { return b == 0xAA; }));
    // OutputSignal sent nothing after the failed query.
    EXPECT_TRUE(Filter(DeviceCommands(), IsControlRecord).empty());
}

// ---- stop ------------------------------------------------------------------

TEST_F(StandaloneTest, StopBurstSetsEveryOutputToItsZeroLevel)
{
    const auto before = sim().counters();
    {
        CAutoCriticalSection lock(g_CriticalSection);
        SendStopPacket();
    }
    ASSERT_TRUE(sim().waitUntil([&] { return sim().counters().stopBursts == before.stopBursts + 1; }, 5000));
    const auto bursts = Filter(sim().log(), [](const LogEntry& e) { return e.kind == EventKind::StopBurst; });
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_EQ(bursts[0].count, 50u);
    EXPECT_EQ(bursts[0].bytes, (Bytes{0x01, 0x01, 0x00, 0x00, 0x00, 0x0E, 0xFF, 0x00}));
    // The device takes a packet as a stop packet only when all 14 sample slots
    // read 0x80 0x00 0x00 0x00; any other packet would have been played.
    const auto after = sim().counters();
    EXPECT_EQ(after.samples, before.samples);
    EXPECT_EQ(after.malformedPackets, before.malformedPackets);
    EXPECT_EQ(after.commands, before.commands);  // written in one piece, nothing read
}

TEST_F(StandaloneTest, OutputSignalWithCodeOffOrAbove8SendsTheStopCommand)
{
    for (int code : {0, 9, 18, 1000}) {
        SCOPED_TRACE(code);
        sim().clearLog();
        EXPECT_EQ(ORVOOutputSignal(code), 0);
        const auto commands = DeviceCommands();
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_TRUE(IsStopCommand(commands[0]));
        EXPECT_EQ(commands[0].reply.size(), 64u);
    }
}

// ---- playback --------------------------------------------------------------

TEST(StandalonePlayback, OutputSignalWithoutADeviceFails)
{
    EXPECT_EQ(ORVOOutputSignal(FUNC_SQUARE), -1);
    EXPECT_EQ(ORVOOutputSignal(FUNC_OFF), 0);
    EXPECT_EQ(ORVOOutputSignal(9), 0);
}

TEST_F(StandaloneTest, OutputSignalUploadsOnePeriodAndStartsThePlayback)
{
    ASSERT_EQ(ORVOSetFrequency(1.0), 0);
    ASSERT_EQ(ORVOSetAmplitude(2.0), 0);
    ASSERT_EQ(ORVOSetDCOffset(0, 0), 0);
    sim().clearLog();
    const double start = OutputTime();
    EXPECT_EQ(ORVOOutputSignal(FUNC_SQUARE), 0);
    EXPECT_TRUE(sim().standalonePlaying());

    const auto commands = Filter(DeviceCommands(), [](const LogEntry& e) { return e.bytes[0] == 0xEA; });
    ASSERT_EQ(commands.size(), 1u + 143u + 1u);
    EXPECT_TRUE(IsWaveformInfo(commands.front()));
    EXPECT_EQ(commands.front().bytes[10], FUNC_SQUARE);
    EXPECT_TRUE(std::all_of(commands.begin() + 1, commands.end() - 1, IsRawData));
    ASSERT_TRUE(IsControlRecord(commands.back()));
    EXPECT_EQ(commands.back().bytes[4], 1);
    EXPECT_EQ(sim().uploadedPeriod(), ExpectedSquare(1.0, 2.0, 2000, 2000, start, DC_ZERO_CODE));

    sim().clearLog();
    EXPECT_EQ(ORVOOutputSignal(FUNC_OFF), 0);
    EXPECT_FALSE(sim().standalonePlaying());
}

// ---- storing a period in ROM -----------------------------------------------

TEST_F(StandaloneTest, SaveToStandaloneModeUploadsThenStoresInSlot1)
{
    ASSERT_EQ(ORVOSetFrequency(2.3), 0);
    ASSERT_EQ(ORVOSetAmplitude(2.0), 0);
    ASSERT_EQ(ORVOSetDCOffset(0, 100), 0);
    sim().clearLog();
    const double start = OutputTime();

    EXPECT_EQ(ORVOSaveToStandaloneMode(FUNC_SQUARE), 1);
    EXPECT_EQ(ORVOGetOutputFunction(), FUNC_OFF);

    const auto commands = DeviceCommands();
    ASSERT_FALSE(commands.empty());
    const auto info = commands.begin();
    ASSERT_TRUE(IsWaveformInfo(*info));
    EXPECT_EQ(info->bytes[10], FUNC_SQUARE);
    const auto firstRaw = info + 1;
    const auto afterRaw = std::find_if_not(firstRaw, commands.end(), IsRawData);
    EXPECT_EQ(afterRaw - firstRaw, 125);  // 1739 samples
    ASSERT_NE(afterRaw, commands.end());
    EXPECT_TRUE(IsStageQuery(*afterRaw));
    ASSERT_GE(commands.end() - afterRaw, 4);
    ASSERT_TRUE(IsControlRecord(afterRaw[1]));
    EXPECT_EQ(afterRaw[1].bytes[4], 0);
    ASSERT_TRUE(IsRomStore(afterRaw[2]));
    EXPECT_EQ(afterRaw[2].bytes[4], 1);
    ASSERT_TRUE(IsRomStatusQuery(afterRaw[3]));
    EXPECT_EQ(afterRaw[3].bytes[4], 1);
    EXPECT_EQ(afterRaw + 4, commands.end());  // the first status query confirmed it
    EXPECT_FALSE(sim().standalonePlaying());

    // DC offset 100 mV: code of (1100 / 2000) x 65535, rounded.
    const auto expected = ExpectedSquare(2.3, 2.0, 4000, 1739, start, 36044);
    EXPECT_EQ(sim().uploadedPeriod(), expected);
    const auto slots = sim().romSlots();
    ASSERT_EQ(slots.count(1), 1u);
    EXPECT_EQ(slots.at(1).period, expected);
    EXPECT_EQ(slots.at(1).controlRecord[4], 0);
    EXPECT_EQ(slots.at(1).waveformInfo[10], FUNC_SQUARE);
    // The engine clock moved on by one period.
    EXPECT_NEAR(OutputTime() - start, 1739 / 4000.0, 1e-9);
    EXPECT_EQ(ORVOSetDCOffset(0, 0), 0);
}

TEST_F(StandaloneTest, SaveToStandaloneModeKeepsTheFunctionWhenTheUploadFails)
{
    sim().setRawAckFault(RawAckFault::ChangedIndex);
    EXPECT_EQ(ORVOSaveToStandaloneMode(FUNC_TRIANGLE), 0);
    sim().setRawAckFault(RawAckFault::None);
    EXPECT_EQ(ORVOGetOutputFunction(), FUNC_TRIANGLE);
    EXPECT_TRUE(Filter(DeviceCommands(), IsRomStore).empty());
    EXPECT_TRUE(sim().romSlots().empty());
    CAutoCriticalSection lock(g_CriticalSection);
    g_MainOutput = FUNC_OFF;
}

// The library counts a store that no status query confirms as a failure.
TEST_F(StandaloneTest, SaveToStandaloneModeFailsAfter80PollsOfASlotNeverReady)
{
    sim().setRomNeverReady(true);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(ORVOSaveToStandaloneMode(FUNC_SQUARE), 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    sim().setRomNeverReady(false);

    const auto commands = DeviceCommands();
    EXPECT_EQ(Filter(commands, IsRomStore).size(), 1u);
    EXPECT_EQ(Filter(commands, IsRomStatusQuery).size(), 80u);
    EXPECT_GE(seconds, 15.0);  // 200 ms after each of the 80 failed polls
    EXPECT_EQ(ORVOGetOutputFunction(), FUNC_OFF);
}

TEST_F(StandaloneTest, RomStoreWithoutAnAnswerFailsWithoutPolling)
{
    for (int fault = 0; fault < 2; ++fault) {
        SCOPED_TRACE(fault);
        sim().clearLog();
        fault == 0 ? sim().setSilent(true) : sim().setShortReplies(true);
        {
            CAutoCriticalSection lock(g_CriticalSection);
            EXPECT_FALSE(WriteToROM(STANDALONE_ROM_SLOT));
        }
        sim().setSilent(false);
        sim().setShortReplies(false);
        const auto commands = DeviceCommands();
        EXPECT_EQ(Filter(commands, IsRomStore).size(), 1u);
        EXPECT_TRUE(Filter(commands, IsRomStatusQuery).empty());
    }
}

TEST_F(StandaloneTest, SlotStatusIsPassedOnAlsoWhenTheReplyCheckFails)
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        ASSERT_TRUE(WriteToROM(1));
    }
    struct Case {
        int slot;
        bool neverReady;
        bool result;
        uint8_t status;
    };
    const Case cases[] = {{1, false, true, 0x01}, {2, false, true, 0x00}, {1, true, false, 0x01}, {2, true, false, 0x00}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot * 10 + c.neverReady);
        sim().setRomNeverReady(c.neverReady);
        unsigned char status = 0xAA;
        CAutoCriticalSection lock(g_CriticalSection);
        EXPECT_EQ(DoReadFromROM(c.slot, &status), c.result);
        EXPECT_EQ(status, c.status);
    }
    sim().setRomNeverReady(false);
    // No reply at all: the status stays as it was.
    sim().setSilent(true);
    unsigned char status = 0xAA;
    {
        CAutoCriticalSection lock(g_CriticalSection);
        EXPECT_FALSE(DoReadFromROM(1, &status));
    }
    sim().setSilent(false);
    EXPECT_EQ(status, 0xAA);
}

TEST_F(StandaloneTest, DefaultWaveformIsA1HzEcgOnDefaultChannelsInSlot1)
{
    ASSERT_EQ(ORVOSetFrequency(3.0), 0);
    ASSERT_EQ(ORVOSetInputImpedanceMode(2, 3), 0);
    ASSERT_EQ(ORVOSetOutputLead(1, OutputLead(1)), 0);

    EXPECT_TRUE(ORVOSaveDefaultWaveform());

    const auto slots = sim().romSlots();
    ASSERT_EQ(slots.count(1), 1u);
    const auto& slot = slots.at(1);
    const Bytes info(slot.waveformInfo.begin(), slot.waveformInfo.end());
    EXPECT_EQ(info[10], FUNC_ECG_QRS_T);
    EXPECT_EQ(Word(info, 6), 2000u);
    EXPECT_EQ(Word(info, 8), 100u);
    EXPECT_EQ(slot.period.size(), 2000u);
    EXPECT_EQ(slot.controlRecord[4], 0);
    for (int channel = 0; channel < 4; ++channel) {
        SCOPED_TRACE(channel);
        const size_t block = 32 + 8 * channel;
        EXPECT_EQ(slot.controlRecord[block + 0], 0x00);  // impedance mode 0
        EXPECT_EQ(slot.controlRecord[block + 1], 0x00);
        EXPECT_EQ(slot.controlRecord[block + 4], 0x00);
        EXPECT_EQ(slot.controlRecord[block + 3], 0xFF);  // default lead state
    }
    // The R wave of a 2 mV ECG reaches 0.875 x 2 mV (11200 codes); the nearest
    // sample lies 0.25 ms before the peak.
    const auto peak = std::max_element(slot.period.begin(), slot.period.end(),
                                       [](const PlayedSample& a, const PlayedSample& b) { return a.main < b.main; });
    EXPECT_NEAR(peak->main, 11200, 80);
    EXPECT_EQ(ORVOGetOutputFunction(), FUNC_OFF);
}

}  // namespace
