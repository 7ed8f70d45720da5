// The serial link against the virtual simulator: the port scan, the lock file,
// rejected devices, time-limited reads, the configurable locations and the
// identity read at identification. Everything lives in temporary directories.
#include "sim_fixture.h"
#include "test_helpers.h"

#include "device/link.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using orvo::sim::Simulator;
using orvo::sim::SimulatorConfig;
using orvo::test::Clock;
using orvo::test::FileExists;
using orvo::test::MillisecondsSince;
using orvo::test::PointLibraryAt;
using orvo::test::TempDir;

std::vector<unsigned char> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> PidBytes(pid_t pid)
{
    const int value = static_cast<int>(pid);
    std::vector<unsigned char> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

std::string CurrentDevicePath()
{
    char path[DEVICE_PATH_SIZE];
    CopyDevicePath(path, sizeof path);
    return path;
}

size_t CommandCount(const Simulator& sim)
{
    return orvo::test::Commands(sim.log()).size();
}

// A temporary directory with the library pointed at it; simulators publish
// their ports there. The port is closed after each test.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override { PointLibraryAt(dir_); }
    void TearDown() override { DeviceClose(); }

    std::unique_ptr<Simulator> StartSimulator(int port, SimulatorConfig config = SimulatorConfig())
    {
        config.dir = dir_.path();
        config.port = port;
        config.fast = true;
        auto sim = std::make_unique<Simulator>(config);
        if (!sim->start())
            ADD_FAILURE() << "the virtual simulator did not start";
        return sim;
    }

    std::string LockFile(int port) const
    {
        return dir_.file("lock/korvalin.ACM" + std::to_string(port) + ".lock");
    }

    TempDir dir_;
};

TEST_F(LinkTest, ScanSkipsAForeignDeviceAndConnectsToTheGenuineOneBehindIt)
{
    auto foreign = StartSimulator(0);
    foreign->setWrongSignature(true);
    auto genuine = StartSimulator(1);

    ASSERT_EQ(FindDevice(-1), 1);

    EXPECT_EQ(CurrentDevicePath(), genuine->path());
    EXPECT_GE(CommandCount(*foreign), 1u) << "the foreign device was never asked who it is";
    EXPECT_FALSE(FileExists(LockFile(0))) << "the rejected port kept its lock file";
    EXPECT_EQ(ReadFileBytes(LockFile(1)), PidBytes(getpid()));

    DeviceClose();
    EXPECT_FALSE(FileExists(LockFile(1)));
    EXPECT_EQ(CurrentDevicePath(), "");
}

// A process that stays alive until the test ends, to own a lock file.
class LiveProcess {
public:
    LiveProcess() : pid_(fork())
    {
        if (pid_ == 0) {
            pause();
            _exit(0);
        }
    }
    ~LiveProcess()
    {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_;
};

pid_t DeadProcessId()
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(0);
    waitpid(pid, nullptr, 0);
    return pid;
}

enum class LockOwner { LiveProcess, DeadProcess, Empty, Truncated };

struct LockFileCase {
    const char* name;
    LockOwner owner;
    bool claimed;  // the probe succeeds and the file then holds this process's id
};

const LockFileCase kLockFileCases[] = {
    {"owned by a live process", LockOwner::LiveProcess, false},
    {"owned by a dead process", LockOwner::DeadProcess, true},
    {"empty", LockOwner::Empty, false},
    {"shorter than a process id", LockOwner::Truncated, false},
};

