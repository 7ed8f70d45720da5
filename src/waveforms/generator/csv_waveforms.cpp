// Reads the published waveforms from CSV files: one file per waveform or lead
// (IEC227W_<k>.csv, IEC251W_<k>.csv, ANE20000_<k>.csv), one sample in µV per
// line. Blank lines and lines starting with '#' are skipped; a decimal value
// is rounded to the nearest µV.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "table_data.h"
#include "waveforms/table_layout.h"

namespace {

bool IsBlankOrComment(const std::string& line) {
    const size_t first = line.find_first_not_of(" \t\r");
    return first == std::string::npos || line[first] == '#';
}

bool ParseMicrovolts(const std::string& line, int32_t& value) {
    const char* begin = line.c_str();
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE || !std::isfinite(parsed)) return false;
    while (*end == ' ' || *end == '\t' || *end == '\r') ++end;
    if (*end != '\0' && *end != ',') return false;  // a trailing comma is allowed
    if (std::fabs(parsed) > 2.0e9) return false;
    value = static_cast<int32_t>(std::lround(parsed));
    return true;
}

bool ReadWaveformFile(const std::string& path, Waveform& out, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = path + ": cannot be opened";
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (IsBlankOrComment(line)) continue;
        int32_t value = 0;
        if (!ParseMicrovolts(line, value)) {
            std::ostringstream message;
            message << path << ":" << number << ": not a sample value in µV: \"" << line << "\"";
            error = message.str();
            return false;
        }
        out.push_back(value);
    }
    return true;
}

bool ReadTable(const std::string& directory, const char* name, int count, std::vector<Waveform>& out,
               std::string& error) {
    for (int k = 0; k < count; ++k) {
        Waveform waveform;
        const std::string path = directory + "/" + name + "_" + std::to_string(k) + ".csv";
        if (!ReadWaveformFile(path, waveform, error)) return false;
        out.push_back(std::move(waveform));
    }
    return true;
}

}  // namespace

bool ReadTablesFromCsv(const std::string& directory, TableData& out, std::string& error) {
    return ReadTable(directory, "IEC227W", orvo_tables::kIec227WaveformCount, out.iec227, error) &&
           ReadTable(directory, "IEC251W", orvo_tables::kIec251WaveformCount, out.iec251, error) &&
           ReadTable(directory, "ANE20000", orvo_tables::kAne20000LeadCount, out.ane20000, error);
}
