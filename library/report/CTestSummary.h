#pragma once

#include <cstdint>
#include <string>

#include "signal/CAnalysisRecord.h"
#include "common/CPendingOutputs.h"
#include "report/CToolboxGlobals.h"
#include "spec/CSigConfig.h"
#include "spec/CSigSpec.h"

// Leaves the figures of the first measured packet as a comma-separated line for
// collection in a spreadsheet: a small per-file summary beside the capture, or one
// line per capture in a numbered batch file that the batch's first run starts.
// Single-ended tests add the crossover columns; hub, repeater and eUSB2 runs add
// the hub count and the SYNC bits the hubs dropped.
class CTestSummary {
public:
    // "<data file name without extension>_sum.csv" beside the data file, replaced
    // as a whole: the header, then this capture's line without a line end.
    // Throws CAnalysisError "<system error>: <file name>" when it cannot be written,
    // std::out_of_range when the record holds no measurement or no verdict.
    void WriteFileSummary(const CAnalysisRecord& record, const CToolboxRecord& toolbox,
                          const CSigConfig& config, const CSigSpec& spec, bool isEusb,
                          CPendingOutputs& outputs) const;

    // With `newFile` set, starts the next free "<stem>_NN.csv" beside the data file
    // with the header; otherwise adds to `batchFile`. Every line ends with a line
    // end and the batch is replaced whole. Returns the file written to.
    std::string WriteBatchSummary(const CAnalysisRecord& record, const CToolboxRecord& toolbox,
                                  const CSigConfig& config, const CSigSpec& spec, bool newFile,
                                  const std::string& batchFile, bool isEusb,
                                  CPendingOutputs& outputs) const;

    static std::string HeaderLine(const CSigConfig& config, int32_t displayCode, bool isEusb);

    // "<directory>/<stem>_00.csv", or the first of _01, _02, ... that names nothing
    // yet: an unreadable file or a dangling link still holds its name.
    static std::string BatchFileName(const std::string& directory, const std::string& stem);
};
