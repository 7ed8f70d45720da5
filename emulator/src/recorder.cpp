#include "recorder.h"

namespace orvo::sim {

Recorder::Recorder(size_t logLimit, size_t sampleLimit)
    : logLimit_(logLimit ? logLimit : 1), sampleLimit_(sampleLimit ? sampleLimit : 1) {}

Recorder::~Recorder() { closeRecordFile(); }

bool Recorder::openRecordFile(const std::string& path) {
    closeRecordFile();
    recordFile_ = std::fopen(path.c_str(), "w");
    if (!recordFile_) return false;
    std::fputs("index,main,dc\n", recordFile_);
    return true;
}

void Recorder::closeRecordFile() {
    if (!recordFile_) return;
    std::fclose(recordFile_);
    recordFile_ = nullptr;
}

void Recorder::flush() {
    if (recordFile_) std::fflush(recordFile_);
}

void Recorder::logEvent(LogEntry entry) {
    log_.push_back(std::move(entry));
    while (log_.size() > logLimit_) {
        log_.pop_front();
        ++counters_.droppedLogEntries;
    }
}

void Recorder::play(const PlayedSample* samples, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (recordFile_)
            std::fprintf(recordFile_, "%llu,%d,%u\n", static_cast<unsigned long long>(counters_.samples),
                         samples[i].main, samples[i].dc);
        samples_.push_back(samples[i]);
        ++counters_.samples;
    }
    sinceClear_ += count;
    while (samples_.size() > sampleLimit_) samples_.pop_front();
}

void Recorder::clearSamples() {
    samples_.clear();
    sinceClear_ = 0;
}

}  // namespace orvo::sim
