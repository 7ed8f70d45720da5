// The loaded ECG recording, shared by the file loaders and the engine.
// Written only with g_CriticalSection held, so the pump never sees a
// half-replaced recording.
#pragma once

extern double* ECGFile;        // main-channel samples (malloc), null when none
extern int ECGFileSize;        // samples in ECGFile
extern double ECGFileFreq;     // samples per second
extern bool ECGFileUnitMV;     // samples are mV (else µV)
extern double* g_DcRawData;    // DC-channel samples in mV (malloc), null when none
extern int g_DcRawDataSize;    // samples in g_DcRawData (may differ from ECGFileSize)
extern bool g_bRawVariableDC;  // the loaded DC samples are not all zero

// Replaces the main-channel recording by samples (malloc, taken over) and
// commits its rate, under g_CriticalSection; the DC array stays. The previous
// array is freed after the lock is released.
void CommitMainRecording(double* samples, int count, double rate);
// The end of a file load: samples (malloc, allocated doubles, the first
// stored of them filled) become the recording, shrunk to what was stored, or
// no array at all when nothing was. Returns stored.
int CommitLoadedSamples(double* samples, int stored, int allocated, double rate);
// Drops the main-channel recording after a load failed past its allocation
// step; the rate and the DC array stay.
void ClearMainRecording();
