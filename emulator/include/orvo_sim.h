// Virtual simulator: a device emulator on a pseudo-terminal that answers the
// device side of the wire protocol, records what it was sent, and can inject
// faults. Host code opens the published port exactly like a real simulator.
//
// Every member function of Simulator is thread-safe: an internal thread runs
// the device while the caller inspects and steers it from its own thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace orvo::sim {

/** One sample as the device plays it: DC-channel code and main-channel code. */
struct PlayedSample {
    uint16_t dc = 0x8000;
    int16_t main = 0;
};

inline bool operator==(const PlayedSample& a, const PlayedSample& b) {
    return a.dc == b.dc && a.main == b.main;
}
inline bool operator!=(const PlayedSample& a, const PlayedSample& b) { return !(a == b); }

/** Main-channel code to millivolts (6400 codes per mV at attenuation 1). */
double mainCodeToMillivolts(int16_t code, double attenuation = 1.0);
/** DC-channel code to millivolts (0..65535 onto -1000..+1000 mV). */
double dcCodeToMillivolts(uint16_t code);

struct SimulatorConfig {
    std::string dir;                  // directory that receives the link "ttyACM<port>"
    int port = 0;
    bool fast = false;                // request the next batch as soon as one arrived
    char modelCode[2] = {'R', 'N'};   // identity page bytes 17, 18
    uint8_t hexCode[2] = {0x0A, 0x3F};  // identity page bytes 19, 20
    uint8_t serialPrefix = 7;         // identity page byte 21
    uint16_t serialNumber = 42;       // identity page bytes 22, 23 (big-endian)
    uint8_t hwInfo[4] = {0, 0, 0, 0}; // identity page bytes 24..27
    uint8_t hwInfo2 = 0;              // byte 3 of the reply to 0xAA 0x03
    uint8_t enableMask = 0x0F;        // channel-state masks at power-up
    uint8_t leadMask = 0x00;
    std::string recordPath;           // optional CSV file of played samples
    size_t logLimit = 100000;         // oldest log entries are dropped beyond this
    size_t sampleLimit = size_t(4) << 20;  // oldest samples are dropped beyond this
};

enum class EventKind {
    Command,    // a framed command and the reply sent to it
    Request,    // a data request the device sent
    Batch,      // a streaming batch (or the incomplete rest of one)
    StopBurst,  // a batch of stop packets: the output went to zero
    Malformed,  // bytes that framed as nothing and were dropped
    Unplug,
    Replug,
};

struct LogEntry {
    EventKind kind = EventKind::Command;
    double time = 0.0;             // seconds since start(), steady clock
    std::vector<uint8_t> bytes;    // command bytes; request; batch: first packet header (8 bytes)
    std::vector<uint8_t> reply;    // Command: bytes sent back (empty when nothing was sent)
    uint16_t sequence = 0;         // Batch: sequence number of the first packet
    size_t count = 0;              // Batch/StopBurst: packets; Malformed: bytes dropped
};

struct Counters {
    uint64_t commands = 0;          // framed commands (batches not included)
    uint64_t requests = 0;          // data requests sent
    uint64_t batches = 0;           // complete batches of samples
    uint64_t packets = 0;           // streaming packets of any kind
    uint64_t samples = 0;           // samples played since start (not reset by clearSamples)
    uint64_t stopBursts = 0;
    uint64_t malformedBytes = 0;    // dropped while resynchronising
    uint64_t malformedPackets = 0;  // 0x01 0x01 packets with a bad header
    uint64_t sequenceGaps = 0;      // packets whose sequence number was not the expected one
    uint64_t lateBatches = 0;       // batches completed more than one batch time after their request
    uint64_t incompleteBatches = 0; // batches cut short by other traffic or a quiet line
    uint64_t idleBatches = 0;       // batches received while the output mode was not streaming
    uint64_t droppedLogEntries = 0;
};

struct ChannelMasks {
    uint8_t enable = 0;
    uint8_t lead = 0;
};

