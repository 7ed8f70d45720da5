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
