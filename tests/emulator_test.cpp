// The virtual simulator, driven from the host side of its pty like a real
// host would: raw bytes in, raw bytes out.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvo_sim.h"

namespace {

using orvo::sim::EventKind;
using orvo::sim::LogEntry;
using orvo::sim::PlayedSample;
using orvo::sim::RawAckFault;
using orvo::sim::Simulator;
using orvo::sim::SimulatorConfig;
using Bytes = std::vector<uint8_t>;

constexpr int kReplyWaitMs = 2000;  // generous: machines are shared

Bytes report(Bytes head) {
    head.resize(64, 0x00);
    return head;
}

Bytes with(Bytes bytes, size_t index, uint8_t value) {
    bytes[index] = value;
    return bytes;
}

// The host's end of the line.
class HostPort {
public:
    explicit HostPort(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~HostPort() { close(); }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    void write(const Bytes& bytes) const {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += size_t(n);
            } else {
                pollfd p{fd_, POLLOUT, 0};
                ASSERT_GT(::poll(&p, 1, kReplyWaitMs), 0) << "host write stalled";
            }
        }
    }

    // Reads until count bytes arrived or timeoutMs passed.
    Bytes read(size_t count, int timeoutMs = kReplyWaitMs) const {
        Bytes out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, int(left.count())) <= 0) break;
            uint8_t buffer[4096];
            const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - out.size()));
            if (n <= 0) break;
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }

    Bytes exchange(const Bytes& command, size_t replyBytes) const {
        write(command);
        return read(replyBytes);
    }

    // True when nothing arrives for ms milliseconds.
    bool quietFor(int ms) const { return read(1, ms).empty(); }

private:
    int fd_;
};

// Streaming packet: header 01 01 00 00 00 0E seq, then 14 samples.
Bytes packet(uint16_t sequence, const std::function<PlayedSample(size_t)>& sample, size_t first) {
    Bytes p = {0x01, 0x01, 0x00, 0x00, 0x00, 0x0E, uint8_t(sequence >> 8), uint8_t(sequence)};
    for (size_t k = 0; k < 14; ++k) {
        const PlayedSample s = sample(first + k);
        p.push_back(uint8_t(s.dc >> 8));
        p.push_back(uint8_t(s.dc));
        p.push_back(uint8_t(uint16_t(s.main) >> 8));
        p.push_back(uint8_t(uint16_t(s.main)));
    }
    return p;
}

PlayedSample ramp(size_t i) { return PlayedSample{uint16_t(0x8000 + i), int16_t(i * 3 - 1000)}; }
PlayedSample zero(size_t) { return PlayedSample{0x8000, 0}; }

Bytes batch(uint16_t firstSequence, const std::function<PlayedSample(size_t)>& sample = ramp,
            size_t firstSample = 0) {
    Bytes b;
    for (size_t p = 0; p < 50; ++p) {
        const Bytes one = packet(uint16_t(firstSequence + p), sample, firstSample + p * 14);
        b.insert(b.end(), one.begin(), one.end());
    }
    return b;
}

Bytes stopBurst() {
    Bytes b;
    for (size_t p = 0; p < 50; ++p) {
        const Bytes one = packet(0xFF00, zero, 0);
        b.insert(b.end(), one.begin(), one.end());
    }
    return b;
}

const Bytes kRequest = report({0x01, 0x55});
const Bytes kIdentity = {0x55, 0x00, 0x00};

size_t countKind(const std::vector<LogEntry>& log, EventKind kind) {
    size_t n = 0;
    for (const LogEntry& e : log) n += e.kind == kind;
    return n;
}

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvo-sim-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        config_.dir = dir_;
        config_.port = 5;
        config_.hwInfo[0] = 0x11;
        config_.hwInfo[1] = 0x22;
        config_.hwInfo[2] = 0x33;
        config_.hwInfo[3] = 0x44;
        config_.hwInfo2 = 0x5A;
    }
    void TearDown() override {
        host_.reset();
        sim_.reset();
        std::remove((dir_ + "/record.csv").c_str());
        ::rmdir(dir_.c_str());
    }

    void startDevice() {
        sim_ = std::make_unique<Simulator>(config_);
        ASSERT_TRUE(sim_->start());
        host_ = std::make_unique<HostPort>(sim_->path());
        ASSERT_TRUE(host_->isOpen());
    }

    // Read-modify-write of the output stage, as the host library does it.
    void setOutputMode(uint8_t mode, uint16_t rate = 40000) {
        Bytes block = host_->exchange(Bytes(64, 0x00), 64);
        ASSERT_EQ(block.size(), 64u);
        block[1] = 0xFF;
        block[2] = mode;
        block[5] = uint8_t(rate >> 8);
        block[6] = uint8_t(rate);
        ASSERT_EQ(host_->exchange(block, 64).size(), 64u);
    }

    void expectRequest(int timeoutMs = kReplyWaitMs) { EXPECT_EQ(host_->read(64, timeoutMs), kRequest); }

    std::string dir_;
    SimulatorConfig config_;
    std::unique_ptr<Simulator> sim_;
    std::unique_ptr<HostPort> host_;
};

