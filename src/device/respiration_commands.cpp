// The respiration packet: the device varies the impedance between the leads
// by these settings, and signals apnea on request.
#include "device/output_stage.h"
#include "api/setter_guard.h"
#include "device/exchange.h"
#include "device/protocol.h"
#include "engine/engine.h"
#include "engine/parameters.h"

#include <unistd.h>

bool g_RespirationEnabled = false;
int32_t g_nRespirationResistance = 0;
uint8_t g_nRespirationFrequency = 0;
uint8_t g_nRespirationVariation = 0;
uint8_t g_nRespirationRatio = 0;
uint8_t g_nRespirationBaseline = 0;
int32_t g_nRespirationApneaTime = 0;
bool g_bRespirationApneaEnabled = false;

namespace {

constexpr int RESPIRATION_PACKET_SIZE = 19;
constexpr useconds_t RESPIRATION_SETTLE_US = 5000;

bool SendRespirationPacket(uint8_t rate, uint8_t variation, uint8_t ratio, uint8_t baseline, bool apnea)
{
    unsigned char packet[RESPIRATION_PACKET_SIZE] = {0xEA, 0xFF, 0x01};
    packet[8] = rate;
    packet[9] = variation;
    packet[10] = ratio;
    packet[11] = baseline;
    packet[12] = apnea ? 1 : 0;
    if (WriteData(packet, RESPIRATION_PACKET_SIZE, 1) != RESPIRATION_PACKET_SIZE)
        return false;
    usleep(RESPIRATION_SETTLE_US);
    unsigned char reply[REPORT_SIZE];
    return ReadData(reply, REPORT_SIZE) == REPORT_SIZE && reply[3] == FLAG_SET;
}

}  // namespace

bool SetApnea(bool on)
{
    if (!SendRespirationPacket(g_nRespirationFrequency, g_nRespirationVariation, g_nRespirationRatio,
                               g_nRespirationBaseline, on))
        return false;
    g_bRespirationApneaEnabled = on;
    return true;
}

double GetAttenuation()
{
    if (!g_RespirationEnabled)
        return 1.0;
    switch (g_nRespirationResistance) {
    case 500: return 2.873;
    case 1000: return 7.827;
    case 1500: return 13.134;
    case 2000: return 17.92;
    case 2500: return 22.9;
    default: return 1.0;
    }
}

extern "C" {

// Both host calls take the library lock and wait for the pump like the other
// setters, so their exchanges never interleave with the streaming traffic.
ORVO_API bool SetRespiration(int variation, int frequency, int ratio, int baseline, int apneaTime)
{
    SetterGuard guard;
    if (!guard.Ready())
        return false;
    const auto rate = static_cast<uint8_t>(frequency);
    const auto depth = static_cast<uint8_t>(variation);
    const auto split = static_cast<uint8_t>(ratio);
    const auto base = static_cast<uint8_t>(baseline);
    if (!SendRespirationPacket(rate, depth, split, base, false))
        return false;
    g_nRespirationResistance = (baseline + 1) * 500;
    g_nRespirationApneaTime = apneaTime;
    g_nRespirationFrequency = rate;
    g_nRespirationVariation = depth;
    g_nRespirationRatio = split;
    g_nRespirationBaseline = base;
    return true;
}

ORVO_API bool EnableRespiration(bool on)
{
    SetterGuard guard;
    g_RespirationEnabled = on;
    if (!on) {
        g_nRespirationResistance = 0;
        g_nRespirationApneaTime = 0;
        g_nRespirationFrequency = 0;
        g_nRespirationVariation = 0;
        g_nRespirationRatio = 0;
        g_nRespirationBaseline = 0;
        s_BaselineModV = 0.0;
        s_AmpModV = 0.0;
        s_FreqModHz = 0.0;
    }
    if (!guard.Ready())
        return false;
    _ChangeRequested();
    SetRelays(true);
    return true;
}

}  // extern "C"
