// The device's memory of what happened: one ordered event log, the played
// samples, the counters and the optional record file. Memory stays bounded:
// beyond their limits the oldest log entries and samples are dropped.
#pragma once

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "orvo_sim.h"

namespace orvo::sim {

class Recorder {
public:
    Recorder(size_t logLimit, size_t sampleLimit);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    /** Starts the record file (CSV "index,main,dc"); false if it cannot be created. */
    bool openRecordFile(const std::string& path);
    void closeRecordFile();
    void flush();

    void logEvent(LogEntry entry);
    void play(const PlayedSample* samples, size_t count);

    Counters& counters() { return counters_; }
    const Counters& counters() const { return counters_; }
    std::vector<LogEntry> log() const { return {log_.begin(), log_.end()}; }
    void clearLog() { log_.clear(); }
    std::vector<PlayedSample> samples() const { return {samples_.begin(), samples_.end()}; }
    size_t sampleCount() const { return sinceClear_; }
    void clearSamples();

private:
    size_t logLimit_;
    size_t sampleLimit_;
    std::deque<LogEntry> log_;
    std::deque<PlayedSample> samples_;
    size_t sinceClear_ = 0;
    Counters counters_;
    std::FILE* recordFile_ = nullptr;
};

}  // namespace orvo::sim
