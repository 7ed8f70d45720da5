#include "device_loop.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "handlers.h"
#include "protocol.h"

namespace orvo::sim {

namespace p = protocol;

namespace {

constexpr size_t kReadChunk = 4096;
constexpr size_t kMalformedBytesKept = 64;
constexpr int kMaxPollMs = 100;

const uint8_t kRequest[p::kReportBytes] = {p::kStreamByte0, p::kRequestByte1};

bool makePipe(int fds[2]) {
    if (::pipe(fds) != 0) return false;
    for (int i = 0; i < 2; ++i) {
        fcntl(fds[i], F_SETFL, fcntl(fds[i], F_GETFL) | O_NONBLOCK);
        fcntl(fds[i], F_SETFD, FD_CLOEXEC);
    }
    return true;
}

}  // namespace

Simulator::Impl::Impl(SimulatorConfig cfg)
    : config(std::move(cfg)),
      linkPath(config.dir + "/ttyACM" + std::to_string(config.port)),
      state(initialDeviceState(config)),
      streaming(config.fast),
      recorder(config.logLimit, config.sampleLimit) {}

Simulator::Impl::~Impl() { stop(); }

double Simulator::Impl::now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - epoch).count();
}

void Simulator::Impl::notify() {
    ++generation;
    changed.notify_all();
}

bool Simulator::Impl::start() {
    std::lock_guard<std::mutex> lock(mutex);
    if (running) return true;
    if (!config.recordPath.empty() && !recorder.openRecordFile(config.recordPath)) return false;
    if (!makePipe(wake)) {
        recorder.closeRecordFile();
        return false;
    }
    if (!port.open(linkPath)) {
        recorder.closeRecordFile();
        ::close(wake[0]);
        ::close(wake[1]);
        wake[0] = wake[1] = -1;
        return false;
    }
    epoch = std::chrono::steady_clock::now();
    plugged = true;
    hostOpen = false;
    running = true;
    pending = PlugRequest::None;
    thread = std::thread(&Impl::run, this);
    return true;
}

void Simulator::Impl::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!running || stopping) return;
        stopping = true;
    }
    request(PlugRequest::Stop);
    thread.join();
    std::lock_guard<std::mutex> lock(mutex);
    stopping = false;
    port.close();
    recorder.closeRecordFile();
    ::close(wake[0]);
    ::close(wake[1]);
    wake[0] = wake[1] = -1;
    running = false;
    plugged = false;
}

void Simulator::Impl::wakeUp() {
    if (wake[1] < 0) return;
    const uint8_t byte = 1;
    (void)!::write(wake[1], &byte, 1);
}

bool Simulator::Impl::request(PlugRequest what) {
    std::unique_lock<std::mutex> lock(mutex);
    if (!running || (stopping && what != PlugRequest::Stop)) return false;
    changed.wait(lock, [&] { return pending == PlugRequest::None; });
    pending = what;
    wakeUp();
    changed.wait(lock, [&] { return pending == PlugRequest::None; });
    return pendingResult;
}

void Simulator::Impl::logPlug(EventKind kind) {
    LogEntry entry;
    entry.kind = kind;
    entry.time = now();
    recorder.logEvent(std::move(entry));
}

// Runs with the mutex held.
bool Simulator::Impl::handlePending() {
    const PlugRequest what = pending;
    if (what == PlugRequest::None) return true;
    pendingResult = true;
    if (what != PlugRequest::Stop && plugged) {
        port.close();
        plugged = false;
        hostOpen = false;
        logPlug(EventKind::Unplug);
    }
    if (what == PlugRequest::Replug) {
        // A power cycle: the volatile state starts over, flash and ROM stay.
        state.live = powerUpState(config);
        streaming.reset();
        framer.clear();
        pendingResult = port.open(linkPath);
        plugged = pendingResult;
        if (plugged) logPlug(EventKind::Replug);
    }
    pending = PlugRequest::None;
    notify();
    return what != PlugRequest::Stop;
}

int Simulator::Impl::pollTimeoutMs(double t) const {
    const bool canRequest = hostOpen && framer.empty() && requestsAllowed(faults);
    double due = -1.0;
    for (double d : {framer.deadline(), streaming.deadline(lastRx, canRequest)})
        if (d >= 0.0 && (due < 0.0 || d < due)) due = d;
    int ms = kMaxPollMs;
    if (due >= 0.0) ms = std::clamp(int(std::ceil((due - t) * 1000.0)), 0, kMaxPollMs);
    if (!hostOpen) ms = std::min(ms, p::kHangupPollMs);
    return ms;
}

