#include "signal/CMeasurePackets.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "common/CAnalysisError.h"
#include "common/CPathNames.h"
#include "signal/CEdgeRates.h"
#include "signal/CEyeCheck.h"
#include "signal/CFindCrossings.h"
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

// What every step of one packet's measurement reads: the packet, the capture's traces
// (D+ and D- empty at high speed) and what the test type fixes.
struct PacketInputs {
    const CPacketEntry& m_Packet;
    const CSigConfig& m_Config;
    const CSigSpec& m_Spec;
    const CSampleTimes& m_Time;
    const std::vector<double>& m_Diff;
    const std::vector<double>& m_DMinus;
    const std::vector<double>& m_DPlus;

    const std::vector<CSymbolRun>& Runs() const { return m_Packet.m_Symbols; }
    bool LowSpeed() const { return m_Spec.m_nSpeed == m_Config.m_nLowSpeed; }
    bool HighSpeed() const { return m_Spec.m_nSpeed == m_Config.m_nHighSpeed; }
    // Idle J drives D- high at low speed and D+ high at full speed.
    const std::vector<double>& IdleHigh() const { return LowSpeed() ? m_DMinus : m_DPlus; }
    const std::vector<double>& IdleLow() const { return LowSpeed() ? m_DPlus : m_DMinus; }
    // Transitions skipped at the packet start (SYNC settling) and before the EOP.
    std::size_t SkipFirst() const {
        return static_cast<std::size_t>(std::max(m_Spec.m_nCrossoverFirst, int32_t{1}));
    }
    std::size_t SkipLast() const {
        return static_cast<std::size_t>(std::max(m_Spec.m_nCrossoverSkipLast, int32_t{0}));
    }
};

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

// The ideal bit grid: point k sits k unit intervals after the phase, which is counted
// from the packet's first transition.
struct BitGrid {
    double m_dUi = 0.0;                 // s
    double m_dStart = 0.0;              // first transition, s
    double m_dPhase = 0.0;              // point 0, s after m_dStart
    std::vector<double> m_Transitions;  // each transition, s after m_dStart
    std::size_t m_nPoints = 0;

    double Point(std::size_t k) const {
        return m_dStart + (m_dPhase + static_cast<double>(k) * m_dUi);
    }
    // Signed distance of transition j from its nearest grid point.
    double Offset(std::size_t j) const {
        const double k = CVectorMath::RoundHalfUp((m_Transitions[j] - m_dPhase) / m_dUi);
        return m_Transitions[j] - (m_dPhase + k * m_dUi);
    }
};

// Crossings: the packet's J/K transitions and, on a single-ended pair, the voltage
// where D+ and D- cross in each. The last edge into SE0 is no J/K crossover: a
// crossing from half a bit before the EOP, found at a rough threshold, is dropped.
CPacketMeasurement MeasureCrossings(const PacketInputs& in) {
    CPacketMeasurement m;
    std::vector<CCrossing> crossings = CFindCrossings().FindCrossings(
        m.m_bAllEdgesFound, in.Runs(), in.m_Config, in.m_Spec.m_dBitTime, in.m_Time, in.m_Diff,
        in.m_DMinus, in.m_DPlus);
    if (!in.m_DMinus.empty()) {
        const EopEdges rough =
            CFindEOPedges().FindEopEdges(in.Runs(), in.m_Config, in.m_Time, in.IdleHigh(),
                                         in.IdleLow(), kPreliminaryEopThresholdVolts);
        const double lastCrossover = rough.m_dStart - in.m_Spec.m_dBitTime / 2.0;
        m.m_dFirstCrossover = crossings.empty() ? 0.0 : crossings.front().m_dVolts;
        std::erase_if(crossings, [&](const CCrossing& c) { return !(c.m_dTime <= lastCrossover); });
        for (const CCrossing& c : crossings) m.m_CrossoverVolts.push_back(c.m_dVolts);
        m.m_dMinCrossover = CVectorMath::Min(m.m_CrossoverVolts);
        m.m_dMaxCrossover = CVectorMath::Max(m.m_CrossoverVolts);
        m.m_dMeanCrossover =
            m.m_CrossoverVolts.empty() ? 0.0 : CVectorMath::Mean(m.m_CrossoverVolts);
    }
    m.m_nCrossings = static_cast<int32_t>(crossings.size());
    for (const CCrossing& c : crossings) m.m_CrossingTimes.push_back(c.m_dTime);
    m.m_Crossings = std::move(crossings);
    return m;
}

