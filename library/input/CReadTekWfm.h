#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/CSampleTimes.h"

// Reads one Tektronix .wfm waveform file (WFM#001 to #003, Intel byte order)
// into the time axis and its trace. A FastFrame file holds one record per
// trigger; the first frame is read, on its own time axis.
class CReadTekWfm {
public:
    // Returns 2: one trace in `first`; `second` is emptied.
    int32_t Read(const std::string& path, CSampleTimes& time, std::vector<double>& first,
                 std::vector<double>& second);
};
