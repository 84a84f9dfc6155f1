#include "entry/CUsbInrushCheck.h"

#include "entry/CAnalysisError.h"

void CUsbInrushCheck::Run(std::string dataFile, double voltage, unsigned mode) {
    (void)voltage;
    (void)mode;
    if (dataFile.empty()) throw CAnalysisError("No data file specified");
}
