// Fault switches: deliberate misbehaviour that lets host code exercise its
// failure paths. Handlers build correct replies; the faults bend them here.
#pragma once

#include <cstdint>
#include <vector>

#include "framer.h"
#include "orvo_sim.h"

namespace orvo::sim {

struct FaultSwitches {
    bool silent = false;          // no replies, no requests
    bool wrongSignature = false;  // identity reply spells "ZXX"
    bool shortReplies = false;    // replies cut to half their length
    bool requestsPaused = false;  // streaming on, requests held back
    bool romNeverReady = false;   // slot status refused
    RawAckFault rawAck = RawAckFault::None;
};

/** Applies the switched-on faults to the reply of a command. */
void applyReplyFaults(const FaultSwitches& faults, FrameKind kind, std::vector<uint8_t>& reply);

/** Whether the device may send a data request now. */
bool requestsAllowed(const FaultSwitches& faults);

}  // namespace orvo::sim
