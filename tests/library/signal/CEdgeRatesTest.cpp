#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "signal/CEdgeRates.h"
#include "synth/Synth.h"

namespace {

struct Trace {
    std::vector<double> m_Time;
    std::vector<double> m_Volts;
};

// A trace through the given (time, volts) corners, sampled every `dt` seconds.
Trace PiecewiseLinear(const std::vector<std::pair<double, double>>& corners, double dt) {
    Trace trace;
    std::size_t c = 0;
    for (double t = corners.front().first; t <= corners.back().first; t += dt) {
        while (c + 2 < corners.size() && t >= corners[c + 1].first) ++c;
        const auto [t0, v0] = corners[c];
        const auto [t1, v1] = corners[c + 1];
        trace.m_Time.push_back(t);
        trace.m_Volts.push_back(v0 + (v1 - v0) * std::clamp((t - t0) / (t1 - t0), 0.0, 1.0));
    }
    return trace;
}

CSigSpec HighSpeedLevels() {
    CSigSpec spec;
    spec.m_dEyeLevelHigh = 0.175;
    spec.m_dEyeLevelLow = -0.175;
    spec.m_dBitTime = 1.0 / 480e6;
    return spec;
}

// 3.5 V/ns moves 0.35 V in exactly 100 ps.
constexpr double kSlope = 3.5e9;  // V/s
constexpr double kSwingTime = 0.8 / kSlope;

// Idle at 0 V, then J/K levels of ±0.4 V joined by 3.5 V/ns ramps, 2 ns apart.
std::vector<std::pair<double, double>> HighSpeedBurst() {
    std::vector<std::pair<double, double>> corners{{0.0, 0.0}, {0.2e-9, 0.0}};
    double t = 0.2e-9 + 0.4 / kSlope;
    corners.push_back({t, 0.4});
    double level = 0.4;
    for (int edge = 0; edge < 6; ++edge) {
        corners.push_back({t + 2e-9, level});
        t += 2e-9 + kSwingTime;
        level = -level;
        corners.push_back({t, level});
    }
    corners.push_back({t + 2e-9, level});
    return corners;
}

}  // namespace

// A raised-cosine edge of 400 ps (10-90 %) sampled every 125 ps: the straight
// line between the two samples around each eye level cuts the curve's bend, moving
// each crossing outwards by up to 4.5 ps of a 197 ps transit, so a rate reads at
// most 5 % slow. Walked from the first sample, the capture's idle sits at
// 0 V inside the band: the first SYNC edge leaves from there and must not count.
TEST(EdgeRates, HighSpeedEdgesGiveTheRateOfTheirWrittenTransition) {
    synth::HighSpeedParams params;
    params.m_Traffic.m_nPayloadBytes = 16;
    params.m_Traffic.m_Jitter.m_dRandomRms = 20e-12;
    synth::SynthTruth truth;
    const synth::SampleSource source = synth::MakeHighSpeedSource(params, truth);
    Trace trace;
    double volts = 0.0;
    for (std::size_t k = 0; k < source.m_nSamples; ++k) {
        source.m_Sample(k, &volts);
        trace.m_Time.push_back(source.Time(k));
        trace.m_Volts.push_back(volts);
    }
    const double limit = truth.m_dEopStart - truth.m_dUnitInterval / 2;
    const EdgeRateSet r = CEdgeRates().MeasureEdgeRates(trace.m_Time, trace.m_Volts,
                                                        HighSpeedLevels(), {}, {}, limit, 0);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(r[i], truth.m_dRiseRate, 0.06 * truth.m_dRiseRate);
    for (std::size_t i = 3; i < 6; ++i)
        EXPECT_NEAR(r[i], truth.m_dFallRate, 0.06 * truth.m_dFallRate);
}

