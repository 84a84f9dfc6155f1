#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/CSampleTimes.h"

// Reads one LeCroy .trc waveform file (templates LECROY_1_0 and LECROY_2_x,
// low byte first) into the time axis and its trace. A sequence file holds one
// segment per trigger; the first segment is read, timed from its own trigger.
class CReadLecroyTrc {
public:
    // Returns 2: one trace in `first`; `second` is emptied.
    int32_t Read(const std::string& path, CSampleTimes& time, std::vector<double>& first,
                 std::vector<double>& second);
};
