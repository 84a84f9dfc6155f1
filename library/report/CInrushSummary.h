#pragma once

#include <string>

#include "input/CInrushRecord.h"
#include "common/CPendingOutputs.h"

// Leaves the outcome of one attach as a comma-separated line for collection in a
// spreadsheet: the capture, the overall verdict, the supply voltage and the largest
// charge in µC; a small per-file summary beside the capture, or one line per capture
// in a numbered "Inrush_Results" batch file that the batch's first run starts.
class CInrushSummary {
public:
    // "<data file name without extension>_sum.csv" beside the capture, replaced as a
    // whole: the header, then this capture's line without a line end. Throws
    // CAnalysisError "Failed to open summary file" when it cannot be written.
    void WriteFileSummary(const CInrushRecord& record, CPendingOutputs& outputs) const;

    // With `newFile` set, starts the next free "Inrush_Results_NN.csv" beside the
    // capture with the header and an empty line; otherwise adds to `batchFile`.
    // Every line ends with a line end and the batch is replaced whole. Throws
    // CAnalysisError "<system error>: <file name>"; returns the file written to.
    std::string WriteBatchSummary(const CInrushRecord& record, bool newFile,
                                  const std::string& batchFile, CPendingOutputs& outputs) const;

    static std::string BatchFileName(const std::string& directory);
};
