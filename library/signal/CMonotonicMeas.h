#pragma once

#include <vector>

#include "common/CSampleTimes.h"
#include "signal/CPacketEntry.h"
#include "spec/CSigSpec.h"

// The reversals found on a packet's edges: how far each edge went back (V), when (s),
// and the deepest of them (0.0 when the edges are monotonic).
struct MonotonicResult {
    std::vector<double> m_Excursions;
    std::vector<double> m_Times;
    double m_dMonotonic = 0.0;
};

// Checks that every edge of a packet moves steadily through the voltage band of the
// eye's inner polygon. A rising edge that falls back before rising on (or a falling edge
// that rises back) inside the band is a reversal; its depth is what a receiver sampling
// there could misread. Ringing beyond the band, and a ring back to the old level, belong
// to the settling of the line and are not counted.
class CMonotonicMeas {
public:
    // High speed (empty `dMinus`) walks the differential trace from the packet's first run
    // to the EOP start. Full and low speed walk D+ and D- from the packet's first run to
    // half the longest bit time after the EOP end, so that the EOP's return to idle counts.
    MonotonicResult MeasureMonotonic(const CSampleTimes& time, const std::vector<double>& diff,
                                     const CSigSpec& limits, double eopStart, double eopEnd,
                                     const std::vector<double>& dMinus,
                                     const std::vector<double>& dPlus,
                                     const CPacketEntry& packet) const;
};
