#pragma once

#include <string>

#include "input/CInrushRecord.h"
#include "common/CPendingOutputs.h"
#include "report/CResultRecord.h"
#include "spec/CInrushSpec.h"

// Writes the inrush report of one attach beside its current capture: the overall
// verdict, the charge drawn and its limit, the supply and capture-window verdicts,
// every inrush region, the current plot, and how the analysis was done. Names taken
// from the user's files are escaped; the page is handed to the run's pending
// outputs, which put it in place with the plot.
class CInrushReport {
public:
    // Throws CAnalysisError "Failed to open report file" when no file can be created
    // beside the capture, and "Failed to write report file <name>" when writing fails.
    // `result` gives the limits table.
    void WriteReport(const CInrushRecord& record, const CInrushSpec& spec,
                     CPendingOutputs& outputs, const CResultRecord& result) const;
};