// Unit interval: the mean spacing of the transitions between the skipped ones, each
// spacing counted in whole nominal bits.
void MeasureUnitInterval(CPacketMeasurement& m, const PacketInputs& in,
                         const std::string& dataFile) {
    const std::vector<double>& t = m.m_CrossingTimes;
    const std::size_t skipFirst = in.SkipFirst();
    const std::size_t skipLast = in.SkipLast();
    const double uiNominal = in.m_Spec.m_dBitTime;
    if (t.size() < skipFirst + skipLast + 1) throw TooFewTransitions(m.m_bAllEdgesFound, dataFile);
    double spanSeconds = 0.0;
    double spanBits = 0.0;
    for (std::size_t i = skipFirst - 1; i + skipLast + 1 < t.size(); ++i) {
        const double d = t[i + 1] - t[i];
        spanSeconds += d;
        spanBits += CVectorMath::RoundHalfUp(d / uiNominal);
    }
    if (!(spanBits > 0.0) || !std::isfinite(spanSeconds) || !(spanSeconds > 0.0)) {
        throw TooFewTransitions(m.m_bAllEdgesFound, dataFile);
    }
    m.m_dUnitInterval = spanSeconds / spanBits;
    m.m_dUIRatio = m.m_dUnitInterval / uiNominal;
    m.m_dUIRatio2 = m.m_dUIRatio;
    m.m_dSampleRate = 1.0 / (in.m_Time[1] - in.m_Time[0]);
}

// Bit grid: the unit interval's grid phased to fit all transitions best, reaching
// half a bit past the last one.
BitGrid FitBitGrid(const CPacketMeasurement& m, std::size_t samples) {
    BitGrid grid;
    grid.m_dUi = m.m_dUnitInterval;
    grid.m_dStart = m.m_CrossingTimes.front();
    grid.m_Transitions.reserve(m.m_CrossingTimes.size());
    for (const double t : m.m_CrossingTimes) grid.m_Transitions.push_back(t - grid.m_dStart);
    grid.m_dPhase = FindGridPhase(grid.m_Transitions, grid.m_dUi);
    const double points = CVectorMath::RoundHalfUp(
        (grid.m_Transitions.back() + grid.m_dUi / 2.0 - grid.m_dPhase) / grid.m_dUi + 1.0);
    grid.m_nPoints = CheckedIndex(std::max(points, 1.0), samples, kGridOutOfRange);
    return grid;
}

