// Standalone playback: one period of the selected function is generated on the
// host, described to the device, uploaded in packets of 14 samples and then
// played by the device from its own memory.
#pragma once

int GetSampleRateByFrequency(double hz);
int GetPixelNumberByFrequency(double hz);
// One period of the selected function: count samples of main-channel mV and of
// DC codes, allocated with new[]; the caller releases both with delete[].
bool GenWaveform(int* count, double** volts, double** dcCodes);
bool WriteWaveformInfo();
bool WriteWaveformRawData(const unsigned char* data, unsigned int byteCount);
bool OutputSignal();
bool StopOutput();
void SendStopPacket();
// Generates one period, converts it to the device's sample format and uploads it.
bool WriteRawData();
