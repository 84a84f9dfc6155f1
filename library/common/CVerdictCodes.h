#pragma once

#include <cstdint>

// The verdict of one measurement. The codes are not in the order of their meaning:
// compare against the fields, never against literals.
struct CVerdictCodes {
    int32_t m_nNotTested = 0;
    int32_t m_nPass = 1;
    int32_t m_nWaived = 2;
    int32_t m_nFail = 3;
    int32_t m_nCode8 = 8;
    int32_t m_nNoData = 4;
    int32_t m_nCode5 = 5;
    int32_t m_nCode6 = 6;
    int32_t m_nCode7 = 7;
};

inline constexpr CVerdictCodes kVerdictCodes{};
