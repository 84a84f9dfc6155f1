#include "input/CTimeAxis.h"

#include <cmath>

#include "common/CAnalysisError.h"

void CTimeAxis::Fill(CSampleTimes& time, std::size_t count, double origin, double interval,
                     const std::string& fileName) const {
    if (!std::isfinite(interval) || interval <= 0.0 || !std::isfinite(origin)) {
        throw CAnalysisError(ComposeMessage("File %s has no valid sample interval", {fileName}));
    }
    if (count < 2) {
        throw CAnalysisError(ComposeMessage("File %s holds fewer than 2 samples", {fileName}));
    }
    // A header's interval can be finite and still carry the record past any time.
    if (!std::isfinite(origin + static_cast<double>(count - 1) * interval)) {
        throw CAnalysisError(ComposeMessage("File %s has no valid sample interval", {fileName}));
    }
    NoteCaptureSamples(count);
    time = CSampleTimes(origin, interval, count);
}
