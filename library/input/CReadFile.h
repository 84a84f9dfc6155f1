#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/CSampleTimes.h"

// Turns one waveform file, or a D+/D- pair of files, into sample vectors: the
// time axis and either one differential trace or two single-ended traces. The
// reader comes from a table of formats, chosen by the file's ending and content.
class CReadFile {
public:
    // Returns the trace kind: 2 one (differential) trace in `diff`; 3 a pair in
    // `first` and `second`. With `secondFile` given, `second` holds the trace of
    // `dataFile` and `first` that of `secondFile`. `inrushOnly`: a supply-current
    // capture, one trace of amperes.
    int32_t ReadWaveform(const std::string& dataFile, CSampleTimes& time, std::vector<double>& diff,
                         std::vector<double>& first, std::vector<double>& second,
                         const std::string& secondFile, bool inrushOnly) const;

    // The file ending whose reader reads `path` ("csv", "tsv", "wfm.bin", "bin", "wfm",
    // "trc"), lower case; empty when no reader takes its name.
    static std::string FormatOf(const std::string& path);
};
