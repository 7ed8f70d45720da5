// Building the one-hour IEC 60601-2-47 pattern happens on the pump thread the
// first time it plays. Goal: under 50 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "waveforms/standard_tables.h"

static void BM_BuildPatternFour(benchmark::State& state) {
    for (auto _ : state) {
        double* pattern = getArray(IEC247_PATTERN_4);
        benchmark::DoNotOptimize(pattern);
        std::free(pattern);
    }
}
BENCHMARK(BM_BuildPatternFour)->Unit(benchmark::kMillisecond);

static void BM_BuildPatternOne(benchmark::State& state) {
    for (auto _ : state) {
        double* pattern = getArray(IEC247_PATTERN_1);
        benchmark::DoNotOptimize(pattern);
        std::free(pattern);
    }
}
BENCHMARK(BM_BuildPatternOne)->Unit(benchmark::kMicrosecond);