// ---------------------------------------------------------------- framing

struct ExchangeCase {
    const char* name;
    Bytes request;
    Bytes reply;
};

TEST_F(EmulatorTest, EachCommandGroupIsAnsweredWithItsReply) {
    startDevice();
    const Bytes page = report({0x00, 0, 0, 0, 0, 0, 0, 0,  // header, replaced by the echo
                               0, 0, 0, 0, 0, 0, 0, 0,  'Z',  'R',  'N',  0x0A,
                               0x3F, 0x07, 0x00, 0x2A, 0x11, 0x22, 0x33, 0x44});
    auto pageWithHeader = [&](Bytes header) {
        Bytes p = page;
        std::copy(header.begin(), header.end(), p.begin());
        return p;
    };
    const Bytes rawData = report({0xEA, 0xFF, 0x04, 0x00, 0x00, 0x00, 0x00, 0x0E, 0x80, 0x00, 0x19, 0x00});
    const std::vector<ExchangeCase> cases = {
        {"identity", kIdentity, {0x55, 0, 0, 0, 'Z', 'R', 'N', 0x0A, 0x3F, 0x07, 0x00, 0x2A}},
        {"12-byte page read", {0x12, 0x55, 0xAA, 0x00, 0x00, 0x01, 0x00, 0x20, 0, 0, 0, 0},
         pageWithHeader({0x12, 0x55, 0xAA, 0x00, 0x00, 0x01, 0x00, 0x20})},
        {"64-byte page read", report({0x12, 0x55, 0xAA, 0x00, 0x00, 0x01, 0x00, 0x0C}),
         pageWithHeader({0x12, 0x55, 0xAA, 0x00, 0x00, 0x01, 0x00, 0x0C})},
        {"hardware information", {0xAA, 0x03}, {0xAA, 0x03, 0x00, 0x5A, 0x00}},
        {"output-stage query", Bytes(64, 0x00), report({0x00, 0x00, 0x08, 0x00, 0x00, 0x9C, 0x40})},
        {"reset", report({0xCC, 0xFF, 0x0F}), report({0xCC, 0xFF, 0x0F, 0xFF})},
        {"calibration mode", report({0xCC, 0xFF, 0x06, 0x00, 0x01}), report({0xCC, 0xFF, 0x06, 0xFF, 0x01})},
        {"DAC values", report({0xCC, 0xFF, 0x07, 0x00, 0x12, 0x34, 0x56, 0x78}),
         report({0xCC, 0xFF, 0x07, 0xFF, 0x12, 0x34, 0x56, 0x78})},
        {"channel-state read", {0xCC, 0x00, 0x0D, 0x00, 0x00, 0x00}, report({0xCC, 0x00, 0x0D, 0xFF, 0x0F, 0x00})},
        {"respiration", {0xEA, 0xFF, 0x01, 0, 0, 0, 0, 0, 3, 2, 1, 4, 1, 0, 0, 0, 0, 0, 0},
         report({0xEA, 0xFF, 0x01, 0xFF, 0, 0, 0, 0, 3, 2, 1, 4, 1})},
        {"waveform info", report({0xEA, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x07, 0xD0, 0x00, 0x64, 0x03}),
         report({0xEA, 0xFF, 0x01, 0xFF, 0x00, 0x00, 0x07, 0xD0, 0x00, 0x64, 0x03})},
        {"control record", report({0xEA, 0xFF, 0x00, 0x00, 0x01, 0, 0, 0, 0x07, 0xD0}),
         report({0xEA, 0xFF, 0x00, 0xFF, 0x01, 0, 0, 0, 0x07, 0xD0})},
        {"stop", {0xEA, 0xFF, 0x00, 0x00, 0x00}, report({0xEA, 0xFF, 0x00, 0xFF})},
        {"raw data", rawData, with(rawData, 3, 0xFF)},
        {"ROM slot status, empty", {0xEA, 0x00, 0x07, 0x00, 0x02, 0x00}, report({0xEA, 0x00, 0x07, 0xFF, 0x02, 0x00})},
        {"ROM store", {0xEA, 0xFF, 0x07, 0x00, 0x02}, report({0xEA, 0xFF, 0x07, 0xFF, 0x02})},
        {"ROM slot status, stored", {0xEA, 0x00, 0x07, 0x00, 0x02, 0x00}, report({0xEA, 0x00, 0x07, 0xFF, 0x02, 0x01})},
    };
    for (const ExchangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(host_->exchange(c.request, c.reply.size()), c.reply);
        EXPECT_TRUE(host_->quietFor(20)) << "reply longer than expected";
    }
    const std::vector<LogEntry> log = sim_->log();
    ASSERT_EQ(log.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(log[i].kind, EventKind::Command);
        EXPECT_EQ(log[i].bytes, cases[i].request);
        EXPECT_EQ(log[i].reply, cases[i].reply);
    }
    EXPECT_EQ(sim_->counters().malformedBytes, 0u);
}

