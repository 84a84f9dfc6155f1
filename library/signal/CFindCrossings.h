#pragma once

#include <cstdint>
#include <vector>

#include "common/CSampleTimes.h"
#include "signal/CCrossing.h"
#include "signal/CSymbolRun.h"
#include "spec/CSigConfig.h"

// Finds a packet's J/K transitions: the differential zero crossing inside each run of
// the between-levels state, which every real edge passes through on its way across.
class CFindCrossings {
public:
    // The transitions after the packet's first (which leaves idle, not a bit of defined
    // length), without glitches under half of `bitTime` (s) after the one before. On a
    // single-ended pair (`dMinus` and `dPlus` not empty) each carries the voltage where
    // the lines meet. `allEdgesFound` becomes 0 when a J/K step jumped the band within
    // one sample, so that the capture is too coarse to time it, and 1 otherwise.
    std::vector<CCrossing> FindCrossings(int32_t& allEdgesFound,
                                         const std::vector<CSymbolRun>& runs,
                                         const CSigConfig& config, double bitTime,
                                         const CSampleTimes& time, const std::vector<double>& diff,
                                         const std::vector<double>& dMinus,
                                         const std::vector<double>& dPlus) const;
};