TEST_F(LinkTest, ExistingLockFileBlocksTheProbeUnlessItsOwnerIsGone)
{
    auto sim = StartSimulator(0);
    for (const LockFileCase& c : kLockFileCases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<LiveProcess> owner;
        std::vector<unsigned char> content;
        switch (c.owner) {
        case LockOwner::LiveProcess:
            owner = std::make_unique<LiveProcess>();
            content = PidBytes(owner->pid());
            break;
        case LockOwner::DeadProcess:
            content = PidBytes(DeadProcessId());
            break;
        case LockOwner::Empty:
            break;
        case LockOwner::Truncated:
            content = {0x01, 0x02};
            break;
        }
        WriteFileBytes(LockFile(0), content);
        sim->clearLog();

        EXPECT_EQ(DoFindDevice(0), c.claimed ? 1 : 0);

        if (c.claimed) {
            EXPECT_EQ(ReadFileBytes(LockFile(0)), PidBytes(getpid()));
            DeviceClose();
            EXPECT_FALSE(FileExists(LockFile(0)));
        } else {
            EXPECT_EQ(g_hDevice.load(), -1);
            EXPECT_EQ(CommandCount(*sim), 0u) << "a blocked port was talked to";
            ASSERT_TRUE(FileExists(LockFile(0))) << "another process's lock file was removed";
            EXPECT_EQ(ReadFileBytes(LockFile(0)), content);
            unlink(LockFile(0).c_str());
        }
    }
}

struct RejectedDeviceCase {
    const char* name;
    void (*configure)(SimulatorConfig&);
    void (*misbehave)(Simulator&);
};

const RejectedDeviceCase kRejectedDevices[] = {
    {"wrong signature", nullptr, [](Simulator& sim) { sim.setWrongSignature(true); }},
    {"other model letters", [](SimulatorConfig& config) { config.modelCode[1] = 'X'; }, nullptr},
    {"replies cut short", nullptr, [](Simulator& sim) { sim.setShortReplies(true); }},
    {"no answer", nullptr, [](Simulator& sim) { sim.setSilent(true); }},
};

TEST_F(LinkTest, ProbeRejectsADeviceThatDoesNotIdentifyAndReleasesEverything)
{
    for (const RejectedDeviceCase& c : kRejectedDevices) {
        SCOPED_TRACE(c.name);
        SimulatorConfig config;
        if (c.configure != nullptr)
            c.configure(config);
        auto sim = StartSimulator(0, config);
        if (c.misbehave != nullptr)
            c.misbehave(*sim);

        EXPECT_EQ(DoFindDevice(0), 0);
        EXPECT_EQ(g_hDevice.load(), -1);
        EXPECT_FALSE(ORVOIsConnected());
        EXPECT_FALSE(FileExists(LockFile(0)));
        EXPECT_EQ(CurrentDevicePath(), "");
        EXPECT_GE(CommandCount(*sim), 1u) << "the identity query was never sent";
    }
}

struct ReadCase {
    const char* name;
    std::vector<unsigned char> command;  // sent first, so that a reply arrives
    int length;
    unsigned int timeoutMs;
    int result;
    bool waitsOutTheTimeout;
};

const ReadCase kReadCases[] = {
    {"nothing arrives", {}, 12, 300, -1, true},
    {"5 of 12 bytes arrive", {0xAA, 0x03}, 12, 300, 5, true},
    {"the whole reply arrives", {0x55, 0x00, 0x00}, 12, 3000, 12, false},
    {"length 0", {}, 0, 3000, 0, false},
};

TEST_F(LinkTest, ReadReturnsWhatArrivedWithinTheTimeout)
{
    auto sim = StartSimulator(0);
    ASSERT_EQ(DoFindDevice(0), 1);
    for (const ReadCase& c : kReadCases) {
        SCOPED_TRACE(c.name);
        if (!c.command.empty()) {
            ASSERT_EQ(WriteData(c.command.data(), static_cast<int>(c.command.size()), 1),
                      static_cast<int>(c.command.size()));
        }
        unsigned char buffer[64] = {};
        const auto start = Clock::now();
        EXPECT_EQ(ReadDataEx(buffer, c.length, c.timeoutMs), c.result);
        const long long elapsed = MillisecondsSince(start);
        if (c.waitsOutTheTimeout) {
            EXPECT_GE(elapsed, c.timeoutMs * 8 / 10);
            EXPECT_LT(elapsed, c.timeoutMs + 2000);
        } else {
            EXPECT_LT(elapsed, c.timeoutMs / 2) << "the read waited for nothing";
        }
    }
}

