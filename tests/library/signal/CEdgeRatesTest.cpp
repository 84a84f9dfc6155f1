#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "signal/CEdgeRates.h"

namespace {

using Corners = std::vector<std::pair<double, double>>;  // (s, V)

struct Trace {
    std::vector<double> m_Time;
    std::vector<double> m_Volts;
};

// A trace through the corners, sampled every `dt` seconds.
Trace PiecewiseLinear(const Corners& corners, double dt) {
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

CSigSpec EyeLevels(double high, double low, double bitRate) {
    CSigSpec spec;
    spec.m_dEyeLevelHigh = high;
    spec.m_dEyeLevelLow = low;
    spec.m_dBitTime = 1.0 / bitRate;
    return spec;
}

}  // namespace

// Low-speed idle holds D- high, so D- is walked first, and both lines contribute
// each direction: D- swings 2.4 V between the levels in 100 ns (24 V/us), D+ in
// 200 ns (12 V/us). A walk that ends before the first edge finds no rate at all.
TEST(EdgeRates, BothSingleEndedLinesContributeEdges) {
    const double fast = 3.2 / 24e6;  // s for a 0-3.2 V ramp at 24 V/us
    const double slow = 3.2 / 12e6;
    Corners minus{{0.0, 3.2}};
    Corners plus{{0.0, 0.0}};
    double t = 1e-6;
    for (int edge = 0; edge < 6; ++edge) {
        const bool toK = edge % 2 == 0;
        minus.insert(minus.end(), {{t, toK ? 3.2 : 0.0}, {t + fast, toK ? 0.0 : 3.2}});
        plus.insert(plus.end(), {{t, toK ? 0.0 : 3.2}, {t + slow, toK ? 3.2 : 0.0}});
        t += 2e-6;
    }
    minus.push_back({t, minus.back().second});
    plus.push_back({t, plus.back().second});
    const Trace dm = PiecewiseLinear(minus, 1e-9);
    const Trace dp = PiecewiseLinear(plus, 1e-9);
    std::vector<double> diff(dm.m_Volts.size());
    for (std::size_t i = 0; i < diff.size(); ++i) diff[i] = dp.m_Volts[i] - dm.m_Volts[i];
    const EdgeRateSet r = CEdgeRates().MeasureEdgeRates(dm.m_Time, diff, EyeLevels(2.8, 0.4, 1.5e6),
                                                        dp.m_Volts, dm.m_Volts, 1.0, 0);
    const double expected[] = {12.0, 24.0, 18.0, 12.0, 24.0, 18.0};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(r[i], expected[i], expected[i] * 1e-3) << i;

    const EdgeRateSet none = CEdgeRates().MeasureEdgeRates(
        dm.m_Time, diff, EyeLevels(2.8, 0.4, 1.5e6), dp.m_Volts, dm.m_Volts, 0.5e-6, 0);
    for (std::size_t k : {0, 3}) {
        EXPECT_EQ(none[k], 1e12);
        EXPECT_EQ(none[k + 1], 0.0);
        EXPECT_TRUE(std::isnan(none[k + 2]));
    }
}
