// The synthesis engine: the change protocol and the per-sample evaluators.
// Everything here runs with g_CriticalSection held.
#pragma once

#include <cstdint>

constexpr double TWO_PI = 6.2831853;  // the engine's value of 2 pi, as specified

// Change protocol
void _Change();
void _ChangeRequested();
void _CheckIfChangeRequired(double tInPeriod);
void _Baseline1V_CheckedChanged();

// Main channel, mV, for the time t within the current period.
double _GetMainFunctionVoltage(double t);
// DC channel, mV; may add the pacing overshoot to mainAdd.
double _GetPacingV5(double& mainAdd);
void _CheckIfPacingPulseNeeded(double offset, bool& triggered);
void ResetPacingForNewPlayback();

// ECG model
void _CheckECGTime();
double EcgQrsTVoltage(double t, double amplitude);
double EcgPqrstVoltage(double t, double amplitude);
double EcgVoltage(double t);  // functions 7 and 8 with modulation, overlays and clip

// Basic and data functions
double TestFunctionVoltage(uint32_t function, double t);
double DataFunctionVoltage(uint32_t function, double t);
// The DC sample of the loaded recording for FUNC_FILE_WITH_DC (0 when none).
double FileDcVoltage(double t);

// Respiration
double _solveRespireVoltage(double tau);
double _solveRespireV();
void EnableApneaByTime(int seconds);
extern double s_OneRespireS, s_InhaleS, s_ExhaleS, s_OneApneaS;
extern double s_BaselineModV, s_AmpModV, s_FreqModHz, s_FreqModPreEndT, s_FreqModEndT;
extern bool g_ExternalRespireModule;

// Overlays
double MainsNoise();
double DriftOffset();
double DynamicRangeOverlay();
void ResetDcSweep();  // a new playback of function 15
double DcSweepMainVoltage();
double DcSweepDcVoltage();
void _UpdateFreqScanIfRequired();
// Per sample during a scan: glide the frequency keeping the phase.
void AdvanceFrequencyScan();
// A scan that reached its end is stopped when the device's next request is in
// hand, so that the stop's device traffic falls between request and batch.
void StopFinishedFrequencyScan();
extern bool s_FreqScanEndPending;  // cleared by every stop and scan start
extern double s_InputDynamicRangeDC, s_InputDynamicRangeAC;

// Pacing state
extern int32_t s_PulsesRequired;
extern double s_pp;
extern int32_t s_ppc;
extern double s_OTC;
extern bool s_PacingPulseRaised;
extern double s_PacDelayTP;
extern bool s_PacingIndicationNeeded;

// ECG segment boundaries, s
extern double s_t1, s_t2, s_t3, s_t4, s_t5;
extern double s_Cus_t1, s_Cus_t2, s_Cus_t3, s_Cus_t4, s_Cus_t5, s_Cus_t6, s_Cus_t7;

// Variable-DC calibration table (nine entries; see SetDefaultECGDCVariableCalibrationData)
extern uint32_t g_ECGDCVariableCalibrationData[9];