TEST_F(EmulatorTest, SharedPrefixCommandsAreToldApartByLength) {
    startDevice();
    // A control record with run flag 0 starts with the five bytes of the stop
    // command; a waveform-info packet starts like the respiration packet.
    const Bytes controlRecord = report({0xEA, 0xFF, 0x00, 0x00, 0x00, 0, 0, 0, 0x03, 0xE8});
    const Bytes playRecord = report({0xEA, 0xFF, 0x00, 0x00, 0x01, 0, 0, 0, 0x03, 0xE8});
    const Bytes stop = {0xEA, 0xFF, 0x00, 0x00, 0x00};
    const Bytes info = report({0xEA, 0xFF, 0x01, 0, 0, 0, 0x00, 0x14, 0x00, 0x64, 0x03});
    const Bytes respiration = {0xEA, 0xFF, 0x01, 0, 0, 0, 0, 0, 5, 6, 7, 2, 0, 0, 0, 0, 0, 0, 0};
    for (const Bytes& command : {playRecord, controlRecord, playRecord, stop, info, respiration}) {
        const Bytes reply = host_->exchange(command, 64);
        ASSERT_EQ(reply.size(), 64u);
        EXPECT_EQ(reply[3], 0xFF);
        if (command == playRecord) {
            EXPECT_TRUE(sim_->standalonePlaying());
        } else if (command == controlRecord || command == stop) {
            EXPECT_FALSE(sim_->standalonePlaying());
        }
    }
    const std::vector<LogEntry> log = sim_->log();
    ASSERT_EQ(log.size(), 6u);
    const size_t lengths[] = {64, 64, 64, 5, 64, 19};
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(log[i].bytes.size(), lengths[i]) << "command " << i;

    const orvo::sim::Report keptInfo = sim_->waveformInfo();
    EXPECT_TRUE(std::equal(info.begin(), info.end(), keptInfo.begin()));
    const orvo::sim::RespirationSettings r = sim_->respiration();
    EXPECT_TRUE(r.received);
    EXPECT_EQ(r.rate, 5);
    EXPECT_EQ(r.variation, 6);
    EXPECT_EQ(r.ratio, 7);
    EXPECT_EQ(r.baseline, 2);
    EXPECT_EQ(r.apnea, 0);
}

TEST_F(EmulatorTest, UnknownBytesAreDroppedUntilACommandFrames) {
    startDevice();
    // 0x01 0x55 is the device's own request: from the host it is garbage too.
    host_->write({0x77, 0x01, 0x55, 0x55, 0x01});
    EXPECT_EQ(host_->exchange(kIdentity, 12).size(), 12u);
    const orvo::sim::Counters counters = sim_->counters();
    EXPECT_EQ(counters.malformedBytes, 5u);
    EXPECT_EQ(counters.commands, 1u);
    const std::vector<LogEntry> log = sim_->log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front().kind, EventKind::Malformed);
    EXPECT_EQ(log.back().kind, EventKind::Command);
}

TEST_F(EmulatorTest, AStalePartialCommandIsDiscarded) {
    startDevice();
    host_->write({0x12, 0x55, 0xAA, 0x00});  // a page command that never completes
    ASSERT_TRUE(sim_->waitUntil([&] { return sim_->counters().malformedBytes == 4; }, kReplyWaitMs));
    EXPECT_EQ(host_->exchange(kIdentity, 12).size(), 12u);
}

// ------------------------------------------------------ identity and pages

TEST_F(EmulatorTest, IdentityPageHoldsTheConfiguredIdentity) {
    config_.modelCode[0] = 'Q';
    config_.modelCode[1] = 'T';
    config_.hexCode[0] = 0x01;
    config_.hexCode[1] = 0x02;
    config_.serialPrefix = 19;
    config_.serialNumber = 0x1234;
    startDevice();
    const orvo::sim::Report page = sim_->identityPage();
    const Bytes expected = {'Z', 'Q', 'T', 0x01, 0x02, 19, 0x12, 0x34, 0x11, 0x22, 0x33, 0x44};
    EXPECT_EQ(Bytes(page.begin() + 16, page.begin() + 28), expected);
    const Bytes reply = host_->exchange(kIdentity, 12);
    ASSERT_EQ(reply.size(), 12u);
    EXPECT_EQ(Bytes(reply.begin() + 4, reply.end()), Bytes(expected.begin(), expected.begin() + 8));
}

