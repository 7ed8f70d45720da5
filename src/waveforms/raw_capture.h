// Recording of the streamed output into buffers lent by the host.
#pragma once

// Called by the pump for every streamed sample, with the library lock held:
// the main value in DAC units before truncation and the DC value in mV.
void RecordStreamedSample(double mainCode, double dcMillivolts);
