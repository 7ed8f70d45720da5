// Converts one generated period into the device's 4-byte sample format and
// uploads it for standalone playback.
#include "device/output_stage.h"
#include "device/protocol.h"
#include "device/standalone.h"
#include "engine/engine.h"
#include "engine/parameters.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace {
constexpr unsigned int UPLOAD_CHUNK_BYTES = SAMPLES_PER_PACKET * 4;  // 56
constexpr double MAIN_CODES_PER_MV = 4.0 * 1600.0;
}  // namespace

bool WriteRawData()
{
    int count = 0;
    double* volts = nullptr;
    double* dcCodes = nullptr;
    GenWaveform(&count, &volts, &dcCodes);
    std::unique_ptr<double[]> voltsOwner(volts);
    std::unique_ptr<double[]> dcOwner(dcCodes);

    const unsigned int bytes = 4u * static_cast<unsigned int>(count);
    const unsigned int size = (bytes + UPLOAD_CHUNK_BYTES - 1) / UPLOAD_CHUNK_BYTES * UPLOAD_CHUNK_BYTES;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]());
    for (int i = 0; i < count; ++i) {
        double pacing = 0.0;
        const double dc = g_bVariableDC ? static_cast<double>(g_DCSetting) : _GetPacingV5(pacing);
        double main = volts[i] * MAIN_CODES_PER_MV / GetAttenuation();
        main = std::fmax(-32768.0, std::fmin(32767.0, main));
        unsigned char* out = buffer.get() + 4 * i;
        PutBigEndian16(out, static_cast<unsigned int>(ECG_DC_VoltageToDAC(dc)) & 0xFFFF);
        PutBigEndian16(out + 2, static_cast<unsigned int>(static_cast<int16_t>(main)) & 0xFFFF);
    }
    return WriteWaveformRawData(buffer.get(), size);
}
