// The output pump: the poll thread that answers the device's data requests and
// the builder of the 700-sample batches.
#pragma once

void* USBDataPollThread(void*);
// Builds and writes one batch. Called with g_CriticalSection held.
void _SendNextPacket();
bool IsEndOfFile();
void _CheckStandardLoop();
void StopCallback();
void SetStandardWaveformLoop(bool loop);

extern int s_freqDivider;
extern bool s_loopPlay;
extern bool s_loopFile;
extern void (*g_StandardStopCB)();
