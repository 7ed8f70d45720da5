// Exported access to the standard waveform tables. An index outside a table
// yields null and a count of 0 (the rate is still reported), so a caller can
// never be handed a pointer it would read beyond the table.
#include "orvo.h"
#include "waveforms/standard_tables.h"

namespace {

void Report(int* count, int countValue, int* rate, int rateValue) {
    if (count != nullptr) *count = countValue;
    if (rate != nullptr) *rate = rateValue;
}

}  // namespace

ORVO_API const int* GetSpecialWave227Array(int index, int* count, int* rate) {
    if (index < 0 || index >= IEC227_WAVEFORM_COUNT) {
        Report(count, 0, rate, IEC227_SAMPLE_RATE);
        return nullptr;
    }
    Report(count, static_cast<int>(IEC227WL[index] * IEC227_SAMPLE_RATE + 0.5), rate, IEC227_SAMPLE_RATE);
    return &IEC227W[index * IEC227_SLOT_SAMPLES];
}

ORVO_API const int* GetSpecialWave251Array(int index, int* count, int* rate) {
    if (index < 0 || index >= IEC251_WAVEFORM_COUNT) {
        Report(count, 0, rate, IEC251_SAMPLE_RATE);
        return nullptr;
    }
    Report(count, IEC251_SAMPLES, rate, IEC251_SAMPLE_RATE);
    return &IEC251W[index * IEC251_SAMPLES];
}

// Outside 0..4 the counts are still those of a minute-long pattern.
ORVO_API const double* GetSpecialWave247Array(IEC247_PATTERN pattern, int* count, int* rate) {
    const int value = Iec247PatternValue(pattern);
    Report(count, Iec247PatternSamples(value), rate, IEC247_SAMPLE_RATE);
    if (!IsValidIec247Pattern(value)) return nullptr;
    return getIEC47RawArray(static_cast<IEC247_PATTERN>(value));
}
