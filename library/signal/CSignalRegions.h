#pragma once

#include <vector>

#include "common/CSampleTimes.h"
#include "signal/CSymbolRun.h"
#include "spec/CSigConfig.h"
#include "spec/CSigSpec.h"

// Divides a differential trace into line-state runs (J, K and the level between
// the receiver thresholds) with edge times interpolated to the threshold crossing,
// then names the EOPs, the idle after each EOP and the idle before the first SYNC.
class CSignalRegions {
public:
    // `commonMode` is empty for a differential capture; for a D+/D- pair a low
    // common mode (SE0) raises the threshold so an EOP is never read as J or K.
    std::vector<CSymbolRun> FindRegions(const CSampleTimes& time, const std::vector<double>& diff,
                                        const CSigConfig& config, const CSigSpec& spec,
                                        const std::vector<double>& commonMode) const;

    // What a run is called on the packet plot: "EOP", "idle", its J or K letter once
    // per whole bit, or nothing.
    static std::string Label(const CSymbolRun& run, const CSigConfig& config);
};