// Paired jitter: the differences of transitions two apart, summed up for the JK and
// the KJ pairs apart. The second list drops its last pair when the count is odd, which
// leaves it empty for five transitions: no data, like fewer than five.
void MeasurePairedJitter(CPacketMeasurement& m, const std::vector<double>& jitter,
                         std::size_t skipFirst) {
    const std::size_t count = jitter.size();
    if (count < static_cast<std::size_t>(kMinPairedJitterValues)) return;
    const std::size_t usedSecond = count / 2 - count % 2 - 1;
    const std::vector<double> first = PairedJitter(jitter, 0);
    const std::vector<double> second = PairedJitter(jitter, 1);
    const JitterStats s1 = Summarise(first, first.size());
    const JitterStats s2 = Summarise(second, usedSecond);
    // Which pairs are JK depends on whether an even or odd number of transitions was
    // skipped at the start.
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

// Consecutive jitter: each transition between the skipped ones against its own
// nearest grid point.
void MeasureJitter(CPacketMeasurement& m, const BitGrid& grid, const PacketInputs& in) {
    const std::size_t skipLast = in.SkipLast();
    std::vector<double> jitter;
    for (std::size_t j = in.SkipFirst() - 1; j + skipLast < grid.m_Transitions.size(); ++j) {
        jitter.push_back(grid.Offset(j));
    }
    m.m_nJitterCount = static_cast<int32_t>(jitter.size());
    m.m_dConsecJitterMin = CVectorMath::Min(jitter);
    m.m_dConsecJitterMax = CVectorMath::Max(jitter);
    m.m_dConsecJitterRms = Rms(jitter, jitter.size());
    MeasurePairedJitter(m, jitter, in.SkipFirst());
}

// EOP: its two edges, on the differential trace at high speed, else where both lines
// pass the mean crossover voltage. An EOP whose edges were not found stays unmeasured
// (not a number); one found on a sample far off the capture's clock is refused.
void MeasureEop(CPacketMeasurement& m, const PacketInputs& in) {
    EopEdges eop;
    if (in.HighSpeed()) {
        eop =
            CFindEOPedges().FindEopEdgesDiff(m.m_dEopThreshold, in.Runs(), in.m_Config, in.m_Spec);
    } else {
        m.m_dEopThreshold = m.m_CrossoverVolts.empty() ? std::numeric_limits<double>::quiet_NaN()
                                                       : m.m_dMeanCrossover;
        eop = CFindEOPedges().FindEopEdges(in.Runs(), in.m_Config, in.m_Time, in.IdleHigh(),
                                           in.IdleLow(), m.m_dEopThreshold);
    }
    m.m_dEopStart = eop.m_dStart;
    m.m_dEopEnd = eop.m_dEnd;
    const double eopBits = std::abs(eop.m_dEnd - eop.m_dStart) / in.m_Spec.m_dBitTime;
    if (!std::isnan(eopBits)) CheckedIndex(eopBits, in.m_Time.size(), kEopOutOfRange);
}

// Bit boundaries: one bit before the grid, the grid, and on to the end of the EOP.
// At full and low speed the grid stops a bit earlier, the last crossover having been
// dropped. An EOP before the grid's end, or one not measured, adds nothing.
std::vector<double> BitBoundaries(const BitGrid& grid, double eopEnd, const PacketInputs& in) {
    const double last = grid.Point(grid.m_nPoints - 1);
    const double beyondGrid = (eopEnd - last) / grid.m_dUi + (in.HighSpeed() ? 0.0 : 1.0);
    const std::size_t extension =
        std::isnan(beyondGrid) ? 0
                               : CheckedIndex(std::max(CVectorMath::RoundHalfUp(beyondGrid), 0.0),
                                              in.m_Time.size(), kEopOutOfRange);
    std::vector<double> boundaries;
    boundaries.reserve(grid.m_nPoints + extension + 1);
    boundaries.push_back(grid.Point(0) - grid.m_dUi);
    for (std::size_t k = 0; k < grid.m_nPoints; ++k) boundaries.push_back(grid.Point(k));
    for (std::size_t k = 1; k <= extension; ++k) {
        boundaries.push_back(last + static_cast<double>(k) * grid.m_dUi);
    }
    return boundaries;
}

// The eye: every unit interval laid over the template, then the second template with
// the first and last transitions forgiven; the differential trace at high speed, D-
// and D+ at full and low speed.
void MeasureEye(CPacketMeasurement& m, const PacketInputs& in) {
    const bool hs = in.HighSpeed();
    m = CEyeCheck().EvaluateEye(std::move(m), in.m_Packet, in.m_Spec, in.m_Time,
                                hs ? in.m_Diff : in.m_DMinus, hs ? kNoTrace : in.m_DPlus);
}

// The packet's line states as bits, each run as many times as it lasts bits.
std::string LineStateBits(const PacketInputs& in) {
    const CSigConfig& config = in.m_Config;
    std::string bits;
    for (const CSymbolRun& run : in.Runs()) {
        if (run.m_nSymbol == config.m_nSymS || run.m_nSymbol < 0 ||
            static_cast<std::size_t>(run.m_nSymbol) >= config.m_strSymbols.size()) {
            continue;
        }
        bits.append(
            CheckedIndex(CVectorMath::RoundHalfUp(run.m_dBits), in.m_Time.size(), kRunOutOfRange),
            config.m_strSymbols[run.m_nSymbol]);
    }
    return bits;
}

// SYNC: how often the pattern occurs in the packet's bits. Leading SYNC bits lost in
// hubs or repeaters show up as a match of a shorter pattern (high speed only).
void MeasureSync(CPacketMeasurement& m, const PacketInputs& in) {
    const std::string bits = LineStateBits(in);
    const std::vector<std::string>& syncs = in.m_Spec.m_strSyncPatterns;
    const std::size_t patterns = std::min(in.HighSpeed() ? syncs.size() : 1, syncs.size());
    std::size_t tried = 0;
    for (; tried < patterns; ++tried) {
        m.m_nSyncMatches = static_cast<int32_t>(CVectorMath::FindAll(bits, syncs[tried]).size());
        if (m.m_nSyncMatches > 0) break;
    }
    m.m_nSyncBitsDropped =
        in.HighSpeed() ? static_cast<int32_t>(std::min(tried, patterns > 0 ? patterns - 1 : 0)) : 0;
}

// Edge rates: the rise and fall rates and their match, stopping half a bit before the
// EOP so its own edges do not count.
void MeasureEdgeRates(CPacketMeasurement& m, const PacketInputs& in) {
    const std::size_t firstSample =
        static_cast<std::size_t>(std::max(in.Runs().front().m_nFirstSample, int32_t{0}));
    const EdgeRateSet rates =
        CEdgeRates().MeasureEdgeRates(in.m_Time, in.m_Diff, in.m_Spec, in.m_DPlus, in.m_DMinus,
                                      m.m_dEopStart - m.m_dUnitInterval / 2.0, firstSample);
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
}

// Monotonicity: the largest step of the packet's edges against their direction.
void MeasureMonotonic(CPacketMeasurement& m, const PacketInputs& in) {
    MonotonicResult mono =
        CMonotonicMeas().MeasureMonotonic(in.m_Time, in.m_Diff, in.m_Spec, m.m_dEopStart,
                                          m.m_dEopEnd, in.m_DMinus, in.m_DPlus, in.m_Packet);
    m.m_MonoExcursions = std::move(mono.m_Excursions);
    m.m_MonoTimes = std::move(mono.m_Times);
    m.m_dMonotonic = mono.m_dMonotonic;
}

}  // namespace

