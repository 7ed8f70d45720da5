// Test support: a virtual simulator in a temporary directory, with the library
// pointed at it (device path format and lock directory), optionally connected.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "orvo.h"
#include "orvo_sim.h"

namespace orvo::test {

// A fresh temporary directory, removed with its contents at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Points the library's device path and lock directory into dir.
void PointLibraryAt(const TempDir& dir);

// A simulator published in its own temporary directory at the given port,
// with the library pointed there. Connect() runs ORVOConnect; the destructor
// runs ORVOFree and stops the simulator.
class SimulatedDevice {
public:
    explicit SimulatedDevice(int port = 0, bool fast = true);
    ~SimulatedDevice();
    orvo::sim::Simulator& sim() { return *sim_; }
    const TempDir& dir() const { return dir_; }
    std::string lockFile(int port) const;
    bool Connect(unsigned int timeoutMs = 5000);

private:
    TempDir dir_;
    int port_;
    std::unique_ptr<orvo::sim::Simulator> sim_;
    bool connected_ = false;
};

// Fixture: a fast simulator, connected before each test.
class ConnectedTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    orvo::sim::Simulator& sim() { return device_->sim(); }
    SimulatedDevice& device() { return *device_; }
    // Waits until at least n samples were played since the last clearSamples().
    void WaitForSamples(size_t n, int timeoutMs = 20000);
    // Plays function from its start until at least n samples were played,
    // switches the output off and returns every sample played.
    std::vector<orvo::sim::PlayedSample> Play(int function, size_t n);

    std::unique_ptr<SimulatedDevice> device_;
    bool fast_ = true;
};

// Fixture: a simulator that asks for samples in real time (one batch per
// 17.5 ms), for tests where the moment of a host call matters.
class RealTimeConnectedTest : public ConnectedTest {
protected:
    RealTimeConnectedTest() { fast_ = false; }
};

// Commands (not batches or requests) in the simulator's log, in order.
std::vector<orvo::sim::LogEntry> Commands(const std::vector<orvo::sim::LogEntry>& log);
// True when entry is an output-stage write-back (first byte 0x00, second 0xFF).
bool IsOutputStageWrite(const orvo::sim::LogEntry& entry);

}  // namespace orvo::test
