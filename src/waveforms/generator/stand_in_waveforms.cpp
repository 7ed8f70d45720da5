// Stand-in data for the recorded standard waveforms. The published sample
// values are not part of this repository; these signals keep every binding
// fact (lengths, units, rates, start at 0, smallest and largest sample, the
// ANE20000 peak positions) and otherwise look like what they replace: ECG
// beats for the recorded ECGs, calibration shapes for IEC 60601-2-51.
#include <cmath>
#include <cstdlib>
#include <functional>

#include "table_data.h"
#include "waveforms/table_layout.h"

namespace {

using orvo_tables::Extremes;

constexpr double kPi = 3.14159265358979323846;

// A normalised value in -1..1 becomes µV: positive values scale to the
// waveform's maximum, negative ones to its minimum, so +1 and -1 land on the
// extremes exactly and nothing else can pass them.
int32_t ToMicrovolts(double normalised, const Extremes& extremes) {
    const double scale = normalised >= 0.0 ? extremes.max_uv : -static_cast<double>(extremes.min_uv);
    return static_cast<int32_t>(std::lround(normalised * scale));
}

// Sample positions of one beat, relative to its start.
struct BeatLayout {
    int p_start, p_end;            // P wave (half sine)
    int q_start, q_peak;           // small Q dip
    int r_peak, s_trough, s_end;   // R peak (+1), S trough (-1)
    int t_start, t_end;            // T wave (half sine)
};

constexpr double kPWaveHeight = 0.12;
constexpr double kQWaveDepth = 0.1;
constexpr double kTWaveHeight = 0.3;

double Ramp(int i, int from, int to, double a, double b) {
    return a + (b - a) * (i - from) / static_cast<double>(to - from);
}

double HalfSine(int i, int from, int to, double height) {
    return height * std::sin(kPi * (i - from) / static_cast<double>(to - from));
}

// Normalised beat value at sample i of the beat; R is exactly +1, S exactly -1.
double BeatValue(int i, const BeatLayout& b) {
    if (i >= b.p_start && i < b.p_end) return HalfSine(i, b.p_start, b.p_end, kPWaveHeight);
    if (i >= b.q_start && i < b.q_peak) return Ramp(i, b.q_start, b.q_peak, 0.0, -kQWaveDepth);
    if (i >= b.q_peak && i < b.r_peak) return Ramp(i, b.q_peak, b.r_peak, -kQWaveDepth, 1.0);
    if (i >= b.r_peak && i < b.s_trough) return Ramp(i, b.r_peak, b.s_trough, 1.0, -1.0);
    if (i >= b.s_trough && i < b.s_end) return Ramp(i, b.s_trough, b.s_end, -1.0, 0.0);
    if (i >= b.t_start && i < b.t_end) return HalfSine(i, b.t_start, b.t_end, kTWaveHeight);
    return 0.0;
}

// Layout from milliseconds at the given rate.
BeatLayout LayoutAt(int rate, const int (&ms)[9]) {
    BeatLayout b{};
    int* fields[9] = {&b.p_start, &b.p_end, &b.q_start, &b.q_peak, &b.r_peak,
                      &b.s_trough, &b.s_end, &b.t_start, &b.t_end};
    for (int k = 0; k < 9; ++k) *fields[k] = static_cast<int>(std::lround(ms[k] * rate / 1000.0));
    return b;
}

// Leads and recordings whose negative swing dominates are drawn inverted
// (QS-like complex, negative P and T), as such leads look in practice.
double Polarity(const Extremes& extremes) {
    return -extremes.min_uv > extremes.max_uv ? -1.0 : 1.0;
}

// A recorded ECG at a steady rate with a slow, slight RR variation.
Waveform RecordedEcg(int samples, const Extremes& extremes, double beatsPerMinute) {
    // P, Q, R, S and T positions in ms; the complex fits the shortest RR used.
    static const int kBeatMs[9] = {20, 100, 130, 140, 160, 190, 210, 250, 370};
    const int rate = orvo_tables::kIec227SampleRate;
    const BeatLayout layout = LayoutAt(rate, kBeatMs);
    const double polarity = Polarity(extremes);
    const double meanRr = 60.0 * rate / beatsPerMinute;
    Waveform out(static_cast<size_t>(samples), 0);
    int beatStart = 0;
    for (int beat = 0; beatStart < samples; ++beat) {
        const int rr = static_cast<int>(std::lround(meanRr * (1.0 + 0.03 * std::sin(beat * 0.4))));
        for (int i = 0; i < rr && beatStart + i < samples; ++i) {
            out[static_cast<size_t>(beatStart + i)] = ToMicrovolts(polarity * BeatValue(i, layout), extremes);
        }
        beatStart += rr;
    }
    return out;
}

// One ANE20000 lead: a single beat in one second, R (or the S of an
// inverted lead) between samples 195 and 483.
Waveform Ane20000Lead(const Extremes& extremes) {
    static const int kBeatMs[9] = {100, 190, 260, 275, 300, 330, 350, 480, 700};
    const BeatLayout layout = LayoutAt(orvo_tables::kAne20000SampleRate, kBeatMs);
    const double polarity = Polarity(extremes);
    Waveform out(orvo_tables::kAne20000Samples, 0);
    for (int i = 0; i < orvo_tables::kAne20000Samples; ++i) {
        out[static_cast<size_t>(i)] = ToMicrovolts(polarity * BeatValue(i, layout), extremes);
    }
    return out;
}

// --- calibration shapes, normalised, i in samples at 1000/s -----------------

double Sine(int i, double hz) { return std::sin(2.0 * kPi * hz * i / 1000.0); }

// Starts at 0 rising; +1 at a quarter period, -1 at three quarters.
double Triangle(int i, int periodSamples) {
    const double p = (i % periodSamples) / static_cast<double>(periodSamples);
    if (p < 0.25) return 4.0 * p;
    if (p < 0.75) return 2.0 - 4.0 * p;
    return 4.0 * p - 4.0;
}

double Window(int i, int from, int to, double inside) { return i >= from && i < to ? inside : 0.0; }

double TrianglePulse(int i, int centre, int halfWidth, double peak) {
    const int d = std::abs(i - centre);
    return d < halfWidth ? peak * (1.0 - d / static_cast<double>(halfWidth)) : 0.0;
}

// A QRS-like negative spike of the given half width and a positive T.
double SpikeWithT(int i, int halfWidth) {
    return TrianglePulse(i, 200, halfWidth, -1.0) + (i >= 400 && i < 600 ? HalfSine(i, 400, 600, 1.0) : 0.0);
}

const std::function<double(int)> kIec251Shapes[orvo_tables::kIec251WaveformCount] = {
    [](int i) { return Sine(i, 10.0); },
    [](int i) { return Triangle(i, 500); },
    [](int i) { return Sine(i, 1.0); },
    // Rectangle: baseline, then a 2 Hz square wave.
    [](int i) { return i < 100 ? 0.0 : (((i - 100) / 250) % 2 == 0 ? 1.0 : -1.0); },
    [](int i) { return Sine(i, 5.0); },
    [](int i) { return Sine(i, 50.0); },
    [](int i) { return Triangle(i, 100); },
    [](int i) { return Window(i, 200, 300, 1.0); },
    // Rectangular pulse followed by a decaying undershoot.
    [](int i) { return i < 100 ? 0.0 : i < 300 ? 1.0 : -std::exp(-(i - 300) / 100.0); },
    [](int i) { return TrianglePulse(i, 250, 50, 1.0); },
    [](int i) { return SpikeWithT(i, 10); },
    [](int i) { return SpikeWithT(i, 20); },
    [](int i) { return SpikeWithT(i, 50); },
    // Staircase 0, +1/2, +1, +1/2, 0, -1/2, -1, -1/2 in 125 ms steps.
    [](int i) { static const double kSteps[8] = {0, 0.5, 1, 0.5, 0, -0.5, -1, -0.5}; return kSteps[i / 125]; },
    // Sine burst in the middle of the second.
    [](int i) { return i >= 250 && i < 750 ? Sine(i - 250, 10.0) : 0.0; },
    [](int i) { return Triangle(i, 1000); },
};

}  // namespace

TableData BuildStandInTables() {
    static const double kIec227BeatsPerMinute[orvo_tables::kIec227WaveformCount] = {
        60, 80, 120, 40, 75, 100, 150, 50, 90, 70};
    TableData data;
    for (int k = 0; k < orvo_tables::kIec227WaveformCount; ++k) {
        data.iec227.push_back(RecordedEcg(orvo_tables::kIec227UsedSamples[k], orvo_tables::kIec227Extremes[k],
                                          kIec227BeatsPerMinute[k]));
    }
    for (int k = 0; k < orvo_tables::kIec251WaveformCount; ++k) {
        Waveform waveform(orvo_tables::kIec251Samples);
        for (int i = 0; i < orvo_tables::kIec251Samples; ++i) {
            waveform[static_cast<size_t>(i)] = ToMicrovolts(kIec251Shapes[k](i), orvo_tables::kIec251Extremes[k]);
        }
        data.iec251.push_back(waveform);
    }
    for (int k = 0; k < orvo_tables::kAne20000LeadCount; ++k) {
        data.ane20000.push_back(Ane20000Lead(orvo_tables::kAne20000Extremes[k]));
    }
    return data;
}
