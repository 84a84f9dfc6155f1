// Where the run operations send their calls of Velkin's exports, and where the command
// line learns the verdict of an analysis that ran to the end. Without one, the calls
// are made in this process and the verdict is read from the capture's result record.
#pragma once

#include <string>

#include "CLibraryCall.h"
#include "CRecordedVerdict.h"

class CLibraryCalls {
public:
    virtual ~CLibraryCalls() = default;
    // "" when the analysis ran to the end, else why not, as the library words it.
    virtual std::string Run(const CLibraryCall& call) = 0;
    // The verdict of the last call, of `dataFile`, that ran to the end.
    virtual CFileVerdict Verdict(const std::string& dataFile) = 0;
};
