// Loading the largest recordings a host is expected to hand over: a binary
// file of 20,000,000 samples and a text file of 1,000,000 lines.
// Goal: well under a second each.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "orvo.h"

namespace {

std::string g_dir;

void RemoveTempFiles() {
    std::remove((g_dir + "/big.bin").c_str());
    std::remove((g_dir + "/big.txt").c_str());
    std::remove(g_dir.c_str());
}

std::string TempPath(const char* name) {
    if (g_dir.empty()) {
        char pattern[] = "/tmp/orvo_ecg_bench_XXXXXX";
        if (mkdtemp(pattern) == nullptr) std::abort();
        g_dir = pattern;
        std::atexit(RemoveTempFiles);
    }
    return g_dir + "/" + name;
}

const std::string& BinaryFile() {
    static const std::string path = [] {
        const std::string p = TempPath("big.bin");
        constexpr int32_t kCount = 20000000;
        std::FILE* file = std::fopen(p.c_str(), "wb");
        const uint8_t header[6] = {0x01, 0xF4, static_cast<uint8_t>(kCount >> 24), static_cast<uint8_t>(kCount >> 16),
                                   static_cast<uint8_t>(kCount >> 8), static_cast<uint8_t>(kCount)};
        std::fwrite(header, 1, sizeof header, file);
        std::vector<uint8_t> block(2 * 100000);
        for (size_t i = 0; i < block.size(); i += 2) {
            const auto microvolts = static_cast<int16_t>((i % 4000) - 2000);
            block[i] = static_cast<uint8_t>(static_cast<uint16_t>(microvolts) >> 8);
            block[i + 1] = static_cast<uint8_t>(microvolts);
        }
        for (int k = 0; k < kCount / 100000; ++k) std::fwrite(block.data(), 1, block.size(), file);
        std::fclose(file);
        return p;
    }();
    return path;
}

const std::string& TextFile() {
    static const std::string path = [] {
        const std::string p = TempPath("big.txt");
        std::FILE* file = std::fopen(p.c_str(), "w");
        std::fprintf(file, "1000\n1000000\n3\nI,II,III\n");
        for (int i = 0; i < 1000000; ++i) {
            const double v = (i % 2000 - 1000) / 1000.0;
            std::fprintf(file, "%.3f,%.3f,%.3f\n", v, -v, v / 2);
        }
        std::fclose(file);
        return p;
    }();
    return path;
}

void BM_LoadBinary20MillionSamples(benchmark::State& state) {
    const std::wstring path(BinaryFile().begin(), BinaryFile().end());
    for (auto _ : state) benchmark::DoNotOptimize(LoadECGBin(path.c_str()));
}
BENCHMARK(BM_LoadBinary20MillionSamples)->Unit(benchmark::kMillisecond);

void BM_LoadText1MillionLines(benchmark::State& state) {
    std::string path = TextFile();
    for (auto _ : state) benchmark::DoNotOptimize(LoadECGtxt(&path[0], 1));
}
BENCHMARK(BM_LoadText1MillionLines)->Unit(benchmark::kMillisecond);

}  // namespace