CAnalysisRecord CMeasurePackets::Run(CAnalysisRecord record, const CSigConfig& config,
                                     const CSigSpec& spec) const {
    const bool singleEnded = !record.m_DMinus.empty();
    for (std::size_t index = 0; index < record.m_Packets.size(); ++index) {
        const CPacketEntry& packet = record.m_Packets[index];
        if (packet.m_nStatus != 0) continue;
        record.m_nMeasuredPacket = static_cast<int32_t>(index);
        record.m_Measurements.push_back(
            MeasurePacket(packet, config, spec, record.m_Time, record.m_Diff,
                          singleEnded ? record.m_DMinus : kNoTrace,
                          singleEnded ? record.m_DPlus : kNoTrace, record.m_strFileA));
        break;
    }
    return record;
}

CPacketMeasurement CMeasurePackets::MeasurePacket(
    const CPacketEntry& packet, const CSigConfig& config, const CSigSpec& spec,
    const CSampleTimes& time, const std::vector<double>& diff, const std::vector<double>& dMinus,
    const std::vector<double>& dPlus, const std::string& dataFile) const {
    const PacketInputs in{packet, config, spec, time, diff, dMinus, dPlus};
    if (packet.m_Symbols.empty() || time.size() < 2) throw CAnalysisError(kTooFewTransitions);
    CPacketMeasurement m = MeasureCrossings(in);
    MeasureUnitInterval(m, in, dataFile);
    const BitGrid grid = FitBitGrid(m, time.size());
    MeasureJitter(m, grid, in);
    MeasureEop(m, in);
    m.m_BitTimes = BitBoundaries(grid, m.m_dEopEnd, in);
    MeasureEye(m, in);
    MeasureSync(m, in);
    MeasureEdgeRates(m, in);
    MeasureMonotonic(m, in);
    return CEyeCheck().StoreEyeMargins(std::move(m));
}
