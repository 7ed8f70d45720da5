#include "device_state.h"

#include "bytes.h"
#include "protocol.h"

namespace orvo::sim {

namespace p = protocol;

VolatileState powerUpState(const SimulatorConfig& config) {
    VolatileState state;
    state.outputStage[p::kOutputModeIndex] = p::kModeOff;
    putU16(state.outputStage.data() + p::kSampleRateIndex, p::kDefaultSampleRate);
    state.masks.enable = config.enableMask;
    state.masks.lead = config.leadMask;
    return state;
}

static Report buildIdentityPage(const SimulatorConfig& config) {
    Report page{};
    page[p::kPageMakerIndex] = p::kMakerLetter;
    page[p::kPageModelCodeIndex] = uint8_t(config.modelCode[0]);
    page[p::kPageModelCodeIndex + 1] = uint8_t(config.modelCode[1]);
    page[p::kPageHexCodeIndex] = config.hexCode[0];
    page[p::kPageHexCodeIndex + 1] = config.hexCode[1];
    page[p::kPageSerialPrefixIndex] = config.serialPrefix;
    putU16(page.data() + p::kPageSerialNumberIndex, config.serialNumber);
    for (size_t i = 0; i < p::kPageHwInfoCount; ++i) page[p::kPageHwInfoIndex + i] = config.hwInfo[i];
    return page;
}

DeviceState initialDeviceState(const SimulatorConfig& config) {
    DeviceState state;
    state.live = powerUpState(config);
    state.stored.pages[p::kIdentityPageNumber] = buildIdentityPage(config);
    state.stored.hwInfo2 = config.hwInfo2;
    return state;
}

uint8_t outputMode(const VolatileState& state) { return state.outputStage[p::kOutputModeIndex]; }

uint16_t sampleRate(const VolatileState& state) {
    return getU16(state.outputStage.data() + p::kSampleRateIndex);
}

const Report& identityPage(const NonVolatileState& state) {
    return state.pages.at(p::kIdentityPageNumber);
}

std::vector<PlayedSample> uploadedPeriod(const VolatileState& state) {
    std::vector<PlayedSample> period = state.uploaded;
    // Samples never uploaded read as zero bytes, as the host pads its last packet.
    if (state.haveWaveformInfo)
        period.resize(getU16(state.waveformInfo.data() + p::kInfoSamplesIndex), PlayedSample{0, 0});
    return period;
}

}  // namespace orvo::sim
