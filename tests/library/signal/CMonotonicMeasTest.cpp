#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "library/signal/SignalCaptures.h"
#include "signal/CMonotonicMeas.h"

using namespace captures;

namespace {

// Eight samples a nanosecond; inner-polygon bands: high-speed near end -0.3 .. 0.3 V,
// full speed 0.8 .. 2.5 V. The packet's first run starts at `start`.
MonotonicResult Walk(const std::vector<double>& x, const std::vector<double>& minus,
                     const std::vector<double>& plus, double eopStart, double eopEnd,
                     double start = 0.0) {
    const CSampleTimes t(0.0, 1 / 8e9, std::max(x.size(), minus.size()));
    CPacketEntry packet;
    packet.m_Symbols.resize(1);
    packet.m_Symbols[0].m_dStart = t[static_cast<std::size_t>(start)];
    return CMonotonicMeas().MeasureMonotonic(
        t, x, Limits(x.empty() ? "fs" : "hsne"), t[static_cast<std::size_t>(eopStart)],
        t[static_cast<std::size_t>(eopEnd)], minus, plus, packet);
}

// Differential walk over the whole of `x`, the EOP start at its last sample.
MonotonicResult Walk(const std::vector<double>& x) {
    return Walk(x, {}, {}, static_cast<double>(x.size() - 1), static_cast<double>(x.size() - 1));
}

}  // namespace

TEST(EdgeMonotonicity, ReversalsInsideTheBandAreMeasuredToTheirDepth) {
    // Starts at idle (0 V, inside the band), then a rising edge that peaks at 0.10 V, falls
    // back to 0.06 V and recovers at sample 8; then a falling edge with a 25 mV bump.
    const MonotonicResult r = Walk({0.0, 0.0, -0.4, -0.4, -0.2, 0.1, 0.07, 0.06, 0.12, 0.3, 0.4,
                                    0.4, 0.2, -0.1, -0.075, -0.08, -0.2, -0.4});
    ASSERT_EQ(r.m_Excursions.size(), 2u);
    EXPECT_NEAR(r.m_Excursions[0], 0.040, 1e-12);
    EXPECT_NEAR(r.m_Excursions[1], 0.025, 1e-12);
    EXPECT_DOUBLE_EQ(r.m_Times[0], 8 / 8e9);  // where the edge climbed back past its peak
    EXPECT_DOUBLE_EQ(r.m_Times[1], 16 / 8e9);
    EXPECT_NEAR(r.m_dMonotonic, 0.040, 1e-12);
}

// Ringing above the band after the edge; a ring back below the band to the old level;
// a dip whose recovery happens only above the band; a clean edge.
TEST(EdgeMonotonicity, RingingOutsideTheBandIsNoReversal) {
    for (const std::vector<double>& x :
         std::vector<std::vector<double>>{{-0.4, -0.1, 0.2, 0.45, 0.35, 0.42, 0.31, 0.4},
                                          {-0.4, -0.2, -0.35, -0.1, 0.2, 0.4},
                                          {-0.4, 0.2, 0.15, 0.4, 0.4},
                                          {-0.4, -0.3, -0.1, 0.1, 0.3, 0.4}}) {
        const MonotonicResult r = Walk(x);
        EXPECT_TRUE(r.m_Excursions.empty()) << x[2];
        EXPECT_EQ(r.m_dMonotonic, 0.0);
    }
}

// High speed: a reversal after the EOP start (sample 6) is the EOP's, not a data edge.
// Full speed: D- carries a 0.3 V reversal before the packet's first run (sample 5) and
// a 0.2 V one inside it; D+ one of 0.1 V. Both lines count, the earlier traffic does not.
TEST(EdgeMonotonicity, WalkKeepsToThePacketWindowOnEveryLine) {
    EXPECT_TRUE(Walk({-0.4, -0.4, 0.0, 0.4, 0.4, 0.4, 0.4, -0.4, 0.0, -0.05, 0.1, 0.4, 0.4, 0.4},
                     {}, {}, 6, 8)
                    .m_Excursions.empty());
    const MonotonicResult r =
        Walk({}, {0.0, 1.5, 1.2, 1.8, 3.3, 3.3, 0.0, 1.5, 1.3, 1.8, 3.3, 3.3, 3.3, 3.3},
             {3.3, 3.3, 3.3, 3.3, 3.3, 3.3, 3.3, 2.0, 2.1, 1.5, 0.0, 0.0, 3.3, 3.3}, 11, 11, 5);
    ASSERT_EQ(r.m_Excursions.size(), 2u);
    EXPECT_NEAR(r.m_Excursions[0], 0.1, 1e-12);  // D+ idles high: walked first
    EXPECT_NEAR(r.m_Excursions[1], 0.2, 1e-12);
    EXPECT_NEAR(r.m_dMonotonic, 0.2, 1e-12);
}
