#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/CSampleTimes.h"

// Reads one Keysight or Agilent .bin waveform file into the time axis and its
// trace(s). The file is a chain of waveforms, each a header and one or more
// data buffers; only analog voltage buffers become traces, so a digital or
// logic channel saved beside CH1 never poses as D-.
class CReadKeysightBin {
public:
    // Returns 2 for one trace (in `first`) or 3 for two (in `first` and `second`).
    int32_t Read(const std::string& path, CSampleTimes& time, std::vector<double>& first,
                 std::vector<double>& second);
};
