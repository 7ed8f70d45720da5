#include "api/callbacks.h"
#include "api/globals.h"

std::atomic<ConnectionCallback> g_Callback{nullptr};
std::atomic<SignalOutputCallback> g_GraphCB{nullptr};
std::atomic<PacingOutputCallback> g_PacingGraphCB{nullptr};
std::atomic<OutputFunctionCallback> g_SyncMainFuncCB{nullptr};
std::atomic<FrequencyCallback> g_SyncFreqCB{nullptr};
std::atomic<BaselineResetCallback> g_BaselineResetCB{nullptr};
std::atomic<SyncDCOffsetCallback> g_SyncDCOffsetCB{nullptr};

void NotifyFrequency(double frequency)
{
    if (FrequencyCallback callback = g_SyncFreqCB.load())
        callback(frequency);
}

void NotifyOutputFunction(int function)
{
    if (OutputFunctionCallback callback = g_SyncMainFuncCB.load())
        callback(function);
}

extern "C" {

ORVO_API void ORVORegisterSignalOutputCallback(SignalOutputCallback callback)
{
    g_GraphCB.store(callback);
}

ORVO_API void ORVORegisterPacingOutputCallback(PacingOutputCallback callback)
{
    g_PacingGraphCB.store(callback);
}

ORVO_API void ORVORegisterOutputFunctionCallback(OutputFunctionCallback callback)
{
    g_SyncMainFuncCB.store(callback);
}

ORVO_API void ORVORegisterFrequencyCallback(FrequencyCallback callback)
{
    CAutoCriticalSection lock(g_CriticalSection);
    g_SyncFreqCB.store(callback);
}

ORVO_API void RegisterBaselineResetCB(BaselineResetCallback callback)
{
    g_BaselineResetCB.store(callback);
}

ORVO_API void RegisterSyncDCOffsetCB(SyncDCOffsetCallback callback)
{
    g_SyncDCOffsetCB.store(callback);
}

}  // extern "C"
