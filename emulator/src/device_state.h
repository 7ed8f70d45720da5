// Everything the device remembers: the volatile state of the output stage and
// playback, and the non-volatile flash pages and ROM slots.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "orvo_sim.h"

namespace orvo::sim {

struct VolatileState {
    Report outputStage{};
    ChannelMasks masks;
    RespirationSettings respiration;
    CalibrationState calibration;
    Report waveformInfo{};
    bool haveWaveformInfo = false;
    Report controlRecord{};
    bool standalonePlaying = false;
    std::vector<PlayedSample> uploaded;  // by sample index
    PlayedSample output;                 // what the outputs carry now
};

struct NonVolatileState {
    std::map<uint8_t, Report> pages;  // flash pages; page 1 is the identity page
    std::map<int, RomSlot> slots;
    uint8_t hwInfo2 = 0;
};

struct DeviceState {
    VolatileState live;
    NonVolatileState stored;
};

/** Power-up state built from the configuration. */
DeviceState initialDeviceState(const SimulatorConfig& config);
/** Volatile state after a power cycle. */
VolatileState powerUpState(const SimulatorConfig& config);

uint8_t outputMode(const VolatileState& state);
uint16_t sampleRate(const VolatileState& state);
const Report& identityPage(const NonVolatileState& state);
/** The uploaded period: as many samples as the waveform info announced, or
 *  every uploaded sample when no info arrived. */
std::vector<PlayedSample> uploadedPeriod(const VolatileState& state);

}  // namespace orvo::sim
