// Shape and telling-value checks of the table data before they are written.
#include <algorithm>
#include <functional>
#include <sstream>

#include "table_data.h"
#include "waveforms/table_layout.h"

namespace {

using orvo_tables::Extremes;

bool CheckLengths(const std::vector<Waveform>& table, const char* name, size_t count,
                  const std::function<size_t(size_t)>& expected, std::string& error) {
    std::ostringstream message;
    if (table.size() != count) {
        message << name << ": " << table.size() << " waveforms, expected " << count;
        error = message.str();
        return false;
    }
    for (size_t k = 0; k < count; ++k) {
        if (table[k].size() != expected(k)) {
            message << name << " waveform " << k << ": " << table[k].size() << " samples, expected "
                    << expected(k);
            error = message.str();
            return false;
        }
    }
    return true;
}

void CompareExtremes(const std::vector<Waveform>& table, const char* name, const Extremes* expected,
                     std::vector<std::string>& out) {
    for (size_t k = 0; k < table.size(); ++k) {
        const Waveform& w = table[k];
        if (w.empty()) continue;
        const auto [low, high] = std::minmax_element(w.begin(), w.end());
        std::ostringstream message;
        if (*low != expected[k].min_uv || *high != expected[k].max_uv) {
            message << name << " " << k << ": min/max " << *low << "/" << *high << " uV, expected "
                    << expected[k].min_uv << "/" << expected[k].max_uv;
        } else if (w.front() != 0) {
            message << name << " " << k << ": starts at " << w.front() << " uV, expected 0";
        }
        if (!message.str().empty()) out.push_back(message.str());
    }
}

}  // namespace

bool CheckShape(const TableData& data, std::string& error) {
    using namespace orvo_tables;
    return CheckLengths(data.iec227, "IEC227W", kIec227WaveformCount,
                        [](size_t k) { return static_cast<size_t>(kIec227UsedSamples[k]); }, error) &&
           CheckLengths(data.iec251, "IEC251W", kIec251WaveformCount,
                        [](size_t) { return static_cast<size_t>(kIec251Samples); }, error) &&
           CheckLengths(data.ane20000, "ANE20000", kAne20000LeadCount,
                        [](size_t) { return static_cast<size_t>(kAne20000Samples); }, error);
}

std::vector<std::string> TellingValueMismatches(const TableData& data) {
    using namespace orvo_tables;
    std::vector<std::string> out;
    CompareExtremes(data.iec227, "IEC227W", kIec227Extremes, out);
    CompareExtremes(data.iec251, "IEC251W", kIec251Extremes, out);
    CompareExtremes(data.ane20000, "ANE20000", kAne20000Extremes, out);
    for (size_t k = 0; k < data.ane20000.size(); ++k) {
        const Waveform& w = data.ane20000[k];
        if (w.empty()) continue;
        const auto peak = std::max_element(w.begin(), w.end()) - w.begin();
        if (peak < kAne20000PeakFirstSample || peak > kAne20000PeakLastSample) {
            out.push_back("ANE20000 " + std::to_string(k) + ": largest value at sample " + std::to_string(peak));
        }
    }
    return out;
}
