// Read-modify-write of the device's output-stage block and the 0xCC commands.
// The library keeps no copy of the block: every change reads it first so that
// fields set by other commands survive.
#include "device/output_stage.h"
#include "device/exchange.h"
#include "device/protocol.h"
#include "device/standalone.h"
#include "engine/parameters.h"
#include "waveforms/loaded_recording.h"

#include <cmath>
#include <cstring>
#include <functional>

namespace {

constexpr size_t CHANNEL_IMPEDANCE_1 = 0;
constexpr size_t CHANNEL_IMPEDANCE_2 = 1;
constexpr size_t CHANNEL_DC_SOURCE = 2;
constexpr size_t CHANNEL_LEAD = 3;
constexpr size_t CHANNEL_IMPEDANCE_3 = 4;
constexpr size_t CHANNEL_SIGNAL_GROUND = 5;

constexpr unsigned char DC_SOURCE_NONE = 0x00;
constexpr unsigned char DC_SOURCE_PLUS_300 = 0x01;
constexpr unsigned char DC_SOURCE_MINUS_300 = 0x02;
constexpr unsigned char DC_SOURCE_VARIABLE = 0x10;

constexpr unsigned char CC_RESET = 0x0F;
constexpr unsigned char CC_CALIBRATION_MODE = 0x06;
constexpr unsigned char CC_OUTPUT_DAC = 0x07;

using Block = unsigned char[REPORT_SIZE];

bool QueryBlock(Block block)
{
    const Block query = {};
    return Exchange(query, REPORT_SIZE, block, REPORT_SIZE);
}

unsigned char* ChannelBlock(Block block, int channel)
{
    return block + STAGE_CHANNEL_BLOCKS + CHANNEL_BLOCK_SIZE * static_cast<size_t>(channel);
}

unsigned char Flag(bool set)
{
    return set ? FLAG_SET : FLAG_CLEAR;
}

// Reads the block, lets change edit it and writes it back.
bool ModifyBlock(const std::function<void(Block)>& change)
{
    Block block;
    if (!QueryBlock(block))
        return false;
    block[STAGE_WRITE_MARKER] = FLAG_SET;
    change(block);
    Block reply;
    return Exchange(block, REPORT_SIZE, reply, REPORT_SIZE);
}

bool ModifyChannel(int channel, const std::function<void(unsigned char*)>& change)
{
    if (!IsValidChannel(channel))
        return false;
    return ModifyBlock([&](Block block) { change(ChannelBlock(block, channel)); });
}

bool SendCcCommand(unsigned char subCommand, const unsigned char* payload, size_t payloadLength)
{
    Block command = {0xCC, 0xFF, subCommand, 0x00};
    if (payloadLength != 0)
        std::memcpy(command + 4, payload, payloadLength);
    Block reply;
    return Exchange(command, REPORT_SIZE, reply, REPORT_SIZE);
}

unsigned char DcSourceCode(int channel)
{
    unsigned char code = DC_SOURCE_NONE;
    if (!g_bRawVariableDC) {
        if (g_DCSetting == 300)
            code = DC_SOURCE_PLUS_300;
        else if (g_DCSetting == -300)
            code = DC_SOURCE_MINUS_300;
    }
    if (g_bTestVariableDC[channel])
        code = DC_SOURCE_VARIABLE;
    return code;
}

}  // namespace

bool ResetHwStatus()
{
    return SendCcCommand(CC_RESET, nullptr, 0);
}

void SetRelays(bool)
{
    const bool playing = g_MainOutput != 0;
    const bool written = ModifyBlock([playing](Block block) {
        block[STAGE_OUTPUT_MODE] = playing ? OUTPUT_MODE_PLAYING : OUTPUT_MODE_OFF;
        PutBigEndian16(block + STAGE_SAMPLE_RATE, static_cast<unsigned int>(g_nSampleRate) & 0xFFFF);
    });
    // A device told that nothing plays sends no more requests.
    if (written && !playing)
        s_pumpReading = false;
}

bool SetInputImpedanceMode(int channel, int mode)
{
    return ModifyChannel(channel, [mode](unsigned char* block) {
        block[CHANNEL_IMPEDANCE_1] = Flag(mode == 1);
        block[CHANNEL_IMPEDANCE_2] = Flag(mode == 2);
        block[CHANNEL_IMPEDANCE_3] = Flag(mode == 3);
    });
}

