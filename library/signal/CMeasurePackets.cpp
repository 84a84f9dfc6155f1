#include "signal/CMeasurePackets.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "common/CAnalysisError.h"
#include "common/CPathNames.h"
#include "signal/CEdgeRates.h"
#include "signal/CEyeCheck.h"
#include "signal/CFindEOPedges.h"
#include "signal/CMonotonicMeas.h"
#include "signal/CVectorMath.h"

namespace {

constexpr const char* kTooFewTransitions = "too few transitions in packet";
// The bit grid and the EOP are laid on the capture's time axis: neither can hold
// more bits than the capture has samples, each bit spanning at least one.
constexpr const char* kGridOutOfRange =
    "Sample times out of range: the packet's transitions span more bits than the capture";
constexpr const char* kEopOutOfRange =
    "Sample times out of range: the EOP lasts longer than the capture";

// Between the single-ended idle level and SE0: good enough to place the EOP before
// the crossover voltage, which sets the final threshold, is known.
constexpr double kPreliminaryEopThresholdVolts = 1.75;

// Upper end of the phase search's stopping tolerance, in unit intervals.
constexpr double kPhaseToleranceUI = 0.0001 / 3.0;
// The golden-section bracket shrinks by 0.618 a step; this is far beyond convergence.
constexpr int kMaxPhaseSteps = 200;

// Reported when one edge direction has no measurable rate: the largest mismatch two
// non-negative rates can show.
constexpr double kWorstEdgeRateMismatchPercent = 200.0;

const std::vector<double> kNoTrace;

// Too few transitions to time the packet. When edges jumped from J to K between two
// samples the capture is too coarse for its edges, and that is what the user must fix.
CAnalysisError TooFewTransitions(int32_t allEdgesFound, const std::string& dataFile) {
    if (allEdgesFound != 0) return CAnalysisError(kTooFewTransitions);
    return CAnalysisError(ComposeMessage(
        "Sample rate too low for the edges in %s: increase the oscilloscope sample rate",
        {FileNameOf(dataFile)}));
}

struct SymbolCodes {
    int32_t E, J, S, K;
};

// A differential crossing between samples i and i+1.
CCrossing InterpolateCrossing(std::size_t i, const std::vector<double>& time,
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

// Every J/K edge passes through the between-levels state; the differential zero
// crossing inside each such run is one transition of the packet.
std::vector<CCrossing> FindCrossings(const std::vector<CSymbolRun>& runs, const SymbolCodes& sym,
                                     double bitTime, const std::vector<double>& time,
                                     const std::vector<double>& diff,
                                     const std::vector<double>& dMinus,
                                     const std::vector<double>& dPlus, int32_t& allEdgesFound) {
    allEdgesFound = 1;
    for (std::size_t k = 0; k < runs.size();) {
        const int32_t code = runs[k].m_nSymbol;
        const bool nextIsSe0 = k + 1 < runs.size() && runs[k + 1].m_nSymbol == sym.E;
        if (code == sym.S) {
            ++k;
        } else if (code == sym.E || nextIsSe0) {
            break;
        } else if (code == sym.J || code == sym.K) {
            // A J/K step that jumps the band within one sample has no edge to measure.
            if (k + 1 >= runs.size() || runs[k + 1].m_nSymbol != sym.S) {
                allEdgesFound = 0;
                break;
            }
            k += 2;
        } else {
            ++k;
        }
    }

    const long n = static_cast<long>(std::min(time.size(), diff.size()));
    const bool singleEnded = !dMinus.empty();
    if (singleEnded && (dMinus.size() < time.size() || dPlus.size() < time.size())) return {};

    std::vector<CCrossing> found;
    for (const CSymbolRun& run : runs) {
        if (run.m_nSymbol != sym.S) continue;
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

// Sum of squared distances from each crossing to its nearest grid point, for the
// grid of unit interval `ui` whose point 0 sits at `phase`. Times are relative to
// the first crossing.
double GridCost(const std::vector<double>& crossings, double phase, double ui) {
    double cost = 0.0;
    for (const double c : crossings) {
        const double k = CVectorMath::RoundHalfUp((c - phase) / ui);
        const double d = c - (phase + k * ui);
        cost += d * d;
    }
    return cost;
}

// Golden-section search for the grid phase within half a unit interval of the first
// crossing. Working relative to that crossing keeps the stopping tolerance in
// picoseconds even when the capture's clock reads seconds.
double FindGridPhase(const std::vector<double>& crossings, double ui) {
    const double golden = (3.0 - std::sqrt(5.0)) / 2.0;
    const double rootEps = std::sqrt(std::numeric_limits<double>::epsilon());
    double a = -ui / 2.0;
    double b = ui / 2.0;
    double x = a + golden * (b - a);
    double fx = GridCost(crossings, x, ui);
    for (int step = 0; step < kMaxPhaseSteps; ++step) {
        const double mid = (a + b) / 2.0;
        const double tol1 = std::abs(x) * rootEps + ui * kPhaseToleranceUI;
        if (std::abs(x - mid) <= 2.0 * tol1 - (b - a) / 2.0) break;
        double d = golden * (x < mid ? b - x : a - x);
        if (std::abs(d) < tol1) d = d >= 0.0 ? tol1 : -tol1;
        const double u = x + d;
        const double fu = GridCost(crossings, u, ui);
        if (fu <= fx) {
            if (u >= x) {
                a = x;
            } else {
                b = x;
            }
            x = u;
            fx = fu;
        } else if (u < x) {
            a = u;
        } else {
            b = u;
        }
    }
    return x;
}

double Rms(const std::vector<double>& values, std::size_t count) {
    double sum = 0.0;
    for (std::size_t i = 0; i < count; ++i) sum += values[i] * values[i];
    return std::sqrt(sum / static_cast<double>(count));
}

struct JitterStats {
    double m_dMin = 0.0;
    double m_dMax = 0.0;
    double m_dRms = 0.0;
};

JitterStats Summarise(const std::vector<double>& values, std::size_t count) {
    JitterStats s{1e12, -1e12, Rms(values, count)};
    for (std::size_t i = 0; i < count; ++i) {
        s.m_dMin = std::min(s.m_dMin, values[i]);
        s.m_dMax = std::max(s.m_dMax, values[i]);
    }
    return s;
}

// Differences between transitions two apart: alternately the JK and the KJ pairs.
std::vector<double> PairedJitter(const std::vector<double>& consecutive, std::size_t start) {
    std::vector<double> paired;
    for (std::size_t a = start; a + 2 < consecutive.size(); a += 2) {
        paired.push_back(consecutive[a] - consecutive[a + 2]);
    }
    return paired;
}

}  // namespace

CAnalysisRecord CMeasurePackets::Run(CAnalysisRecord record, const CSigConfig& config,
                                     const CSigSpec& spec) const {
    const bool singleEnded = !record.m_DMinus.empty();
    for (const CPacketEntry& packet : record.m_Packets) {
        if (packet.m_nStatus != 0) continue;
        record.m_Measurements.push_back(
            MeasurePacket(packet, config, spec, record.m_Time, record.m_Diff,
                          singleEnded ? record.m_DMinus : kNoTrace,
                          singleEnded ? record.m_DPlus : kNoTrace, record.m_strFileA));
        break;
    }
    return record;
}

CPacketMeasurement CMeasurePackets::MeasurePacket(const CPacketEntry& packet,
                                                  const CSigConfig& config, const CSigSpec& spec,
                                                  const std::vector<double>& time,
                                                  const std::vector<double>& diff,
                                                  const std::vector<double>& dMinus,
                                                  const std::vector<double>& dPlus,
                                                  const std::string& dataFile) const {
    const CFindEOPedges eopFinder;
    const std::vector<CSymbolRun>& runs = packet.m_Symbols;
    const SymbolCodes sym{config.m_nSymE, config.m_nSymJ, config.m_nSymS, config.m_nSymK};
    const double uiNominal = spec.m_dBitTime;
    const bool singleEnded = !dMinus.empty();
    const bool lowSpeed = spec.m_nSpeed == config.m_nLowSpeed;
    const bool highSpeed = spec.m_nSpeed == config.m_nHighSpeed;
    // Transitions skipped at the packet start (SYNC settling) and before the EOP.
    const std::size_t skipFirst =
        static_cast<std::size_t>(std::max(spec.m_nCrossoverFirst, int32_t{1}));
    const std::size_t skipLast =
        static_cast<std::size_t>(std::max(spec.m_nCrossoverSkipLast, int32_t{0}));

    CPacketMeasurement m;
    if (runs.empty() || time.size() < 2) throw CAnalysisError(kTooFewTransitions);

    // Crossings and crossover voltages.
    std::vector<CCrossing> crossings =
        FindCrossings(runs, sym, uiNominal, time, diff, dMinus, dPlus, m.m_bAllEdgesFound);
    if (singleEnded) {
        const EopEdges rough =
            eopFinder.FindEopEdges(runs, config, time, lowSpeed ? dMinus : dPlus,
                                   lowSpeed ? dPlus : dMinus, kPreliminaryEopThresholdVolts);
        m.m_dFirstCrossover = crossings.empty() ? 0.0 : crossings.front().m_dVolts;
        // The last edge into SE0 is no J/K crossover.
        std::erase_if(crossings, [&](const CCrossing& c) {
            return !(c.m_dTime <= rough.m_dStart - uiNominal / 2.0);
        });
        for (const CCrossing& c : crossings) m.m_CrossoverVolts.push_back(c.m_dVolts);
        m.m_dMinCrossover = CVectorMath::Min(m.m_CrossoverVolts);
        m.m_dMaxCrossover = CVectorMath::Max(m.m_CrossoverVolts);
        m.m_dMeanCrossover =
            m.m_CrossoverVolts.empty() ? 0.0 : CVectorMath::Mean(m.m_CrossoverVolts);
    }
    m.m_Crossings = crossings;
    m.m_nCrossings = static_cast<int32_t>(crossings.size());
    for (const CCrossing& c : crossings) m.m_CrossingTimes.push_back(c.m_dTime);

    // Unit interval: the mean spacing of the transitions, in whole nominal bits.
    const std::size_t n = crossings.size();
    if (n < skipFirst + skipLast + 1) throw TooFewTransitions(m.m_bAllEdgesFound, dataFile);
    double spanSeconds = 0.0;
    double spanBits = 0.0;
    for (std::size_t i = skipFirst - 1; i + skipLast + 1 < n; ++i) {
        const double d = crossings[i + 1].m_dTime - crossings[i].m_dTime;
        spanSeconds += d;
        spanBits += CVectorMath::RoundHalfUp(d / uiNominal);
    }
    if (!(spanBits > 0.0) || !std::isfinite(spanSeconds) || !(spanSeconds > 0.0)) {
        throw TooFewTransitions(m.m_bAllEdgesFound, dataFile);
    }
    const double ui = spanSeconds / spanBits;
    m.m_dUnitInterval = ui;
    m.m_dUIRatio = ui / uiNominal;
    m.m_dUIRatio2 = m.m_dUIRatio;
    m.m_dSampleRate = 1.0 / (time[1] - time[0]);

    // Ideal bit grid, phased to fit all crossings best.
    const double t0 = crossings.front().m_dTime;
    std::vector<double> relative(n);
    for (std::size_t j = 0; j < n; ++j) relative[j] = crossings[j].m_dTime - t0;
    const double phase = FindGridPhase(relative, ui);
    const double gridPoints =
        CVectorMath::RoundHalfUp((relative.back() + ui / 2.0 - phase) / ui + 1.0);
    const std::size_t gridCount =
        CheckedIndex(std::max(gridPoints, 1.0), time.size(), kGridOutOfRange);
    std::vector<double> grid(gridCount);
    for (std::size_t k = 0; k < gridCount; ++k) {
        grid[k] = t0 + (phase + static_cast<double>(k) * ui);
    }

    // Consecutive jitter: each transition against its own nearest grid point.
    std::vector<double> jitter;
    for (std::size_t j = skipFirst - 1; j + skipLast < n; ++j) {
        const double k = CVectorMath::RoundHalfUp((relative[j] - phase) / ui);
        jitter.push_back(relative[j] - (phase + k * ui));
    }
    m.m_nJitterCount = static_cast<int32_t>(jitter.size());
    m.m_dConsecJitterMin = CVectorMath::Min(jitter);
    m.m_dConsecJitterMax = CVectorMath::Max(jitter);
    m.m_dConsecJitterRms = Rms(jitter, jitter.size());

    // Paired jitter. The second list drops its last pair when the count is odd, which
    // leaves it empty for five transitions: no data, like fewer than five.
    const std::size_t count = jitter.size();
    if (count >= static_cast<std::size_t>(kMinPairedJitterValues)) {
        const std::size_t usedSecond = count / 2 - count % 2 - 1;
        const std::vector<double> first = PairedJitter(jitter, 0);
        const std::vector<double> second = PairedJitter(jitter, 1);
        const JitterStats s1 = Summarise(first, first.size());
        const JitterStats s2 = Summarise(second, usedSecond);
        // Which pairs are JK depends on whether an even or odd number of
        // transitions was skipped at the start.
        const bool evenSkip = skipFirst % 2 == 0;
        const JitterStats& jk = evenSkip ? s2 : s1;
        const JitterStats& kj = evenSkip ? s1 : s2;
        m.m_dJKJitterMin = jk.m_dMin;
        m.m_dJKJitterMax = jk.m_dMax;
        m.m_dJKJitterRms = jk.m_dRms;
        m.m_dKJJitterMin = kj.m_dMin;
        m.m_dKJJitterMax = kj.m_dMax;
        m.m_dKJJitterRms = kj.m_dRms;
    }

    // EOP edges.
    EopEdges eop;
    if (highSpeed) {
        eop = eopFinder.FindEopEdgesDiff(m.m_dEopThreshold, runs, config, spec);
    } else {
        // A single-ended EOP is where both lines pass the crossover level.
        m.m_dEopThreshold = m.m_CrossoverVolts.empty() ? std::numeric_limits<double>::quiet_NaN()
                                                       : m.m_dMeanCrossover;
        eop = eopFinder.FindEopEdges(runs, config, time, lowSpeed ? dMinus : dPlus,
                                     lowSpeed ? dPlus : dMinus, m.m_dEopThreshold);
    }
    m.m_dEopStart = eop.m_dStart;
    m.m_dEopEnd = eop.m_dEnd;
    // An EOP whose edges were not found stays unmeasured (not a number); one found
    // on a sample far off the capture's clock is refused rather than printed.
    const double eopBits = std::abs(eop.m_dEnd - eop.m_dStart) / uiNominal;
    if (!std::isnan(eopBits)) CheckedIndex(eopBits, time.size(), kEopOutOfRange);

    // Bit boundaries: the grid extended to the end of the EOP. At full and low speed
    // the grid stops a bit earlier, the last crossover having been dropped.
    // An EOP before the grid's end adds nothing; one not measured adds nothing either.
    const double beyondGrid = (eop.m_dEnd - grid.back()) / ui + (highSpeed ? 0.0 : 1.0);
    const std::size_t extension =
        std::isnan(beyondGrid) ? 0
                               : CheckedIndex(std::max(CVectorMath::RoundHalfUp(beyondGrid), 0.0),
                                              time.size(), kEopOutOfRange);
    m.m_BitTimes.reserve(gridCount + extension + 1);
    m.m_BitTimes.push_back(grid.front() - ui);
    m.m_BitTimes.insert(m.m_BitTimes.end(), grid.begin(), grid.end());
    const double lastGrid = grid.back();
    for (std::size_t k = 1; k <= extension; ++k) {
        m.m_BitTimes.push_back(lastGrid + static_cast<double>(k) * ui);
    }

    // The eye: every unit interval laid over the template, then the second template
    // with the first and last transitions forgiven.
    static const std::vector<double> kNoSecondTrace;
    m = CEyeCheck().EvaluateEye(std::move(m), packet, spec, time, highSpeed ? diff : dMinus,
                                highSpeed ? kNoSecondTrace : dPlus);

    // SYNC: the packet's line states as bits; leading SYNC bits lost in hubs or
    // repeaters show up as a match of a shorter pattern (high speed only).
    std::string bits;
    for (const CSymbolRun& run : runs) {
        if (run.m_nSymbol == sym.S) continue;
        if (run.m_nSymbol < 0 ||
            static_cast<std::size_t>(run.m_nSymbol) >= config.m_strSymbols.size()) {
            continue;
        }
        bits.append(
            CheckedIndex(CVectorMath::RoundHalfUp(run.m_dBits), time.size(), kRunOutOfRange),
            config.m_strSymbols[run.m_nSymbol]);
    }
    const std::size_t patterns =
        std::min(highSpeed ? spec.m_strSyncPatterns.size() : 1, spec.m_strSyncPatterns.size());
    std::size_t tried = 0;
    for (; tried < patterns; ++tried) {
        const std::string& pattern = spec.m_strSyncPatterns[tried];
        m.m_nSyncMatches = static_cast<int32_t>(CVectorMath::FindAll(bits, pattern).size());
        if (m.m_nSyncMatches > 0) break;
    }
    m.m_nSyncBitsDropped =
        highSpeed ? static_cast<int32_t>(std::min(tried, patterns > 0 ? patterns - 1 : 0)) : 0;

    // Edge rates, stopping half a bit before the EOP so its own edges do not count.
    const std::size_t firstSample =
        static_cast<std::size_t>(std::max(runs.front().m_nFirstSample, int32_t{0}));
    const EdgeRateSet rates = CEdgeRates().MeasureEdgeRates(time, diff, spec, dPlus, dMinus,
                                                            eop.m_dStart - ui / 2.0, firstSample);
    m.m_dRiseRateMin = rates[0];
    m.m_dRiseRateMax = rates[1];
    m.m_dRiseRate = rates[2];
    m.m_dFallRateMin = rates[3];
    m.m_dFallRateMax = rates[4];
    m.m_dFallRate = rates[5];
    const double meanRate = (m.m_dRiseRate + m.m_dFallRate) * 0.5;
    m.m_dEdgeRateMatch = std::isfinite(meanRate) && meanRate > 0.0
                             ? std::abs(m.m_dRiseRate - m.m_dFallRate) / meanRate * 100.0
                             : kWorstEdgeRateMismatchPercent;

    MonotonicResult mono = CMonotonicMeas().MeasureMonotonic(time, diff, spec, m.m_dEopStart,
                                                             m.m_dEopEnd, dMinus, dPlus, packet);
    m.m_MonoExcursions = std::move(mono.m_Excursions);
    m.m_MonoTimes = std::move(mono.m_Times);
    m.m_dMonotonic = mono.m_dMonotonic;

    m = CEyeCheck().StoreEyeMargins(std::move(m));
    return m;
}
