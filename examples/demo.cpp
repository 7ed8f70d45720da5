// The main job: start the virtual simulator, connect the library to it, show
// the device's identity, stream a sine and then a paced ECG with respiration,
// and draw what the device played as a strip of ECG paper.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "orvo.h"
#include "orvo_sim.h"
#include "strip_chart.h"

namespace {

constexpr double kSampleRate = 40000.0;
constexpr int kPort = 0;

void Sleep(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void PrintIdentity()
{
    MODEL_INFORMATION model;
    HW_INFORMATION hardware;
    if (ORVOGetDeviceInformation(&model))
        std::printf("device %c%c, serial number %s\n", model.ModelCode[0], model.ModelCode[1], ORVOGetSerialNumber());
    if (ORVOGetHWInformation(&hardware))
        std::printf("hardware information %u %u %u %u %u\n", hardware.HwInfo0, hardware.HwInfo1, hardware.HwInfo2,
                    hardware.HwInfo3, hardware.HwInfo4);
}

void PrintPlayed(orvo::sim::Simulator& sim, double attenuation)
{
    const auto samples = sim.samples();
    double low = 0.0, high = 0.0;
    for (const auto& sample : samples) {
        const double mv = orvo::sim::mainCodeToMillivolts(sample.main, attenuation);
        low = std::min(low, mv);
        high = std::max(high, mv);
    }
    const auto counters = sim.counters();
    std::printf("  device played %zu samples (%.2f s), %llu batches, %llu sequence gaps, %llu late batches\n",
                samples.size(), samples.size() / kSampleRate, static_cast<unsigned long long>(counters.batches),
                static_cast<unsigned long long>(counters.sequenceGaps),
                static_cast<unsigned long long>(counters.lateBatches));
    std::printf("  main channel from %.3f mV to %.3f mV\n", low, high);
}

void PlaySine(orvo::sim::Simulator& sim)
{
    std::printf("streaming a 1 Hz, 2 mV peak-to-peak sine for 2 s ...\n");
    sim.clearSamples();
    ORVOSetAmplitude(2.0);
    ORVOSetFrequency(1.0);
    ORVOSetOutputFunction(FUNC_SINE);
    Sleep(2000);
    ORVOSetOutputFunction(FUNC_OFF);
    PrintPlayed(sim, 1.0);
}

bool PlayPacedEcgWithRespiration(orvo::sim::Simulator& sim, const std::string& outputDir)
{
    std::printf("playing a paced ECG (72 beats/min) with respiration for 5 s ...\n");
    ORVOSetAmplitude(1.5);
    ORVOSetFrequency(1.2);
    ORVOSetPacingAmplitude(5.0);
    ORVOSetPacingDuration(2.0);
    SetRespiration(1, 20, 2, 0, 0);
    sim.clearSamples();
    ORVOSetOutputFunction(FUNC_ECG_PQRST);
    EnableRespiration(true);
    SetRespireAlgorithmParam(20, 2, 0, 15, 10, 0);
    Sleep(5000);
    ORVOSetOutputFunction(FUNC_OFF);

    // While respiration is on the main channel is sent divided by the
    // attenuation of the respiration network (500 ohm: 2.873).
    const double attenuation = 2.873;
    PrintPlayed(sim, attenuation);
    const auto samples = sim.samples();
    StripTrace main{"main channel (ECG)", {}, 10.0};
    StripTrace dc{"DC channel (pacing)", {}, 2.0};
    const std::string csvPath = outputDir + "/ecg-strip.csv";
    FILE* csv = std::fopen(csvPath.c_str(), "w");
    if (csv == nullptr)
        return false;
    std::fprintf(csv, "time_s,main_mv,dc_mv,main_code,dc_code\n");
    for (size_t i = 0; i < samples.size(); ++i) {
        const double mainMv = orvo::sim::mainCodeToMillivolts(samples[i].main, attenuation);
        const double dcMv = orvo::sim::dcCodeToMillivolts(samples[i].dc);
        main.millivolts.push_back(mainMv);
        dc.millivolts.push_back(dcMv);
        std::fprintf(csv, "%.6f,%.4f,%.3f,%d,%u\n", i / kSampleRate, mainMv, dcMv, samples[i].main, samples[i].dc);
    }
    std::fclose(csv);
    const std::string svgPath = outputDir + "/ecg-strip.svg";
    if (!WriteStripChartSvg(svgPath, {main, dc}, kSampleRate,
                            "liborvo demo: paced ECG, 72/min, respiration 20/min (25 mm/s, 10 mm/mV)"))
        return false;
    std::printf("wrote the strip chart %s\n  and the samples %s\n", std::filesystem::absolute(svgPath).c_str(),
                std::filesystem::absolute(csvPath).c_str());
    // A PNG as well when the machine has an SVG renderer (librsvg2-bin).
    const std::string pngPath = outputDir + "/ecg-strip.png";
    const std::string render = "command -v rsvg-convert >/dev/null 2>&1 && rsvg-convert -w 1600 '" + svgPath +
                               "' -o '" + pngPath + "'";
    if (std::system(render.c_str()) == 0)
        std::printf("  and the picture %s\n", std::filesystem::absolute(pngPath).c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const int version = ORVOGetVersion();
    std::printf("liborvo %d.%d.%d.%d\n", (version >> 24) & 0xFF, (version >> 16) & 0xFF, (version >> 8) & 0xFF,
                version & 0xFF);

    const std::string outputDir = argc > 1 ? argv[1] : "demo-output";
    std::filesystem::create_directories(outputDir);
    std::string dir = (std::filesystem::temp_directory_path() / "orvo-demo-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr)
        return 1;

    orvo::sim::SimulatorConfig config;
    config.dir = dir;
    config.port = kPort;
    // Identity page bytes 24..27 and the 0xAA 0x03 reply of this virtual unit.
    config.hwInfo[0] = 0x12;
    config.hwInfo[1] = 0x34;
    config.hwInfo[2] = 0x02;
    config.hwInfo[3] = 0x05;
    config.hwInfo2 = 0x07;
    orvo::sim::Simulator sim(config);
    if (!sim.start()) {
        std::fprintf(stderr, "the virtual simulator did not start\n");
        return 1;
    }
    std::printf("virtual simulator published at %s\n", sim.path().c_str());

    ORVOSetDevicePathFormat((dir + "/ttyACM%d").c_str());
    std::filesystem::create_directories(dir + "/lock");
    ORVOSetLockDirectory((dir + "/lock").c_str());
    if (!ORVOConnect(kPort, 5000)) {
        std::fprintf(stderr, "could not connect to the virtual simulator\n");
        return 1;
    }
    std::printf("connected\n");
    PrintIdentity();
    PlaySine(sim);
    const bool drawn = PlayPacedEcgWithRespiration(sim, outputDir);
    ORVOFree();
    std::printf("disconnected: %s\n", ORVOIsConnected() ? "no" : "yes");
    sim.stop();
    std::filesystem::remove_all(dir);
    return drawn ? 0 : 1;
}