// Nobody has the slave open: a pty master then reports hang-up at once, so
// only the wake pipe is watched and the port is tried again shortly after.
void Simulator::Impl::waitForActivity(int timeoutMs, bool& readable) {
    pollfd fds[2] = {{wake[0], POLLIN, 0}, {port.fd(), POLLIN, 0}};
    const nfds_t count = (plugged && hostOpen) ? 2 : 1;
    readable = false;
    if (::poll(fds, count, timeoutMs) > 0) {
        if (fds[0].revents & POLLIN) {
            uint8_t drain[64];
            while (::read(wake[0], drain, sizeof drain) > 0) {
            }
        }
        readable = count == 2 && fds[1].revents != 0;
    }
}

void Simulator::Impl::readPort(bool readable) {
    if (!plugged || (hostOpen && !readable)) return;
    uint8_t buffer[kReadChunk];
    for (;;) {
        size_t got = 0;
        const PtyPort::ReadResult result = port.read(buffer, sizeof buffer, got);
        if (result == PtyPort::ReadResult::HungUp) {
            if (hostOpen) port.discardUnread();
            hostOpen = false;
            return;
        }
        hostOpen = true;
        if (result == PtyPort::ReadResult::Nothing) return;
        std::lock_guard<std::mutex> lock(mutex);
        lastRx = now();
        framer.push(buffer, got, lastRx);
    }
}

void Simulator::Impl::logDropped(double t) {
    const std::vector<uint8_t> dropped = framer.takeDropped();
    if (dropped.empty()) return;
    recorder.counters().malformedBytes += dropped.size();
    LogEntry entry;
    entry.kind = EventKind::Malformed;
    entry.time = t;
    entry.bytes.assign(dropped.begin(), dropped.begin() + long(std::min(dropped.size(), kMalformedBytesKept)));
    entry.count = dropped.size();
    recorder.logEvent(std::move(entry));
}

void Simulator::Impl::handleFrame(const Frame& frame, double t, std::vector<uint8_t>& out) {
    if (frame.kind == FrameKind::StreamPacket) {
        streaming.onPacket(frame, t, state.live, recorder);
        return;
    }
    streaming.closeIncompleteBatch(recorder);
    std::vector<uint8_t> reply = dispatchCommand(state, frame);
    streaming.followOutputStage(state.live);
    applyReplyFaults(faults, frame.kind, reply);
    ++recorder.counters().commands;
    out.insert(out.end(), reply.begin(), reply.end());
    LogEntry entry;
    entry.kind = EventKind::Command;
    entry.time = t;
    entry.bytes = frame.bytes;
    entry.reply = std::move(reply);
    recorder.logEvent(std::move(entry));
}

void Simulator::Impl::maybeRequest(double t, std::vector<uint8_t>& out) {
    // Never while a command is half framed: its reply must come first.
    if (!hostOpen || !framer.empty() || !requestsAllowed(faults)) return;
    if (!streaming.requestDue(t, lastRx)) return;
    streaming.onRequestSent(t);
    out.insert(out.end(), kRequest, kRequest + sizeof kRequest);
    ++recorder.counters().requests;
    LogEntry entry;
    entry.kind = EventKind::Request;
    entry.time = t;
    entry.bytes.assign(kRequest, kRequest + sizeof kRequest);
    recorder.logEvent(std::move(entry));
}

// Runs with the mutex held; returns the bytes to send, in order.
std::vector<uint8_t> Simulator::Impl::process(double t) {
    std::vector<uint8_t> out;
    while (std::optional<Frame> frame = framer.next(t)) {
        logDropped(t);
        handleFrame(*frame, t, out);
    }
    logDropped(t);
    streaming.closeStaleBatch(t, recorder);
    maybeRequest(t, out);
    return out;
}

void Simulator::Impl::run() {
    for (;;) {
        int timeoutMs;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!handlePending()) return;
            timeoutMs = pollTimeoutMs(now());
        }
        bool readable = false;
        waitForActivity(timeoutMs, readable);
        readPort(readable);
        std::vector<uint8_t> out;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (pending != PlugRequest::None) continue;
            out = process(now());
            notify();
        }
        if (!out.empty() && hostOpen) port.write(out.data(), out.size());
    }
}

}  // namespace orvo::sim
