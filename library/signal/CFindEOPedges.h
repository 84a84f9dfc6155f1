#pragma once

#include <vector>

#include "common/CSampleTimes.h"
#include "signal/CSymbolRun.h"
#include "spec/CSigConfig.h"
#include "spec/CSigSpec.h"

// The two edges of an end-of-packet, in seconds.
struct EopEdges {
    double m_dStart = 0.0;  // bus leaves the last data state and enters SE0
    double m_dEnd = 0.0;    // bus leaves SE0 for idle
};

// Finds where the bus leaves its last data state and enters SE0, and where it
// returns to idle: the two edges of the end-of-packet that the EOP width is judged on.
class CFindEOPedges {
public:
    // Full and low speed: the edges are threshold crossings of the single-ended
    // lines. `idleHigh` is the line that is high in idle J (D+ at full speed, D- at
    // low speed); after an EOP the bus returns to J, so the trailing edge is always
    // taken on it.
    EopEdges FindEopEdges(const std::vector<CSymbolRun>& runs, const CSigConfig& config,
                          const CSampleTimes& time, const std::vector<double>& idleHigh,
                          const std::vector<double>& other, double threshold) const;

    // High speed: the EOP is a run of J or K, so its run boundaries are its edges.
    // `level` receives the differential threshold the EOP was entered through:
    // negative when the last data state was J.
    EopEdges FindEopEdgesDiff(double& level, const std::vector<CSymbolRun>& runs,
                              const CSigConfig& config, const CSigSpec& spec) const;
};
