// The standard test waveforms: constant tables of the recorded IEC 60601-2-27,
// IEC 60601-2-51 and ANE20000 signals (µV as int32), and the IEC 60601-2-47
// patterns generated on first use from one synthetic beat (mV as double).
#pragma once

#include <cstdint>
#include <cstring>

#include "orvo.h"
#include "waveforms/table_layout.h"

constexpr int IEC227_SAMPLE_RATE = orvo_tables::kIec227SampleRate;
constexpr int IEC227_WAVEFORM_COUNT = orvo_tables::kIec227WaveformCount;
constexpr int IEC227_SLOT_SAMPLES = orvo_tables::kIec227SlotSamples;
constexpr int IEC251_SAMPLE_RATE = orvo_tables::kIec251SampleRate;
constexpr int IEC251_WAVEFORM_COUNT = orvo_tables::kIec251WaveformCount;
constexpr int IEC251_SAMPLES = orvo_tables::kIec251Samples;
constexpr int ANE20000_SAMPLE_RATE = orvo_tables::kAne20000SampleRate;
constexpr int ANE20000_LEAD_COUNT = orvo_tables::kAne20000LeadCount;
constexpr int ANE20000_SAMPLES = orvo_tables::kAne20000Samples;

constexpr int IEC247_PATTERN_COUNT = 5;
constexpr int IEC247_SAMPLE_RATE = 1000;          // samples/s
constexpr int IEC247_SAMPLES = 60000;             // patterns 0..3: 60 s
constexpr int IEC247_LONG_SAMPLES = 3600000;      // pattern 4: one hour
constexpr int ECG227_BEAT_SAMPLES = 360;          // one sample per ms

// Waveform k occupies IEC227W[k * IEC227_SLOT_SAMPLES ...]; see IEC227WL for
// how much of the slot is used.
extern const int32_t IEC227W[IEC227_WAVEFORM_COUNT * IEC227_SLOT_SAMPLES];
// Used length of each IEC227W waveform, s (used samples / 720).
extern const double IEC227WL[IEC227_WAVEFORM_COUNT];
extern const int32_t IEC251W[IEC251_WAVEFORM_COUNT * IEC251_SAMPLES];
extern const int32_t ANE20000[ANE20000_LEAD_COUNT * ANE20000_SAMPLES];

// Heart-rate variability of the IEC 60601-2-47 patterns, by pattern.
extern const double rravg[IEC247_PATTERN_COUNT];    // mean RR interval, s
extern const double rrdev[IEC247_PATTERN_COUNT];    // RR modulation depth, s
extern const double hrvfreq[IEC247_PATTERN_COUNT];  // RR modulation frequency, Hz

// The value a caller passed as a pattern, read without an enum load: C callers
// may pass any integer, and only 0..4 are values of the enum.
inline int Iec247PatternValue(const IEC247_PATTERN& pattern) {
    static_assert(sizeof(IEC247_PATTERN) == sizeof(int), "pattern is passed as an int");
    int value;
    std::memcpy(&value, &pattern, sizeof value);
    return value;
}
inline bool IsValidIec247Pattern(int pattern) { return pattern >= 0 && pattern < IEC247_PATTERN_COUNT; }
// Samples of a pattern: one hour for pattern 4, a minute for any other value.
inline int Iec247PatternSamples(int pattern) { return pattern == IEC247_PATTERN_4 ? IEC247_LONG_SAMPLES : IEC247_SAMPLES; }

// The synthetic beat, ECG227_BEAT_SAMPLES values in mV; built on first use.
const double* getECG227Array();
// Builds a new pattern array with malloc (the caller frees it); null for a
// value outside 0..4 or when memory runs out.
double* getArray(IEC247_PATTERN pattern);
// The pattern array owned by the library, built on first use and kept; null
// for a value outside 0..4. Safe to call from several threads at once.
const double* getIEC47RawArray(IEC247_PATTERN pattern);
const double* getRRavgArray();
const double* getRRdevArray();
const double* getHRVfreqArray();
