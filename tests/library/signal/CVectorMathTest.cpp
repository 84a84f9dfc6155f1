#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "signal/CVectorMath.h"

// The one rounding rule of bit counts, grid indices and run widths: a half goes up,
// towards +infinity, so -2.5 gives -2; not-a-number and infinities pass through.
TEST(VectorMath, RoundHalfUpTakesHalvesTowardsPlusInfinity) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    for (const auto& [x, rounded] : {std::pair{0.5, 1.0},
                                     {-0.5, 0.0},
                                     {2.5, 3.0},
                                     {-2.5, -2.0},
                                     {2.4999, 2.0},
                                     {0.49999999999999994, 0.0},
                                     {4503599627370497.0, 4503599627370497.0},
                                     {-kInf, -kInf}})
        EXPECT_EQ(CVectorMath::RoundHalfUp(x), rounded) << x;
    EXPECT_TRUE(std::isnan(CVectorMath::RoundHalfUp(std::nan(""))));
}
