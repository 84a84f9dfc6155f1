#include "signal/CFindEOPedges.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "common/CAnalysisError.h"

namespace {

constexpr const char* kEopNotFound = "EOP not found";

// Runs of half a unit interval or less are glitches on the way into SE0, not data.
constexpr double kGlitchBits = 0.5;

double CrossingTime(const CSampleTimes& time, const std::vector<double>& line, std::size_t a,
                    std::size_t b, double level) {
    const double ta = time[a];
    const double tb = time[b];
    if (ta == tb) return ta;
    const double slope = (line[b] - line[a]) / (tb - ta);
    if (slope == 0.0) return (ta + tb) * 0.5;
    return ta + (level - line[a]) / slope;
}

std::size_t FirstSe0(const std::vector<CSymbolRun>& runs, const CSigConfig& config) {
    for (std::size_t k = 0; k < runs.size(); ++k) {
        if (runs[k].m_nSymbol == config.m_nSymE) return k;
    }
    return runs.size();
}

}  // namespace

EopEdges CFindEOPedges::FindEopEdges(const std::vector<CSymbolRun>& runs, const CSigConfig& config,
                                     const CSampleTimes& time, const std::vector<double>& idleHigh,
                                     const std::vector<double>& other, double threshold) const {
    const std::size_t n = time.size();
    if (runs.empty() || !std::isfinite(threshold) || n < 2 || idleHigh.size() != n ||
        other.size() != n) {
        throw CAnalysisError(kEopNotFound);
    }
    std::size_t k = FirstSe0(runs, config);
    if (k == runs.size()) k = runs.size() - 1;

    // The last data state: step back over glitches between it and SE0.
    std::size_t j = k;
    do {
        if (j == 0) throw CAnalysisError(kEopNotFound);
        --j;
    } while (runs[j].m_dBits <= kGlitchBits);

    const long first = runs[k].m_nFirstSample;
    // The capture's last run ends one past the final sample.
    const long last = std::min<long>(runs[k].m_nLastSample, static_cast<long>(n) - 1);
    if (first < 0 || first >= static_cast<long>(n) - 1 || last < 1) {
        throw CAnalysisError(kEopNotFound);
    }

    // Out of J the idle-high line falls into SE0; out of K the other one does.
    const std::vector<double>& leaving = runs[j].m_nSymbol == config.m_nSymJ ? idleHigh : other;
    long i = first;
    while (leaving[static_cast<std::size_t>(i)] < threshold) {
        if (--i < 0) throw CAnalysisError(kEopNotFound);
    }
    const double start = CrossingTime(time, leaving, static_cast<std::size_t>(i),
                                      static_cast<std::size_t>(i) + 1, threshold);

    std::size_t r = static_cast<std::size_t>(last);
    while (idleHigh[r] < threshold) {
        if (++r >= n) throw CAnalysisError(kEopNotFound);
    }
    const double end = CrossingTime(time, idleHigh, r - 1, r, threshold);
    return {start, end};
}

EopEdges CFindEOPedges::FindEopEdgesDiff(double& level, const std::vector<CSymbolRun>& runs,
                                         const CSigConfig& config, const CSigSpec& spec) const {
    const std::size_t k = FirstSe0(runs, config);
    // The last data state sits two runs back, beyond the between-levels run of the
    // final edge.
    if (k == runs.size() || k < 2) throw CAnalysisError(kEopNotFound);
    level =
        runs[k - 2].m_nSymbol == config.m_nSymJ ? -spec.m_dDiffThreshold : spec.m_dDiffThreshold;
    return {runs[k].m_dStart, runs[k].m_dEnd};
}
