#pragma once

#include <string>

#include "common/CPendingOutputs.h"

// The files a summary line lands in, shared by the signal and inrush summaries: a
// per-capture file replaced as a whole, and a numbered batch file that the batch's
// first capture creates and every later capture adds one whole line to. Both are
// handed to the run's pending outputs and put in place with the report.
class CSummaryFile {
public:
    // With `newFile` set, takes the next free "<stem>_NN.csv" beside `dataFile` for
    // `header` then `line`; otherwise the whole of `batchFile` with `line` added (an
    // empty name, left by a batch whose first capture failed, fails). Throws
    // CAnalysisError "<system error>: <file name>"; returns the file written to.
    static std::string Append(const std::string& dataFile, const std::string& stem, bool newFile,
                              const std::string& batchFile, const std::string& header,
                              const std::string& line, CPendingOutputs& outputs);

    // "<directory>/<stem>_00.csv", or the first of _01, _02, ... that names nothing
    // yet: an unreadable file or a dangling link still holds its name.
    static std::string BatchFileName(const std::string& directory, const std::string& stem);
};