TEST_F(LinkTest, ClosedPortIsNeitherAliveNorUsable)
{
    auto sim = StartSimulator(0);
    ASSERT_EQ(DoFindDevice(0), 1);
    EXPECT_TRUE(DeviceIsAlive());

    DeviceClose();

    EXPECT_FALSE(DeviceIsAlive()) << "the simulator is still listed, but this process no longer has it";
    EXPECT_FALSE(DeviceIsConnected());
    EXPECT_FALSE(FileExists(LockFile(0)));
    const unsigned char query[3] = {0x55, 0x00, 0x00};
    EXPECT_EQ(WriteData(query, sizeof query, 1), 0);
    unsigned char buffer[12];
    const auto start = Clock::now();
    EXPECT_EQ(ReadDataEx(buffer, sizeof buffer, 3000), 0);
    EXPECT_LT(MillisecondsSince(start), 1500);
}

TEST_F(LinkTest, WriteWithNoPortOpenWritesNothing)
{
    const unsigned char query[3] = {0x55, 0x00, 0x00};
    EXPECT_EQ(WriteData(query, sizeof query, 1), 0);
}

TEST_F(LinkTest, OneConnectAttemptAgainstAnAbsentDeviceFailsAfterAboutOneSecond)
{
    const auto start = Clock::now();
    EXPECT_EQ(DeviceConnect(0, 1), 0);
    const long long elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 900);
    EXPECT_LT(elapsed, 5000);
    EXPECT_FALSE(DeviceIsConnected());
}

TEST_F(LinkTest, HungUpPortEndsAReadAtOnce)
{
    auto sim = StartSimulator(0);
    ASSERT_EQ(DoFindDevice(0), 1);
    sim->unplug();

    unsigned char buffer[12];
    const auto start = Clock::now();
    EXPECT_LE(ReadDataEx(buffer, sizeof buffer, 3000), 0);
    EXPECT_LT(MillisecondsSince(start), 1500) << "the read spun on the hung-up port until its timeout";
}

std::string FormattedDevicePath(int port)
{
    char path[DEVICE_PATH_SIZE];
    if (!FormatDevicePath(port, path, sizeof path))
        return "<does not fit>";
    return path;
}

TEST(DevicePathFormat, BadFormatIsRefusedAndTheLastGoodOneStays)
{
    const std::string tooLong = std::string(600, 'a') + "%d";
    const char* refused[] = {"/tmp/orvo/ttyACM", "/tmp/orvo%d/ttyACM%d", "/tmp/%s/ttyACM%d", "/tmp/orvo/ttyACM%x",
                             tooLong.c_str()};
    ORVOSetDevicePathFormat("/tmp/orvo/ttyACM%d");
    for (const char* format : refused) {
        SCOPED_TRACE(format);
        ORVOSetDevicePathFormat(format);
        EXPECT_EQ(FormattedDevicePath(7), "/tmp/orvo/ttyACM7");
    }
}

TEST(DevicePathFormat, NullOrEmptyRestoresTheSystemPorts)
{
    const char* restoring[] = {nullptr, ""};
    for (const char* format : restoring) {
        SCOPED_TRACE(format == nullptr ? "NULL" : "empty");
        ORVOSetDevicePathFormat("/tmp/orvo/ttyACM%d");
        ORVOSetDevicePathFormat(format);
        EXPECT_EQ(FormattedDevicePath(3), "/dev/ttyACM3");
    }
}

std::string FormattedLockFilePath(int port)
{
    char path[LOCK_PATH_SIZE];
    if (!FormatLockFilePath(port, path, sizeof path))
        return "<does not fit>";
    return path;
}

