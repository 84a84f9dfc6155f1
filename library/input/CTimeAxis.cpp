#include "input/CTimeAxis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "entry/CAnalysisError.h"

void CTimeAxis::Fill(std::vector<double>& time, std::size_t count, double origin, double interval,
                     const std::string& fileName) const {
    if (!std::isfinite(interval) || interval <= 0.0 || !std::isfinite(origin)) {
        throw CAnalysisError(ComposeMessage("File %s has no valid sample interval", {fileName}));
    }
    if (count < 2) {
        throw CAnalysisError(ComposeMessage("File %s holds fewer than 2 samples", {fileName}));
    }
    time.resize(count);
    // A 32-bit index converts to double in vector registers; a 64-bit one does not.
    const std::size_t fast = std::min<std::size_t>(count, std::numeric_limits<int32_t>::max());
    double* t = time.data();
    for (int32_t i = 0; i < static_cast<int32_t>(fast); ++i) {
        t[i] = origin + static_cast<double>(i) * interval;
    }
    for (std::size_t i = fast; i < count; ++i) t[i] = origin + static_cast<double>(i) * interval;
}
