#include <cmath>
#include <memory>
#include <stdexcept>

#include "synth/CEdgeTrain.h"
#include "synth/CTrafficPlan.h"
#include "synth/Synth.h"

namespace synth {

namespace {

struct SpeedFacts {
    const char* m_pKind;
    double m_dBitRate;
    double m_dReferenceRate;  // samples/s the analysis wants without up-sampling
    double m_dEdgeTime;       // s, typical 10-90 %
    double m_dEyeHigh;        // V
    double m_dEyeLow;
};

constexpr SpeedFacts kFullSpeed{"fs", 12e6, 4e9, 10e-9, 2.5, 0.8};
constexpr SpeedFacts kLowSpeed{"ls", 1.5e6, 5e8, 100e-9, 2.8, 0.4};
// Level at which the analysis takes a pair to have reached idle.
constexpr double kIdleDetectLevel = 1.5;

struct LineLevels {
    double m_dPlus;
    double m_dMinus;
};

// Full-speed J drives D+ high; low-speed J drives D- high; SE0 holds both low.
LineLevels Levels(LineState state, Speed speed, double high, double low) {
    const bool plusHigh = (state == LineState::J) == (speed == Speed::Full);
    if (state == LineState::Se0) return {low, low};
    return plusHigh ? LineLevels{high, low} : LineLevels{low, high};
}

double LoneEdgeRate(double from, double to, double duration, double eyeHigh, double eyeLow) {
    CEdgeTrain probe(from);
    probe.AddEdge(0.0, duration, to, false);
    const double transit = std::abs(probe.CrossingTime(0, eyeHigh) - probe.CrossingTime(0, eyeLow));
    return (eyeHigh - eyeLow) / transit * 1e-6;
}

}  // namespace

SampleSource MakeSingleEndedSource(const SingleEndedParams& params, SynthTruth& truth) {
    const SpeedFacts& facts = params.m_Speed == Speed::Full ? kFullSpeed : kLowSpeed;
    const TrafficParams& traffic = params.m_Traffic;
    const double rate = params.m_dSampleRate > 0.0 ? params.m_dSampleRate : facts.m_dReferenceRate;
    const double high = params.m_dHigh;
    const double low = params.m_dLow;
    const double crossover = params.m_dCrossover > 0.0 ? params.m_dCrossover : 0.5 * (high + low);
    const double riseTime = params.m_dRiseTime > 0.0 ? params.m_dRiseTime : facts.m_dEdgeTime;
    const double fallTime = params.m_dFallTime > 0.0 ? params.m_dFallTime : facts.m_dEdgeTime;
    const double eyeHigh = params.m_dEyeLevelHigh > 0.0 ? params.m_dEyeLevelHigh : facts.m_dEyeHigh;
    const double eyeLow = params.m_dEyeLevelLow > 0.0 ? params.m_dEyeLevelLow : facts.m_dEyeLow;
    if (high <= low) throw std::invalid_argument("the high level must lie above the low level");
    const double crossFraction = (crossover - low) / (high - low);
    if (crossFraction <= 0.0 || crossFraction >= 1.0) {
        throw std::invalid_argument("the crossover voltage must lie between the two levels");
    }

    const double leadLow = std::max(0.0, params.m_dLeadLowTime);
    const CTrafficPlan plan(traffic, false, facts.m_dBitRate, rate, traffic.m_dStartTime + leadLow,
                            0);
    const std::vector<LineState>& states = plan.Coding().States();
    const double riseSpan = riseTime / TenNinetyFraction();
    const double fallSpan = fallTime / TenNinetyFraction();
    // Shift each rising edge later and each falling edge earlier (or the other way)
    // so that both lines pass the crossover voltage exactly at the bit boundary.
    const double riseShift = riseSpan * (0.5 - RaisedCosineInverse(crossFraction));
    const double fallShift = -fallSpan * (0.5 - RaisedCosineInverse(crossFraction));

    const LineLevels first =
        leadLow > 0.0 ? LineLevels{low, low} : Levels(states.front(), params.m_Speed, high, low);
    auto plus = std::make_shared<CEdgeTrain>(first.m_dPlus);
    auto minus = std::make_shared<CEdgeTrain>(first.m_dMinus);
    CEdgeTrain& idleHigh = params.m_Speed == Speed::Full ? *plus : *minus;
    truth = SynthTruth{};
    truth.m_dIdleStart = traffic.m_dStartTime;
    if (leadLow > 0.0) {
        const std::size_t lead =
            idleHigh.AddEdge(traffic.m_dStartTime + leadLow, riseSpan, high, false);
        truth.m_dIdleStart = idleHigh.CrossingTime(lead, kIdleDetectLevel);
    }

    // Per bit boundary: which train moved and which edge it was (for EOP timing).
    std::vector<std::pair<CEdgeTrain*, std::size_t>> fallAtBit(states.size() + 1, {nullptr, 0});
    std::vector<std::pair<CEdgeTrain*, std::size_t>> riseAtBit(states.size() + 1, {nullptr, 0});
    for (std::size_t n = 1; n < states.size(); ++n) {
        if (states[n] == states[n - 1]) continue;
        const LineLevels before = Levels(states[n - 1], params.m_Speed, high, low);
        const LineLevels after = Levels(states[n], params.m_Speed, high, low);
        const double boundary = plan.Boundary(n);
        const auto move = [&](CEdgeTrain& line, double from, double to) {
            if (from == to) return;
            const bool rising = to > from;
            const std::size_t index = line.AddEdge(boundary + (rising ? riseShift : fallShift),
                                                   rising ? riseSpan : fallSpan, to, false);
            (rising ? riseAtBit : fallAtBit)[n] = {&line, index};
        };
        move(*plus, before.m_dPlus, after.m_dPlus);
        move(*minus, before.m_dMinus, after.m_dMinus);
    }

    truth.m_strKind = facts.m_pKind;
    plan.FillTruth(truth);
    truth.m_dSampleRate = rate;
    truth.m_dHighLevel = high;
    truth.m_dLowLevel = low;
    truth.m_dCrossover = crossover;
    truth.m_dRiseTime = riseTime;
    truth.m_dFallTime = fallTime;
    truth.m_dEyeLevelHigh = eyeHigh;
    truth.m_dEyeLevelLow = eyeLow;
    truth.m_dRiseRate = LoneEdgeRate(low, high, riseSpan, eyeHigh, eyeLow);
    truth.m_dFallRate = LoneEdgeRate(high, low, fallSpan, eyeHigh, eyeLow);
    truth.m_dEdgeRateMatch = std::abs(truth.m_dRiseRate - truth.m_dFallRate) /
                             (0.5 * (truth.m_dRiseRate + truth.m_dFallRate)) * 100.0;

    // The EOP is read on the lines at the crossover voltage: the last high line
    // falling into SE0, and the idle-high line rising out of it.
    const auto& layouts = plan.Coding().Packets();
    for (std::size_t p = 0; p < layouts.size(); ++p) {
        const auto into = fallAtBit[layouts[p].m_nEopBit];
        const auto outOf = riseAtBit[layouts[p].m_nEndBit];
        if (into.first)
            truth.m_Packets[p].m_dEopStartAtLevel =
                into.first->CrossingTime(into.second, crossover);
        if (outOf.first)
            truth.m_Packets[p].m_dEopEndAtLevel =
                outOf.first->CrossingTime(outOf.second, crossover);
    }

    SampleSource source;
    source.m_nSamples = plan.Samples();
    source.m_dStartTime = traffic.m_dStartTime;
    source.m_dSampleInterval = 1.0 / rate;
    source.m_ChannelNames = {"D+", "D-"};
    auto cursors = std::make_shared<std::pair<CEdgeTrain::Cursor, CEdgeTrain::Cursor>>();
    const double start = source.m_dStartTime;
    const double interval = source.m_dSampleInterval;
    const double noise = traffic.m_dNoiseRms;
    const std::uint64_t seed = traffic.m_nSeed;
    std::shared_ptr<const CEdgeTrain> plusLine = plus;
    std::shared_ptr<const CEdgeTrain> minusLine = minus;
    source.m_Sample = [plusLine, minusLine, cursors, start, interval, noise, seed](std::size_t k,
                                                                                   double* values) {
        const double t = start + static_cast<double>(k) * interval;
        values[0] = plusLine->ValueAt(t, cursors->first);
        values[1] = minusLine->ValueAt(t, cursors->second);
        if (noise > 0.0) {
            values[0] += noise * GaussianAt(seed, kNoiseStreamFirst, k);
            values[1] += noise * GaussianAt(seed, kNoiseStreamSecond, k);
        }
    };
    return source;
}

SynthTruth WriteSingleEndedCapture(const SingleEndedParams& params, const std::string& path,
                                   FileFormat format, const std::string& minusPath) {
    SynthTruth truth;
    const SampleSource source = MakeSingleEndedSource(params, truth);
    if (minusPath.empty()) {
        truth.m_Files = {path};
        WriteSamples(source, {{path, {0, 1}}}, format, truth.m_strKind, truth);
    } else {
        truth.m_Files = {path, minusPath};
        WriteSamples(source, {{path, {0}}, {minusPath, {1}}}, format, truth.m_strKind, truth);
    }
    WriteTruth(truth, TruthPath(path));
    return truth;
}

}  // namespace synth