TEST_F(EmulatorTest, PageWriteBackIsAcknowledgedAndKept) {
    startDevice();
    Bytes page = host_->exchange(report({0x12, 0x55, 0xAA, 0x00, 0x00, 0x01, 0x00, 0x0C}), 64);
    ASSERT_EQ(page.size(), 64u);
    page[3] = 0xFF;
    page[22] = 0x00;  // serial number 99
    page[23] = 0x63;
    page[24] = 0xA1;  // HwInfo3
    const Bytes ack = host_->exchange(page, 64);
    ASSERT_EQ(ack.size(), 64u);
    EXPECT_EQ(ack[4], 0xFF);
    EXPECT_EQ(sim_->identityPage()[24], 0xA1);
    const Bytes identity = host_->exchange(kIdentity, 12);
    ASSERT_EQ(identity.size(), 12u);
    EXPECT_EQ(identity[10], 0x00);
    EXPECT_EQ(identity[11], 0x63);
}

// ------------------------------------------------------------ output stage

TEST_F(EmulatorTest, OutputStageWriteBackTakesEffect) {
    startDevice();
    Bytes block = host_->exchange(Bytes(64, 0x00), 64);
    ASSERT_EQ(block.size(), 64u);
    block[1] = 0xFF;
    block[5] = 0x4E;  // 20000 samples/s
    block[6] = 0x20;
    block[32 + 8 * 2 + 3] = 0xFF;  // lead state of channel 2
    block[32 + 8 * 3 + 5] = 0xFF;  // signal ground of channel 3
    ASSERT_EQ(host_->exchange(block, 64).size(), 64u);

    Bytes expected = block;
    expected[1] = 0x00;
    EXPECT_EQ(host_->exchange(Bytes(64, 0x00), 64), expected);
    const orvo::sim::Report kept = sim_->outputStage();
    EXPECT_EQ(Bytes(kept.begin(), kept.end()), expected);
    EXPECT_FALSE(sim_->streaming());
}

TEST_F(EmulatorTest, CcCommandsAndChannelMasksAreKept) {
    startDevice();
    host_->exchange(report({0xCC, 0xFF, 0x0F}), 64);
    host_->exchange(report({0xCC, 0xFF, 0x06, 0x00, 0x01}), 64);
    host_->exchange(report({0xCC, 0xFF, 0x07, 0x00, 0xAB, 0xCD, 0x01, 0x02}), 64);
    const Bytes written = host_->exchange({0xCC, 0xFF, 0x0D, 0x00, 0x05, 0x0A}, 64);
    EXPECT_EQ(written, report({0xCC, 0xFF, 0x0D, 0xFF, 0x05, 0x0A}));
    const Bytes read = host_->exchange({0xCC, 0x00, 0x0D, 0x00, 0x00, 0x00}, 64);
    EXPECT_EQ(read, report({0xCC, 0x00, 0x0D, 0xFF, 0x05, 0x0A}));
    // Neither a read nor a write: refused, masks unchanged.
    EXPECT_EQ(host_->exchange({0xCC, 0x12, 0x0D, 0x00, 0x01, 0x01}, 64)[3], 0x00);

    const orvo::sim::CalibrationState cal = sim_->calibration();
    EXPECT_EQ(cal.resets, 1u);
    EXPECT_TRUE(cal.calibrationMode);
    EXPECT_EQ(cal.dac[0], 0xABCD);
    EXPECT_EQ(cal.dac[1], 0x0102);
    EXPECT_EQ(sim_->channelMasks().enable, 0x05);
    EXPECT_EQ(sim_->channelMasks().lead, 0x0A);
}

// --------------------------------------------------------------- streaming

TEST_F(EmulatorTest, RequestsFollowBatchesWhileTheModeStreams) {
    startDevice();
    setOutputMode(0x01);
    EXPECT_TRUE(sim_->streaming());
    // The host opens the stream with a batch of its own; no request before it.
    EXPECT_TRUE(host_->quietFor(60));
    host_->write(batch(0));
    expectRequest();
    host_->write(batch(50, ramp, 700));
    expectRequest();
    host_->write(batch(100, ramp, 1400));
    ASSERT_TRUE(sim_->waitForSamples(2100, kReplyWaitMs));
    expectRequest();

    const std::vector<PlayedSample> played = sim_->samples();
    ASSERT_EQ(played.size(), 2100u);
    for (size_t i = 0; i < played.size(); ++i) ASSERT_EQ(played[i], ramp(i)) << "sample " << i;
    EXPECT_EQ(sim_->currentOutput(), ramp(2099));

    // Leaving the mode ends the stream: the outstanding request is forgotten.
    setOutputMode(0x08);
    EXPECT_FALSE(sim_->streaming());
    EXPECT_TRUE(host_->quietFor(100));
    const orvo::sim::Counters counters = sim_->counters();
    EXPECT_EQ(counters.batches, 3u);
    EXPECT_EQ(counters.requests, 3u);
    EXPECT_EQ(counters.sequenceGaps, 0u);
    EXPECT_EQ(counters.malformedPackets, 0u);
}

