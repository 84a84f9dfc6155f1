#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "signal/CEdgeRates.h"

// Low-speed idle holds D- high, so D- is walked first, and both lines contribute
// each direction: six edges 2 us apart, D- swinging 0 .. 3.2 V at 24 V/us, D+ at
// 12 V/us.
TEST(EdgeRates, BothSingleEndedLinesContributeEdges) {
    const auto line = [](double t, double voltsPerMicrosecond, bool idleHigh) {
        double level = idleHigh ? 3.2 : 0.0;
        for (int e = 0; e < 6 && t > 1e-6 + 2e-6 * e; ++e) {
            const double x = std::min((t - 1e-6 - 2e-6 * e) * voltsPerMicrosecond * 1e6 / 3.2, 1.0);
            level = (e % 2 == 0) != idleHigh ? 3.2 * x : 3.2 * (1 - x);
        }
        return level;
    };
    const CSampleTimes time(0.0, 1e-9, 13000);
    std::vector<double> plus, minus, diff;
    for (int i = 0; i < 13000; ++i) {
        minus.push_back(line(time[i], 24, true));
        plus.push_back(line(time[i], 12, false));
        diff.push_back(plus.back() - minus.back());
    }
    CSigSpec spec;
    spec.m_dEyeLevelHigh = 2.8;
    spec.m_dEyeLevelLow = 0.4;
    spec.m_dBitTime = 1.0 / 1.5e6;
    const EdgeRateSet r = CEdgeRates().MeasureEdgeRates(time, diff, spec, plus, minus, 1.0, 0);
    const double expected[] = {12.0, 24.0, 18.0, 12.0, 24.0, 18.0};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(r[i], expected[i], expected[i] * 1e-3) << i;
}
