#include "handlers.h"

namespace orvo::sim {

Bytes dispatchCommand(DeviceState& state, const Frame& frame) {
    switch (frame.kind) {
        case FrameKind::Identity: return handleIdentity(state, frame);
        case FrameKind::PageShortRead:
        case FrameKind::PageRead: return handlePageRead(state, frame);
        case FrameKind::PageWrite: return handlePageWrite(state, frame);
        case FrameKind::HwInfo: return handleHwInfo(state, frame);
        case FrameKind::OutputStage: return handleOutputStage(state, frame);
        case FrameKind::CcCommand: return handleCcCommand(state, frame);
        case FrameKind::ChannelState: return handleChannelState(state, frame);
        case FrameKind::Respiration: return handleRespiration(state, frame);
        case FrameKind::WaveformInfo: return handleWaveformInfo(state, frame);
        case FrameKind::ControlRecord: return handleControlRecord(state, frame);
        case FrameKind::Stop: return handleStop(state, frame);
        case FrameKind::RawData: return handleRawData(state, frame);
        case FrameKind::RomStatus: return handleRomStatus(state, frame);
        case FrameKind::RomStore: return handleRomStore(state, frame);
        case FrameKind::StreamPacket: break;  // the streaming engine's
    }
    return {};
}

}  // namespace orvo::sim
