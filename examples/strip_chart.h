// Draws played samples like a strip of ECG paper: 25 mm/s, 10 mm/mV, a fine
// 1 mm grid and a bold 5 mm grid.
#pragma once

#include <string>
#include <vector>

struct StripTrace {
    std::string label;
    std::vector<double> millivolts;  // one value per sample
    double millimetresPerMillivolt = 10.0;
};

// Writes an SVG picture of the traces, stacked, sampleRate samples per second.
bool WriteStripChartSvg(const std::string& path, const std::vector<StripTrace>& traces, double sampleRate,
                        const std::string& title);
