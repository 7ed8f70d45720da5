// Fixed tables that are part of the standards' definitions rather than
// recorded data: the IEC 60601-2-27 lengths and the IEC 60601-2-47 heart-rate
// variability rows.
#include "waveforms/standard_tables.h"

namespace {

constexpr double LengthSeconds(int waveform) {
    return static_cast<double>(orvo_tables::kIec227UsedSamples[waveform]) / IEC227_SAMPLE_RATE;
}

}  // namespace

const double IEC227WL[IEC227_WAVEFORM_COUNT] = {
    LengthSeconds(0), LengthSeconds(1), LengthSeconds(2), LengthSeconds(3), LengthSeconds(4),
    LengthSeconds(5), LengthSeconds(6), LengthSeconds(7), LengthSeconds(8), LengthSeconds(9)};

// Pattern 0 is a triangle train and ignores its row.
const double rravg[IEC247_PATTERN_COUNT] = {1.0, 0.8, 1.0, 3.0, 1.5};
const double rrdev[IEC247_PATTERN_COUNT] = {0.0, 0.035, 0.07, 0.28, 0.14};
const double hrvfreq[IEC247_PATTERN_COUNT] = {0.0, 0.25, 0.1, 0.033333, 0.000278};

const double* getRRavgArray() { return rravg; }
const double* getRRdevArray() { return rrdev; }
const double* getHRVfreqArray() { return hrvfreq; }
