#pragma once

#include <string>

#include "input/CInrushRecord.h"
#include "spec/CInrushSpec.h"

// Reads a supply-current capture taken at attach and starts the inrush record: the
// current trace, where it first reaches the inrush threshold, and the sample rate,
// flagged when too coarse to follow the inrush edge.
class CInrushData {
public:
    CInrushRecord Load(const CInrushSpec& spec, const std::string& dataFile, double voltage) const;
};
