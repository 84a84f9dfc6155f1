// Rounding half up is the one rounding rule of every count of bits and samples: it must
// be floor plus one from a fraction of one half, whatever the sign, size or kind of value.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "signal/CVectorMath.h"

namespace {

double FloorRule(double x) {
    const double whole = std::floor(x);
    return (x - whole >= 0.5) ? whole + 1.0 : whole;
}

void ExpectAsFloorRule(double x) {
    const double want = FloorRule(x), got = CVectorMath::RoundHalfUp(x);
    if (std::isnan(want)) {
        EXPECT_TRUE(std::isnan(got)) << x;
        return;
    }
    EXPECT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(want)) << std::hexfloat << x;
}

}  // namespace

TEST(RoundHalfUp, EveryValueRoundsAsFloorPlusOneFromAHalf) {
    const double inf = std::numeric_limits<double>::infinity();
    const double edges[] = {0.0,
                            -0.0,
                            0.5,
                            -0.5,
                            2.5,
                            -2.5,
                            0.49999999999999994,
                            -0.49999999999999994,
                            1e-300,
                            -1e-300,
                            3.0,
                            -3.0,
                            4503599627370495.5,
                            -4503599627370495.5,
                            4503599627370496.0,
                            -4503599627370497.0,
                            9007199254740993.0,
                            1e300,
                            -1e300,
                            inf,
                            -inf,
                            std::numeric_limits<double>::quiet_NaN()};
    for (const double x : edges) ExpectAsFloorRule(x);
    // Bit counts and sample positions of every size, with fractions near a half.
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> fraction(-1.0, 1.0);
    std::uniform_int_distribution<int> power(-30, 60);
    for (int i = 0; i < 200000; ++i) {
        const double x = fraction(random) * std::ldexp(1.0, power(random));
        ExpectAsFloorRule(x);
        ExpectAsFloorRule(std::floor(x) + 0.5);
        ExpectAsFloorRule(std::nextafter(std::floor(x) + 0.5, -inf));
    }
}