TEST_F(EmulatorTest, LogShowsCommandsBetweenRequestAndBatch) {
    startDevice();
    setOutputMode(0x01);
    host_->write(batch(0));
    expectRequest();
    EXPECT_EQ(host_->exchange(kIdentity, 12).size(), 12u);  // the watchdog's slot
    host_->write(batch(50));
    expectRequest();
    const std::vector<LogEntry> log = sim_->log();
    std::vector<EventKind> kinds;
    for (const LogEntry& e : log) kinds.push_back(e.kind);
    const std::vector<EventKind> expected = {EventKind::Command, EventKind::Command,  // mode 0x01
                                             EventKind::Batch,   EventKind::Request,  EventKind::Command,
                                             EventKind::Batch,   EventKind::Request};
    EXPECT_EQ(kinds, expected);
    const LogEntry& first = log[2];
    EXPECT_EQ(first.sequence, 0);
    EXPECT_EQ(first.count, 50u);
    EXPECT_EQ(first.bytes, Bytes({0x01, 0x01, 0x00, 0x00, 0x00, 0x0E, 0x00, 0x00}));
}

// Pacing is checked on the device's own clock; 7000 samples/s make one batch
// last 100 ms, so paced and fast differ by far more than scheduling noise.
TEST_F(EmulatorTest, PacedRequestsComeOneBatchTimeApart) {
    startDevice();
    setOutputMode(0x01, 7000);
    host_->write(batch(0));
    for (uint16_t b = 1; b <= 3; ++b) {
        expectRequest();
        host_->write(batch(uint16_t(50 * b)));
    }
    expectRequest();
    std::vector<double> times;
    double firstBatch = -1.0;
    for (const LogEntry& e : sim_->log()) {
        if (e.kind == EventKind::Request) times.push_back(e.time);
        if (e.kind == EventKind::Batch && firstBatch < 0) firstBatch = e.time;
    }
    ASSERT_EQ(times.size(), 4u);
    EXPECT_GE(times[0] - firstBatch, 0.0999);
    for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 0.0999) << "request " << i;
}

TEST_F(EmulatorTest, FastRequestsFollowEachBatchAtOnce) {
    config_.fast = true;
    startDevice();
    setOutputMode(0x01, 700);  // one batch lasts a second
    host_->write(batch(0));
    for (uint16_t b = 1; b <= 3; ++b) {
        expectRequest();
        host_->write(batch(uint16_t(50 * b)));
    }
    expectRequest();
    // Paced, each request would come a second after the previous one; fast,
    // it goes out with the batch that answered the previous one.
    double lastBatch = -1.0;
    size_t requests = 0;
    for (const LogEntry& e : sim_->log()) {
        if (e.kind == EventKind::Batch) lastBatch = e.time;
        if (e.kind != EventKind::Request) continue;
        ++requests;
        ASSERT_GE(lastBatch, 0.0);
        EXPECT_LT(e.time - lastBatch, 0.5) << "request " << requests;
    }
    EXPECT_EQ(requests, 4u);
    EXPECT_EQ(sim_->counters().lateBatches, 0u);
}

TEST_F(EmulatorTest, SequenceGapsAndMalformedPacketsAreCounted) {
    startDevice();
    setOutputMode(0x01);
    Bytes first = batch(0);
    first[10 * 64 + 7] = 99;  // packet 10 claims sequence 99: one gap, then 11 is off too
    first[20 * 64 + 5] = 0x0D;  // packet 20 has a bad sample count
    host_->write(first);
    expectRequest();
    const orvo::sim::Counters counters = sim_->counters();
    EXPECT_EQ(counters.sequenceGaps, 2u);
    EXPECT_EQ(counters.malformedPackets, 1u);
    EXPECT_EQ(counters.batches, 1u);
    EXPECT_EQ(sim_->sampleCount(), 49u * 14);
}

TEST_F(EmulatorTest, SequenceNumbersWrapAfter65535) {
    startDevice();
    setOutputMode(0x01);
    host_->write(batch(0));
    expectRequest();
    host_->write(batch(65530));  // one gap: 50 was expected
    expectRequest();
    host_->write(batch(uint16_t(65530 + 50)));
    expectRequest();
    EXPECT_EQ(sim_->counters().sequenceGaps, 1u);
}

TEST_F(EmulatorTest, StopBurstZeroesTheOutputWithoutASequenceGap) {
    startDevice();
    setOutputMode(0x01);
    host_->write(batch(0));
    expectRequest();
    host_->write(stopBurst());
    ASSERT_TRUE(sim_->waitUntil([&] { return sim_->counters().stopBursts == 1; }, kReplyWaitMs));
    expectRequest();  // the burst took the place of a batch
    EXPECT_EQ(sim_->currentOutput(), (PlayedSample{0x8000, 0}));
    EXPECT_EQ(sim_->sampleCount(), 700u);
    // The stream goes on where it was.
    host_->write(batch(50));
    expectRequest();
    const orvo::sim::Counters counters = sim_->counters();
    EXPECT_EQ(counters.sequenceGaps, 0u);
    EXPECT_EQ(counters.batches, 2u);
    EXPECT_EQ(countKind(sim_->log(), EventKind::StopBurst), 1u);
}

