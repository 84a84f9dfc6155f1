#pragma once

#include <string>

#include "common/CPendingOutputs.h"
#include "report/CResultRecord.h"

// The result record as JSON, `<name>.json` beside the report: what a script or a
// calling program reads to tell a failing device from a passing one.
class CResultJson {
public:
    // The document, as written.
    std::string Text(const CResultRecord& result) const;
    // Hands the document to the run's pending outputs, named after `dataFile`.
    void Write(const CResultRecord& result, const std::string& dataFile,
               CPendingOutputs& outputs) const;
};
