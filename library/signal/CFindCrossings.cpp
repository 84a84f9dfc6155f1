#include "signal/CFindCrossings.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// A differential crossing between samples i and i+1.
CCrossing InterpolateCrossing(std::size_t i, const CSampleTimes& time,
                              const std::vector<double>& diff, const std::vector<double>& dMinus,
                              const std::vector<double>& dPlus) {
    CCrossing c;
    c.m_nIndex = static_cast<int32_t>(i);
    const double t0 = time[i];
    const double t1 = time[i + 1];
    if (!dMinus.empty()) {
        // The crossover voltage is where the two lines meet.
        const double a = std::abs(dMinus[i] - dPlus[i]);
        const double b = std::abs(dMinus[i + 1] - dPlus[i + 1]) + a;
        if (dMinus[i + 1] == dPlus[i + 1]) {
            c.m_dTime = t1;
            c.m_dVolts = dMinus[i + 1];
        } else if (dMinus[i] == dPlus[i]) {
            c.m_dTime = t0;
            c.m_dVolts = dMinus[i];
        } else {
            const double f = a / b;
            c.m_dTime = t0 + (t1 - t0) * f;
            c.m_dVolts = dPlus[i] + (dPlus[i + 1] - dPlus[i]) * f;
        }
        return c;
    }
    if (t0 == t1) {
        c.m_dTime = t0;
    } else {
        const double slope = (diff[i + 1] - diff[i]) / (t1 - t0);
        c.m_dTime = slope == 0.0 ? (t0 + t1) * 0.5 : t0 - diff[i] / slope;
    }
    return c;
}

// 1 when every J/K step of the packet passes through the between-levels state; 0 when
// one jumps the band within a sample and so has no edge to measure.
int32_t AllEdgesFound(const std::vector<CSymbolRun>& runs, const CSigConfig& config) {
    for (std::size_t k = 0; k < runs.size();) {
        const int32_t code = runs[k].m_nSymbol;
        const bool nextIsSe0 = k + 1 < runs.size() && runs[k + 1].m_nSymbol == config.m_nSymE;
        if (code == config.m_nSymS) {
            ++k;
        } else if (code == config.m_nSymE || nextIsSe0) {
            break;
        } else if (code == config.m_nSymJ || code == config.m_nSymK) {
            if (k + 1 >= runs.size() || runs[k + 1].m_nSymbol != config.m_nSymS) return 0;
            k += 2;
        } else {
            ++k;
        }
    }
    return 1;
}

}  // namespace

std::vector<CCrossing> CFindCrossings::FindCrossings(
    int32_t& allEdgesFound, const std::vector<CSymbolRun>& runs, const CSigConfig& config,
    double bitTime, const CSampleTimes& time, const std::vector<double>& diff,
    const std::vector<double>& dMinus, const std::vector<double>& dPlus) const {
    allEdgesFound = AllEdgesFound(runs, config);
    const long n = static_cast<long>(std::min(time.size(), diff.size()));
    const bool singleEnded = !dMinus.empty();
    if (singleEnded && (dMinus.size() < time.size() || dPlus.size() < time.size())) return {};

    // Every J/K edge passes through the between-levels state; the differential zero
    // crossing inside each such run is one transition of the packet.
    std::vector<CCrossing> found;
    for (const CSymbolRun& run : runs) {
        if (run.m_nSymbol != config.m_nSymS) continue;
        const long lo = std::max<long>(run.m_nFirstSample - 1L, 1L);
        const long hi = std::min<long>(run.m_nLastSample + 1L, n - 1);
        if (lo >= hi) continue;
        const bool startPositive = diff[static_cast<std::size_t>(lo)] > 0.0;
        for (long i = lo; i < hi; ++i) {
            if ((diff[static_cast<std::size_t>(i + 1)] > 0.0) != startPositive) {
                found.push_back(
                    InterpolateCrossing(static_cast<std::size_t>(i), time, diff, dMinus, dPlus));
                break;
            }
        }
    }

    // The packet's first crossing leaves idle rather than a bit of defined length,
    // and a crossing under half a bit after the one before is a glitch.
    std::vector<CCrossing> kept;
    for (std::size_t j = 1; j < found.size(); ++j) {
        if (found[j].m_dTime - found[j - 1].m_dTime >= bitTime / 2.0) kept.push_back(found[j]);
    }
    return kept;
}
