#include "input/CInrushData.h"

#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "common/CAnalysisError.h"
#include "common/CPathNames.h"
#include "input/CReadFile.h"

namespace {

// The rate is the mean over the whole capture: time stamps written as text are
// rounded, and the first step alone can be off by that rounding.
double MeanRate(const CSampleTimes& time) {
    const double span = time.back() - time.front();
    return static_cast<double>(time.size() - 1) / span;
}

}  // namespace

CInrushRecord CInrushData::Load(const CInrushSpec& spec, const std::string& dataFile,
                                double voltage) const {
    CInrushRecord record;
    std::vector<double> first;
    std::vector<double> second;
    CReadFile reader;
    const int32_t kind =
        reader.ReadWaveform(dataFile, record.m_Time, record.m_Current, first, second, "", true);
    const CSampleTimes& time = record.m_Time;
    const std::vector<double>& current = record.m_Current;
    if (time.empty()) throw CAnalysisError(ComposeMessage("Data File: %s isEmpty", {dataFile}));
    // A file of two traces has no single supply current to judge.
    if (kind != 2 || current.size() != time.size())
        throw CAnalysisError(ComposeMessage(
            "Error: File %s holds two traces.\nAn inrush capture holds one current trace.",
            {FileNameOf(dataFile)}));
    // Charge needs at least one step of time to integrate over.
    if (time.size() < 2)
        throw CAnalysisError("Too few samples: an inrush capture needs at least 2");
    if (!(time.front() < time[1] && time.front() < time.back()))
        throw CAnalysisError("Sample times do not increase at the start of the capture");
    if (time.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        throw CAnalysisError("Too many samples: a capture holds at most 2147483647");

    std::size_t start = 0;
    while (start + 1 < current.size() && current[start] < spec.m_dCurrentThreshold) ++start;
    record.m_dDuration = time.back() - time[start];
    record.m_dVoltage = voltage;
    record.m_dSampleRate = MeanRate(time);
    record.m_nLowRate = spec.m_dMinSampleRate - 0.01 > record.m_dSampleRate ? 1 : 0;
    record.m_nSamples = static_cast<int32_t>(time.size());
    record.m_strFile = dataFile;
    return record;
}
