#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads one Rohde & Schwarz .Wfm.bin waveform with its XML description into the time axis and its trace(s).
class CReadRandSbin {
public:
    // Returns 2 for one trace (in `first`) or 3 for two (in `first` and `second`).
    int32_t Read(const std::string& path, std::vector<double>& time, std::vector<double>& first,
                 std::vector<double>& second);
};
