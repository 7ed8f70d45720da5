#include "waveforms/loaded_recording.h"

#include <cstdlib>

#include "api/globals.h"

double* ECGFile = nullptr;
int ECGFileSize = 0;
double ECGFileFreq = 0.0;
bool ECGFileUnitMV = false;
double* g_DcRawData = nullptr;
int g_DcRawDataSize = 0;
bool g_bRawVariableDC = false;

namespace {

double* SwapMainRecording(double* samples, int count) {
    double* previous = ECGFile;
    ECGFile = samples;
    ECGFileSize = count;
    return previous;
}

}  // namespace

void CommitMainRecording(double* samples, int count, double rate) {
    double* previous = nullptr;
    {
        CAutoCriticalSection lock(g_CriticalSection);
        previous = SwapMainRecording(samples, count);
        ECGFileFreq = rate;
        ECGFileUnitMV = true;
    }
    std::free(previous);
}

void ClearMainRecording() {
    double* previous = nullptr;
    {
        CAutoCriticalSection lock(g_CriticalSection);
        previous = SwapMainRecording(nullptr, 0);
    }
    std::free(previous);
}

int CommitLoadedSamples(double* samples, int stored, int allocated, double rate) {
    if (stored == 0) {
        std::free(samples);
        samples = nullptr;
    } else if (stored < allocated) {
        void* shrunk = std::realloc(samples, static_cast<size_t>(stored) * sizeof(double));
        if (shrunk != nullptr) samples = static_cast<double*>(shrunk);
    }
    CommitMainRecording(samples, stored, rate);
    return stored;
}
