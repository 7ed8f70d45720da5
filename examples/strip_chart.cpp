#include "strip_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kPixelsPerMm = 4.0;
constexpr double kMmPerSecond = 25.0;
constexpr double kTraceHeightMm = 40.0;
constexpr double kMarginMm = 10.0;
constexpr size_t kPointsPerSecond = 500;  // enough for a smooth line

void Grid(FILE* svg, double widthMm, double heightMm)
{
    for (int mm = 0; mm <= static_cast<int>(widthMm); ++mm) {
        const bool bold = mm % 5 == 0;
        std::fprintf(svg, "<line x1='%.1f' y1='0' x2='%.1f' y2='%.1f' stroke='%s' stroke-width='%s'/>\n",
                     mm * kPixelsPerMm, mm * kPixelsPerMm, heightMm * kPixelsPerMm, bold ? "#f19a9a" : "#fbd5d5",
                     bold ? "1" : "0.5");
    }
    for (int mm = 0; mm <= static_cast<int>(heightMm); ++mm) {
        const bool bold = mm % 5 == 0;
        std::fprintf(svg, "<line x1='0' y1='%.1f' x2='%.1f' y2='%.1f' stroke='%s' stroke-width='%s'/>\n",
                     mm * kPixelsPerMm, widthMm * kPixelsPerMm, mm * kPixelsPerMm, bold ? "#f19a9a" : "#fbd5d5",
                     bold ? "1" : "0.5");
    }
}

void Trace(FILE* svg, const StripTrace& trace, double sampleRate, double baselineMm)
{
    const size_t step = std::max<size_t>(1, static_cast<size_t>(sampleRate / kPointsPerSecond));
    std::fprintf(svg, "<polyline fill='none' stroke='#111' stroke-width='1.2' points='");
    for (size_t i = 0; i < trace.millivolts.size(); i += step) {
        // Keep the extreme of each step so narrow pulses stay visible.
        double value = trace.millivolts[i];
        for (size_t j = i; j < std::min(i + step, trace.millivolts.size()); ++j)
            if (std::fabs(trace.millivolts[j]) > std::fabs(value))
                value = trace.millivolts[j];
        const double xMm = kMarginMm + i / sampleRate * kMmPerSecond;
        const double yMm = baselineMm - value * trace.millimetresPerMillivolt;
        std::fprintf(svg, "%.1f,%.1f ", xMm * kPixelsPerMm, yMm * kPixelsPerMm);
    }
    std::fprintf(svg, "'/>\n");
    std::fprintf(svg, "<text x='%.1f' y='%.1f' font-family='sans-serif' font-size='12'>%s</text>\n",
                 2 * kPixelsPerMm, (baselineMm - kTraceHeightMm / 2 + 5) * kPixelsPerMm, trace.label.c_str());
}

}  // namespace

bool WriteStripChartSvg(const std::string& path, const std::vector<StripTrace>& traces, double sampleRate,
                        const std::string& title)
{
    size_t samples = 0;
    for (const auto& trace : traces)
        samples = std::max(samples, trace.millivolts.size());
    const double widthMm = 2 * kMarginMm + samples / sampleRate * kMmPerSecond;
    const double heightMm = kMarginMm + traces.size() * kTraceHeightMm;
    FILE* svg = std::fopen(path.c_str(), "w");
    if (svg == nullptr)
        return false;
    std::fprintf(svg, "<svg xmlns='http://www.w3.org/2000/svg' width='%.0f' height='%.0f'>\n",
                 widthMm * kPixelsPerMm, heightMm * kPixelsPerMm);
    std::fprintf(svg, "<rect width='100%%' height='100%%' fill='#fff7f7'/>\n");
    Grid(svg, widthMm, heightMm);
    std::fprintf(svg, "<text x='%.1f' y='%.1f' font-family='sans-serif' font-size='14'>%s</text>\n",
                 2 * kPixelsPerMm, 6 * kPixelsPerMm, title.c_str());
    for (size_t k = 0; k < traces.size(); ++k)
        Trace(svg, traces[k], sampleRate, kMarginMm + (k + 0.6) * kTraceHeightMm);
    std::fprintf(svg, "</svg>\n");
    return std::fclose(svg) == 0;
}
