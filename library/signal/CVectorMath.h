#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

// The reductions and the one rounding rule the measurements share. Stateless: every
// operation is static.
class CVectorMath {
public:
    using Reals = std::vector<double>;
    using Ints = std::vector<int32_t>;

    // One pass in index order, strict comparisons (the first extreme wins).
    static double Max(const Reals& a);   // starts from -1e12; empty gives 0.0
    static double Min(const Reals& a);   // starts from 1e12, which empty gives
    static double Mean(const Reals& a);  // NaN (0 / 0) when empty

    // Rounding half up: floor, plus one when the fraction is 0.5 or more
    // (2.5 -> 3, -2.5 -> -2, -0.5 -> 0). The one rounding rule of the library.
    // NaN and infinities pass through unchanged. Inline: every run and bit of a long
    // capture is rounded.
    static double RoundHalfUp(double x) {
        // Below 2^52 the whole part is found by truncation, with no library call; the
        // sign it keeps makes -0.0 and the fractions below zero floor as floor does.
        if (std::abs(x) < kWholeFromTruncation) {
            double whole = std::copysign(static_cast<double>(static_cast<int64_t>(x)), x);
            if (whole > x) whole -= 1.0;
            return (x - whole >= 0.5) ? whole + 1.0 : whole;
        }
        return RoundHalfUpByFloor(x);
    }

    // Start positions of the non-overlapping occurrences of pattern in text;
    // an empty pattern gives an empty result.
    static Ints FindAll(const std::string& text, const std::string& pattern);

private:
    static constexpr double kWholeFromTruncation = 4503599627370496.0;  // 2^52
    static double RoundHalfUpByFloor(double x);
};
