// Standalone playback: choosing the sample rate of one period, generating it,
// the waveform-info and raw-data uploads, start and stop.
#include "device/standalone.h"
#include "device/exchange.h"
#include "device/output_stage.h"
#include "device/protocol.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "orvo.h"

#include <cstring>

namespace {

constexpr int RATE_TABLE[] = {40000, 20000, 10000, 8000, 5000, 4000, 2000, 1000, 500, 400, 200, 100, 50};
constexpr int FALLBACK_RATE = 1000;
constexpr double MAX_SAMPLES_PER_PERIOD = 2000.0;
constexpr unsigned char STOP_COMMAND[5] = {0xEA, 0xFF, 0x00, 0x00, 0x00};

}  // namespace

int GetSampleRateByFrequency(double hz)
{
    const double period = 1.0 / hz;
    for (int rate : RATE_TABLE) {
        if (MAX_SAMPLES_PER_PERIOD >= rate * period)
            return rate;
    }
    return FALLBACK_RATE;
}

int GetPixelNumberByFrequency(double hz)
{
    return static_cast<int>(GetSampleRateByFrequency(hz) * (1.0 / hz));
}

bool GenWaveform(int* count, double** volts, double** dcCodes)
{
    const double frequency = ORVOGetFrequency();
    const int n = GetPixelNumberByFrequency(frequency);
    *count = n;
    *volts = new double[n];
    s_A = (g_MainOutput == FUNC_ECG_QRS_T || g_MainOutput == FUNC_ECG_PQRST) ? g_Amplitude : g_Amplitude / 2.0;
    g_fTimePeriod = 1.0 / g_F;
    s_PW = g_PulseWidth / 1000.0;
    _CheckECGTime();
    const double dt = 1.0 / GetSampleRateByFrequency(frequency);

    *dcCodes = new double[n]();
    const int dcCode = g_nDcDACValue >= 0 ? (g_nDcDACValue & 0xFFFF) : (ECG_DC_VoltageToDAC(g_DCSetting) & 0xFFFF);
    for (int i = 0; i < n; ++i) {
        const double t = g_fOutputTime - g_fTimePeriod * static_cast<double>(static_cast<long long>(g_fOutputTime / g_fTimePeriod));
        (*volts)[i] = _GetMainFunctionVoltage(t);
        (*dcCodes)[i] = dcCode;
        g_fOutputTime += dt;
    }
    return true;
}

bool WriteWaveformInfo()
{
    const double frequency = ORVOGetFrequency();
    unsigned char packet[REPORT_SIZE] = {0xEA, 0xFF, 0x01};
    PutBigEndian16(packet + 6, static_cast<unsigned int>(GetPixelNumberByFrequency(frequency)) & 0xFFFF);
    PutBigEndian16(packet + 8, static_cast<unsigned int>(frequency / 0.01) & 0xFFFF);
    packet[10] = static_cast<unsigned char>(g_MainOutput & 0xFF);
    // The pulse width is byte-swapped like the 16-bit fields, and the byte
    // kept is its high byte.
    packet[11] = static_cast<unsigned char>((static_cast<unsigned int>(ORVOGetPulseWidth()) >> 8) & 0xFF);
    PutBigEndian16(packet + 36, static_cast<unsigned int>(GetECG2_27_NoiseFreq()) & 0xFFFF);
    PutBigEndian16(packet + 38, static_cast<unsigned int>(GetECG2_27_NoiseAmp() / 0.01) & 0xFFFF);
    PutBigEndian16(packet + 40, static_cast<unsigned int>(static_cast<int>(ORVOGetPacingAmplitude())) & 0xFFFF);
    PutBigEndian16(packet + 42, static_cast<unsigned int>(ORVOGetPacingDuration()) & 0xFFFF);
    PutBigEndian16(packet + 44, ORVOGetPacingRate() & 0xFFFF);
    unsigned char reply[REPORT_SIZE];
    return Exchange(packet, REPORT_SIZE, reply, REPORT_SIZE);
}

bool WriteWaveformRawData(const unsigned char* data, unsigned int byteCount)
{
    const unsigned int total = byteCount / 4;
    for (unsigned int index = 0; index < total; index += SAMPLES_PER_PACKET) {
        unsigned char packet[REPORT_SIZE] = {0xEA, 0xFF, 0x04};
        PutBigEndian16(packet + 6, index & 0xFFFF);
        std::memcpy(packet + 8, data + SAMPLE_SIZE * index, PACKET_SAMPLE_BYTES);
        unsigned char reply[REPORT_SIZE];
        if (!Exchange(packet, REPORT_SIZE, reply, REPORT_SIZE))
            return false;
        packet[3] = FLAG_SET;
        if (std::memcmp(reply, packet, REPORT_SIZE) != 0)
            return false;
    }
    return true;
}

bool OutputSignal()
{
    _DEVICE_CONTROL_SETTING setting;
    if (!GetDeviceControlSetting(&setting))
        return false;
    setting.bytes[4] = 1;
    unsigned char reply[REPORT_SIZE];
    return Exchange(setting.bytes, REPORT_SIZE, reply, REPORT_SIZE);
}

bool StopOutput()
{
    unsigned char reply[REPORT_SIZE];
    return Exchange(STOP_COMMAND, sizeof STOP_COMMAND, reply, REPORT_SIZE);
}

void SendStopPacket()
{
    unsigned char burst[BATCH_SIZE];
    std::memset(burst, 0, sizeof burst);
    for (int packet = 0; packet < PACKETS_PER_BATCH; ++packet) {
        unsigned char* out = burst + packet * PACKET_SIZE;
        out[0] = 0x01;
        out[1] = 0x01;
        out[5] = SAMPLES_PER_PACKET;
        out[6] = 0xFF;
        out[7] = 0x00;
        for (int sample = 0; sample < SAMPLES_PER_PACKET; ++sample)
            out[8 + 4 * sample] = 0x80;  // DC 0 mV, main 0
    }
    WriteData(burst, BATCH_SIZE, 1);
}
