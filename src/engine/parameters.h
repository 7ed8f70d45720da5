// The engine's parameter block: user parameters written by the setters and
// the derived quantities written by _Change. All of it is guarded by
// g_CriticalSection. Units: seconds inside the engine unless a name says ms,
// millivolts, hertz.
#pragma once

#include <atomic>
#include <cstdint>

#include "orvo.h"

// ---- user parameters -------------------------------------------------------
extern uint32_t g_MainOutput;        // output-function code
extern double g_F;                   // Hz (heart rate for the ECG functions)
extern double g_Amplitude;           // mV
extern double g_PulseWidth;          // ms
extern double g_QRSDuration;         // ms
extern double g_PDuration;           // ms
extern double g_PRInterval;          // ms
extern double g_QTInterval;          // ms
extern double g_STSegment;           // ST weight (ms)
extern double g_TDuration;           // T weight (ms)
extern double g_CusP;                // mV
extern double g_CusT;                // mV
extern double g_CusST;               // mV
extern double g_PA;                  // pacing amplitude, mV (0 = off)
extern double g_PacingDuration;      // ms
extern uint32_t g_PacingRate;        // pulses/min
extern bool g_pacingSynchronized;
extern uint32_t g_PacingPulse;       // pulse mode
extern uint32_t g_PacingOvershootTC; // ms
extern double g_POA;                 // overshoot magnitude, mV
extern const double g_Pacing_leading;  // s
extern uint32_t g_MainNoise;         // mains-noise mode
extern double g_MainsNoiseAmp;       // mV p-p
extern bool g_AAMIDriftTest;
extern double g_AAMIDriftTestAmp;    // mV p-p
extern double g_AAMIDriftTestWaveLen;      // s
extern double g_AAMIDriftTestWaveLenQuad;  // s
extern double g_AAMIDriftTestWaveLenQuad3; // s
extern double g_AAMIDriftTestSlope;  // mV/s
extern bool g_DynamicRangeTest;
extern double g_ADynamicRange;       // mV p-p
extern double g_FDynamicRange;       // Hz
extern uint32_t g_BaseLineOverload;  // 0..4
extern double g_Fstart;              // Hz
extern double g_Ffinal;              // Hz
extern int32_t g_Fduration;          // s
extern bool g_FreqScan1;             // sine scan selected
extern bool g_FreqScan3;             // ECG scan selected
extern int32_t g_nSpecialWaveform;
extern int32_t g_nANE20000ChannelNumber;
extern int32_t g_DCSetting;          // mV
extern int32_t g_nDcDACValue;        // fixed DC code; negative = from voltage
extern bool g_bVariableDC;
extern bool g_bTestVariableDC[4];
extern bool g_bCommonMode;
extern std::atomic<int32_t> g_nSampleRate;  // samples/s (the poll thread reads it unlocked)

// ---- derived quantities ----------------------------------------------------
extern double s_A;                   // working amplitude, mV
extern double s_PW;                  // pulse width, s
extern double g_fTimePeriod;         // s
extern double s_MainsNoiseAmplitude; // mV
extern double g_fVoltageRange;       // mV clip of the ECG functions
extern bool s_FreqScanOn;
extern double s_Fd;                  // Hz added to g_F per sample during a scan

// ---- run state -------------------------------------------------------------
extern std::atomic<bool> g_bECGGoing;  // streaming is running
// The device is in streaming mode and sends data requests, so the poll thread
// reads them. Raised only once a start's output-stage write and first batch
// are out; lowered when the device is told that no function plays. Nothing
// else may read the port while it is set, except right after a request.
extern std::atomic<bool> s_pumpReading;
extern double g_fOutputTime;         // s since the start of playback
extern double g_fOutputTimeGraph;    // s, the same for the host graph
extern uint16_t g_nSequenceCheck;    // packet sequence number
extern bool s_ChangeOnNextCycle;     // a change waits for the period end

