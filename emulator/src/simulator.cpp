// Public face of the virtual simulator: forwards to the device loop and reads
// its state under the lock.
#include <algorithm>

#include "device_loop.h"
#include "orvo_sim.h"
#include "protocol.h"

namespace orvo::sim {

namespace p = protocol;

double mainCodeToMillivolts(int16_t code, double attenuation) {
    return code * attenuation / p::kMainCodesPerMillivolt;
}

double dcCodeToMillivolts(uint16_t code) {
    return p::kDcMinMillivolts + code * p::kDcSpanMillivolts / p::kDcFullScaleCode;
}

Simulator::Simulator(SimulatorConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

Simulator::~Simulator() { stop(); }

bool Simulator::start() { return impl_->start(); }
void Simulator::stop() { impl_->stop(); }
std::string Simulator::path() const { return impl_->linkPath; }

bool Simulator::plugged() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->plugged;
}

void Simulator::unplug() { impl_->request(Impl::PlugRequest::Unplug); }
bool Simulator::replug() { return impl_->request(Impl::PlugRequest::Replug); }

namespace {

template <typename F>
void withFaults(Simulator::Impl& impl, F change) {
    std::lock_guard<std::mutex> lock(impl.mutex);
    change(impl.faults);
    impl.wakeUp();
}

}  // namespace

void Simulator::setSilent(bool on) { withFaults(*impl_, [&](FaultSwitches& f) { f.silent = on; }); }
void Simulator::setWrongSignature(bool on) { withFaults(*impl_, [&](FaultSwitches& f) { f.wrongSignature = on; }); }
void Simulator::setShortReplies(bool on) { withFaults(*impl_, [&](FaultSwitches& f) { f.shortReplies = on; }); }
void Simulator::setRequestsPaused(bool on) { withFaults(*impl_, [&](FaultSwitches& f) { f.requestsPaused = on; }); }
void Simulator::setRomNeverReady(bool on) { withFaults(*impl_, [&](FaultSwitches& f) { f.romNeverReady = on; }); }
void Simulator::setRawAckFault(RawAckFault fault) { withFaults(*impl_, [&](FaultSwitches& f) { f.rawAck = fault; }); }

void Simulator::setFast(bool fast) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->config.fast = fast;
    impl_->streaming.setFast(fast);
    impl_->wakeUp();
}

bool Simulator::waitForSamples(size_t total, int timeoutMs) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return impl_->recorder.sampleCount() >= total; });
}

std::vector<PlayedSample> Simulator::samples() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->recorder.samples();
}

size_t Simulator::sampleCount() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->recorder.sampleCount();
}

void Simulator::clearSamples() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->recorder.clearSamples();
}

std::vector<LogEntry> Simulator::log() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->recorder.log();
}

void Simulator::clearLog() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->recorder.clearLog();
}

Counters Simulator::counters() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->recorder.counters();
}

bool Simulator::waitUntil(const std::function<bool()>& pred, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        uint64_t seen;
        {
            std::lock_guard<std::mutex> lock(impl_->mutex);
            seen = impl_->generation;
        }
        if (pred()) return true;
        std::unique_lock<std::mutex> lock(impl_->mutex);
        if (!impl_->changed.wait_until(lock, deadline, [&] { return impl_->generation != seen; })) return pred();
    }
}

Report Simulator::outputStage() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state.live.outputStage;
}

bool Simulator::streaming() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->streaming.streaming();
}

PlayedSample Simulator::currentOutput() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state.live.output;
}

ChannelMasks Simulator::channelMasks() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state.live.masks;
}

RespirationSettings Simulator::respiration() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state.live.respiration;
}

CalibrationState Simulator::calibration() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state.live.calibration;
}

Report Simulator::identityPage() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return orvo::sim::identityPage(impl_->state.stored);
}

Report Simulator::waveformInfo() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state.live.waveformInfo;
}

Report Simulator::controlRecord() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state.live.controlRecord;
}

bool Simulator::standalonePlaying() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state.live.standalonePlaying;
}

std::vector<PlayedSample> Simulator::uploadedPeriod() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return orvo::sim::uploadedPeriod(impl_->state.live);
}

std::map<int, RomSlot> Simulator::romSlots() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state.stored.slots;
}

}  // namespace orvo::sim
