#pragma once

#include <cstdint>
#include <vector>

// Where one pass of the packet's unit intervals over an eye template broke the
// keep-out regions, and by how much the rest of the samples cleared them.
struct CEyeResult {
    // One entry per capture sample from `m_nFlagStart` on, over the unit intervals
    // checked: a packet in a long capture does not need a flag for every sample.
    int32_t m_nFlagStart = 0;
    std::vector<int32_t> m_Flags1;  // first trace violates
    std::vector<int32_t> m_Flags2;  // second trace (full/low speed)
    std::vector<double> m_AboveEye;
    std::vector<double> m_BelowEye;
    std::vector<double> m_BelowTop;
    std::vector<double> m_AboveBottom;
    std::vector<double> m_HighValues;
    std::vector<double> m_LowValues;
    std::vector<double> m_TopLeft;
    std::vector<double> m_BottomLeft;
    std::vector<double> m_CentreHigh;
    std::vector<double> m_CentreLow;
};
