// Vector math.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "entry/CAnalysisError.h"
#include "signal/CVectorMath.h"

namespace {

using Reals = std::vector<double>;
using Ints = std::vector<int32_t>;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TEST(VectorMath, ElementWiseArithmetic) {
    const CVectorMath vm;  // used as the measurement classes use it: a local object
    const Reals a = {1.0, -2.0, 3.5};
    const Reals b = {0.5, 4.0, -1.5};
    EXPECT_EQ(vm.Add(a, b), (Reals{1.5, 2.0, 2.0}));
    EXPECT_EQ(vm.Subtract(a, b), (Reals{0.5, -6.0, 5.0}));
    EXPECT_EQ(vm.Multiply(a, b), (Reals{0.5, -8.0, -5.25}));
    EXPECT_EQ(vm.AddScalar(1.0, a), (Reals{2.0, -1.0, 4.5}));
    EXPECT_EQ(vm.SubtractScalar(a, 1.0), (Reals{0.0, -3.0, 2.5}));
    EXPECT_EQ(vm.Scale(2.0, a), (Reals{2.0, -4.0, 7.0}));
    EXPECT_EQ(vm.DivideScalar(a, 2.0), (Reals{0.5, -1.0, 1.75}));
    EXPECT_EQ(vm.ScalarDivide(1.0, b), (Reals{2.0, 0.25, 1.0 / -1.5}));
    EXPECT_EQ(vm.Negate(a), (Reals{-1.0, 2.0, -3.5}));
    EXPECT_EQ(CVectorMath::Abs(a), (Reals{1.0, 2.0, 3.5}));
    // Abs clears the sign bit, of a negative zero as well.
    EXPECT_FALSE(std::signbit(CVectorMath::Abs({-0.0})[0]));
    // Inputs are left as they were.
    EXPECT_EQ(a, (Reals{1.0, -2.0, 3.5}));
}

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

TEST(VectorMath, ComparisonsGiveFlags) {
    const Reals a = {1, 2, 3, kNaN};
    const Reals b = {2, 2, 2, 0};
    EXPECT_EQ(CVectorMath::Less(a, b), (Ints{1, 0, 0, 0}));
    EXPECT_EQ(CVectorMath::LessEqual(a, b), (Ints{1, 1, 0, 0}));
    EXPECT_EQ(CVectorMath::Greater(a, b), (Ints{0, 0, 1, 0}));
    EXPECT_EQ(CVectorMath::GreaterEqual(a, b), (Ints{0, 1, 1, 0}));
    EXPECT_EQ(CVectorMath::And({1, 0, 5, 0}, {1, 1, -2, 0}), (Ints{1, 0, 1, 0}));
    EXPECT_EQ(CVectorMath::Or({1, 0, 5, 0}, {0, 1, -2, 0}), (Ints{1, 1, 1, 0}));
}

TEST(VectorMath, IntegerOperations) {
    EXPECT_EQ(CVectorMath::IntAdd({1, -2}, {3, 4}), (Ints{4, 2}));
    EXPECT_EQ(CVectorMath::IntMultiply({3, -2}, {3, 4}), (Ints{9, -8}));
    EXPECT_EQ(CVectorMath::IntScale(3, {1, -2, 0}), (Ints{3, -6, 0}));
    EXPECT_EQ(CVectorMath::IntDiff({1, 4, 2, 2}), (Ints{3, -2, 0}));
    EXPECT_TRUE(CVectorMath::IntDiff({7}).empty());
    EXPECT_TRUE(CVectorMath::IntDiff({}).empty());
    // Overflow wraps around instead of being undefined.
    const int32_t big = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(CVectorMath::IntAdd({big}, {1}), (Ints{std::numeric_limits<int32_t>::min()}));
    EXPECT_EQ(CVectorMath::IntDiff({std::numeric_limits<int32_t>::min(), big}), (Ints{-1}));
}

TEST(VectorMath, FilledVectors) {
    EXPECT_EQ(CVectorMath::Zeros(3), (Reals{0, 0, 0}));
    EXPECT_EQ(CVectorMath::Ones(2), (Reals{1, 1}));
    EXPECT_EQ(CVectorMath::IntZeros(2), (Ints{0, 0}));
    EXPECT_TRUE(CVectorMath::Zeros(0).empty());
    EXPECT_TRUE(CVectorMath::Ones(-4).empty());
    EXPECT_TRUE(CVectorMath::IntZeros(-1).empty());
}

TEST(VectorMath, ReductionsOfEmptyVectors) {
    EXPECT_EQ(CVectorMath::Min({}), 1e12);
    EXPECT_EQ(CVectorMath::Max({}), 0.0);
    EXPECT_EQ(CVectorMath::Sum({}), 0.0);
    EXPECT_TRUE(std::isnan(CVectorMath::Mean({})));
}

TEST(VectorMath, Reductions) {
    const Reals a = {3, -1, 7, 7, 2};
    EXPECT_EQ(CVectorMath::Max(a), 7.0);
    EXPECT_EQ(CVectorMath::Min(a), -1.0);
    EXPECT_EQ(CVectorMath::Sum(a), 18.0);
    EXPECT_EQ(CVectorMath::Mean(a), 3.6);
    // The start values bound the result.
    EXPECT_EQ(CVectorMath::Max({-2e12}), -1e12);
    EXPECT_EQ(CVectorMath::Min({2e12}), 1e12);
    // RMS as the measurements form it.
    EXPECT_EQ(std::sqrt(CVectorMath::Mean(CVectorMath::Multiply({3, -3}, {3, -3}))), 3.0);
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

TEST(VectorMath, MultiplyRange) {
    EXPECT_EQ(CVectorMath::MultiplyRange({1, 2, 3}, {4, 5, 6}, 1), (Reals{4, 10}));
    EXPECT_EQ(CVectorMath::MultiplyRange({1, 2, 3}, {4, 5, 6}, 2), (Reals{4, 10, 18}));
    EXPECT_THROW(CVectorMath::MultiplyRange({1, 2, 3}, {4, 5}, 2), std::out_of_range);
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

TEST(VectorMath, Linspace) {
    EXPECT_EQ(CVectorMath::Linspace(0, 1, 5), (Reals{0, 0.25, 0.5, 0.75, 1}));
    EXPECT_EQ(CVectorMath::Linspace(2, -2, 3.9), (Reals{2, 0, -2}));  // n = floor(x)
    EXPECT_TRUE(CVectorMath::Linspace(0, 1, 0.5).empty());
    EXPECT_TRUE(CVectorMath::Linspace(0, 1, -3).empty());
    EXPECT_TRUE(CVectorMath::Linspace(0, 1, kNaN).empty());
    const Reals one = CVectorMath::Linspace(0, 1, 1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_TRUE(std::isnan(one[0]));
    EXPECT_THROW(CVectorMath::Linspace(0, 1, 1e300), std::length_error);
}

TEST(VectorMath, SubRangeAndAbove) {
    const Reals a = {1, 2, 3, 4};
    EXPECT_EQ(CVectorMath::SubRange(a, 1, 2), (Reals{2, 3}));
    EXPECT_EQ(CVectorMath::SubRange(a, 2, 99), (Reals{3, 4}));
    EXPECT_EQ(CVectorMath::SubRange(a, 3, 3), (Reals{4}));
    EXPECT_TRUE(CVectorMath::SubRange(a, 3, 2).empty());
    EXPECT_TRUE(CVectorMath::SubRange(a, 4, 9).empty());
    EXPECT_TRUE(CVectorMath::SubRange({}, 0, 0).empty());
    EXPECT_EQ(CVectorMath::Above(2, {3, 1, 2, 5}), (Reals{3, 5}));
    EXPECT_TRUE(CVectorMath::Above(9, a).empty());
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
