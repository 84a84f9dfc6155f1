#pragma once

#include <string>

#include "signal/CAnalysisRecord.h"
#include "spec/CSigConfig.h"
#include "spec/CSigSpec.h"

// Reads a signal capture and makes it ready for measurement: checks the sample
// rate and trace kind against the test's speed, orients D+/D-, up-samples coarse
// captures, and cuts the line-state runs into packets.
class CSignalData {
public:
    CAnalysisRecord Load(const std::string& dataFile, const CSigConfig& config,
                         const CSigSpec& spec, const std::string& secondFile) const;

    // The same preparation for a capture already in memory. `raw` holds the trace
    // kind, the time axis and either the differential trace in `m_Diff` (kind 2) or
    // the reader's first trace in `m_DMinus` and second trace in `m_DPlus` (kind 3);
    // the vectors are moved through, never copied.
    CAnalysisRecord Prepare(CAnalysisRecord raw, const CSigConfig& config,
                            const CSigSpec& spec) const;
};
