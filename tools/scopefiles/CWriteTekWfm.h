#pragma once

#include <string>
#include <vector>

// Writes a Tektronix WFM#003 file of one int16 record (no FastFrames, no
// precharge), its vertical step chosen to fit the largest sample.
class CWriteTekWfm {
public:
    // `step` volts per code around `centre`; a step of 0 fits the largest sample.
    void Write(const std::string& path, double origin, double interval,
               const std::vector<double>& volts, double step = 0.0, double centre = 0.0) const;
};
