#include "sim_fixture.h"

#include <cstdlib>
#include <filesystem>

namespace orvo::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "orvo-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void PointLibraryAt(const TempDir& dir)
{
    const std::string format = dir.file("ttyACM%d");
    ORVOSetDevicePathFormat(format.c_str());
    std::filesystem::create_directories(dir.file("lock"));
    ORVOSetLockDirectory(dir.file("lock").c_str());
}

SimulatedDevice::SimulatedDevice(int port, bool fast) : port_(port)
{
    orvo::sim::SimulatorConfig config;
    config.dir = dir_.path();
    config.port = port;
    config.fast = fast;
    sim_ = std::make_unique<orvo::sim::Simulator>(config);
    if (!sim_->start())
        throw std::runtime_error("the virtual simulator did not start");
    PointLibraryAt(dir_);
}

SimulatedDevice::~SimulatedDevice()
{
    if (connected_)
        ORVOFree();
    sim_->stop();
}

std::string SimulatedDevice::lockFile(int port) const
{
    return dir_.file("lock/korvalin.ACM" + std::to_string(port) + ".lock");
}

bool SimulatedDevice::Connect(unsigned int timeoutMs)
{
    connected_ = ORVOConnect(port_, timeoutMs);
    return connected_;
}

void ConnectedTest::SetUp()
{
    device_ = std::make_unique<SimulatedDevice>(0, fast_);
    ASSERT_TRUE(device_->Connect());
}

void ConnectedTest::TearDown()
{
    device_.reset();
}

void ConnectedTest::WaitForSamples(size_t n, int timeoutMs)
{
    ASSERT_TRUE(sim().waitForSamples(n, timeoutMs)) << "only " << sim().sampleCount() << " samples played";
}

std::vector<orvo::sim::PlayedSample> ConnectedTest::Play(int function, size_t n)
{
    EXPECT_EQ(ORVOSetOutputFunction(function), 0);
    WaitForSamples(n);
    EXPECT_EQ(ORVOSetOutputFunction(FUNC_OFF), 0);
    auto samples = sim().samples();
    EXPECT_EQ(samples.size(), sim().sampleCount()) << "the start of the stream was dropped";
    return samples;
}

std::vector<orvo::sim::LogEntry> Commands(const std::vector<orvo::sim::LogEntry>& log)
{
    std::vector<orvo::sim::LogEntry> commands;
    for (const auto& entry : log) {
        if (entry.kind == orvo::sim::EventKind::Command)
            commands.push_back(entry);
    }
    return commands;
}

bool IsOutputStageWrite(const orvo::sim::LogEntry& entry)
{
    return entry.kind == orvo::sim::EventKind::Command && entry.bytes.size() == 64 && entry.bytes[0] == 0x00 &&
           entry.bytes[1] == 0xFF;
}

}  // namespace orvo::test
