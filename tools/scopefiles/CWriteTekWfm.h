#pragma once

#include <string>
#include <vector>

// Writes a Tektronix WFM#003 file of one int16 record (no FastFrames, no
// precharge), its vertical step chosen to fit the largest sample.
class CWriteTekWfm {
public:
    void Write(const std::string& path, double origin, double interval,
               const std::vector<double>& volts) const;
};
