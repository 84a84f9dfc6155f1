#include "input/CReadFile.h"

#include "entry/CAnalysisError.h"

int32_t CReadFile::ReadWaveform(const std::string& dataFile, std::vector<double>&,
                                std::vector<double>&, std::vector<double>&,
                                std::vector<double>&, const std::string&, bool inrushOnly) {
    if (dataFile.empty()) throw CAnalysisError("Please select a data file.");
    InrushOnly = inrushOnly;
    TraceKind = 3;
    throw CAnalysisError("Unknown file type " + dataFile);
}