int GetInputImpedanceMode(int channel)
{
    Block block;
    if (!IsValidChannel(channel) || !QueryBlock(block))
        return 0;
    const unsigned char* settings = ChannelBlock(block, channel);
    if (settings[CHANNEL_IMPEDANCE_1] == FLAG_SET)
        return 1;
    if (settings[CHANNEL_IMPEDANCE_2] == FLAG_SET)
        return 2;
    if (settings[CHANNEL_IMPEDANCE_3] == FLAG_SET)
        return 3;
    return 0;
}

bool SetSignalGroundToGNDGround(int channel, bool tied)
{
    return ModifyChannel(channel, [tied](unsigned char* block) { block[CHANNEL_SIGNAL_GROUND] = Flag(tied); });
}

bool GetSignalGroundToGNDGround(int channel)
{
    Block block;
    if (!IsValidChannel(channel) || !QueryBlock(block))
        return false;
    return ChannelBlock(block, channel)[CHANNEL_SIGNAL_GROUND] == FLAG_SET;
}

bool SetOutputLead(int channel, OutputLead lead)
{
    return ModifyChannel(channel, [lead](unsigned char* block) { block[CHANNEL_LEAD] = Flag(lead == 0); });
}

bool SetDcOffset(int channel)
{
    if (!IsValidChannel(channel))
        return false;
    const unsigned char code = DcSourceCode(channel);
    return ModifyChannel(channel, [code](unsigned char* block) { block[CHANNEL_DC_SOURCE] = code; });
}

bool SetCalibrationMode(bool on)
{
    const unsigned char payload[1] = {static_cast<unsigned char>(on ? 1 : 0)};
    return SendCcCommand(CC_CALIBRATION_MODE, payload, sizeof payload);
}

bool SetOutputDac(int first, int second)
{
    unsigned char payload[4];
    PutBigEndian16(payload, static_cast<unsigned int>(first) & 0xFFFF);
    PutBigEndian16(payload + 2, static_cast<unsigned int>(second) & 0xFFFF);
    return SendCcCommand(CC_OUTPUT_DAC, payload, sizeof payload);
}

int ECG_DC_VoltageToDAC(double millivolts)
{
    if (millivolts > 1000.0)
        millivolts = 1000.0;
    if (millivolts < -1000.0)
        millivolts = -1000.0;
    return static_cast<int>((millivolts + 1000.0) / 2000.0 * 65535.0 + 0.5);
}

double MainChannelCode(double millivolts)
{
    const double code = millivolts * 4.0 * 1600.0 / GetAttenuation();
    return std::fmax(-32768.0, std::fmin(32767.0, code));
}

void PutSample(unsigned char* out, unsigned int dcCode, double mainCode)
{
    PutBigEndian16(out, dcCode & 0xFFFF);
    PutBigEndian16(out + 2, static_cast<unsigned int>(static_cast<int16_t>(mainCode)) & 0xFFFF);
}

bool GetDeviceControlSetting(_DEVICE_CONTROL_SETTING* out)
{
    Block block;
    if (!QueryBlock(block))
        return false;
    const double frequency = ORVOGetFrequency();
    const int rate = GetSampleRateByFrequency(frequency);
    const double samplesPerPeriod = rate / frequency;
    const int fraction = static_cast<int>(1000.0 * (samplesPerPeriod - static_cast<int>(samplesPerPeriod)));

    std::memset(out->bytes, 0, sizeof out->bytes);
    out->bytes[0] = 0xEA;
    out->bytes[1] = 0xFF;
    out->bytes[2] = 0x00;
    out->bytes[4] = 1;
    PutBigEndian16(out->bytes + 8, static_cast<unsigned int>(rate) & 0xFFFF);
    PutBigEndian16(out->bytes + 10, static_cast<unsigned int>(fraction) & 0xFFFF);
    out->bytes[12] = 0x04;
    out->bytes[13] = 0x00;
    std::memcpy(out->bytes + STAGE_CHANNEL_BLOCKS, block + STAGE_CHANNEL_BLOCKS, REPORT_SIZE - STAGE_CHANNEL_BLOCKS);
    return true;
}
