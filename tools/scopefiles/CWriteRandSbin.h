#pragma once

#include <string>
#include <vector>

// Writes a Rohde & Schwarz float32 export: the samples to `dataPath`
// (X.Wfm.bin) and the XML description to X.bin beside it. A second trace makes
// it a two-channel export, channels interleaved sample by sample.
class CWriteRandSbin {
public:
    void Write(const std::string& dataPath, double origin, double interval,
               const std::vector<double>& first, const std::vector<double>& second = {}) const;
};
