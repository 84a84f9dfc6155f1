// The vector operations the analysis relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

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

// How often a SYNC pattern occurs in a packet's line states.
TEST(VectorMath, FindAllFindsNonOverlappingOccurrences) {
    using Ints = std::vector<int32_t>;
    struct Case {
        std::string text, pattern;
        Ints found;
    };
    for (const Case& c :
         {Case{"KJKJKJ", "KJ", {0, 2, 4}}, Case{"KJKJKJ", "KJK", {0}}, Case{"KKKK", "KK", {0, 2}},
          Case{"JJKJKK", "KJKK", {2}}, Case{"JJJ", "K", {}}, Case{"", "K", {}},
          Case{"KJ", "KJK", {}}, Case{"KJ", "", {}}})
        EXPECT_EQ(CVectorMath::FindAll(c.text, c.pattern), c.found) << c.text << " " << c.pattern;
}
