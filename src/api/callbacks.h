// Host callbacks registered through the public API. Stored atomically: the
// host may register while the library's threads call them.
#pragma once

#include <atomic>

#include "orvo.h"

extern std::atomic<ConnectionCallback> g_Callback;
extern std::atomic<SignalOutputCallback> g_GraphCB;
extern std::atomic<PacingOutputCallback> g_PacingGraphCB;
extern std::atomic<OutputFunctionCallback> g_SyncMainFuncCB;
extern std::atomic<FrequencyCallback> g_SyncFreqCB;
extern std::atomic<BaselineResetCallback> g_BaselineResetCB;
extern std::atomic<SyncDCOffsetCallback> g_SyncDCOffsetCB;

// Call the callback when one is registered.
void NotifyFrequency(double frequency);
void NotifyOutputFunction(int function);
