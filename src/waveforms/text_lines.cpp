#include "waveforms/text_lines.h"

#include <stdio.h>  // getline

#include <climits>
#include <cmath>
#include <cstdlib>

TextLineReader::~TextLineReader() { std::free(m_line); }

const char* TextLineReader::Next() {
    return getline(&m_line, &m_capacity, m_file) < 0 ? nullptr : m_line;
}

// A rate of 0 means a missing number; a negative or non-finite one would make
// the player index outside the recording, so it is refused the same way.
bool ReadRateLine(TextLineReader& reader, double& rate) {
    const char* line = reader.Next();
    if (line == nullptr) return false;
    rate = std::atof(line);
    return rate > 0.0 && std::isfinite(rate);
}

// A count or channel number of 0 means a missing number; a negative one is
// refused the same way.
bool ReadPositiveIntLine(TextLineReader& reader, int& value) {
    const char* line = reader.Next();
    if (line == nullptr) return false;
    // atoi, saturated instead of overflowing.
    const long parsed = std::strtol(line, nullptr, 10);
    if (parsed > INT_MAX) {
        value = INT_MAX;
    } else if (parsed < INT_MIN) {
        value = INT_MIN;
    } else {
        value = static_cast<int>(parsed);
    }
    return value > 0;
}
