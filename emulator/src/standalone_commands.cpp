#include <algorithm>

#include "bytes.h"
#include "handlers.h"
#include "protocol.h"

namespace orvo::sim {

namespace p = protocol;

Bytes handleRespiration(DeviceState& state, const Frame& frame) {
    RespirationSettings& r = state.live.respiration;
    const std::vector<uint8_t>& b = frame.bytes;
    r.received = true;
    r.rate = b[p::kRespRateIndex];
    r.variation = b[p::kRespVariationIndex];
    r.ratio = b[p::kRespRatioIndex];
    r.baseline = b[p::kRespBaselineIndex];
    r.apnea = b[p::kRespApneaIndex];
    return acknowledged(frame, p::kAccepted);
}

Bytes handleWaveformInfo(DeviceState& state, const Frame& frame) {
    std::copy(frame.bytes.begin(), frame.bytes.end(), state.live.waveformInfo.begin());
    state.live.haveWaveformInfo = true;
    return acknowledged(frame, p::kAccepted);
}

Bytes handleControlRecord(DeviceState& state, const Frame& frame) {
    std::copy(frame.bytes.begin(), frame.bytes.end(), state.live.controlRecord.begin());
    state.live.standalonePlaying = frame.bytes[p::kRunFlagIndex] == 1;
    return acknowledged(frame, p::kAccepted);
}

Bytes handleStop(DeviceState& state, const Frame& frame) {
    state.live.standalonePlaying = false;
    return acknowledged(frame, p::kAccepted);
}

Bytes handleRawData(DeviceState& state, const Frame& frame) {
    const size_t index = getU16(frame.bytes.data() + p::kRawIndexIndex);
    std::vector<PlayedSample>& uploaded = state.live.uploaded;
    if (uploaded.size() < index + p::kSamplesPerPacket) uploaded.resize(index + p::kSamplesPerPacket);
    for (size_t k = 0; k < p::kSamplesPerPacket; ++k)
        uploaded[index + k] = getSample(frame.bytes.data() + p::kSamplesIndex + k * p::kSampleBytes);
    return acknowledged(frame, p::kAccepted);
}

Bytes handleRomStatus(const DeviceState& state, const Frame& frame) {
    Bytes reply = acknowledged(frame, p::kAccepted);
    const int slot = frame.bytes[p::kRomSlotIndex];
    const bool stored = state.stored.slots.count(slot) != 0;
    reply[p::kRomStateIndex] = stored ? p::kRomSlotStored : p::kRomSlotEmpty;
    return reply;
}

Bytes handleRomStore(DeviceState& state, const Frame& frame) {
    RomSlot slot;
    slot.waveformInfo = state.live.waveformInfo;
    slot.controlRecord = state.live.controlRecord;
    slot.period = uploadedPeriod(state.live);
    state.stored.slots[frame.bytes[p::kRomSlotIndex]] = std::move(slot);
    return acknowledged(frame, p::kAccepted);
}

}  // namespace orvo::sim
