// Converts one generated period into the device's 4-byte sample format and
// uploads it for standalone playback.
#include "device/output_stage.h"
#include "device/protocol.h"
#include "device/standalone.h"
#include "engine/engine.h"
#include "engine/parameters.h"

#include <memory>

bool WriteRawData()
{
    int count = 0;
    double* volts = nullptr;
    double* dcCodes = nullptr;
    GenWaveform(&count, &volts, &dcCodes);
    std::unique_ptr<double[]> voltsOwner(volts);
    std::unique_ptr<double[]> dcOwner(dcCodes);

    // Every upload packet carries a full 56 bytes: round up and pad with zeros.
    const unsigned int chunk = PACKET_SAMPLE_BYTES;
    const unsigned int bytes = SAMPLE_SIZE * static_cast<unsigned int>(count);
    const unsigned int size = (bytes + chunk - 1) / chunk * chunk;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]());
    for (int i = 0; i < count; ++i) {
        double pacing = 0.0;
        const double dc = g_bVariableDC ? static_cast<double>(g_DCSetting) : _GetPacingV5(pacing);
        PutSample(buffer.get() + SAMPLE_SIZE * i, static_cast<unsigned int>(ECG_DC_VoltageToDAC(dc)),
                  MainChannelCode(volts[i]));
    }
    return WriteWaveformRawData(buffer.get(), size);
}
