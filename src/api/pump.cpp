// The output pump. The device pulls samples: whenever it has room it sends a
// 64-byte request, and the poll thread answers with a batch of 700 samples in
// 50 packets, computed by the engine.
#include "api/pump.h"
#include "api/callbacks.h"
#include "api/globals.h"
#include "device/link.h"
#include "device/output_stage.h"
#include "device/protocol.h"
#include "engine/engine.h"
#include "engine/parameters.h"
#include "waveforms/loaded_recording.h"
#include "waveforms/raw_capture.h"

#include <cmath>
#include <cstring>

int s_freqDivider = 10;
bool s_loopPlay = true;
bool s_loopFile = true;
void (*g_StandardStopCB)() = StopCallback;

namespace {

constexpr unsigned char PACKET_HEADER[6] = {0x01, 0x01, 0x00, 0x00, 0x00, SAMPLES_PER_PACKET};

int s_graphCounter = 0;  // graph decimation: one sample in s_freqDivider

// Time within the current period. A period that is not a positive finite
// number (no file loaded, say) does not wrap.
double InPeriodTime()
{
    if (!(g_fTimePeriod > 0.0) || !std::isfinite(g_fTimePeriod))
        return g_fOutputTime;
    return g_fOutputTime - std::trunc(g_fOutputTime / g_fTimePeriod) * g_fTimePeriod;
}

void ReportToGraph(double main)
{
    if (s_graphCounter == 0) {
        if (SignalOutputCallback graph = g_GraphCB.load())
            graph(g_fOutputTimeGraph, main);
        PacingOutputCallback pacing = g_PacingGraphCB.load();
        if (pacing != nullptr && s_PacingIndicationNeeded) {
            const double width = g_PacingDuration / 1000.0;
            pacing(g_fOutputTimeGraph, 0.0);
            pacing(g_fOutputTimeGraph, g_PA);
            pacing(g_fOutputTimeGraph + width, g_PA);
            pacing(g_fOutputTimeGraph + width, 0.0);
            s_PacingIndicationNeeded = false;
        }
    }
    s_graphCounter = s_graphCounter < s_freqDivider - 1 ? s_graphCounter + 1 : 0;
}

// One sample: the main value scaled to DAC units and limited, and the DC value.
void BuildSample(unsigned char* out)
{
    const double t = InPeriodTime();
    double pacing = 0.0;
    const bool fileEnded = IsEndOfFile();
    double main = fileEnded ? 0.0 : _GetMainFunctionVoltage(t);
    double dc;
    if (g_MainOutput == FUNC_FILE_WITH_DC)
        dc = fileEnded ? 0.0 : FileDcVoltage(t);
    else
        dc = _GetPacingV5(pacing);

    const bool baselineReset = g_BaseLineOverload != 0 && g_MainOutput == FUNC_SINE;
    if (!baselineReset)
        main += pacing;
    ReportToGraph(main);
    if (baselineReset) {
        // The overload sine goes to the DC channel.
        dc = main;
        main = 0.0;
    }

    const unsigned int dcCode = g_nDcDACValue >= 0 ? static_cast<unsigned int>(g_nDcDACValue)
                                                   : static_cast<unsigned int>(ECG_DC_VoltageToDAC(dc));
    const double mainCode = MainChannelCode(main);
    PutSample(out, dcCode, mainCode);

    const double dt = 1.0 / g_nSampleRate;
    g_fOutputTime += dt;
    g_fOutputTimeGraph += dt;
    if (s_FreqScanOn)
        AdvanceFrequencyScan();
    RecordStreamedSample(mainCode, dc);
    _CheckIfChangeRequired(t);
}

bool IsDataRequest(const unsigned char* buffer)
{
    return buffer[0] == DATA_REQUEST[0] && buffer[1] == DATA_REQUEST[1];
}

// Serves one request with the library lock held.
void AnswerRequest()
{
    StopFinishedFrequencyScan();
    if (g_hStopPlayEvent.WaitTimeout(0) == WAIT_SIGNALLED || !g_bECGGoing) {
        // Tells the output stage that no function plays; the device stops asking.
        SetRelays(false);
        return;
    }
    _SendNextPacket();
}

}  // namespace

bool IsEndOfFile()
{
    return (g_MainOutput == FUNC_FILE || g_MainOutput == FUNC_FILE_WITH_DC) && !s_loopFile &&
           g_fOutputTime > g_fTimePeriod;
}

void _CheckStandardLoop()
{
    if (s_loopPlay || !(g_fOutputTime > g_fTimePeriod))
        return;
    if (g_StandardStopCB != nullptr)
        g_StandardStopCB();
    ORVOSetOutputFunction(0);
}

void StopCallback()
{
    if (SignalOutputCallback graph = g_GraphCB.load())
        graph(-1.0, 0.0);
}

void SetStandardWaveformLoop(bool loop)
{
    s_loopPlay = loop;
}

void _SendNextPacket()
{
    if (IsEndOfFile()) {
        ORVOSetOutputFunction(0);
        if (g_StandardStopCB != nullptr)
            g_StandardStopCB();
        return;
    }

    unsigned char batch[BATCH_SIZE];
    std::memset(batch, 0, sizeof batch);
    if (g_fOutputTime == 0.0)
        s_graphCounter = 0;
    for (int packet = 0; packet < PACKETS_PER_BATCH; ++packet) {
        unsigned char* out = batch + packet * PACKET_SIZE;
        std::memcpy(out, PACKET_HEADER, sizeof PACKET_HEADER);
        PutBigEndian16(out + 6, g_nSequenceCheck);
        ++g_nSequenceCheck;
        for (int sample = 0; sample < SAMPLES_PER_PACKET; ++sample)
            BuildSample(out + 8 + 4 * sample);
    }
    WriteData(batch, BATCH_SIZE, 1);

    if (g_RespirationEnabled)
        EnableApneaByTime(static_cast<int>(g_fOutputTimeGraph));
    _UpdateFreqScanIfRequired();
}

void* USBDataPollThread(void*)
{
    // One batch time, ms. Read without the lock: a setter may hold the lock
    // while it waits for this thread's first request.
    const unsigned int readTimeout = 700000u / static_cast<unsigned int>(g_nSampleRate.load());
    unsigned char request[REPORT_SIZE];
    for (;;) {
        if (g_hPollingEvent.WaitTimeout(0) != WAIT_SIGNALLED)
            return nullptr;
        if (!s_pumpReading) {
            SleepEx(10);
            continue;
        }
        std::memset(request, 0, sizeof request);
        if (ReadDataEx(request, REPORT_SIZE, readTimeout) <= 0) {
            SleepEx(10);
            continue;
        }
        g_hProcessRequestEvent.SetEvent();
        CAutoCriticalSection lock(g_CriticalSection);
        if (IsDataRequest(request))
            AnswerRequest();
        g_hProcessRequestEvent.ResetEvent();
    }
}

extern "C" ORVO_API void ORVOEnableLoop(bool enable)
{
    s_loopFile = enable;
}
