// The IEC 60601-2-47 patterns: a triangle train (pattern 0) and trains of one
// synthetic beat whose RR interval varies sinusoidally (patterns 1..4).
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "waveforms/standard_tables.h"

namespace {

// The generator of the standard uses this truncated value of 2 pi; beat
// positions depend on it.
constexpr double kTwoPi = 6.2831853;
constexpr int kTrianglePeriodSamples = 1000;
constexpr int kTriangleHalfWidthSamples = 50;

std::array<double, ECG227_BEAT_SAMPLES> BuildBeat() {
    std::array<double, ECG227_BEAT_SAMPLES> beat{};
    for (int k = 0; k < ECG227_BEAT_SAMPLES; ++k) {
        double value = 0.0;
        if (k >= 10 && k <= 52) {
            value = 0.875 * (k - 10) / 43;  // R upstroke
        } else if (k >= 53 && k <= 102) {
            value = 0.875 - (k - 53) / 50.0;
        } else if (k >= 103 && k <= 109) {
            value = 0.125 * (k - 103) / 7 - 0.125;  // back from the S trough
        } else if (k >= 180) {
            value = 0.2 * std::sin(kTwoPi * (k - 180) / 360);  // T wave
        }
        beat[k] = value;
    }
    return beat;
}

void FillTriangleTrain(double* out, int samples) {
    for (int i = 0; i < samples; ++i) {
        const int j = i % kTrianglePeriodSamples;
        if (j < kTriangleHalfWidthSamples) {
            out[i] = j / 50.0;
        } else if (j < 2 * kTriangleHalfWidthSamples) {
            out[i] = 1 + (50 - j) / 50.0;
        } else {
            out[i] = 0.0;
        }
    }
}

// Beats start at 0 and then after RR = avg + dev * sin(2 pi f t), truncated
// to whole milliseconds at the running sum.
void FillBeatTrain(double* out, int samples, int pattern) {
    const double* beat = getECG227Array();
    const double avg = rravg[pattern];
    const double dev = rrdev[pattern];
    const double freq = hrvfreq[pattern];
    int next = 0;
    int i = 0;
    while (i < samples) {
        if (i != next) {
            // Fill the gap up to the next beat in one go; a next that lies
            // behind i (RR shorter than the beat) leaves the rest silent.
            const int end = next > i ? std::min(next, samples) : samples;
            std::fill(out + i, out + end, 0.0);
            i = end;
            continue;
        }
        next = static_cast<int>(next + dev * 1000 * std::sin(next * freq * kTwoPi / 1000) + avg * 1000);
        const int copied = std::min(ECG227_BEAT_SAMPLES, samples - i);
        std::memcpy(out + i, beat, static_cast<size_t>(copied) * sizeof(double));
        i += copied;
    }
}

std::atomic<const double*> s_patternArrays[IEC247_PATTERN_COUNT];
std::mutex s_patternBuildMutex[IEC247_PATTERN_COUNT];

}  // namespace

const double* getECG227Array() {
    static const std::array<double, ECG227_BEAT_SAMPLES> beat = BuildBeat();
    return beat.data();
}

double* getArray(IEC247_PATTERN pattern) {
    const int index = Iec247PatternValue(pattern);
    if (!IsValidIec247Pattern(index)) return nullptr;
    const int samples = Iec247PatternSamples(index);
    auto* out = static_cast<double*>(std::malloc(static_cast<size_t>(samples) * sizeof(double)));
    if (out == nullptr) return nullptr;
    if (index == IEC247_PATTERN_0) {
        FillTriangleTrain(out, samples);
    } else {
        FillBeatTrain(out, samples, index);
    }
    return out;
}

// The pump thread and a host thread may ask for the same pattern at once; the
// first builds it, the other waits. A failed build is retried next time.
const double* getIEC47RawArray(IEC247_PATTERN pattern) {
    const int index = Iec247PatternValue(pattern);
    if (!IsValidIec247Pattern(index)) return nullptr;
    std::atomic<const double*>& slot = s_patternArrays[index];
    const double* array = slot.load(std::memory_order_acquire);
    if (array != nullptr) return array;
    std::lock_guard<std::mutex> lock(s_patternBuildMutex[index]);
    array = slot.load(std::memory_order_relaxed);
    if (array == nullptr) {
        array = getArray(pattern);
        slot.store(array, std::memory_order_release);
    }
    return array;
}