struct RespirationSettings {
    bool received = false;  // a respiration packet was accepted since power-up
    uint8_t rate = 0;
    uint8_t variation = 0;
    uint8_t ratio = 0;
    uint8_t baseline = 0;
    uint8_t apnea = 0;
};

struct CalibrationState {
    unsigned resets = 0;        // 0xCC 0x0F commands received
    bool calibrationMode = false;
    uint16_t dac[2] = {0, 0};   // last 0xCC 0x07 values
};

using Report = std::array<uint8_t, 64>;

/** A waveform stored in a ROM slot. */
struct RomSlot {
    Report waveformInfo{};
    Report controlRecord{};
    std::vector<PlayedSample> period;
};

enum class RawAckFault {
    None,
    ClearedAckByte,  // acknowledgement byte 3 = 0x00
    ChangedIndex,    // acknowledgement carries index + 1
};

class Simulator {
public:
    explicit Simulator(SimulatorConfig config);
    ~Simulator();  // stops the device and removes the link
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    /** Opens a pty, publishes "<dir>/ttyACM<port>" (replacing a stale link) and
     *  starts the device thread. False when the pty, the link or the record
     *  file cannot be made; nothing is left open then. True if already running. */
    bool start();
    /** Ends the device thread, closes the pty and the record file and removes
     *  the link. Does nothing when not running. */
    void stop();
    /** The published link path ("<dir>/ttyACM<port>"). */
    std::string path() const;
    /** Whether the port is published (false after unplug() and stop()). */
    bool plugged() const;

    /** Removes the link and closes the pty: the host sees a hang-up. */
    void unplug();
    /** Publishes a new pty under the same link (unplugging first if needed);
     *  volatile device state is reset as after power-up, flash pages and ROM
     *  slots are kept, the recorder is untouched. False if the pty or link
     *  cannot be made, or the device is not running. */
    bool replug();

    // Fault switches (all off after start).
    void setSilent(bool on);           // answer nothing, send no requests
    void setWrongSignature(bool on);   // identity reply spells "ZXX"
    void setShortReplies(bool on);     // every reply is cut to half its length
    void setRequestsPaused(bool on);   // streaming stays on but no request is sent
    void setRomNeverReady(bool on);    // slot status carries byte 3 = 0x00
    void setRawAckFault(RawAckFault fault);  // bend the raw-data acknowledgement
    void setFast(bool fast);                 // switch between paced and fast requests

    // Recorder.
    /** Waits until sampleCount() reaches total; false on time-out. */
    bool waitForSamples(size_t total, int timeoutMs);
    std::vector<PlayedSample> samples() const;         // retained samples, oldest first
    size_t sampleCount() const;                        // samples since the last clearSamples()
    void clearSamples();
    std::vector<LogEntry> log() const;  // oldest first, at most config.logLimit entries
    void clearLog();
    Counters counters() const;          // never reset while the device exists
    /** Waits until pred() is true, checking it after every device event (pred
     *  may call the getters of this class); false on time-out. */
    bool waitUntil(const std::function<bool()>& pred, int timeoutMs) const;

    // Device state.
    Report outputStage() const;  // as stored (bytes 0 and 1 zero)
    bool streaming() const;      // output mode 0x01
    PlayedSample currentOutput() const;  // last sample played (zero after a stop burst)
    ChannelMasks channelMasks() const;
    RespirationSettings respiration() const;
    CalibrationState calibration() const;
    Report identityPage() const;
    Report waveformInfo() const;
    Report controlRecord() const;
    bool standalonePlaying() const;
    /** The uploaded period: samples per period from the waveform info when one
     *  was received, otherwise every uploaded sample. */
    std::vector<PlayedSample> uploadedPeriod() const;
    std::map<int, RomSlot> romSlots() const;  // stored slots by number

    struct Impl;  // the device; defined in the emulator's sources

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace orvo::sim
