// Loading of binary ECG files: big-endian 16-bit rate, 32-bit signed count,
// then 16-bit signed samples in µV.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "orvo.h"
#include "waveforms/loaded_recording.h"
#include "waveforms/narrow_path.h"
#include "waveforms/recording_limits.h"
#include "waveforms/text_lines.h"

namespace {

constexpr int BIN_OPEN_FAILED = -1;
constexpr int BIN_BAD_RATE = -2;
constexpr int BIN_BAD_COUNT = -3;
constexpr int BIN_ALLOC_FAILED = -4;

constexpr size_t SAMPLE_BYTES = 2;
constexpr size_t CHUNK_SAMPLES = 4096;

double SampleMillivolts(const uint8_t* bytes) {
    const auto microvolts = static_cast<int16_t>(static_cast<uint16_t>((bytes[0] << 8) | bytes[1]));
    return LimitSample(microvolts / MICROVOLTS_PER_MILLIVOLT, FILE_SAMPLE_LIMIT_MV);
}

// Reads up to count samples; a file that ends early gives fewer.
int ReadSamples(std::FILE* file, double* samples, int count) {
    uint8_t chunk[CHUNK_SAMPLES * SAMPLE_BYTES];
    int stored = 0;
    while (stored < count) {
        const size_t wanted = std::min(CHUNK_SAMPLES, static_cast<size_t>(count - stored));
        const size_t got = std::fread(chunk, SAMPLE_BYTES, wanted, file);
        for (size_t i = 0; i < got; ++i) samples[stored++] = SampleMillivolts(&chunk[i * SAMPLE_BYTES]);
        if (got < wanted) break;
    }
    return stored;
}

}  // namespace

ORVO_API int LoadECGBin(const wchar_t* path) {
    char narrowPath[PATH_BUFFER_SIZE];
    if (!NarrowPath(path, narrowPath)) return BIN_OPEN_FAILED;
    ScopedFile file(std::fopen(narrowPath, "rb"));
    if (!file) return BIN_OPEN_FAILED;

    uint8_t rateBytes[2];
    if (std::fread(rateBytes, 1, sizeof rateBytes, file.get()) != sizeof rateBytes) return BIN_BAD_RATE;
    const int rate = (rateBytes[0] << 8) | rateBytes[1];
    if (rate < BINARY_MIN_RATE || rate > BINARY_MAX_RATE) return BIN_BAD_RATE;

    uint8_t countBytes[4];
    if (std::fread(countBytes, 1, sizeof countBytes, file.get()) != sizeof countBytes) return BIN_BAD_COUNT;
    const auto count = static_cast<int32_t>((static_cast<uint32_t>(countBytes[0]) << 24) |
                                            (static_cast<uint32_t>(countBytes[1]) << 16) |
                                            (static_cast<uint32_t>(countBytes[2]) << 8) | countBytes[3]);
    if (count < 1 || count > BINARY_MAX_COUNT) return BIN_BAD_COUNT;

    double* samples = AllocateSamples(count);
    if (samples == nullptr) {
        ClearMainRecording();  // past the allocation step: no recording
        return BIN_ALLOC_FAILED;
    }
    const int stored = ReadSamples(file.get(), samples, count);
    return CommitLoadedSamples(samples, stored, count, rate);
}
