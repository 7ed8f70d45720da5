// The connection manager against the virtual simulator: connecting and giving
// up, the host's connection callback across unplug and replug, stopping, the
// clean-up sent to the device, the supervision pass and its watchdog exchange,
// two processes contending for one port, and no leaks over many connections.
#include "sim_fixture.h"
#include "test_helpers.h"

#include "api/lifecycle.h"
#include "device/link.h"
#include "engine/parameters.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using orvo::sim::EventKind;
using orvo::sim::LogEntry;
using orvo::sim::Simulator;
using orvo::test::CallbackLog;
using orvo::test::Clock;
using orvo::test::FileExists;
using orvo::test::MillisecondsSince;
using orvo::test::SimulatedDevice;

constexpr int CONNECT_WAIT_MS = 5000;
// The monitor notices a vanished port after three listings 500 ms apart,
// possibly after its 1.2 s pause; the rest is slack for a loaded machine.
constexpr int UNPLUG_NOTICE_MS = 6000;

CallbackLog g_firstListener;
CallbackLog g_secondListener;
void OnFirstListener(bool connected)
{
    g_firstListener.Add(connected);
}
void OnSecondListener(bool connected)
{
    g_secondListener.Add(connected);
}

size_t CountEntries(const char* directory)
{
    DIR* dir = opendir(directory);
    if (dir == nullptr)
        return 0;
    size_t count = 0;
    while (readdir(dir) != nullptr)
        ++count;
    closedir(dir);
    return count;
}

bool IsWatchdog(const LogEntry& entry)
{
    return entry.kind == EventKind::Command && entry.bytes == std::vector<uint8_t>{0x55, 0x00, 0x00};
}

