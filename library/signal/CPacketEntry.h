#pragma once

#include <cstdint>
#include <vector>

#include "signal/CSymbolRun.h"

// One packet's line-state runs, from the run after the idle before it to its EOP.
struct CPacketEntry {
    std::vector<CSymbolRun> m_Symbols;
    int32_t m_nInfo = 0;    // number of runs
    int32_t m_nStatus = 0;  // 0 complete; 1 cut off by the capture or too short
};
