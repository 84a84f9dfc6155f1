#pragma once

#include "input/CInrushRecord.h"
#include "spec/CInrushSpec.h"

// Finds the inrush regions of a supply-current capture, the stretches where the
// current at attach stands above the inrush threshold (a dip shorter than 100 µs does
// not end one), and integrates the charge above the threshold in each. The event is
// followed for one window from its first rise; the largest region charge is the
// inrush charge.
class CMeasInrush {
public:
    CInrushRecord MeasureInrush(CInrushRecord record, const CInrushSpec& spec) const;
};
