#pragma once

#include <cstdint>

// Placeholder until the test-type tables land.
struct CSigSpec {
    int32_t m_nTestId = 0;
    int32_t m_nSpeed = 0;
    int32_t m_bHubTest = 0;
    double m_dSampleRateRef = 0.0;
};
