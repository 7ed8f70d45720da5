// Text dumps of sample arrays. The header forms are one-channel files of the
// multi-channel text format that LoadECGtxt reads back.
#include <cstdio>
#include <functional>

#include "orvo.h"
#include "waveforms/narrow_path.h"

namespace {

constexpr int DUMP_OK = 0;
constexpr int DUMP_OPEN_FAILED = -3;
constexpr int DUMP_WRITE_FAILED = -6;
constexpr double MICROVOLTS_PER_MILLIVOLT = 1000.0;

struct DumpHeader {
    int rate;
    int count;
    const char* label;
};

bool WriteHeader(std::FILE* file, const DumpHeader& header) {
    // The third line is the number of channels.
    return std::fprintf(file, "%d\n%d\n1\n%s\n", header.rate, header.count,
                        header.label != nullptr ? header.label : "") >= 0;
}

// Writes the optional header and count values; a write error stops at once.
// An error that only shows when the buffered rest is flushed at close counts
// as a write error too.
int WriteDump(const wchar_t* path, const DumpHeader* header, int count, bool haveData,
              const std::function<double(int)>& value) {
    // Refused before the file is touched: there is nothing to write from.
    if (count > 0 && !haveData) return DUMP_WRITE_FAILED;
    char narrowPath[PATH_BUFFER_SIZE];
    if (!NarrowPath(path, narrowPath)) return DUMP_OPEN_FAILED;
    std::FILE* file = std::fopen(narrowPath, "w+");
    if (file == nullptr) return DUMP_OPEN_FAILED;
    bool ok = header == nullptr || WriteHeader(file, *header);
    for (int i = 0; ok && i < count; ++i) ok = std::fprintf(file, "%.3f\n", value(i)) >= 0;
    const bool closed = std::fclose(file) == 0;
    return ok && closed ? DUMP_OK : DUMP_WRITE_FAILED;
}

}  // namespace

ORVO_API int DumpRawData(const double* data, int count, const wchar_t* path) {
    return WriteDump(path, nullptr, count, data != nullptr, [data](int i) { return data[i]; });
}

ORVO_API int OutputRaw(int rate, int count, const double* data, const char* label, const wchar_t* path) {
    const DumpHeader header{rate, count, label};
    return WriteDump(path, &header, count, data != nullptr, [data](int i) { return data[i]; });
}

// The standard tables hold µV; the file holds mV.
ORVO_API int DumpStandardWaveform(int* data, int count, int rate, const char* label, const wchar_t* path) {
    const DumpHeader header{rate, count, label};
    return WriteDump(path, &header, count, data != nullptr,
                     [data](int i) { return data[i] / MICROVOLTS_PER_MILLIVOLT; });
}
