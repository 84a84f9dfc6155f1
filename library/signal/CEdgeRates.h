#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "common/CSampleTimes.h"
#include "spec/CSigSpec.h"

// Lowest, highest and mean rising rate, then lowest, highest and mean falling
// rate, in V/us.
using EdgeRateSet = std::array<double, 6>;

// Measures how fast the packet's edges move between the test's two eye levels:
// each complete transit of the band becomes a rate in V/us, and the rising and
// falling rates are summarised apart so their match can be judged.
class CEdgeRates {
public:
    // Walks from `firstSample` (the packet's first sample) up to `limitTime`, which
    // the caller sets half a unit interval before the EOP so the EOP's own edges do
    // not count. D+ and D- are empty for a differential (high-speed) capture.
    EdgeRateSet MeasureEdgeRates(const CSampleTimes& time, const std::vector<double>& diff,
                                 const CSigSpec& spec, const std::vector<double>& dPlus,
                                 const std::vector<double>& dMinus, double limitTime,
                                 std::size_t firstSample) const;
};
