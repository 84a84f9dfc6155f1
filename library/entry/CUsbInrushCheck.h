#pragma once

#include <string>

// Takes one supply-current capture from file to report: finds the inrush at
// attach, integrates its charge and judges it against the charge-per-volt limit.
// Plot, report and summary are put in place together, or none of them is.
class CUsbInrushCheck {
public:
    void Run(std::string dataFile, double voltage, unsigned mode);

    // The batch summary file that the first run of a batch chose.
    std::string SummaryFileName;
};
