#include "fault_switches.h"

#include "bytes.h"
#include "protocol.h"

namespace orvo::sim {

namespace p = protocol;

namespace {

const uint8_t kWrongSignature[] = {'Z', 'X', 'X'};

void bendRawAck(RawAckFault fault, std::vector<uint8_t>& reply) {
    if (fault == RawAckFault::ClearedAckByte) {
        reply[p::kAckIndex] = 0x00;
    } else if (fault == RawAckFault::ChangedIndex) {
        uint8_t* index = reply.data() + p::kRawIndexIndex;
        putU16(index, uint16_t(getU16(index) + 1));
    }
}

}  // namespace

void applyReplyFaults(const FaultSwitches& faults, FrameKind kind, std::vector<uint8_t>& reply) {
    if (faults.silent) {
        reply.clear();
        return;
    }
    if (kind == FrameKind::Identity && faults.wrongSignature) {
        for (size_t i = 0; i < sizeof kWrongSignature; ++i)
            reply[p::kIdentityReplyPageOffset + i] = kWrongSignature[i];
    }
    if (kind == FrameKind::RomStatus && faults.romNeverReady) reply[p::kAckIndex] = p::kRefused;
    if (kind == FrameKind::RawData) bendRawAck(faults.rawAck, reply);
    if (faults.shortReplies) reply.resize(reply.size() / 2);
}

bool requestsAllowed(const FaultSwitches& faults) { return !faults.silent && !faults.requestsPaused; }

}  // namespace orvo::sim
