// Playing loaded recordings and standard tables through the virtual simulator,
// with and without repetition, and recording the streamed output into buffers
// lent by the host.
#include "sim_fixture.h"

#include <cmath>
#include <mutex>

#include "api/globals.h"
#include "api/pump.h"
#include "platform/platform.h"
#include "engine/parameters.h"
#include "waveforms/standard_tables.h"

namespace {

using orvo::sim::PlayedSample;
using orvo::test::ConnectedTest;

constexpr double kRate = 40000.0;
constexpr double kFileRate = 1000.0;
constexpr int kFileSamples = 2000;  // two seconds

int16_t MainCode(double millivolts)
{
    return static_cast<int16_t>(std::fmax(-32768.0, std::fmin(32767.0, millivolts * 6400.0)));
}

uint16_t DcCode(double millivolts)
{
    return static_cast<uint16_t>((millivolts + 1000.0) / 2000.0 * 65535.0 + 0.5);
}

// A two-second recording: a main ramp from -1 to about +1 mV and a DC staircase.
struct Recording {
    std::vector<double> main = std::vector<double>(kFileSamples);
    std::vector<double> dc = std::vector<double>(kFileSamples);
    Recording()
    {
        for (int i = 0; i < kFileSamples; ++i) {
            main[i] = -1.0 + i / 1000.0;
            dc[i] = 100.0 * (i / 500);
        }
    }
    int Load()
    {
        RAW_ECG_DATA raw{kFileRate, kFileSamples, main.data(), dc.data()};
        return ORVOLoadRawData(&raw);
    }
};

std::mutex s_graphMutex;
std::vector<std::pair<double, double>> s_graph;
void RecordGraph(double time, double value)
{
    std::lock_guard<std::mutex> guard(s_graphMutex);
    s_graph.emplace_back(time, value);
}

bool GraphSawTheEnd()
{
    std::lock_guard<std::mutex> guard(s_graphMutex);
    for (const auto& point : s_graph)
        if (point.first == -1.0 && point.second == 0.0)
            return true;
    return false;
}

class FilePlaybackTest : public ConnectedTest {
protected:
    void TearDown() override
    {
        ORVORegisterSignalOutputCallback(nullptr);
        ConnectedTest::TearDown();
    }

    // Expected main code of stream sample i for a recording played from time 0.
    static int16_t ExpectedMain(const Recording& file, double time)
    {
        const double period = kFileSamples / kFileRate;
        const double t = time - std::trunc(time / period) * period;
        return MainCode(file.main[static_cast<size_t>(kFileRate * t)]);
    }
};

TEST_F(FilePlaybackTest, LoadedFileRepeatsSampleBySample)
{
    Recording file;
    ASSERT_EQ(file.Load(), kFileSamples);
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_FILE), 0);
    WaitForSamples(5 * 40000);
    const auto samples = sim().samples();
    double time = 0.0;
    for (size_t i = 0; i < 5 * 40000; ++i) {
        ASSERT_EQ(samples[i].main, ExpectedMain(file, time)) << i;
        ASSERT_EQ(samples[i].dc, DcCode(0.0)) << i;  // the file's DC data only with function 18
        time += 1.0 / kRate;
    }
}

TEST_F(FilePlaybackTest, FileWithoutLoopEndsAfterOnePassAndTellsTheGraph)
{
    Recording file;
    ASSERT_EQ(file.Load(), kFileSamples);
    ORVOEnableLoop(false);
    ORVORegisterSignalOutputCallback(RecordGraph);
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_FILE), 0);
    ASSERT_TRUE(sim().waitUntil([&] { return !sim().streaming(); }, 20000)) << "the file never ended";
    ASSERT_TRUE(sim().waitUntil([&] { return GraphSawTheEnd(); }, 5000));
    EXPECT_EQ(ORVOGetOutputFunction(), 0);
    EXPECT_FALSE(ORVOIsPlaying());

    const auto samples = sim().samples();
    // The batch that crosses 2 s is played in full, with 0 mV from the
    // crossing on; no batch follows it.
    const size_t crossing = 2 * 40000;
    ASSERT_GT(samples.size(), crossing);
    EXPECT_EQ(samples.size() % 700, 0u);
    EXPECT_LT(samples.size(), crossing + 700);
    double time = 0.0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const int16_t expected = time > 2.0 ? 0 : ExpectedMain(file, time);
        ASSERT_EQ(samples[i].main, expected) << i;
        time += 1.0 / kRate;
    }
}

TEST_F(FilePlaybackTest, FileWithDcPlaysItsDcDataWithoutPacing)
{
    Recording file;
    ASSERT_EQ(file.Load(), kFileSamples);
    ASSERT_EQ(ORVOSetPacingAmplitude(5.0), 0);
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_FILE_WITH_DC), 0);
    WaitForSamples(3 * 40000);
    const auto samples = sim().samples();
    double time = 0.0;
    for (size_t i = 0; i < 3 * 40000; ++i) {
        const double t = time - std::trunc(time / 2.0) * 2.0;
        const size_t index = static_cast<size_t>(kFileRate * t);
        ASSERT_EQ(samples[i].dc, DcCode(file.dc[index])) << i;
        ASSERT_EQ(samples[i].main, MainCode(file.main[index])) << i;
        time += 1.0 / kRate;
    }
}

