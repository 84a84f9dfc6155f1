#pragma once

#include <string>

#include "common/CPendingOutputs.h"
#include "report/CResultRecord.h"
#include "signal/CAnalysisRecord.h"
#include "spec/CSigConfig.h"
#include "spec/CSigSpec.h"

// Takes one signal-quality capture from file to report: selects the test type's
// limits, prepares the traces, measures the first clean packet, judges it, and
// writes plots, report and summary beside the data file: all of them, or, when one
// cannot be written, none, and the previous run's stay as they were.
class CUsbSigCheck {
public:
    void Run(std::string dataFile, std::string testType, std::string secondFile, unsigned mode,
             unsigned hubs, bool isEusb);

    // The batch summary file that the first run of a batch chose.
    std::string SummaryFileName;

private:
    // Every output but the picture of the whole capture: eye, packet, report, result
    // record and summaries. `batchFile` becomes the batch a new summary starts.
    void WriteOthers(const CAnalysisRecord& record, const CResultRecord& result,
                     const CSigConfig& config, const CSigSpec& spec, const std::string& dataFile,
                     unsigned mode, bool isEusb, std::string& batchFile,
                     CPendingOutputs& outputs);
};
