// Command handlers, one file per command group. Each takes the framed command,
// updates the device state and returns the reply (empty: no reply).
#pragma once

#include <cstdint>
#include <vector>

#include "device_state.h"
#include "framer.h"

namespace orvo::sim {

using Bytes = std::vector<uint8_t>;

// Identity, flash pages and hardware information (identity_commands.cpp).
Bytes handleIdentity(const DeviceState& state, const Frame& frame);
Bytes handlePageRead(const DeviceState& state, const Frame& frame);
Bytes handlePageWrite(DeviceState& state, const Frame& frame);
Bytes handleHwInfo(const DeviceState& state, const Frame& frame);

// Output stage and the 0xCC group (output_stage_commands.cpp).
Bytes handleOutputStage(DeviceState& state, const Frame& frame);
Bytes handleCcCommand(DeviceState& state, const Frame& frame);
Bytes handleChannelState(DeviceState& state, const Frame& frame);

// Respiration, standalone playback and ROM slots (standalone_commands.cpp).
Bytes handleRespiration(DeviceState& state, const Frame& frame);
Bytes handleWaveformInfo(DeviceState& state, const Frame& frame);
Bytes handleControlRecord(DeviceState& state, const Frame& frame);
Bytes handleStop(DeviceState& state, const Frame& frame);
Bytes handleRawData(DeviceState& state, const Frame& frame);
Bytes handleRomStatus(const DeviceState& state, const Frame& frame);
Bytes handleRomStore(DeviceState& state, const Frame& frame);

/** Routes a command (not a streaming packet) to its handler. */
Bytes dispatchCommand(DeviceState& state, const Frame& frame);

/** A 64-byte reply that echoes the command with the acknowledgement byte set. */
Bytes acknowledged(const Frame& frame, uint8_t ack);

}  // namespace orvo::sim
