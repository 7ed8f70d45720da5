// Big-endian fields of device packets.
#pragma once

#include <cstdint>

#include "orvo_sim.h"
#include "protocol.h"

namespace orvo::sim {

inline uint16_t getU16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

inline void putU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v & 0xFF);
}

inline PlayedSample getSample(const uint8_t* p) {
    PlayedSample s;
    s.dc = getU16(p);
    s.main = int16_t(getU16(p + 2));
    return s;
}

inline PlayedSample zeroOutput() { return PlayedSample{protocol::kZeroDcCode, 0}; }

}  // namespace orvo::sim
