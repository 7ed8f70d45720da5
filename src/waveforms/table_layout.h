// Shape of the constant standard-waveform tables. Shared by the library and
// by the host program that generates the table data, so it depends on nothing
// but the C++ standard library.
#pragma once

#include <cstdint>

namespace orvo_tables {

// IEC 60601-2-27 recorded test ECGs: one fixed-size slot per waveform, only
// the first kIec227UsedSamples[k] samples of slot k are used, the rest is 0.
constexpr int kIec227WaveformCount = 10;
constexpr int kIec227SlotSamples = 66000;
constexpr int kIec227SampleRate = 720;  // samples/s
constexpr int32_t kIec227UsedSamples[kIec227WaveformCount] = {
    43081, 43142, 43144, 34511, 65211, 65214, 65207, 65238, 65239, 65237};

// IEC 60601-2-51 one-second test signals.
constexpr int kIec251WaveformCount = 16;
constexpr int kIec251Samples = 1000;
constexpr int kIec251SampleRate = 1000;  // samples/s

// ANE20000 test ECG, one second per lead.
constexpr int kAne20000LeadCount = 9;
constexpr int kAne20000Samples = 1000;
constexpr int kAne20000SampleRate = 1000;  // samples/s

// Smallest and largest sample of a waveform, µV. The published data have
// exactly these; the stand-ins are built to match.
struct Extremes {
    int32_t min_uv;
    int32_t max_uv;
};

constexpr Extremes kIec227Extremes[kIec227WaveformCount] = {
    {-531, 608},  {-415, 1038}, {-715, 515},   {-338, 708},  {-775, 750},
    {-1550, 1050}, {-388, 787}, {-1512, 662}, {-3025, 1325}, {-756, 606}};

constexpr Extremes kIec251Extremes[kIec251WaveformCount] = {
    {-500, 500},   {-1000, 1000}, {-1500, 1500}, {-2000, 2000},
    {-3000, 3000}, {-5000, 5000}, {-2000, 2000}, {0, 2000},
    {-200, 2000},  {0, 2000},     {-2000, 400},  {-2000, 400},
    {-2000, 400},  {-2000, 2000}, {-2000, 2000}, {-4000, 4000}};

constexpr Extremes kAne20000Extremes[kAne20000LeadCount] = {
    {-197, 831},   {-215, 1180}, {-39, 397},   {-1204, 316}, {-1929, 819},
    {-1201, 1004}, {-639, 1781}, {-333, 1821}, {-186, 1506}};

// Each ANE20000 lead has its largest value within these samples.
constexpr int kAne20000PeakFirstSample = 195;
constexpr int kAne20000PeakLastSample = 483;

}  // namespace orvo_tables
