// The vector operations the analysis relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "signal/CVectorMath.h"

// The one rounding rule of bit counts, grid indices and run widths: a half goes up,
// towards +infinity, so -2.5 gives -2; not-a-number and infinities pass through.
TEST(VectorMath, RoundHalfUpTakesHalvesTowardsPlusInfinity) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::pair<double, double> cases[] = {
        {0.5, 1.0},
        {-0.5, 0.0},
        {2.5, 3.0},
        {-2.5, -2.0},
        {2.4999, 2.0},
        {-2.5000001, -3.0},
        {0.49999999999999994, 0.0},
        {-7.0, -7.0},
        {4503599627370497.0, 4503599627370497.0},  // 2^52 + 1
        {kInf, kInf},
        {-kInf, -kInf}};
    for (const auto& [x, rounded] : cases) EXPECT_EQ(CVectorMath::RoundHalfUp(x), rounded) << x;
    EXPECT_FALSE(std::signbit(CVectorMath::RoundHalfUp(-0.5)));
    EXPECT_TRUE(std::isnan(CVectorMath::RoundHalfUp(std::nan(""))));
}
