#include "streaming_engine.h"

#include <algorithm>

#include "bytes.h"
#include "protocol.h"

namespace orvo::sim {

namespace p = protocol;

namespace {

constexpr double kRetrySeconds = p::kRequestRetryQuietMs / 1000.0;
constexpr double kStaleSeconds = p::kStaleFrameMs / 1000.0;

bool validHeader(const Frame& frame) {
    const std::vector<uint8_t>& b = frame.bytes;
    return b[2] == 0 && b[3] == 0 && b[4] == 0 && b[p::kPacketCountIndex] == p::kSamplesPerPacket;
}

}  // namespace

void StreamingEngine::followOutputStage(const VolatileState& state) {
    const uint16_t rate = sampleRate(state);
    batchSeconds_ = double(p::kSamplesPerBatch) / (rate ? rate : p::kDefaultSampleRate);
    const bool on = outputMode(state) == p::kModeStreaming;
    if (on == streaming_) return;
    streaming_ = on;
    requestOutstanding_ = false;
    // The host opens a stream with a batch of its own; the first request
    // follows that batch, so it cannot cut into the host's set-up exchanges.
    paced_ = false;
    if (on) expectedSequence_ = 0;
}

void StreamingEngine::reset() {
    streaming_ = false;
    requestOutstanding_ = false;
    paced_ = false;
    batch_ = OpenBatch{};
}

bool StreamingEngine::isStopPacket(const Frame& frame, uint16_t sequence) const {
    if (sequence != p::kStopSequence || expectedSequence_ == p::kStopSequence) return false;
    for (size_t k = 0; k < p::kSamplesPerPacket; ++k) {
        const PlayedSample s = getSample(frame.bytes.data() + p::kSamplesIndex + k * p::kSampleBytes);
        if (s != zeroOutput()) return false;
    }
    return true;
}

void StreamingEngine::onPacket(const Frame& frame, double now, VolatileState& state, Recorder& recorder) {
    Counters& counters = recorder.counters();
    ++counters.packets;
    const uint16_t sequence = getU16(frame.bytes.data() + p::kSequenceIndex);
    const bool stop = validHeader(frame) && isStopPacket(frame, sequence);
    if (batch_.packets == 0) {
        batch_.stop = stop;
        batch_.sequence = sequence;
        std::copy_n(frame.bytes.begin(), sizeof batch_.header, batch_.header);
    }
    ++batch_.packets;
    batch_.lastPacketTime = now;

    if (!validHeader(frame)) {
        ++counters.malformedPackets;
        ++expectedSequence_;
    } else if (stop) {
        state.output = zeroOutput();
        state.standalonePlaying = false;
    } else {
        if (sequence != expectedSequence_) ++counters.sequenceGaps;
        expectedSequence_ = uint16_t(sequence + 1);
        PlayedSample samples[p::kSamplesPerPacket];
        for (size_t k = 0; k < p::kSamplesPerPacket; ++k)
            samples[k] = getSample(frame.bytes.data() + p::kSamplesIndex + k * p::kSampleBytes);
        recorder.play(samples, p::kSamplesPerPacket);
        state.output = samples[p::kSamplesPerPacket - 1];
    }
    if (batch_.packets == p::kPacketsPerBatch) completeBatch(now, recorder);
}

void StreamingEngine::completeBatch(double now, Recorder& recorder) {
    Counters& counters = recorder.counters();
    LogEntry entry;
    entry.kind = batch_.stop ? EventKind::StopBurst : EventKind::Batch;
    entry.time = now;
    entry.bytes.assign(batch_.header, batch_.header + sizeof batch_.header);
    entry.sequence = batch_.sequence;
    entry.count = batch_.packets;
    recorder.logEvent(std::move(entry));
    recorder.flush();
    ++(batch_.stop ? counters.stopBursts : counters.batches);
    if (!streaming_) ++counters.idleBatches;

    if (requestOutstanding_) {
        if (now - requestTime_ > batchSeconds_) ++counters.lateBatches;
        requestOutstanding_ = false;
    } else if (streaming_ && !paced_) {
        anchor_ = now;  // the host's opening batch
    }
    paced_ = streaming_;
    batch_ = OpenBatch{};
}

void StreamingEngine::closeIncompleteBatch(Recorder& recorder) {
    if (batch_.packets == 0) return;
    LogEntry entry;
    entry.kind = batch_.stop ? EventKind::StopBurst : EventKind::Batch;
    entry.time = batch_.lastPacketTime;
    entry.bytes.assign(batch_.header, batch_.header + sizeof batch_.header);
    entry.sequence = batch_.sequence;
    entry.count = batch_.packets;
    recorder.logEvent(std::move(entry));
    recorder.flush();
    ++recorder.counters().incompleteBatches;
    batch_ = OpenBatch{};
}

void StreamingEngine::closeStaleBatch(double now, Recorder& recorder) {
    if (batchOpen() && now - batch_.lastPacketTime >= kStaleSeconds) closeIncompleteBatch(recorder);
}

bool StreamingEngine::requestDue(double now, double lastRx) const {
    if (!streaming_ || batchOpen()) return false;
    if (requestOutstanding_)
        return now - requestTime_ >= kRetrySeconds && now - lastRx >= kRetrySeconds;
    if (!paced_) return false;
    return fast_ || now >= anchor_ + batchSeconds_;
}

void StreamingEngine::onRequestSent(double now) {
    requestOutstanding_ = true;
    requestTime_ = now;
    anchor_ = now;
}

double StreamingEngine::deadline(double lastRx, bool canRequest) const {
    if (batchOpen()) return batch_.lastPacketTime + kStaleSeconds;
    if (!streaming_ || !canRequest) return -1.0;
    if (requestOutstanding_) return std::max(requestTime_, lastRx) + kRetrySeconds;
    if (!paced_) return -1.0;
    return fast_ ? 0.0 : anchor_ + batchSeconds_;
}

}  // namespace orvo::sim