// Waits until the simulator has framed more than `count` commands.
bool WaitForCommandsBeyond(Simulator& sim, uint64_t count, int timeoutMs)
{
    const auto start = Clock::now();
    while (sim.counters().commands <= count) {
        if (MillisecondsSince(start) > timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A fast simulator at port 0 with the library pointed at it; the manager is
// stopped after each test.
class ConnectionManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_firstListener.Clear();
        g_secondListener.Clear();
        device_ = std::make_unique<SimulatedDevice>(0, true);
    }
    void TearDown() override
    {
        ORVOFree();
        device_.reset();
    }

    Simulator& sim() { return device_->sim(); }
    std::string LockFile() const { return device_->lockFile(0); }

    // ORVOInit with the first listener, waiting for its first true.
    void InitAndWaitForConnection()
    {
        ASSERT_TRUE(ORVOInit(OnFirstListener));
        ASSERT_TRUE(g_firstListener.WaitForCount(1, CONNECT_WAIT_MS)) << "no connection reported";
        ASSERT_EQ(g_firstListener.Events(), std::vector<bool>{true});
    }

    void ExpectManagerStoppedAndPortReleased()
    {
        EXPECT_FALSE(ORVOIsConnected());
        EXPECT_EQ(g_hConnectDeviceThread, 0ul);
        EXPECT_FALSE(FileExists(LockFile())) << "the lock file outlived the connection";
    }

    std::unique_ptr<SimulatedDevice> device_;
};

TEST_F(ConnectionManagerTest, ConnectReturnsWithThePortClaimedAndTheChannelsPrepared)
{
    ASSERT_TRUE(ORVOConnect(0, CONNECT_WAIT_MS));

    EXPECT_TRUE(ORVOIsConnected());
    EXPECT_NE(g_hConnectDeviceThread, 0ul);
    EXPECT_TRUE(FileExists(LockFile()));
    const auto stage = sim().outputStage();
    for (int channel = 0; channel < 4; ++channel) {
        SCOPED_TRACE(channel);
        EXPECT_EQ(stage[32 + 8 * channel + 3], 0xFF) << "lead state not reset to the default";
        EXPECT_EQ(stage[32 + 8 * channel + 0], 0x00) << "input impedance not reset to mode 0";
        EXPECT_EQ(stage[32 + 8 * channel + 1], 0x00);
        EXPECT_EQ(stage[32 + 8 * channel + 4], 0x00);
    }
}

TEST_F(ConnectionManagerTest, ConnectTimeoutWithASilentDeviceStopsTheManager)
{
    sim().setSilent(true);
    const auto start = Clock::now();

    EXPECT_FALSE(ORVOConnect(0, 1500));

    EXPECT_GE(MillisecondsSince(start), 1400);
    ExpectManagerStoppedAndPortReleased();
}

TEST_F(ConnectionManagerTest, ConnectOnAnAlreadyConnectedManagerTimesOutAndStopsItSilently)
{
    InitAndWaitForConnection();

    EXPECT_FALSE(ORVOConnect(0, 500));

    ExpectManagerStoppedAndPortReleased();
    EXPECT_EQ(g_firstListener.Events(), std::vector<bool>{true}) << "the replaced callback was called";
}

TEST_F(ConnectionManagerTest, ConnectWithZeroTimeoutPollsOnceAndStopsTheManager)
{
    EXPECT_FALSE(ORVOConnect(0, 0));
    ExpectManagerStoppedAndPortReleased();

    // A fresh manager starts afterwards.
    EXPECT_TRUE(ORVOConnect(0, CONNECT_WAIT_MS));
}

TEST_F(ConnectionManagerTest, RejectedDeviceIsNeverReportedToTheHost)
{
    sim().setWrongSignature(true);
    ASSERT_TRUE(ORVOInit(OnFirstListener));

    // Two probes and more.
    EXPECT_FALSE(g_firstListener.WaitForCount(1, 2500));
    EXPECT_EQ(g_bConnected.load(), 0);
    EXPECT_GE(orvo::test::Commands(sim().log()).size(), 2u) << "the device was not probed again";
    // Nothing left to probe when the manager stops.
    sim().unplug();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

struct UnplugCase {
    const char* name;
    bool streaming;
};

const UnplugCase kUnplugCases[] = {
    {"idle", false},
    {"streaming", true},
};

TEST_F(ConnectionManagerTest, HostIsToldOfAnUnplugSoonAndOfTheReplug)
{
    InitAndWaitForConnection();
    for (const UnplugCase& c : kUnplugCases) {
        SCOPED_TRACE(c.name);
        g_firstListener.Clear();
        if (c.streaming) {
            ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
            ASSERT_TRUE(sim().waitForSamples(7000, 10000));
        }

        const auto unplugged = Clock::now();
        sim().unplug();
        ASSERT_TRUE(g_firstListener.WaitForCount(1, UNPLUG_NOTICE_MS + 2000)) << "the unplug went unnoticed";
        EXPECT_LT(MillisecondsSince(unplugged), UNPLUG_NOTICE_MS);
        EXPECT_EQ(g_firstListener.Events(), std::vector<bool>{false});
        EXPECT_FALSE(ORVOIsConnected());
        EXPECT_FALSE(FileExists(LockFile()));

        ASSERT_TRUE(sim().replug());
        ASSERT_TRUE(g_firstListener.WaitForCount(2, CONNECT_WAIT_MS)) << "the replug went unnoticed";
        EXPECT_EQ(g_firstListener.Events(), (std::vector<bool>{false, true}));
        EXPECT_TRUE(ORVOIsConnected());
        ORVOSetOutputFunction(FUNC_OFF);
    }
}

TEST_F(ConnectionManagerTest, InitTwiceKeepsOneThreadAndTheLatestCallback)
{
    InitAndWaitForConnection();
    const unsigned long thread = g_hConnectDeviceThread;
    const size_t threads = CountEntries("/proc/self/task");

    ASSERT_TRUE(ORVOInit(OnSecondListener));

    EXPECT_EQ(g_hConnectDeviceThread, thread);
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
    sim().unplug();
    ASSERT_TRUE(g_secondListener.WaitForCount(1, UNPLUG_NOTICE_MS + 2000));
    ASSERT_TRUE(sim().replug());
    ASSERT_TRUE(g_secondListener.WaitForCount(2, CONNECT_WAIT_MS));
    EXPECT_EQ(g_secondListener.Events(), (std::vector<bool>{false, true}));
    EXPECT_EQ(g_firstListener.Events(), std::vector<bool>{true});
}

TEST_F(ConnectionManagerTest, FreeReleasesPortAndLockFileWithoutTellingTheHost)
{
    InitAndWaitForConnection();

    ORVOFree();

    ExpectManagerStoppedAndPortReleased();
    EXPECT_EQ(g_firstListener.Events(), std::vector<bool>{true});
}

TEST_F(ConnectionManagerTest, FreeWithNothingRunningOnlyReturns)
{
    ORVOFree();
    ORVOFree();

    ExpectManagerStoppedAndPortReleased();
    EXPECT_EQ(orvo::test::Commands(sim().log()).size(), 0u);
}

uint8_t DcSourceOf(const orvo::sim::Report& stage, int channel)
{
    return stage[32 + 8 * channel + 2];
}

TEST_F(ConnectionManagerTest, StoppingSwitchesOffVariableDcAndZeroesTheOffsetOfEveryChannel)
{
    ASSERT_TRUE(ORVOConnect(0, CONNECT_WAIT_MS));
    const bool variable[4] = {true, true, false, false};
    for (int channel = 0; channel < 4; ++channel)
        ASSERT_EQ(ORVOSetDCOffsetVariableMode(channel, variable[channel]), 0);
    for (int channel = 0; channel < 4; ++channel)
        ASSERT_EQ(ORVOSetDCOffset(channel, 300), 0);
    const auto before = sim().outputStage();
    const uint8_t expectedBefore[4] = {0x10, 0x10, 0x01, 0x01};
    for (int channel = 0; channel < 4; ++channel)
        ASSERT_EQ(DcSourceOf(before, channel), expectedBefore[channel]) << "channel " << channel;
    sim().clearLog();

    ORVOFree();

    // Each change of a channel's DC source, in the order the device saw them:
    // channel 0 loses variable DC first (leaving the fixed +300 mV), then the
    // offset, which is one value for all channels, goes to 0.
    std::vector<std::pair<int, uint8_t>> changes;
    auto current = before;
    for (const LogEntry& entry : sim().log()) {
        if (!orvo::test::IsOutputStageWrite(entry))
            continue;
        for (int channel = 0; channel < 4; ++channel) {
            const uint8_t source = entry.bytes[32 + 8 * channel + 2];
            if (source != DcSourceOf(current, channel))
                changes.emplace_back(channel, source);
            current[32 + 8 * channel + 2] = source;
        }
    }
    const std::vector<std::pair<int, uint8_t>> expected = {{0, 0x01}, {0, 0x00}, {1, 0x00}, {2, 0x00}, {3, 0x00}};
    EXPECT_EQ(changes, expected);
    const auto after = sim().outputStage();
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_EQ(DcSourceOf(after, channel), 0x00) << "channel " << channel;
    EXPECT_EQ(ORVOGetDCOffset(), 0);
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_FALSE(g_bTestVariableDC[channel]) << "channel " << channel;
    ExpectManagerStoppedAndPortReleased();
}

TEST_F(ConnectionManagerTest, ReconnectSignalWakesTheSupervisionPassForAWatchdogExchange)
{
    ASSERT_TRUE(ORVOConnect(0, CONNECT_WAIT_MS));
    // Let the preparation traffic and the first supervision wait begin.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sim().clearLog();
    const uint64_t commands = sim().counters().commands;

    ReconnectDevice();

    ASSERT_TRUE(WaitForCommandsBeyond(sim(), commands, 3000)) << "the supervision pass slept on";
    const auto log = orvo::test::Commands(sim().log());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(IsWatchdog(log[0]));
    EXPECT_EQ(log[0].reply.size(), 12u);
    EXPECT_TRUE(ORVOIsConnected());
}

TEST_F(ConnectionManagerTest, WatchdogWhileStreamingFallsBetweenARequestAndItsBatch)
{
    ASSERT_TRUE(ORVOConnect(0, CONNECT_WAIT_MS));
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    ASSERT_TRUE(sim().waitForSamples(7000, 10000));
    sim().clearLog();
    // Some traffic first, so that the request before the watchdog is logged.
    ASSERT_TRUE(sim().waitForSamples(sim().sampleCount() + 2100, 10000));
    const uint64_t commands = sim().counters().commands;

    ReconnectDevice();

    ASSERT_TRUE(WaitForCommandsBeyond(sim(), commands, 5000)) << "no watchdog exchange while streaming";
    const uint64_t samples = sim().counters().samples;
    ASSERT_TRUE(sim().waitUntil([&] { return sim().counters().samples >= samples + 7000; }, 10000))
        << "streaming did not go on after the watchdog exchange";
    const auto log = sim().log();
    const auto watchdog = std::find_if(log.begin(), log.end(), IsWatchdog);
    ASSERT_NE(watchdog, log.end());
    EXPECT_EQ(watchdog->reply.size(), 12u);
    const auto isTraffic = [](const LogEntry& entry) { return entry.kind != EventKind::Command; };
    const auto before = std::find_if(std::make_reverse_iterator(watchdog), log.rend(), isTraffic);
    const auto after = std::find_if(watchdog + 1, log.end(), isTraffic);
    ASSERT_NE(before, log.rend());
    ASSERT_NE(after, log.end());
    EXPECT_EQ(before->kind, EventKind::Request);
    EXPECT_EQ(after->kind, EventKind::Batch);
    EXPECT_EQ(after->count, 50u);
    EXPECT_EQ(sim().counters().incompleteBatches, 0u);
    EXPECT_EQ(sim().counters().sequenceGaps, 0u);
}

TEST_F(ConnectionManagerTest, SupervisionGivesUpOnADeviceThatStopsRequestingAndReconnects)
{
    InitAndWaitForConnection();
    ASSERT_EQ(ORVOSetOutputFunction(FUNC_SINE), 0);
    ASSERT_TRUE(sim().waitForSamples(7000, 10000));
    sim().setRequestsPaused(true);
    // Let the pump answer a request that was already on its way.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto woken = Clock::now();

    ReconnectDevice();

    ASSERT_TRUE(g_firstListener.WaitForCount(2, static_cast<int>(WATCHDOG_REQUEST_WAIT_MS) + 10000))
        << "the supervision pass kept waiting for a request";
    const long long elapsed = MillisecondsSince(woken);
    EXPECT_GE(elapsed, static_cast<long long>(WATCHDOG_REQUEST_WAIT_MS) * 9 / 10);
    ASSERT_TRUE(g_firstListener.WaitForCount(3, CONNECT_WAIT_MS)) << "no reconnection";
    EXPECT_EQ(g_firstListener.Events(), (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(ORVOIsConnected());
}

// The candidate port counts as open during the probe: a host call made
// meanwhile must not exchange commands with the device in the middle of the
// identification (the probe would read the host call's reply and reject a
// genuine device, attempt after attempt).
TEST_F(ConnectionManagerTest, HostCallsDuringAProbeLeaveItAndTheDeviceUndisturbed)
{
    std::atomic<bool> stop{false};
    std::thread host([&] {
        while (!stop.load())
            ORVOSetInputImpedanceMode(0, 0);
    });
    ASSERT_TRUE(ORVOInit(OnFirstListener));
    const bool connected = g_firstListener.WaitForCount(1, CONNECT_WAIT_MS);
    stop.store(true);
    host.join();
    ASSERT_TRUE(connected);

    const auto log = sim().log();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), IsWatchdog), 1) << "the first probe did not identify the device";
    EXPECT_EQ(sim().counters().malformedBytes, 0u) << "commands of the probe and the host call got mixed";
}

// --- Two processes, one port ---------------------------------------------
//
// The contention test starts this program again as a second process that runs
// only ContendingProcess.*; that test does its part when the environment
// names the pipes to talk over, and is skipped otherwise.

constexpr const char* kContenderDirVariable = "ORVO_CONTENDER_DIR";
constexpr const char* kContenderReportVariable = "ORVO_CONTENDER_REPORT_FD";
constexpr const char* kContenderStopVariable = "ORVO_CONTENDER_STOP_FD";

int g_contenderReportFd = -1;
void ReportToPeer(bool connected)
{
    const char state = connected ? '1' : '0';
    if (write(g_contenderReportFd, &state, 1) != 1)
        std::abort();
}

TEST(ContendingProcess, HoldsThePortUntilItsPeerTellsItToStop)
{
    const char* dir = std::getenv(kContenderDirVariable);
    const char* report = std::getenv(kContenderReportVariable);
    const char* stop = std::getenv(kContenderStopVariable);
    if (dir == nullptr || report == nullptr || stop == nullptr)
        GTEST_SKIP() << "runs only as the second process of the contention test";
    g_contenderReportFd = std::atoi(report);
    ORVOSetDevicePathFormat((std::string(dir) + "/ttyACM%d").c_str());
    ORVOSetLockDirectory((std::string(dir) + "/lock").c_str());
    ASSERT_TRUE(ORVOInit(ReportToPeer));
    char ignored;
    while (read(std::atoi(stop), &ignored, 1) > 0) {
    }
    ORVOFree();
}

// The second process and the pipes to it.
class Contender {
public:
    explicit Contender(const std::string& dir)
    {
        int report[2];
        int stop[2];
        if (pipe(report) != 0 || pipe(stop) != 0)
            throw std::runtime_error("pipe failed");
        reportFd_ = report[0];
        stopFd_ = stop[1];
        std::vector<std::string> environment = {
            std::string(kContenderDirVariable) + "=" + dir,
            std::string(kContenderReportVariable) + "=" + std::to_string(report[1]),
            std::string(kContenderStopVariable) + "=" + std::to_string(stop[0]),
        };
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string program = "/proc/self/exe";
        std::string filter = "--gtest_filter=ContendingProcess.*";
        char* argv[] = {program.data(), filter.data(), nullptr};

        pid_ = fork();
        if (pid_ == 0) {
            close(report[0]);
            close(stop[1]);
            const int devNull = open("/dev/null", O_WRONLY);
            dup2(devNull, STDOUT_FILENO);
            execve(argv[0], argv, envp.data());
            _exit(127);
        }
        close(report[1]);
        close(stop[0]);
    }

    ~Contender()
    {
        Stop();
        if (pid_ > 0 && !Exited(10000)) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(reportFd_);
    }

    // The connection states the peer reported within timeoutMs.
    std::string ReportsWithin(int timeoutMs)
    {
        const auto start = Clock::now();
        for (;;) {
            const long long left = timeoutMs - MillisecondsSince(start);
            struct pollfd entry = {reportFd_, POLLIN, 0};
            if (left <= 0 || poll(&entry, 1, static_cast<int>(left)) <= 0)
                return reports_;
            char state;
            if (read(reportFd_, &state, 1) != 1)
                return reports_;
            reports_ += state;
        }
    }

    // Waits until the peer reported something new; returns all reports.
    std::string WaitForReport(int timeoutMs)
    {
        const size_t seen = reports_.size();
        const auto start = Clock::now();
        while (reports_.size() == seen && MillisecondsSince(start) < timeoutMs)
            ReportsWithin(50);
        return reports_;
    }

    void Stop()
    {
        if (stopFd_ >= 0)
            close(stopFd_);
        stopFd_ = -1;
    }

    bool Exited(int timeoutMs)
    {
        const auto start = Clock::now();
        while (MillisecondsSince(start) < timeoutMs) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exitStatus_ = status;
                pid_ = -1;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    int exitStatus() const { return exitStatus_; }

private:
    pid_t pid_ = -1;
    int reportFd_ = -1;
    int stopFd_ = -1;
    int exitStatus_ = -1;
    std::string reports_;
};

TEST_F(ConnectionManagerTest, TwoProcessesContendingForOnePortExactlyOneWinsAndTheOtherKeepsSearching)
{
    Contender peer(device_->dir().path());
    ASSERT_TRUE(ORVOInit(OnFirstListener));

    // Both search; give the loser several attempts to get in as well.
    const auto start = Clock::now();
    while (g_firstListener.Events().empty() && peer.ReportsWithin(50).empty() &&
           MillisecondsSince(start) < CONNECT_WAIT_MS) {
    }
    const std::string peerReports = peer.ReportsWithin(3000);
    const std::vector<bool> ours = g_firstListener.Events();
    ASSERT_EQ(ours.size() + peerReports.size(), 1u) << "ours " << ours.size() << ", peer's '" << peerReports << "'";

    if (!ours.empty()) {
        ASSERT_TRUE(ours[0]);
        ORVOFree();
        EXPECT_EQ(peer.WaitForReport(CONNECT_WAIT_MS), "1") << "the peer did not take over the released port";
    } else {
        ASSERT_EQ(peerReports, "1");
        peer.Stop();
        ASSERT_TRUE(peer.Exited(10000));
        EXPECT_EQ(peer.exitStatus(), 0);
        ASSERT_TRUE(g_firstListener.WaitForCount(1, CONNECT_WAIT_MS)) << "this process did not take over the port";
        EXPECT_EQ(g_firstListener.Events(), std::vector<bool>{true});
    }
}

// --- Many connections ------------------------------------------------------

TEST_F(ConnectionManagerTest, FiftyUnplugCyclesLeakNoDescriptorAndNoThread)
{
    InitAndWaitForConnection();
    // Let the first pump and monitor turn settle before counting.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const size_t descriptors = CountEntries("/proc/self/fd");
    const size_t threads = CountEntries("/proc/self/task");

    for (int cycle = 0; cycle < 50; ++cycle) {
        SCOPED_TRACE(cycle);
        g_firstListener.Clear();
        sim().unplug();
        ASSERT_TRUE(sim().replug());
        // The open descriptor is hung up: the woken watchdog fails at once.
        ReconnectDevice();
        ASSERT_TRUE(g_firstListener.WaitForCount(2, CONNECT_WAIT_MS));
        ASSERT_EQ(g_firstListener.Events(), (std::vector<bool>{false, true}));
    }

    // Pump threads end on their next turn after a disconnection.
    const auto start = Clock::now();
    while ((CountEntries("/proc/self/fd") != descriptors || CountEntries("/proc/self/task") != threads) &&
           MillisecondsSince(start) < 3000)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
}

}  // namespace