TEST(LockDirectory, TooLongDirectoryIsRefusedAndNullOrEmptyRestoresTheDefault)
{
    TempDir dir;
    const std::string tooLong = dir.path() + "/" + std::string(200, 'l');
    ORVOSetLockDirectory(dir.path().c_str());
    ORVOSetLockDirectory(tooLong.c_str());
    EXPECT_EQ(FormattedLockFilePath(5), dir.file("korvalin.ACM5.lock"));

    // Reading the default path only looks at /var/lock when it exists.
    struct stat info;
    const bool systemLockDirectoryExists = stat("/var/lock", &info) == 0;
    const char* restoring[] = {nullptr, ""};
    for (const char* directory : restoring) {
        SCOPED_TRACE(directory == nullptr ? "NULL" : "empty");
        ORVOSetLockDirectory(dir.path().c_str());
        ORVOSetLockDirectory(directory);
        if (systemLockDirectoryExists) {
            EXPECT_EQ(FormattedLockFilePath(5), "/var/lock/korvalin.ACM5.lock");
        }
    }
    ORVOSetLockDirectory(dir.path().c_str());
}

struct IdentityCase {
    const char* name;
    uint8_t hexCode[2];
    uint8_t serialPrefix;
    uint16_t serialNumber;
    uint8_t hwInfo[4];  // identity page bytes 24..27
    uint8_t hwInfo2;
    const char* serialText;
};

const IdentityCase kIdentities[] = {
    {"ordinary", {0xB7, 0x04}, 93, 48879, {0x11, 0x22, 0x33, 0x44}, 0x5A, "ZRNB704-9348879"},
    {"all zero", {0x00, 0x00}, 0, 0, {0x00, 0x00, 0x00, 0x00}, 0x00, "ZRN0000-000000"},
    {"largest", {0xFF, 0xFF}, 255, 65535, {0xFF, 0xFE, 0xFD, 0xFC}, 0xFB, "ZRNFFFF-25565535"},
};

TEST_F(LinkTest, IdentificationReadsTheDeviceIdentityAndHardwareInformation)
{
    for (const IdentityCase& c : kIdentities) {
        SCOPED_TRACE(c.name);
        SimulatorConfig config;
        std::memcpy(config.hexCode, c.hexCode, sizeof config.hexCode);
        config.serialPrefix = c.serialPrefix;
        config.serialNumber = c.serialNumber;
        std::memcpy(config.hwInfo, c.hwInfo, sizeof config.hwInfo);
        config.hwInfo2 = c.hwInfo2;
        auto sim = StartSimulator(0, config);
        ASSERT_EQ(DoFindDevice(0), 1);

        MODEL_INFORMATION model;
        std::memset(&model, 0xEE, sizeof model);
        ASSERT_TRUE(ORVOGetDeviceInformation(&model));
        EXPECT_EQ(model.ModelCode[0], 'R');
        EXPECT_EQ(model.ModelCode[1], 'N');
        EXPECT_EQ(model.HexCode[0], c.hexCode[0]);
        EXPECT_EQ(model.HexCode[1], c.hexCode[1]);
        EXPECT_EQ(model.SerialPrefix, c.serialPrefix);
        EXPECT_EQ(model.SerialNumber, c.serialNumber);
        EXPECT_STREQ(ORVOGetSerialNumber(), c.serialText);

        HW_INFORMATION hardware;
        std::memset(&hardware, 0xEE, sizeof hardware);
        ASSERT_TRUE(ORVOGetHWInformation(&hardware));
        EXPECT_EQ(hardware.HwInfo0, c.hwInfo[2]);
        EXPECT_EQ(hardware.HwInfo1, c.hwInfo[3]);
        EXPECT_EQ(hardware.HwInfo2, c.hwInfo2);
        EXPECT_EQ(hardware.HwInfo3, c.hwInfo[0]);
        EXPECT_EQ(hardware.HwInfo4, c.hwInfo[1]);

        DeviceClose();
        EXPECT_FALSE(ORVOGetDeviceInformation(&model));
        EXPECT_FALSE(ORVOGetHWInformation(&hardware));
    }
}

}  // namespace
