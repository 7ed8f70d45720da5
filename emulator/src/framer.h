// Cuts the byte stream from the host into commands by their first bytes and
// lengths. Bytes that start no known command are dropped one at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace orvo::sim {

enum class FrameKind {
    Identity,       // 0x55 0x00 0x00
    PageShortRead,  // 12-byte flash page read
    PageRead,       // 64-byte flash page read
    PageWrite,      // 64-byte flash page write-back
    HwInfo,         // 0xAA 0x03
    OutputStage,    // 64 bytes beginning 0x00: query or write-back
    ChannelState,   // 0xCC xx 0x0D, 6 bytes
    CcCommand,      // other 0xCC sub-commands, 64 bytes
    Respiration,    // 0xEA 0xFF 0x01, 19 bytes
    WaveformInfo,   // 0xEA 0xFF 0x01, 64 bytes
    ControlRecord,  // 0xEA 0xFF 0x00, 64 bytes
    Stop,           // 0xEA 0xFF 0x00 0x00 0x00
    RawData,        // 0xEA 0xFF 0x04, 64 bytes
    RomStatus,      // 0xEA 0x00 0x07, 6 bytes
    RomStore,       // 0xEA 0xFF 0x07, 5 bytes
    StreamPacket,   // 0x01 0x01, 64 bytes
};

struct Frame {
    FrameKind kind;
    std::vector<uint8_t> bytes;
};

class Framer {
public:
    /** Adds bytes received at time now (seconds). */
    void push(const uint8_t* data, size_t count, double now);
    /** The next complete frame, if one can be decided at time now. */
    std::optional<Frame> next(double now);
    /** Bytes dropped while resynchronising since the last call. */
    std::vector<uint8_t> takeDropped();
    /** Time at which next() may decide without new bytes; negative if never. */
    double deadline() const;
    bool empty() const { return buffer_.empty(); }
    void clear();

private:
    std::deque<uint8_t> buffer_;
    double lastByteTime_ = 0.0;
    std::vector<uint8_t> dropped_;

    void dropOne();
    Frame take(FrameKind kind, size_t length);
};

}  // namespace orvo::sim