TEST(EdgeRates, EdgesCutByTheLimitOrBeforeTheFirstSampleAreLeftOut) {
    const Trace trace = PiecewiseLinear(HighSpeedBurst(), 10e-12);
    // A limit in the middle of the fourth J/K edge.
    const double limit = 0.2e-9 + 0.4 / kSlope + 3 * 2e-9 + 2.5 * kSwingTime + 0.5 * kSwingTime;
    const EdgeRateSet cut = CEdgeRates().MeasureEdgeRates(trace.m_Time, trace.m_Volts,
                                                          HighSpeedLevels(), {}, {}, limit, 0);
    for (const double rate : cut) EXPECT_NEAR(rate, 3500.0, 3.5);

    // A slow edge before the packet starts does not count.
    std::vector<std::pair<double, double>> corners{{0.0, 0.4}, {1e-9, 0.4}, {3e-9, -0.4}};
    for (auto [t, v] : HighSpeedBurst()) corners.push_back({t + 5e-9, v == 0.0 ? -0.4 : v});
    const Trace late = PiecewiseLinear(corners, 10e-12);
    const std::size_t packetStart = 500;  // 5 ns
    const EdgeRateSet fromPacket = CEdgeRates().MeasureEdgeRates(
        late.m_Time, late.m_Volts, HighSpeedLevels(), {}, {}, 1.0, packetStart);
    EXPECT_NEAR(fromPacket[0], 3500.0, 3.5);
    EXPECT_NEAR(fromPacket[3], 3500.0, 3.5);

    // Nothing before the limit: no rate at all.
    const EdgeRateSet none = CEdgeRates().MeasureEdgeRates(trace.m_Time, trace.m_Volts,
                                                           HighSpeedLevels(), {}, {}, 0.1e-9, 0);
    EXPECT_EQ(none[0], 1e12);
    EXPECT_EQ(none[1], 0.0);
    EXPECT_TRUE(std::isnan(none[2]));
}

// Low-speed idle holds D- high, so D- is walked first, and both lines contribute
// each direction: D- swings 2.4 V between the levels in 100 ns (24 V/us), D+ in
// 200 ns (12 V/us).
TEST(EdgeRates, BothSingleEndedLinesContributeEdges) {
    CSigSpec spec;
    spec.m_dEyeLevelHigh = 2.8;
    spec.m_dEyeLevelLow = 0.4;
    spec.m_dBitTime = 1.0 / 1.5e6;
    const double fast = 3.2 / 24e6;  // s for a 0-3.2 V ramp at 24 V/us
    const double slow = 3.2 / 12e6;
    std::vector<std::pair<double, double>> minus{{0.0, 3.2}};
    std::vector<std::pair<double, double>> plus{{0.0, 0.0}};
    double t = 1e-6;
    for (int edge = 0; edge < 6; ++edge) {
        const bool toK = edge % 2 == 0;
        minus.push_back({t, toK ? 3.2 : 0.0});
        minus.push_back({t + fast, toK ? 0.0 : 3.2});
        plus.push_back({t, toK ? 0.0 : 3.2});
        plus.push_back({t + slow, toK ? 3.2 : 0.0});
        t += 2e-6;
    }
    minus.push_back({t, minus.back().second});
    plus.push_back({t, plus.back().second});
    const double dt = 1e-9;
    const Trace dm = PiecewiseLinear(minus, dt);
    const Trace dp = PiecewiseLinear(plus, dt);
    std::vector<double> diff(dm.m_Volts.size());
    for (std::size_t i = 0; i < diff.size(); ++i) diff[i] = dp.m_Volts[i] - dm.m_Volts[i];
    const EdgeRateSet r =
        CEdgeRates().MeasureEdgeRates(dm.m_Time, diff, spec, dp.m_Volts, dm.m_Volts, 1.0, 0);
    EXPECT_NEAR(r[0], 12.0, 0.012);
    EXPECT_NEAR(r[1], 24.0, 0.024);
    EXPECT_NEAR(r[2], 18.0, 0.018);
    EXPECT_NEAR(r[3], 12.0, 0.012);
    EXPECT_NEAR(r[4], 24.0, 0.024);
    EXPECT_NEAR(r[5], 18.0, 0.018);
}
