#pragma once

#include "input/CInrushRecord.h"
#include "spec/CInrushSpec.h"

// Judges a measured inrush: the charge against the charge-per-volt limits at the
// supply voltage of the test (pass, waived, fail), the capture against the window it
// must cover after the inrush starts, and the supply voltage against its window. The
// overall verdict is the worst of the three.
class CTestInrush {
public:
    CInrushRecord TestInrush(CInrushRecord record, const CInrushSpec& spec) const;
};
