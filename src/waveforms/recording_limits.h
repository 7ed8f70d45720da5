// Limits of the recordings that the loaders accept, and the sample limiting
// they share.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

constexpr double FILE_SAMPLE_LIMIT_MV = 2.5;       // text and binary files
constexpr double RAW_MAIN_SAMPLE_LIMIT_MV = 5.0;   // ORVOLoadRawData, main channel
constexpr double RAW_DC_SAMPLE_LIMIT_MV = 1000.0;  // ORVOLoadRawData, DC channel

constexpr double TEXT_MIN_RATE = 100.0;     // multi-channel text, samples/s
constexpr double TEXT_MAX_RATE = 40000.0;
constexpr double RAW_MIN_RATE = 100.0;      // host arrays, samples/s
constexpr double RAW_MAX_RATE = 40000.0;
constexpr int BINARY_MIN_RATE = 30;         // binary files, samples/s
constexpr int BINARY_MAX_RATE = 5000;
constexpr int32_t BINARY_MAX_COUNT = 20000000;
constexpr double MICROVOLTS_PER_MILLIVOLT = 1000.0;

// A value limited to -limit..limit. Not-a-number (a field such as "nan")
// becomes 0, as any other text that is not a number does.
inline double LimitSample(double value, double limit) {
    if (std::isnan(value)) return 0.0;
    if (value > limit) return limit;
    if (value < -limit) return -limit;
    return value;
}

// malloc of count doubles; null when the byte size does not fit size_t.
inline double* AllocateSamples(int64_t count) {
    if (count <= 0 || static_cast<uint64_t>(count) > SIZE_MAX / sizeof(double)) return nullptr;
    return static_cast<double*>(std::malloc(static_cast<size_t>(count) * sizeof(double)));
}
