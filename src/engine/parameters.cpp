// The engine's parameter block with its load-time values.
#include "engine/parameters.h"

uint32_t g_MainOutput = 0;
double g_F = 1.0;
double g_Amplitude = 1.0;
double g_PulseWidth = 100.0;
double g_QRSDuration = 100.0;
double g_PDuration = 100.0;
double g_PRInterval = 160.0;
double g_QTInterval = 350.0;
double g_STSegment = 70.0;
double g_TDuration = 180.0;
double g_CusP = 0.2;
double g_CusT = 0.2;
double g_CusST = 0.0;
double g_PA = 0.0;
double g_PacingDuration = 2.0;
uint32_t g_PacingRate = 60;
bool g_pacingSynchronized = true;
uint32_t g_PacingPulse = 0;
uint32_t g_PacingOvershootTC = 0;
double g_POA = 0.0;
const double g_Pacing_leading = 0.03;
uint32_t g_MainNoise = 0;
double g_MainsNoiseAmp = 0.1;
bool g_AAMIDriftTest = false;
double g_AAMIDriftTestAmp = 4.0;
double g_AAMIDriftTestWaveLen = 10.0;
double g_AAMIDriftTestWaveLenQuad = 2.5;
double g_AAMIDriftTestWaveLenQuad3 = 7.5;
double g_AAMIDriftTestSlope = 0.8;
bool g_DynamicRangeTest = false;
double g_ADynamicRange = 1.0;
double g_FDynamicRange = 40.0;
uint32_t g_BaseLineOverload = 0;
double g_Fstart = 0.67;
double g_Ffinal = 150.0;
int32_t g_Fduration = 30;
bool g_FreqScan1 = false;
bool g_FreqScan3 = false;
int32_t g_nSpecialWaveform = 0;
int32_t g_nANE20000ChannelNumber = 0;
int32_t g_DCSetting = 0;
int32_t g_nDcDACValue = -1;
bool g_bVariableDC = true;
bool g_bTestVariableDC[4] = {true, true, true, true};
bool g_bCommonMode = false;
std::atomic<int32_t> g_nSampleRate{40000};

double s_A = 0.0;
double s_PW = 0.0;
double g_fTimePeriod = 0.0;
double s_MainsNoiseAmplitude = 0.0;
double g_fVoltageRange = 5.0;
bool s_FreqScanOn = false;
double s_Fd = 0.0;

std::atomic<bool> g_bECGGoing{false};
std::atomic<bool> s_pumpReading{false};
double g_fOutputTime = 0.0;
double g_fOutputTimeGraph = 0.0;
uint16_t g_nSequenceCheck = 0;
bool s_ChangeOnNextCycle = false;

extern "C" {
ORVO_API extern const double g_RangeV4Ch2Off = 5.0;
ORVO_API extern const double g_RangeV4Ch2On = 5.0;
}
