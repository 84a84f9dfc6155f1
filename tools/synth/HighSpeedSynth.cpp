#include <cmath>
#include <memory>
#include <stdexcept>

#include "synth/CEdgeTrain.h"
#include "synth/CTrafficPlan.h"
#include "synth/Synth.h"

namespace synth {

namespace {

constexpr double kHighSpeedBitRate = 480e6;
// Each reversal phase spans a little over one sample, so at least one sample
// lands on the top and one on the bottom of the reversal.
constexpr double kReversalPhaseSamples = 1.25;

double StateLevel(LineState state, double swing) {
    if (state == LineState::J) return swing;
    if (state == LineState::K) return -swing;
    return 0.0;
}

bool IsData(LineState s) { return s == LineState::J || s == LineState::K; }

// Rate of a lone J/K edge between the two eye levels, in V/us, and its 10-90 % time.
struct EdgeFigures {
    double m_dRate = 0.0;
    double m_dTenNinety = 0.0;
    bool m_bReversed = false;
};

EdgeFigures MeasureLoneEdge(double from, double to, double duration, const Reversal& reversal,
                            double high, double low) {
    CEdgeTrain probe(from);
    probe.SetReversal(reversal);
    probe.AddEdge(0.0, duration, to, true);
    const double swing = to - from;
    EdgeFigures figures;
    const double transit = to > from ? probe.CrossingTime(0, high) - probe.CrossingTime(0, low)
                                     : probe.CrossingTime(0, low) - probe.CrossingTime(0, high);
    figures.m_dRate = (high - low) / transit * 1e-6;
    figures.m_dTenNinety =
        probe.CrossingTime(0, from + 0.9 * swing) - probe.CrossingTime(0, from + 0.1 * swing);
    figures.m_bReversed = probe.Edges().front().m_dRevDip > 0.0;
    return figures;
}

}  // namespace

SampleSource MakeHighSpeedSource(const HighSpeedParams& params, SynthTruth& truth) {
    const TrafficParams& traffic = params.m_Traffic;
    if (params.m_dSwing <= 0.0 || params.m_dTransition <= 0.0) {
        throw std::invalid_argument("swing and transition time must be positive");
    }
    const CTrafficPlan plan(traffic, true, kHighSpeedBitRate, params.m_dSampleRate,
                            traffic.m_dStartTime, params.m_nSyncBitsDropped);
    const std::vector<LineState>& states = plan.Coding().States();
    const double duration = params.m_dTransition / TenNinetyFraction();
    Reversal reversal;
    reversal.m_dLevel = params.m_dReversalLevel;
    reversal.m_dDepth = params.m_dReversalDepth;
    reversal.m_dPhase = params.m_dReversalStep > 0.0 ? params.m_dReversalStep
                                                     : kReversalPhaseSamples / params.m_dSampleRate;

    auto train = std::make_shared<CEdgeTrain>(StateLevel(states.front(), params.m_dSwing));
    train->SetReversal(reversal);
    std::vector<std::int64_t> edgeAtBit(states.size() + 1, -1);
    for (std::size_t n = 1; n < states.size(); ++n) {
        if (states[n] == states[n - 1]) continue;
        edgeAtBit[n] = static_cast<std::int64_t>(
            train->AddEdge(plan.Boundary(n), duration, StateLevel(states[n], params.m_dSwing),
                           IsData(states[n - 1]) && IsData(states[n])));
    }

    truth = SynthTruth{};
    truth.m_strKind = "hs";
    plan.FillTruth(truth);
    truth.m_dSampleRate = params.m_dSampleRate;
    truth.m_dHighLevel = params.m_dSwing;
    truth.m_dLowLevel = -params.m_dSwing;
    truth.m_dEyeLevelHigh = params.m_dEyeLevelHigh;
    truth.m_dEyeLevelLow = params.m_dEyeLevelLow;
    truth.m_dThreshold = params.m_dThreshold;
    truth.m_nSyncBitsDropped = params.m_nSyncBitsDropped;
    truth.m_dIdleStart = traffic.m_dStartTime;
    const EdgeFigures rise = MeasureLoneEdge(-params.m_dSwing, params.m_dSwing, duration, reversal,
                                             params.m_dEyeLevelHigh, params.m_dEyeLevelLow);
    const EdgeFigures fall = MeasureLoneEdge(params.m_dSwing, -params.m_dSwing, duration, reversal,
                                             params.m_dEyeLevelHigh, params.m_dEyeLevelLow);
    truth.m_dRiseRate = rise.m_dRate;
    truth.m_dFallRate = fall.m_dRate;
    truth.m_dRiseTime = rise.m_dTenNinety;
    truth.m_dFallTime = fall.m_dTenNinety;
    truth.m_dEdgeRateMatch =
        std::abs(rise.m_dRate - fall.m_dRate) / (0.5 * (rise.m_dRate + fall.m_dRate)) * 100.0;
    truth.m_dMonotonicDepth = rise.m_bReversed ? params.m_dReversalDepth : 0.0;

    // The bus is read at ±threshold: the EOP starts where its state is reached
    // and ends where the line falls back through the same level towards idle.
    const auto& layouts = plan.Coding().Packets();
    for (std::size_t p = 0; p < layouts.size(); ++p) {
        const PacketLayout& layout = layouts[p];
        const double level = StateLevel(states[layout.m_nEopBit], 1.0) * params.m_dThreshold;
        PacketTruth& packet = truth.m_Packets[p];
        if (edgeAtBit[layout.m_nEopBit] >= 0) {
            packet.m_dEopStartAtLevel =
                train->CrossingTime(static_cast<std::size_t>(edgeAtBit[layout.m_nEopBit]), level);
        }
        if (edgeAtBit[layout.m_nEndBit] >= 0) {
            packet.m_dEopEndAtLevel =
                train->CrossingTime(static_cast<std::size_t>(edgeAtBit[layout.m_nEndBit]), level);
        }
    }

    SampleSource source;
    source.m_nSamples = plan.Samples();
    source.m_dStartTime = traffic.m_dStartTime;
    source.m_dSampleInterval = 1.0 / params.m_dSampleRate;
    source.m_ChannelNames = {"Volts"};
    auto cursor = std::make_shared<CEdgeTrain::Cursor>();
    const double start = source.m_dStartTime;
    const double interval = source.m_dSampleInterval;
    const double noise = traffic.m_dNoiseRms;
    const std::uint64_t seed = traffic.m_nSeed;
    source.m_Sample = [train, cursor, start, interval, noise, seed](std::size_t k, double* values) {
        const double t = start + static_cast<double>(k) * interval;
        values[0] = train->ValueAt(t, *cursor);
        if (noise > 0.0) values[0] += noise * GaussianAt(seed, kNoiseStreamFirst, k);
    };
    return source;
}

SynthTruth WriteHighSpeedCapture(const HighSpeedParams& params, const std::string& path,
                                 FileFormat format) {
    SynthTruth truth;
    const SampleSource source = MakeHighSpeedSource(params, truth);
    truth.m_Files = {path};
    WriteSamples(source, {{path, {0}}}, format, truth.m_strKind, truth);
    WriteTruth(truth, TruthPath(path));
    return truth;
}

}  // namespace synth
