// Host program that writes the standard waveform tables as C++ source.
//   orvo_table_generator OUTPUT.cpp [DATA_DIR]
// Without DATA_DIR it writes the built-in stand-ins; with it, the published
// data read from the CSV files there (see docs/standard-waveforms.md).
#include <cstdio>
#include <string>

#include "table_data.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.cpp [DATA_DIR]\n", argv[0]);
        return 2;
    }
    const std::string output = argv[1];
    const bool fromCsv = argc == 3 && argv[2][0] != '\0';
    std::string error;
    TableData data;
    if (fromCsv) {
        if (!ReadTablesFromCsv(argv[2], data, error)) {
            std::fprintf(stderr, "orvo_table_generator: %s\n", error.c_str());
            return 1;
        }
    } else {
        data = BuildStandInTables();
    }
    if (!CheckShape(data, error)) {
        std::fprintf(stderr, "orvo_table_generator: %s\n", error.c_str());
        return 1;
    }
    // Published data are taken as they are, with a note; the stand-ins must
    // match exactly.
    const auto mismatches = TellingValueMismatches(data);
    for (const std::string& mismatch : mismatches) {
        std::fprintf(stderr, "orvo_table_generator: %s: %s\n", fromCsv ? "warning" : "error", mismatch.c_str());
    }
    if (!fromCsv && !mismatches.empty()) return 1;
    const std::string origin = fromCsv ? std::string("the CSV files in ") + argv[2] : "the built-in stand-ins";
    if (!WriteTableSource(data, origin, output, error)) {
        std::fprintf(stderr, "orvo_table_generator: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
