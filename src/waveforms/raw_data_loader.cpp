// Loading of a recording from host memory: main- and DC-channel arrays.
#include <cmath>
#include <cstdlib>

#include "api/globals.h"
#include "api/setter_guard.h"
#include "device/output_stage.h"
#include "engine/parameters.h"
#include "orvo.h"
#include "waveforms/loaded_recording.h"
#include "waveforms/recording_limits.h"

namespace {

constexpr int RAW_BAD_INPUT = -1;  // null pointer, no samples, or no memory
constexpr int RAW_BAD_RATE = -2;   // the data stay loaded

// A rate the player can use without indexing outside the recording; any
// other (0, negative, not finite) is kept as 0, which plays the first sample.
double PlayableRate(double rate) { return rate > 0.0 && std::isfinite(rate) ? rate : 0.0; }

struct RawArrays {
    double* main = nullptr;
    double* dc = nullptr;
};

// Swaps both arrays in under the lock; returns the previous ones to free.
RawArrays SwapRawArrays(RawArrays arrays, int count) {
    RawArrays previous{ECGFile, g_DcRawData};
    ECGFile = arrays.main;
    g_DcRawData = arrays.dc;
    ECGFileSize = count;
    g_DcRawDataSize = count;
    return previous;
}

void FreeArrays(RawArrays arrays) {
    std::free(arrays.main);
    std::free(arrays.dc);
}

}  // namespace

ORVO_API int ORVOLoadRawData(const RAW_ECG_DATA* raw) {
    if (raw == nullptr || raw->mainData == nullptr || raw->dcData == nullptr || raw->count < 1) {
        return RAW_BAD_INPUT;
    }
    const int count = raw->count;
    RawArrays loaded{AllocateSamples(count), AllocateSamples(count)};
    if (loaded.main == nullptr || loaded.dc == nullptr) {
        FreeArrays(loaded);
        RawArrays previous;
        {
            CAutoCriticalSection lock(g_CriticalSection);
            previous = SwapRawArrays(RawArrays{}, 0);  // the old recording is gone, as after any failed allocation
        }
        FreeArrays(previous);
        return RAW_BAD_INPUT;
    }
    bool variableDc = false;
    for (int i = 0; i < count; ++i) {
        loaded.main[i] = LimitSample(raw->mainData[i], RAW_MAIN_SAMPLE_LIMIT_MV);
        loaded.dc[i] = LimitSample(raw->dcData[i], RAW_DC_SAMPLE_LIMIT_MV);
        if (loaded.dc[i] != 0.0) variableDc = true;
    }

    const double rate = raw->sampleRate;
    RawArrays previous;
    {
        // While output runs, the output-stage exchange waits for the pump's
        // next request like every setter, so it cannot cut into the stream.
        SetterGuard guard;
        previous = SwapRawArrays(loaded, count);
        // Only set here; clearing is up to ORVOReset and the function change.
        if (variableDc) g_bRawVariableDC = true;
        if (!g_bRawVariableDC) g_bVariableDC = false;
        if (guard.PumpReady()) SetRelays(true);
        ECGFileUnitMV = true;
        ECGFileFreq = PlayableRate(rate);
    }
    FreeArrays(previous);
    return rate >= RAW_MIN_RATE && rate <= RAW_MAX_RATE ? count : RAW_BAD_RATE;
}
