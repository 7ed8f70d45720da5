// The host lends two buffers and the pump copies every streamed sample into
// them until they are full. Enabling and disabling take the library lock,
// which the pump holds while it builds a batch: once DisableRecordRaw returns,
// the pump never touches the host's buffers again.
#include "waveforms/raw_capture.h"
#include "api/globals.h"
#include "orvo.h"

namespace {
bool s_EnableRecord = false;
double* s_AcBuffer = nullptr;
double* s_DcBuffer = nullptr;
int s_RecordLength = 0;
int s_RecordIndex = 0;
}  // namespace

void RecordStreamedSample(double mainCode, double dcMillivolts)
{
    if (!s_EnableRecord || s_RecordIndex >= s_RecordLength || s_AcBuffer == nullptr || s_DcBuffer == nullptr)
        return;
    s_AcBuffer[s_RecordIndex] = mainCode;
    s_DcBuffer[s_RecordIndex] = dcMillivolts;
    ++s_RecordIndex;
}

extern "C" {

ORVO_API bool EnableRecordRaw(double* acBuffer, double* dcBuffer, int length)
{
    CAutoCriticalSection lock(g_CriticalSection);
    if (s_EnableRecord)
        return false;
    s_EnableRecord = true;
    s_AcBuffer = acBuffer;
    s_DcBuffer = dcBuffer;
    s_RecordLength = length;
    s_RecordIndex = 0;
    return true;
}

ORVO_API void DisableRecordRaw(void)
{
    CAutoCriticalSection lock(g_CriticalSection);
    s_EnableRecord = false;
    s_AcBuffer = nullptr;
    s_DcBuffer = nullptr;
    s_RecordLength = 0;
    s_RecordIndex = 0;
}

}  // extern "C"