TEST_F(EmulatorTest, SequenceNumberFF00IsAPacketWhenItIsTheExpectedOne) {
    startDevice();
    setOutputMode(0x01);
    host_->write(batch(0xFEF2, zero));  // packet 14 carries 0xFF00 with zero samples
    expectRequest();
    const orvo::sim::Counters counters = sim_->counters();
    EXPECT_EQ(counters.stopBursts, 0u);
    EXPECT_EQ(counters.batches, 1u);
    EXPECT_EQ(counters.sequenceGaps, 1u);  // only the jump from 0
    EXPECT_EQ(sim_->sampleCount(), 700u);
}

TEST_F(EmulatorTest, EnteringTheStreamingModeRestartsTheSequence) {
    startDevice();
    setOutputMode(0x01);
    host_->write(batch(0));
    expectRequest();
    setOutputMode(0x08);
    setOutputMode(0x01);
    setOutputMode(0x01);  // staying in the mode changes nothing
    host_->write(batch(0));
    expectRequest();
    EXPECT_EQ(sim_->counters().sequenceGaps, 0u);
}

TEST_F(EmulatorTest, LateAndIncompleteBatchesAreCounted) {
    startDevice();
    setOutputMode(0x01);  // 17.5 ms per batch
    host_->write(batch(0));
    expectRequest();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    host_->write(batch(50));
    expectRequest();
    EXPECT_EQ(sim_->counters().lateBatches, 1u);

    const Bytes whole = batch(100);
    host_->write(Bytes(whole.begin(), whole.begin() + 10 * 64));
    EXPECT_EQ(host_->exchange(kIdentity, 12).size(), 12u);
    const orvo::sim::Counters counters = sim_->counters();
    EXPECT_EQ(counters.incompleteBatches, 1u);
    EXPECT_EQ(counters.batches, 2u);
    EXPECT_EQ(sim_->sampleCount(), 1400u + 140u);
}

TEST_F(EmulatorTest, UnansweredRequestIsRepeatedOnASilentLine) {
    startDevice();
    setOutputMode(0x01);
    host_->write(batch(0));
    expectRequest();
    expectRequest(4000);  // after about a second of silence
    EXPECT_EQ(sim_->counters().requests, 2u);
}

TEST_F(EmulatorTest, PlayedSamplesGoToTheRecordFile) {
    config_.recordPath = dir_ + "/record.csv";
    startDevice();
    setOutputMode(0x01);
    host_->write(batch(0));
    expectRequest();
    sim_->stop();
    std::ifstream file(config_.recordPath);
    std::string line;
    ASSERT_TRUE(std::getline(file, line));
    EXPECT_EQ(line, "index,main,dc");
    size_t rows = 0;
    while (std::getline(file, line)) {
        const PlayedSample s = ramp(rows);
        EXPECT_EQ(line, std::to_string(rows) + "," + std::to_string(s.main) + "," + std::to_string(s.dc));
        ++rows;
    }
    EXPECT_EQ(rows, 700u);
}

// ------------------------------------------------------- standalone and ROM

TEST_F(EmulatorTest, UploadedPeriodIsKeptAndStoredInASlot) {
    startDevice();
    host_->exchange(report({0xEA, 0xFF, 0x01, 0, 0, 0, 0x00, 20, 0x00, 0x64, 0x03}), 64);
    for (uint16_t index : {0, 14}) {
        Bytes raw = report({0xEA, 0xFF, 0x04, 0x00, 0x00, 0x00, uint8_t(index >> 8), uint8_t(index)});
        for (size_t k = 0; k < 14; ++k) {
            const PlayedSample s = ramp(index + k);
            raw[8 + 4 * k] = uint8_t(s.dc >> 8);
            raw[9 + 4 * k] = uint8_t(s.dc);
            raw[10 + 4 * k] = uint8_t(uint16_t(s.main) >> 8);
            raw[11 + 4 * k] = uint8_t(uint16_t(s.main));
        }
        EXPECT_EQ(host_->exchange(raw, 64), with(raw, 3, 0xFF));
    }
    std::vector<PlayedSample> expected;
    for (size_t i = 0; i < 20; ++i) expected.push_back(ramp(i));
    EXPECT_EQ(sim_->uploadedPeriod(), expected);

    EXPECT_EQ(host_->exchange({0xEA, 0x00, 0x07, 0x00, 0x01, 0x00}, 64)[5], 0x00);
    host_->exchange({0xEA, 0xFF, 0x07, 0x00, 0x01}, 64);
    const Bytes status = host_->exchange({0xEA, 0x00, 0x07, 0x00, 0x01, 0x00}, 64);
    ASSERT_EQ(status.size(), 64u);
    EXPECT_EQ(status[0], 0xEA);
    EXPECT_EQ(status[3], 0xFF);
    EXPECT_EQ(status[5], 0x01);
    const std::map<int, orvo::sim::RomSlot> slots = sim_->romSlots();
    ASSERT_EQ(slots.count(1), 1u);
    EXPECT_EQ(slots.at(1).period, expected);
    EXPECT_EQ(slots.at(1).waveformInfo[7], 20);
}

