// The three recorded-waveform tables as the generator holds them: one vector
// of µV samples per waveform or lead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Waveform = std::vector<int32_t>;

struct TableData {
    std::vector<Waveform> iec227;    // used samples only, without the zero tail
    std::vector<Waveform> iec251;
    std::vector<Waveform> ane20000;
};

// Stand-in signals with the layout, lengths and extremes of the published data.
TableData BuildStandInTables();

// Reads the published data from CSV files in directory (format in
// docs/standard-waveforms.md). On failure returns false with a message.
bool ReadTablesFromCsv(const std::string& directory, TableData& out, std::string& error);

// Checks lengths (errors) and telling values (warnings, one line each).
bool CheckShape(const TableData& data, std::string& error);
std::vector<std::string> TellingValueMismatches(const TableData& data);

// Writes the C++ source that defines IEC227W, IEC251W and ANE20000.
bool WriteTableSource(const TableData& data, const std::string& origin, const std::string& path,
                      std::string& error);
