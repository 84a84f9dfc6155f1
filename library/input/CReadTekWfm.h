#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads one Tektronix .wfm waveform file into the time axis and its trace(s).
class CReadTekWfm {
public:
    // Returns 2 for one trace (in `first`) or 3 for two (in `first` and `second`).
    int32_t Read(const std::string& path, std::vector<double>& time, std::vector<double>& first,
                 std::vector<double>& second);
};