// ------------------------------------------------------------------ faults

struct FaultCase {
    const char* name;
    std::function<void(Simulator&, bool)> fault;
    Bytes request;
    Bytes faultyReply;
};

TEST_F(EmulatorTest, FaultSwitchesBendTheReplies) {
    startDevice();
    const Bytes raw = report({0xEA, 0xFF, 0x04, 0x00, 0x00, 0x00, 0x00, 0x1C, 1, 2, 3, 4});
    const Bytes identity = {0x55, 0, 0, 0, 'Z', 'R', 'N', 0x0A, 0x3F, 0x07, 0x00, 0x2A};
    const std::vector<FaultCase> cases = {
        {"silent", [](Simulator& s, bool on) { s.setSilent(on); }, kIdentity, {}},
        {"wrong signature", [](Simulator& s, bool on) { s.setWrongSignature(on); }, kIdentity,
         {0x55, 0, 0, 0, 'Z', 'X', 'X', 0x0A, 0x3F, 0x07, 0x00, 0x2A}},
        {"short replies", [](Simulator& s, bool on) { s.setShortReplies(on); }, kIdentity,
         Bytes(identity.begin(), identity.begin() + 6)},
        {"ROM never ready", [](Simulator& s, bool on) { s.setRomNeverReady(on); },
         {0xEA, 0x00, 0x07, 0x00, 0x01, 0x00}, report({0xEA, 0x00, 0x07, 0x00, 0x01})},
        {"raw ack byte cleared",
         [](Simulator& s, bool on) { s.setRawAckFault(on ? RawAckFault::ClearedAckByte : RawAckFault::None); },
         raw, raw},
        {"raw ack index changed",
         [](Simulator& s, bool on) { s.setRawAckFault(on ? RawAckFault::ChangedIndex : RawAckFault::None); },
         raw, with(with(raw, 3, 0xFF), 7, 0x1D)},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t properLength = c.request == kIdentity ? 12 : 64;
        c.fault(*sim_, true);
        host_->write(c.request);
        EXPECT_EQ(host_->read(c.faultyReply.size()), c.faultyReply);
        EXPECT_TRUE(host_->quietFor(50));
        c.fault(*sim_, false);
        // The same command, asked again, is answered properly once more.
        const Bytes again = host_->exchange(c.request, properLength);
        EXPECT_EQ(again.size(), properLength);
        EXPECT_NE(again, c.faultyReply);
        const std::vector<LogEntry> log = sim_->log();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[log.size() - 2].reply, c.faultyReply);
    }
}

TEST_F(EmulatorTest, PausedRequestsHoldTheStreamUntilResumed) {
    startDevice();
    setOutputMode(0x01);
    sim_->setRequestsPaused(true);
    host_->write(batch(0));
    EXPECT_TRUE(host_->quietFor(150));
    EXPECT_TRUE(sim_->streaming());
    sim_->setRequestsPaused(false);
    expectRequest();
}

TEST_F(EmulatorTest, SilentDeviceSendsNoRequests) {
    startDevice();
    setOutputMode(0x01);
    sim_->setSilent(true);
    host_->write(batch(0));
    EXPECT_TRUE(sim_->waitForSamples(700, kReplyWaitMs));  // it still listens
    EXPECT_TRUE(host_->quietFor(150));
    sim_->setSilent(false);
    expectRequest();
}

// -------------------------------------------------------------- plugging

TEST_F(EmulatorTest, UnplugHangsUpTheHostAndReplugPublishesAgain) {
    startDevice();
    host_->exchange({0xEA, 0xFF, 0x07, 0x00, 0x03}, 64);  // ROM slot 3
    setOutputMode(0x01);
    const std::string path = sim_->path();
    EXPECT_EQ(path, dir_ + "/ttyACM5");

    sim_->unplug();
    struct stat st;
    EXPECT_NE(::lstat(path.c_str(), &st), 0) << "link still there";
    EXPECT_FALSE(sim_->plugged());
    pollfd p{host_->fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, kReplyWaitMs), 1);
    EXPECT_TRUE(p.revents & (POLLHUP | POLLERR));
    uint8_t byte;
    EXPECT_LE(::read(host_->fd(), &byte, 1), 0);
    host_->close();

    ASSERT_TRUE(sim_->replug());
    EXPECT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    host_ = std::make_unique<HostPort>(path);
    ASSERT_TRUE(host_->isOpen());
    EXPECT_EQ(host_->exchange(kIdentity, 12).size(), 12u);
    // A power cycle: the output stage is back to its initial state.
    EXPECT_FALSE(sim_->streaming());
    EXPECT_EQ(sim_->outputStage()[2], 0x08);
    EXPECT_EQ(sim_->romSlots().count(3), 1u);  // non-volatile
    const std::vector<LogEntry> log = sim_->log();
    EXPECT_EQ(countKind(log, EventKind::Unplug), 1u);
    EXPECT_EQ(countKind(log, EventKind::Replug), 1u);
}

