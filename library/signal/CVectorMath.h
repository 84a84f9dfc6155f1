#pragma once

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
    // NaN and infinities pass through unchanged.
    static double RoundHalfUp(double x);

    // Start positions of the non-overlapping occurrences of pattern in text;
    // an empty pattern gives an empty result.
    static Ints FindAll(const std::string& text, const std::string& pattern);
};
