// Commands that read and change the device's analogue output stage, the
// respiration packet and the standalone control record.
#pragma once

#include "orvo.h"

constexpr int OUTPUT_CHANNEL_COUNT = 4;
inline bool IsValidChannel(int channel) { return channel >= 0 && channel < OUTPUT_CHANNEL_COUNT; }

bool ResetHwStatus();
// Rewrites output mode and sample rate in the output-stage block. The flag is
// not used.
void SetRelays(bool flag);
bool SetInputImpedanceMode(int channel, int mode);
int GetInputImpedanceMode(int channel);
bool SetSignalGroundToGNDGround(int channel, bool tied);
bool GetSignalGroundToGNDGround(int channel);
bool SetOutputLead(int channel, OutputLead lead);
bool SetDcOffset(int channel);
bool SetCalibrationMode(bool on);
bool SetOutputDac(int first, int second);
bool SetApnea(bool on);
double GetAttenuation();
int ECG_DC_VoltageToDAC(double millivolts);
// Main-channel value in DAC units: mV x 4 x 1600 / GetAttenuation(), limited
// to -32768..32767 but not yet truncated (the recording keeps it so).
double MainChannelCode(double millivolts);
// Writes one 4-byte sample: the DC code, then the main code truncated toward
// zero, both big-endian (streaming and upload use the same layout).
void PutSample(unsigned char* out, unsigned int dcCode, double mainCode);
bool GetDeviceControlSetting(_DEVICE_CONTROL_SETTING* out);

// Respiration state; changes only when the device accepted a packet or when
// respiration is switched off.
extern bool g_RespirationEnabled;
extern int32_t g_nRespirationResistance;  // ohms
extern uint8_t g_nRespirationFrequency;
extern uint8_t g_nRespirationVariation;
extern uint8_t g_nRespirationRatio;
extern uint8_t g_nRespirationBaseline;
extern int32_t g_nRespirationApneaTime;   // s per minute
extern bool g_bRespirationApneaEnabled;
