#pragma once

#include <string>

#include "input/CInrushRecord.h"
#include "spec/CInrushSpec.h"

// Writes the inrush report of one attach beside its current capture: the overall
// verdict, the charge drawn and its limit, the supply and capture-window verdicts,
// every inrush region, the current plot, and how the analysis was done. Names taken
// from the user's files are escaped, and the page replaces an earlier report only
// once it is completely written.
class CInrushReport {
public:
    // Throws CAnalysisError "Failed to open report file" when no file can be created
    // beside the capture, and "Failed to write report file <name>" when writing fails
    // (the earlier report then stays as it was).
    void WriteReport(const CInrushRecord& record, const CInrushSpec& spec) const;
};
