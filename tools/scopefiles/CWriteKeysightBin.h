#pragma once

#include <string>
#include <vector>

// Writes a Keysight .bin file ("AG10") of one or two float32 waveforms, the
// second (when given) as CH2 on the same time base.
class CWriteKeysightBin {
public:
    void Write(const std::string& path, double origin, double interval,
               const std::vector<double>& first, const std::vector<double>& second = {}) const;
};
