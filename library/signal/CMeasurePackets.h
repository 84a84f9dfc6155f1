#pragma once

#include <string>
#include <vector>

#include "common/CSampleTimes.h"
#include "signal/CAnalysisRecord.h"
#include "signal/CPacketEntry.h"
#include "signal/CPacketMeasurement.h"
#include "spec/CSigConfig.h"
#include "spec/CSigSpec.h"

// Measures the first complete packet of a capture: its differential crossings
// give the signalling rate, crossover voltages and jitter against an ideal bit
// grid; its EOP, SYNC field and edge rates are measured as well, so every figure
// the compliance verdict needs comes from one packet.
class CMeasurePackets {
public:
    // Appends at most one measurement; a capture without a complete packet comes
    // back unchanged.
    CAnalysisRecord Run(CAnalysisRecord record, const CSigConfig& config,
                        const CSigSpec& spec) const;

    // D+ and D- are empty for a differential (high-speed) capture. `dataFile` names
    // the capture when it is refused as too coarse for its edges.
    CPacketMeasurement MeasurePacket(const CPacketEntry& packet, const CSigConfig& config,
                                     const CSigSpec& spec, const CSampleTimes& time,
                                     const std::vector<double>& diff,
                                     const std::vector<double>& dMinus,
                                     const std::vector<double>& dPlus,
                                     const std::string& dataFile) const;
};
