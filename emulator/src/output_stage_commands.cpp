#include <algorithm>

#include "bytes.h"
#include "handlers.h"
#include "protocol.h"

namespace orvo::sim {

namespace p = protocol;

Bytes acknowledged(const Frame& frame, uint8_t ack) {
    Bytes reply(p::kReportBytes, 0x00);
    std::copy_n(frame.bytes.begin(), std::min(frame.bytes.size(), p::kReportBytes), reply.begin());
    reply[p::kAckIndex] = ack;
    return reply;
}

// Anything but the write marker is a state query (the host sends 64 zeros).
Bytes handleOutputStage(DeviceState& state, const Frame& frame) {
    Report& block = state.live.outputStage;
    if (frame.bytes[p::kOutputStageWriteIndex] == p::kOutputStageWriteMarker) {
        std::copy(frame.bytes.begin(), frame.bytes.end(), block.begin());
        block[0] = 0x00;
        block[p::kOutputStageWriteIndex] = 0x00;
    }
    return Bytes(block.begin(), block.end());
}

Bytes handleCcCommand(DeviceState& state, const Frame& frame) {
    CalibrationState& cal = state.live.calibration;
    const uint8_t* payload = frame.bytes.data() + p::kEnableMaskIndex;
    switch (frame.bytes[p::kCcSubIndex]) {
        case p::kCcReset:
            ++cal.resets;
            break;
        case p::kCcCalibration:
            cal.calibrationMode = payload[0] != 0;
            break;
        case p::kCcDac:
            cal.dac[0] = getU16(payload);
            cal.dac[1] = getU16(payload + 2);
            break;
        default:
            return acknowledged(frame, p::kRefused);
    }
    return acknowledged(frame, p::kAccepted);
}

Bytes handleChannelState(DeviceState& state, const Frame& frame) {
    ChannelMasks& masks = state.live.masks;
    const uint8_t direction = frame.bytes[1];
    if (direction != p::kCcRead && direction != p::kCcWrite) return acknowledged(frame, p::kRefused);
    if (direction == p::kCcWrite) {
        masks.enable = frame.bytes[p::kEnableMaskIndex];
        masks.lead = frame.bytes[p::kLeadMaskIndex];
    }
    Bytes reply = acknowledged(frame, p::kAccepted);
    reply[p::kEnableMaskIndex] = masks.enable;
    reply[p::kLeadMaskIndex] = masks.lead;
    return reply;
}

}  // namespace orvo::sim
