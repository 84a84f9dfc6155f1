#pragma once

#include <string>

#include "report/CResultRecord.h"
#include "signal/CAnalysisRecord.h"
#include "spec/CSigSpec.h"

// Gathers the verdicts of the measured packet into the checks an engineer acts
// on: each figure in its display unit against the very windows it was judged in,
// so a margin read from the table is the margin the verdict had.
class CSignalResults {
public:
    // `testType` is the keyword the run was started with.
    CResultRecord Build(const CAnalysisRecord& record, const CSigSpec& spec,
                        const std::string& testType, bool isEusb) const;
};
