#pragma once

#include <cstdint>

// One differential zero crossing of a packet: where D+ and D- swap sides.
struct CCrossing {
    int32_t m_nIndex = 0;   // last sample before the crossing
    double m_dVolts = 0.0;  // crossover voltage (single-ended captures only)
    double m_dTime = 0.0;   // s
};
