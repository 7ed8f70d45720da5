// The functions that play stored data: the standard tables and the loaded
// recording. An index outside the selected data, or no data, plays 0 mV.
#include "engine/engine.h"
#include "engine/parameters.h"
#include "api/pump.h"
#include "waveforms/loaded_recording.h"
#include "waveforms/standard_tables.h"

#include <cmath>

namespace {

// Integer part of rate x t, or -1 when it is not a usable index below count.
long SampleIndex(double rate, double t, long count)
{
    const double position = rate * t;
    if (!(position >= 0.0) || position >= static_cast<double>(count))
        return -1;
    return static_cast<long>(position);
}

double TableSample(const int32_t* table, int waveform, int waveformCount, long slotSamples, long usedSamples,
                   int rate, double t)
{
    if (waveform < 0 || waveform >= waveformCount)
        return 0.0;
    const long index = SampleIndex(rate, t, usedSamples);
    if (index < 0)
        return 0.0;
    return table[waveform * slotSamples + index] / 1000.0;
}

double Iec247Sample(double t)
{
    if (!IsValidIec247Pattern(g_nSpecialWaveform))
        return 0.0;
    const auto pattern = static_cast<IEC247_PATTERN>(g_nSpecialWaveform);
    const double* data = getIEC47RawArray(pattern);
    const long index = SampleIndex(IEC247_SAMPLE_RATE, t, Iec247PatternSamples(pattern));
    return data != nullptr && index >= 0 ? data[index] : 0.0;
}

double FileSample(double t)
{
    if (ECGFile == nullptr)
        return 0.0;
    const long index = SampleIndex(ECGFileFreq, t, ECGFileSize);
    if (index < 0)
        return 0.0;
    return ECGFile[index] / (ECGFileUnitMV ? 1.0 : 1000.0);
}

}  // namespace

double DataFunctionVoltage(uint32_t function, double t)
{
    switch (function) {
    case FUNC_IEC227:
        _CheckStandardLoop();
        return TableSample(IEC227W, g_nSpecialWaveform, IEC227_WAVEFORM_COUNT, IEC227_SLOT_SAMPLES,
                           IEC227_SLOT_SAMPLES, IEC227_SAMPLE_RATE, t);
    case FUNC_IEC251:
        _CheckStandardLoop();
        return TableSample(IEC251W, g_nSpecialWaveform, IEC251_WAVEFORM_COUNT, IEC251_SAMPLES, IEC251_SAMPLES,
                           IEC251_SAMPLE_RATE, t);
    case FUNC_IEC247:
        _CheckStandardLoop();
        return Iec247Sample(t);
    case FUNC_ANE20000:
        _CheckStandardLoop();
        return TableSample(ANE20000, g_nANE20000ChannelNumber, ANE20000_LEAD_COUNT, ANE20000_SAMPLES,
                           ANE20000_SAMPLES, ANE20000_SAMPLE_RATE, t) +
               MainsNoise();
    case FUNC_FILE:
    case FUNC_FILE_WITH_DC:
        return FileSample(t);
    default:
        return 0.0;
    }
}

double FileDcVoltage(double t)
{
    if (g_DcRawData == nullptr)
        return 0.0;
    // The DC array may hold fewer samples than the main one after a text or
    // binary load: never read past either.
    const long count = g_DcRawDataSize < ECGFileSize ? g_DcRawDataSize : ECGFileSize;
    const long index = SampleIndex(ECGFileFreq, t, count);
    if (index < 0)
        return 0.0;
    return g_DcRawData[index] / (ECGFileUnitMV ? 1.0 : 1000.0);
}
