// Vector math.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "entry/CAnalysisError.h"
#include "signal/CVectorMath.h"

namespace {

using Reals = std::vector<double>;
using Ints = std::vector<int32_t>;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TEST(VectorMath, LengthMismatchGivesAnEmptyVector) {
    EXPECT_TRUE(CVectorMath::Subtract({1, 2, 3}, {1, 2, 3, 4}).empty());
    EXPECT_TRUE(CVectorMath::Subtract({}, {}).empty());
    EXPECT_TRUE(CVectorMath::Add({1}, {}).empty());
    EXPECT_TRUE(CVectorMath::Multiply({}, {2}).empty());
    EXPECT_TRUE(CVectorMath::Less({1, 2}, {1}).empty());
    EXPECT_TRUE(CVectorMath::GreaterEqual({1}, {1, 2}).empty());
    EXPECT_TRUE(CVectorMath::And({1, 0}, {1}).empty());
    EXPECT_TRUE(CVectorMath::Or({1}, {}).empty());
    EXPECT_TRUE(CVectorMath::IntAdd({1, 2}, {1, 2, 3}).empty());
    EXPECT_TRUE(CVectorMath::IntMultiply({1, 2, 3}, {1, 2}).empty());
}

TEST(VectorMath, ReductionsOfEmptyVectors) {
    EXPECT_EQ(CVectorMath::Min({}), 1e12);
    EXPECT_EQ(CVectorMath::Max({}), 0.0);
    EXPECT_EQ(CVectorMath::Sum({}), 0.0);
    EXPECT_TRUE(std::isnan(CVectorMath::Mean({})));
}

TEST(VectorMath, RangeReductionsClipTheLastIndex) {
    const Reals a = {5, 1, 9, 4};
    EXPECT_EQ(CVectorMath::MaxRange(a, 1, 100), 9.0);
    EXPECT_EQ(CVectorMath::MaxRange(a, 3, 100), 4.0);
    EXPECT_EQ(CVectorMath::MinRange(a, 2, 3), 4.0);
    EXPECT_EQ(CVectorMath::MinRange(a, 0, 1), 1.0);
    EXPECT_EQ(CVectorMath::MaxRange(a, 0, 0), 5.0);
    // An empty range gives the start value.
    EXPECT_EQ(CVectorMath::MaxRange(a, 3, 1), -1e12);
    EXPECT_EQ(CVectorMath::MinRange(a, 7, 9), 1e12);
    EXPECT_EQ(CVectorMath::MaxRange({}, 0, 5), -1e12);
}

TEST(VectorMath, RoundHalfUp) {
    EXPECT_EQ(CVectorMath::RoundHalfUp(0.5), 1.0);
    EXPECT_EQ(CVectorMath::RoundHalfUp(-0.5), 0.0);
    EXPECT_FALSE(std::signbit(CVectorMath::RoundHalfUp(-0.5)));
    EXPECT_EQ(CVectorMath::RoundHalfUp(2.5), 3.0);
    EXPECT_EQ(CVectorMath::RoundHalfUp(-2.5), -2.0);
    EXPECT_EQ(CVectorMath::RoundHalfUp(2.4999), 2.0);
    EXPECT_EQ(CVectorMath::RoundHalfUp(-2.5000001), -3.0);
    EXPECT_EQ(CVectorMath::RoundHalfUp(0.49999999999999994), 0.0);
    EXPECT_EQ(CVectorMath::RoundHalfUp(-7.0), -7.0);
    EXPECT_EQ(CVectorMath::RoundHalfUp(4503599627370497.0), 4503599627370497.0);  // 2^52 + 1
    EXPECT_EQ(CVectorMath::RoundHalfUp(kInf), kInf);
    EXPECT_EQ(CVectorMath::RoundHalfUp(-kInf), -kInf);
    EXPECT_TRUE(std::isnan(CVectorMath::RoundHalfUp(kNaN)));

    EXPECT_EQ(CVectorMath::Round({0.5, -0.5, 2.5, -2.5, 2.4999}), (Reals{1, 0, 3, -2, 2}));
    EXPECT_EQ(CVectorMath::RoundToInt({0.5, -0.5, 2.5, -2.5, 2.4999}), (Ints{1, 0, 3, -2, 2}));
    EXPECT_TRUE(CVectorMath::RoundToInt({}).empty());
}

TEST(VectorMath, RoundToIntRefusesWhatNoIntegerCanHold) {
    EXPECT_EQ(CVectorMath::RoundHalfUpToInt(2147483646.5), 2147483647);
    EXPECT_EQ(CVectorMath::RoundHalfUpToInt(-2147483648.4), -2147483647 - 1);
    for (double bad : {kNaN, kInf, -kInf, 2147483647.5, -2147483649.0, 1e300}) {
        try {
            CVectorMath::RoundToInt({1.0, bad});
            ADD_FAILURE() << "no exception for " << bad;
        } catch (const CAnalysisError& e) {
            EXPECT_EQ(e.Text(), kRoundToIntError);
            EXPECT_LE(e.Text().size(), kMaxMessageChars);
        }
    }
}

TEST(VectorMath, FindAllFindsNonOverlappingOccurrences) {
    EXPECT_EQ(CVectorMath::FindAll("KJKJKJ", "KJ"), (Ints{0, 2, 4}));
    EXPECT_EQ(CVectorMath::FindAll("KJKJKJ", "KJK"), (Ints{0}));
    EXPECT_EQ(CVectorMath::FindAll("KKKK", "KK"), (Ints{0, 2}));
    EXPECT_EQ(CVectorMath::FindAll("JJKJKK", "KJKK"), (Ints{2}));
    EXPECT_TRUE(CVectorMath::FindAll("JJJ", "K").empty());
    EXPECT_TRUE(CVectorMath::FindAll("", "K").empty());
    EXPECT_TRUE(CVectorMath::FindAll("KJ", "KJK").empty());
    EXPECT_TRUE(CVectorMath::FindAll("KJ", "").empty());
}
