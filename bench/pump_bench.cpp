// Cost of building one 700-sample batch (17.5 ms of output at 40000/s) for a
// few output functions. No port is open, so the write returns at once and
// only the synthesis and encoding are measured.
#include <benchmark/benchmark.h>

#include "api/globals.h"
#include "api/pump.h"
#include "engine/engine.h"
#include "engine/parameters.h"

namespace {

void BuildBatches(benchmark::State& state, uint32_t function)
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_MainOutput = function;
    g_PA = state.range(0) != 0 ? 5.0 : 0.0;
    _Change();
    for (auto _ : state)
        _SendNextPacket();
    state.SetItemsProcessed(state.iterations() * 700);
    g_MainOutput = FUNC_OFF;
    _Change();
}

void BM_SineBatch(benchmark::State& state) { BuildBatches(state, FUNC_SINE); }
void BM_EcgBatch(benchmark::State& state) { BuildBatches(state, FUNC_ECG_PQRST); }
void BM_Iec251Batch(benchmark::State& state) { BuildBatches(state, FUNC_IEC251); }

}  // namespace

BENCHMARK(BM_SineBatch)->Arg(0);
BENCHMARK(BM_EcgBatch)->Arg(0)->Arg(1);  // without and with pacing
BENCHMARK(BM_Iec251Batch)->Arg(0);
