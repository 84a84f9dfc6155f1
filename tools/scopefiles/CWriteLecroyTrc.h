#pragma once

#include <string>
#include <vector>

// Writes a LeCroy .trc file: the "#9" block header, a LECROY_2_3 wave
// descriptor and one int16 record, low byte first.
class CWriteLecroyTrc {
public:
    // `step` volts per code around `centre`; a step of 0 fits the largest sample.
    void Write(const std::string& path, double origin, double interval,
               const std::vector<double>& volts, double step = 0.0, double centre = 0.0) const;
};