TEST_F(EmulatorTest, StartFailsWhereNoLinkCanBePublished) {
    config_.dir = dir_ + "/missing";
    Simulator sim(config_);
    EXPECT_FALSE(sim.start());
    EXPECT_FALSE(sim.plugged());
    EXPECT_FALSE(sim.replug());
    sim.stop();
}

TEST_F(EmulatorTest, HostCanCloseAndReopenThePort) {
    startDevice();
    EXPECT_EQ(host_->exchange(kIdentity, 12).size(), 12u);
    // A reply the host left unread does not wait for the next opener.
    host_->write(kIdentity);
    ASSERT_TRUE(sim_->waitUntil([&] { return sim_->counters().commands == 2; }, kReplyWaitMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    host_->close();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    host_ = std::make_unique<HostPort>(sim_->path());
    ASSERT_TRUE(host_->isOpen());
    EXPECT_TRUE(host_->quietFor(100));
    termios tio{};
    ASSERT_EQ(tcgetattr(host_->fd(), &tio), 0);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON | INLCR), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    // Bytes that a cooked line would change pass unchanged.
    const Bytes reply = host_->exchange(report({0xEA, 0xFF, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, '\r', '\n', 0x11,
                                                0x13, 0x03, 0x04, 0x7F}),
                                        64);
    EXPECT_EQ(reply, report({0xEA, 0xFF, 0x04, 0xFF, 0x00, 0x00, 0x00, 0x00, '\r', '\n', 0x11, 0x13, 0x03, 0x04,
                             0x7F}));
}

// ---------------------------------------------------------------- orvo-sim

// The program is built next to the tests: <build>/emulator/orvo-sim.
std::string programPath() {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return {};
    std::string path(self, size_t(n));
    path = path.substr(0, path.rfind('/'));
    path = path.substr(0, path.rfind('/'));
    return path + "/emulator/orvo-sim";
}

struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child runProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv;  // built before fork: the child only execs
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    return Child{pid, fds[0]};
}

int exitStatus(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST_F(EmulatorTest, ProgramPublishesThePortUntilTerminated) {
    const std::string program = programPath();
    if (::access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "no " << program;
    const Child child = runProgram({program, "--dir", dir_, "--port", "9", "--fast"});
    ASSERT_GT(child.pid, 0);
    std::string line;
    char c;
    pollfd p{child.out, POLLIN, 0};
    while (::poll(&p, 1, 5000) > 0 && ::read(child.out, &c, 1) == 1 && c != '\n') line += c;
    ::close(child.out);
    EXPECT_EQ(line, dir_ + "/ttyACM9");
    {
        HostPort host(dir_ + "/ttyACM9");
        ASSERT_TRUE(host.isOpen());
        EXPECT_EQ(host.exchange(kIdentity, 12).size(), 12u);
    }
    ::kill(child.pid, SIGTERM);
    EXPECT_EQ(exitStatus(child.pid), 0);
    struct stat st;
    EXPECT_NE(::lstat((dir_ + "/ttyACM9").c_str(), &st), 0) << "link left behind";
}

TEST_F(EmulatorTest, ProgramRefusesIncompleteArguments) {
    const std::string program = programPath();
    if (::access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "no " << program;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{program, "--dir", dir_}, {program, "--port", "3"},
          {program, "--dir", dir_, "--port", "x"}, {program, "--dir", dir_, "--port", "3", "--bogus"}}) {
        const Child child = runProgram(args);
        ASSERT_GT(child.pid, 0);
        ::close(child.out);
        EXPECT_EQ(exitStatus(child.pid), 2) << args.size() << " arguments";
    }
}

TEST(EmulatorCodes, ConvertToMillivolts) {
    EXPECT_DOUBLE_EQ(orvo::sim::mainCodeToMillivolts(6400), 1.0);
    EXPECT_DOUBLE_EQ(orvo::sim::mainCodeToMillivolts(-32768), -5.12);
    EXPECT_DOUBLE_EQ(orvo::sim::dcCodeToMillivolts(0), -1000.0);
    EXPECT_DOUBLE_EQ(orvo::sim::dcCodeToMillivolts(65535), 1000.0);
    EXPECT_NEAR(orvo::sim::dcCodeToMillivolts(32768), 0.0, 0.02);
}

}  // namespace
