#include "entry/CUsbInrushCheck.h"

#include "entry/CAnalysisError.h"

void CUsbInrushCheck::Run(std::string dataFile, double voltage, unsigned mode) {
    (void)voltage;
    (void)mode;
    if (dataFile.empty()) throw CAnalysisError("No data file specified");
    // Until the charge measurement is built, say so rather than answer with an
    // empty text that a caller would take for a finished analysis.
    throw CAnalysisError("Inrush analysis is not available in this version");
}