TEST_F(FilePlaybackTest, RecordingWithoutARateDoesNotHoldBackTheNextFunction)
{
    Recording file;
    RAW_ECG_DATA raw{0.0, kFileSamples, file.main.data(), file.dc.data()};
    ASSERT_EQ(ORVOLoadRawData(&raw), -2);  // loaded, but its period never ends
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_FILE), 0);
    ASSERT_EQ(ORVOSetAmplitude(2.0), 0);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SQUARE), 0);
    const size_t requested = sim().sampleCount();
    WaitForSamples(requested + 1400);
    const int16_t code = sim().samples()[requested + 1399].main;
    EXPECT_TRUE(code == MainCode(1.0) || code == MainCode(-1.0)) << "the square never took over: " << code;
}

TEST_F(FilePlaybackTest, StandardTableWithoutLoopEndsAfterOnePass)
{
    {
        CAutoCriticalSection lock(g_CriticalSection);
        SetStandardWaveformLoop(false);
    }
    ASSERT_EQ(SetSpecialWave251(3), 0);
    ORVORegisterSignalOutputCallback(RecordGraph);
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_IEC251), 0);
    // The end is found in the middle of the batch that crosses 1 s: the stop
    // reaches the device first, and the rest of that batch follows it.
    ASSERT_TRUE(sim().waitUntil([&] { return sim().counters().idleBatches == 1; }, 20000))
        << "the table never ended";
    EXPECT_TRUE(GraphSawTheEnd());
    EXPECT_EQ(ORVOGetOutputFunction(), 0);
    const auto samples = sim().samples();
    ASSERT_EQ(samples.size(), (40000u / 700u + 1) * 700u);
    // Waveform 3 sample by sample, then 0 mV for the rest of the last batch.
    double time = 0.0;
    for (size_t i = 0; i < 40000; ++i) {
        const size_t index = static_cast<size_t>(1000.0 * time);
        ASSERT_EQ(samples[i].main, MainCode(IEC251W[3 * 1000 + index] / 1000.0)) << i;
        time += 1.0 / kRate;
    }
    for (size_t i = 40001; i < samples.size(); ++i)
        ASSERT_EQ(samples[i].main, 0) << i;
}

TEST_F(ConnectedTest, RecordingFillsTheHostBuffersAndStopsAtTheirLength)
{
    std::vector<double> ac(1000, -99.0), dc(1000, -99.0);
    std::vector<double> other(10, -99.0);
    ASSERT_EQ(ORVOSetAmplitude(2.0), 0);
    ASSERT_EQ(ORVOSetFrequency(10.0), 0);
    ASSERT_TRUE(EnableRecordRaw(ac.data(), dc.data(), 1000));
    EXPECT_FALSE(EnableRecordRaw(other.data(), other.data(), 10)) << "a second recording replaced the first";
    sim().clearSamples();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    WaitForSamples(7000);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_OFF), 0);
    DisableRecordRaw();
    const auto samples = sim().samples();
    for (size_t i = 0; i < 1000; ++i) {
        // The main value in DAC units before truncation, the DC value in mV.
        EXPECT_EQ(static_cast<int16_t>(ac[i]), samples[i].main) << i;
        EXPECT_NEAR(ac[i], 1.0 * std::sin(6.2831853 * 10.0 * i / kRate) * 6400.0, 1e-6) << i;
        EXPECT_EQ(dc[i], 0.0) << i;
    }
    EXPECT_EQ(other[0], -99.0);
    // Once disabled, a new recording may start.
    EXPECT_TRUE(EnableRecordRaw(other.data(), other.data(), 10));
    DisableRecordRaw();
}

TEST_F(ConnectedTest, AfterDisableRecordRawThePumpNoLongerWritesTheBuffers)
{
    std::vector<double> ac(40 * 40000, 0.0), dc(40 * 40000, 0.0);
    ASSERT_TRUE(EnableRecordRaw(ac.data(), dc.data(), static_cast<int>(ac.size())));
    ASSERT_EQ(ORVOSetAmplitude(2.0), 0);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SQUARE), 0);
    WaitForSamples(20000);
    DisableRecordRaw();
    // Poison the buffers: nothing may touch them any more.
    std::fill(ac.begin(), ac.end(), -1.0);
    const size_t played = sim().sampleCount();
    WaitForSamples(played + 7000);
    for (double value : ac)
        ASSERT_EQ(value, -1.0);
}

}  // namespace

namespace {

// In real time the pump spends most of its time waiting in a read for the
// next request: an exchange made without waiting for that request would have
// its reply read by the pump.
using orvo::test::RealTimeConnectedTest;

TEST_F(RealTimeConnectedTest, LoadingWhileAFilePlaysKeepsTheStreamIntact)
{
    Recording file;
    ASSERT_EQ(file.Load(), kFileSamples);
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_FILE), 0);
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(file.Load(), kFileSamples);
        SleepEx(7);
    }
    const size_t played = sim().sampleCount();
    WaitForSamples(played + 7000);
    EXPECT_EQ(sim().counters().sequenceGaps, 0u);
    EXPECT_EQ(sim().counters().malformedBytes, 0u);
    EXPECT_EQ(sim().counters().malformedPackets, 0u);
    EXPECT_TRUE(ORVOIsPlaying());
}

}  // namespace
