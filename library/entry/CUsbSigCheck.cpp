#include "entry/CUsbSigCheck.h"

#include <algorithm>

#include "entry/CAnalysisError.h"
#include "entry/CAnalysisRecord.h"
#include "input/CSignalData.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"

namespace {

// More hubs than this add no further EOP allowance.
constexpr unsigned kMaxHubs = 5;

}  // namespace

void CUsbSigCheck::Run(std::string dataFile, std::string testType, std::string secondFile,
                       unsigned mode, unsigned hubs, bool isEusb) {
    (void)mode;
    (void)isEusb;
    const std::unique_ptr<CSigSpec> spec = CSigTestSpec().SelectSpec(testType);
    const std::unique_ptr<CSigConfig> config = CSignalConfig().BuildConfig();
    const unsigned hubCount = std::min(hubs, kMaxHubs);
    AdjustForHubs(*spec, testType, hubCount);

    CAnalysisRecord record = CSignalData().Load(dataFile, *config, *spec, secondFile);
    record.m_nHubs = hubCount;

    if (record.m_Measurements.empty()) throw CAnalysisError("No Packets Found\nVerify Test type");
}
