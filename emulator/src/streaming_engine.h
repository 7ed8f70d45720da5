// The streaming side of the device: asks for batches while the output mode
// streams, decodes the packets that arrive, checks their sequence numbers and
// plays their samples.
#pragma once

#include <cstdint>

#include "device_state.h"
#include "framer.h"
#include "recorder.h"

namespace orvo::sim {

class StreamingEngine {
public:
    explicit StreamingEngine(bool fast) : fast_(fast) {}

    void setFast(bool fast) { fast_ = fast; }
    /** Follows the output-stage block after every command: entering mode
     *  0x01 starts a stream, leaving it ends one. */
    void followOutputStage(const VolatileState& state);
    /** Ends any stream (power cycle). */
    void reset();
    bool streaming() const { return streaming_; }

    void onPacket(const Frame& frame, double now, VolatileState& state, Recorder& recorder);
    bool batchOpen() const { return batch_.packets > 0; }
    /** Logs a batch cut short by other traffic or a quiet line. */
    void closeIncompleteBatch(Recorder& recorder);
    /** Closes a batch whose packets stopped coming. */
    void closeStaleBatch(double now, Recorder& recorder);

    /** Whether a data request should go out now; lastRx is the time the
     *  last byte arrived. The caller also holds requests back while a command
     *  is still being framed. */
    bool requestDue(double now, double lastRx) const;
    void onRequestSent(double now);
    /** Earliest time at which an incomplete batch goes stale or (when the
     *  caller could send one now) a request falls due; negative if none. */
    double deadline(double lastRx, bool canRequest) const;

private:
    struct OpenBatch {
        size_t packets = 0;
        bool stop = false;
        uint16_t sequence = 0;
        uint8_t header[8] = {};
        double lastPacketTime = 0.0;
    };

    bool fast_;
    bool streaming_ = false;
    double batchSeconds_ = 0.0175;
    uint16_t expectedSequence_ = 0;
    bool requestOutstanding_ = false;
    bool paced_ = false;        // an anchor for the next request exists
    double anchor_ = 0.0;       // time of the last request or of the opening batch
    double requestTime_ = 0.0;
    OpenBatch batch_;

    bool isStopPacket(const Frame& frame, uint16_t sequence) const;
    void completeBatch(double now, Recorder& recorder);
};

}  // namespace orvo::sim
