#pragma once

#include "input/CInrushRecord.h"
#include "report/CResultRecord.h"
#include "spec/CInrushSpec.h"

// Gathers an inrush analysis into its checks: charge per volt against the
// capacitance limits, the window the capture followed, and the supply voltage.
class CInrushResults {
public:
    CResultRecord Build(const CInrushRecord& record, const CInrushSpec& spec) const;
};
