#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/CSampleTimes.h"

// One capture as a reader hands it over: the time axis and either one trace or the two
// single-ended traces of a pair. Moved from reader to caller, never copied: a trace may
// hold ten million samples.
struct CWaveform {
    CWaveform() = default;
    CWaveform(CWaveform&&) = default;
    CWaveform& operator=(CWaveform&&) = default;
    CWaveform(const CWaveform&) = delete;
    CWaveform& operator=(const CWaveform&) = delete;

    CSampleTimes m_Time;                          // s
    std::array<std::vector<double>, 2> m_Traces;  // V, or A for a supply current
    int32_t m_nKind = 0;                          // 2: one trace, in m_Traces[0]; 3: two traces
};
