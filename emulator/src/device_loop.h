// The device's main loop: waits on the pty, frames what the host sent,
// answers it, and sends data requests when the streaming engine asks.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device_state.h"
#include "fault_switches.h"
#include "framer.h"
#include "orvo_sim.h"
#include "pty_port.h"
#include "recorder.h"
#include "streaming_engine.h"

namespace orvo::sim {

struct Simulator::Impl {
    explicit Impl(SimulatorConfig cfg);
    ~Impl();

    // Everything below `mutex` is shared with the caller's thread.
    SimulatorConfig config;
    std::string linkPath;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    uint64_t generation = 0;  // bumped after every batch of device events
    DeviceState state;
    Framer framer;
    StreamingEngine streaming;
    Recorder recorder;
    FaultSwitches faults;
    bool running = false;
    bool stopping = false;
    bool plugged = false;

    enum class PlugRequest { None, Unplug, Replug, Stop };
    PlugRequest pending = PlugRequest::None;
    bool pendingResult = false;

    // Owned by the device thread while it runs.
    PtyPort port;
    bool hostOpen = false;
    double lastRx = 0.0;
    std::thread thread;
    int wake[2] = {-1, -1};
    std::chrono::steady_clock::time_point epoch;

    bool start();
    void stop();
    /** Hands a plug request to the device thread and waits for its result. */
    bool request(PlugRequest what);
    void notify();
    /** Makes the device thread look at its state again (after a switch changed). */
    void wakeUp();

private:
    double now() const;
    void run();
    bool handlePending();  // false: stop the loop
    int pollTimeoutMs(double t) const;
    void waitForActivity(int timeoutMs, bool& readable);
    void readPort(bool readable);
    std::vector<uint8_t> process(double t);
    void handleFrame(const Frame& frame, double t, std::vector<uint8_t>& out);
    void logDropped(double t);
    void maybeRequest(double t, std::vector<uint8_t>& out);
    void logPlug(EventKind kind);
};

}  // namespace orvo::sim
