#include "framer.h"

#include <algorithm>

#include "protocol.h"

namespace orvo::sim {

namespace p = protocol;

namespace {

// What the bytes at the head of the buffer can become.
struct Shape {
    enum Type { Unknown, NeedMore, Fixed, ShortOrLong } type = Unknown;
    FrameKind kind = FrameKind::Identity;  // the (short) form
    size_t length = 0;
    FrameKind longKind = FrameKind::Identity;
    size_t longLength = 0;
};

Shape fixed(FrameKind kind, size_t length) { return Shape{Shape::Fixed, kind, length, kind, 0}; }

Shape shortOrLong(FrameKind shortKind, size_t shortLength, FrameKind longKind) {
    return Shape{Shape::ShortOrLong, shortKind, shortLength, longKind, p::kReportBytes};
}

Shape needMore() { return Shape{Shape::NeedMore}; }
Shape unknown() { return Shape{}; }

class Head {
public:
    explicit Head(const std::deque<uint8_t>& buffer) : buffer_(buffer) {}
    size_t size() const { return buffer_.size(); }
    bool has(size_t index) const { return index < buffer_.size(); }
    uint8_t operator[](size_t index) const { return buffer_[index]; }
    // True while the bytes present agree with the prefix.
    bool agrees(std::initializer_list<uint8_t> prefix) const {
        size_t i = 0;
        for (uint8_t b : prefix) {
            if (i >= buffer_.size()) return true;
            if (buffer_[i++] != b) return false;
        }
        return true;
    }
    bool complete(size_t length) const { return buffer_.size() >= length; }

private:
    const std::deque<uint8_t>& buffer_;
};

Shape identityShape(const Head& h) {
    if (!h.agrees({p::kIdentityByte0, 0x00, 0x00})) return unknown();
    return fixed(FrameKind::Identity, p::kIdentityRequestBytes);
}

Shape pageShape(const Head& h) {
    if (!h.agrees({p::kPageByte0, p::kPageByte1, p::kPageByte2})) return unknown();
    if (!h.has(p::kPageDirectionIndex)) return needMore();
    if (h[p::kPageDirectionIndex] == p::kPageWriteBack) return fixed(FrameKind::PageWrite, p::kReportBytes);
    if (!h.has(p::kPageLengthIndex)) return needMore();
    if (h[p::kPageLengthIndex] == p::kPageShortReadLength)
        return fixed(FrameKind::PageShortRead, p::kPageShortReadBytes);
    return fixed(FrameKind::PageRead, p::kReportBytes);
}

Shape hwInfoShape(const Head& h) {
    if (!h.agrees({p::kHwInfoByte0, p::kHwInfoByte1})) return unknown();
    return fixed(FrameKind::HwInfo, p::kHwInfoRequestBytes);
}

Shape ccShape(const Head& h) {
    if (!h.has(p::kCcSubIndex)) return needMore();
    if (h[p::kCcSubIndex] == p::kCcChannelState) return fixed(FrameKind::ChannelState, p::kChannelStateBytes);
    return fixed(FrameKind::CcCommand, p::kReportBytes);
}

Shape eaShape(const Head& h) {
    if (!h.has(2)) return needMore();
    const uint8_t direction = h[1], sub = h[2];
    if (direction == p::kEaWrite && sub == p::kEaControl) {
        // The stop command is a control record cut after its zero run flag.
        for (size_t i = 3; i < p::kStopBytes && h.has(i); ++i)
            if (h[i] != 0x00) return fixed(FrameKind::ControlRecord, p::kReportBytes);
        return shortOrLong(FrameKind::Stop, p::kStopBytes, FrameKind::ControlRecord);
    }
    if (direction == p::kEaWrite && sub == p::kEaInfo)
        return shortOrLong(FrameKind::Respiration, p::kRespirationBytes, FrameKind::WaveformInfo);
    if (direction == p::kEaWrite && sub == p::kEaRawData) return fixed(FrameKind::RawData, p::kReportBytes);
    if (direction == p::kEaWrite && sub == p::kEaRom) return fixed(FrameKind::RomStore, p::kRomStoreBytes);
    if (direction == p::kEaRead && sub == p::kEaRom) return fixed(FrameKind::RomStatus, p::kRomStatusBytes);
    return unknown();
}

Shape streamShape(const Head& h) {
    // 0x01 0x55 is the device's own request; the host sends only packets.
    if (!h.agrees({p::kStreamByte0, p::kPacketByte1})) return unknown();
    return fixed(FrameKind::StreamPacket, p::kReportBytes);
}

Shape shapeOf(const Head& h) {
    if (h.size() == 0) return needMore();
    switch (h[0]) {
        case p::kIdentityByte0: return identityShape(h);
        case p::kPageByte0: return pageShape(h);
        case p::kHwInfoByte0: return hwInfoShape(h);
        case p::kOutputStageByte0: return fixed(FrameKind::OutputStage, p::kReportBytes);
        case p::kCcByte0: return ccShape(h);
        case p::kEaByte0: return eaShape(h);
        case p::kStreamByte0: return streamShape(h);
        default: return unknown();
    }
}

constexpr double kQuietSeconds = p::kShortFormQuietMs / 1000.0;
constexpr double kStaleSeconds = p::kStaleFrameMs / 1000.0;

}  // namespace

void Framer::push(const uint8_t* data, size_t count, double now) {
    if (count == 0) return;
    buffer_.insert(buffer_.end(), data, data + count);
    lastByteTime_ = now;
}

void Framer::dropOne() {
    dropped_.push_back(buffer_.front());
    buffer_.pop_front();
}

Frame Framer::take(FrameKind kind, size_t length) {
    Frame frame{kind, std::vector<uint8_t>(buffer_.begin(), buffer_.begin() + long(length))};
    buffer_.erase(buffer_.begin(), buffer_.begin() + long(length));
    return frame;
}

std::optional<Frame> Framer::next(double now) {
    const double idle = now - lastByteTime_;
    while (!buffer_.empty()) {
        const Head head(buffer_);
        const Shape shape = shapeOf(head);
        switch (shape.type) {
            case Shape::Unknown:
                dropOne();
                continue;
            case Shape::NeedMore:
                break;
            case Shape::Fixed:
                if (head.complete(shape.length)) return take(shape.kind, shape.length);
                break;
            case Shape::ShortOrLong:
                if (head.complete(shape.longLength)) return take(shape.longKind, shape.longLength);
                if (head.complete(shape.length) && idle >= kQuietSeconds) return take(shape.kind, shape.length);
                break;
        }
        // Incomplete: wait for the rest unless the line has gone stale.
        if (idle < kStaleSeconds) return std::nullopt;
        dropOne();
    }
    return std::nullopt;
}

std::vector<uint8_t> Framer::takeDropped() {
    std::vector<uint8_t> dropped;
    dropped.swap(dropped_);
    return dropped;
}

double Framer::deadline() const {
    if (buffer_.empty()) return -1.0;
    const Head head(buffer_);
    const Shape shape = shapeOf(head);
    if (shape.type == Shape::ShortOrLong && head.complete(shape.length)) return lastByteTime_ + kQuietSeconds;
    return lastByteTime_ + kStaleSeconds;
}

void Framer::clear() {
    buffer_.clear();
    dropped_.clear();
}

}  // namespace orvo::sim
