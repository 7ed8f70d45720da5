// Loading of ECG text files: the multi-channel format (rate, samples per
// channel, channels, names, then one comma-separated line per instant) and
// the older single-channel format (rate, samples, then one value per line).
//
// Lines are read whole, whatever their length. The file is parsed into a
// private array; only a successful load replaces the recording and its rate.
#include <cstdlib>
#include <cstring>

#include "orvo.h"
#include "waveforms/loaded_recording.h"
#include "waveforms/narrow_path.h"
#include "waveforms/recording_limits.h"
#include "waveforms/text_lines.h"

namespace {

constexpr int TXT_OPEN_FAILED = -1;
constexpr int TXT_BAD_RATE = -2;
constexpr int TXT_BAD_COUNT = -3;
constexpr int TXT_BAD_CHANNELS = -4;         // multi-channel
constexpr int TXT_SINGLE_ALLOC_FAILED = -4;  // single-channel
constexpr int TXT_NO_NAMES = -5;
constexpr int TXT_ALLOC_FAILED = -6;
constexpr int TXT_BAD_CHANNEL = -7;

constexpr size_t CHANNEL_NAME_SIZE = 128;
constexpr char FIELD_SEPARATOR = ',';

// The field'th comma-separated field of line, or null when it has fewer.
const char* FieldAt(const char* line, int field) {
    for (int k = 0; k < field; ++k) {
        line = std::strchr(line, FIELD_SEPARATOR);
        if (line == nullptr) return nullptr;
        ++line;
    }
    return line;
}

// Copies up to count fields of line into new 128-character buffers, cut to
// fit; the last field keeps the line end.
void CopyChannelNames(const char* line, int count, char** names) {
    for (int i = 0; i < count && line != nullptr; ++i) {
        const char* end = std::strchr(line, FIELD_SEPARATOR);
        size_t length = end != nullptr ? static_cast<size_t>(end - line) : std::strlen(line);
        if (length > CHANNEL_NAME_SIZE - 1) length = CHANNEL_NAME_SIZE - 1;
        names[i] = new char[CHANNEL_NAME_SIZE];
        std::memcpy(names[i], line, length);
        names[i][length] = '\0';
        line = end != nullptr ? end + 1 : nullptr;
    }
}

struct MultiChannelHeader {
    double rate = 0.0;
    int count = 0;
    int channels = 0;
};

// Lines 1 to 3; 0 or the result code.
int ReadCounts(TextLineReader& reader, bool checkRateRange, MultiChannelHeader& header) {
    if (!ReadRateLine(reader, header.rate)) return TXT_BAD_RATE;
    if (checkRateRange && (header.rate < TEXT_MIN_RATE || header.rate > TEXT_MAX_RATE)) return TXT_BAD_RATE;
    if (!ReadPositiveIntLine(reader, header.count)) return TXT_BAD_COUNT;
    if (!ReadPositiveIntLine(reader, header.channels)) return TXT_BAD_CHANNELS;
    return 0;
}

ScopedFile OpenText(const char* narrowPath) { return ScopedFile(std::fopen(narrowPath, "r")); }

// A failure past the allocation step leaves no recording.
int Fail(double* samples, int result) {
    std::free(samples);
    ClearMainRecording();
    return result;
}

}  // namespace

ORVO_API int CheckECGTxtChannel(const wchar_t* path, char** names) {
    char narrowPath[PATH_BUFFER_SIZE];
    if (!NarrowPath(path, narrowPath)) return TXT_OPEN_FAILED;
    ScopedFile file = OpenText(narrowPath);
    if (!file) return TXT_OPEN_FAILED;
    TextLineReader reader(file.get());
    MultiChannelHeader header;
    const int result = ReadCounts(reader, false, header);
    if (result != 0) return result;
    const char* namesLine = reader.Next();
    if (namesLine == nullptr) return TXT_NO_NAMES;
    if (names != nullptr) CopyChannelNames(namesLine, header.channels, names);
    return header.channels;
}

ORVO_API int LoadECGtxt(char* path, int channel) {
    char narrowPath[PATH_BUFFER_SIZE];
    if (!NarrowUtf8Path(path, narrowPath)) return TXT_OPEN_FAILED;
    ScopedFile file = OpenText(narrowPath);
    if (!file) return TXT_OPEN_FAILED;
    TextLineReader reader(file.get());
    MultiChannelHeader header;
    const int result = ReadCounts(reader, true, header);
    if (result != 0) return result;
    if (channel < 0 || channel >= header.channels) return TXT_BAD_CHANNEL;
    if (reader.Next() == nullptr) return TXT_NO_NAMES;

    double* samples = AllocateSamples(header.count);
    if (samples == nullptr) return Fail(nullptr, TXT_ALLOC_FAILED);
    int stored = 0;
    const char* line = nullptr;
    while (stored < header.count && (line = reader.Next()) != nullptr) {
        const char* field = FieldAt(line, channel);
        if (field == nullptr) return Fail(samples, TXT_BAD_CHANNEL);
        samples[stored++] = LimitSample(std::atof(field), FILE_SAMPLE_LIMIT_MV);
    }
    return CommitLoadedSamples(samples, stored, header.count, header.rate);
}

ORVO_API int LoadECGtxt(char* path) {
    char narrowPath[PATH_BUFFER_SIZE];
    if (!NarrowUtf8Path(path, narrowPath)) return TXT_OPEN_FAILED;
    ScopedFile file = OpenText(narrowPath);
    if (!file) return TXT_OPEN_FAILED;
    TextLineReader reader(file.get());
    double rate = 0.0;
    int count = 0;
    if (!ReadRateLine(reader, rate)) return TXT_BAD_RATE;
    if (!ReadPositiveIntLine(reader, count)) return TXT_BAD_COUNT;

    double* samples = AllocateSamples(count);
    if (samples == nullptr) return Fail(nullptr, TXT_SINGLE_ALLOC_FAILED);
    int stored = 0;
    const char* line = nullptr;
    while (stored < count && (line = reader.Next()) != nullptr) {
        samples[stored++] = LimitSample(std::atof(line), FILE_SAMPLE_LIMIT_MV);
    }
    return CommitLoadedSamples(samples, stored, count, rate);
}
