#pragma once

#include <cstdint>

// Placeholder until the signal configuration lands.
struct CSigConfig {
    int32_t m_nLowSpeed = 1;
    int32_t m_nFullSpeed = 2;
    int32_t m_nHighSpeed = 3;
};
