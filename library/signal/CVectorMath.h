#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Element-wise and reducing operations on sample vectors. Stateless:
// every operation is static, so it can be called on a local instance or on the
// class; every operation returns a new vector or a scalar.
//
// Length rule for two-vector operations: when the lengths differ the result is
// an empty vector (no error is reported; the empty result is the signal).
//
// Integer operations wrap around modulo 2^32 instead of overflowing (signed
// overflow would be undefined).
class CVectorMath {
public:
    using Reals = std::vector<double>;
    using Ints = std::vector<int32_t>;

    // Element-wise arithmetic.
    static Reals Add(const Reals& a, const Reals& b);
    static Reals Subtract(const Reals& a, const Reals& b);
    static Reals Multiply(const Reals& a, const Reals& b);
    static Reals AddScalar(double s, const Reals& a);       // s + a[i]
    static Reals SubtractScalar(const Reals& a, double s);  // a[i] - s
    static Reals Scale(double s, const Reals& a);           // s * a[i]
    static Reals DivideScalar(const Reals& a, double s);    // a[i] / s
    static Reals ScalarDivide(double s, const Reals& a);    // s / a[i]
    static Reals Negate(const Reals& a);
    static Reals Abs(const Reals& a);  // sign bit cleared

    // Comparisons: 1 where the relation holds, else 0.
    static Ints Less(const Reals& a, const Reals& b);
    static Ints LessEqual(const Reals& a, const Reals& b);
    static Ints Greater(const Reals& a, const Reals& b);
    static Ints GreaterEqual(const Reals& a, const Reals& b);
    static Ints And(const Ints& f, const Ints& g);  // 1 where both are non-zero
    static Ints Or(const Ints& f, const Ints& g);   // 1 where either is non-zero

    // Integer arithmetic.
    static Ints IntAdd(const Ints& f, const Ints& g);
    static Ints IntMultiply(const Ints& f, const Ints& g);
    static Ints IntScale(int32_t n, const Ints& f);
    static Ints IntDiff(const Ints& f);  // f[i+1] - f[i], one entry shorter

    // Filled vectors; n below 1 gives an empty vector.
    static Reals Zeros(int64_t n);
    static Reals Ones(int64_t n);
    static Ints IntZeros(int64_t n);

    // Reductions, one pass in index order, strict comparisons (first extreme wins).
    static double Max(const Reals& a);  // starts from -1e12; empty gives 0.0
    static double Min(const Reals& a);  // starts from 1e12, which empty gives
    // Over entries first .. last, last clipped to the final index; an empty
    // range gives the start value (-1e12 for MaxRange, 1e12 for MinRange).
    static double MaxRange(const Reals& a, std::size_t first, std::size_t last);
    static double MinRange(const Reals& a, std::size_t first, std::size_t last);
    // a[i] * b[i] for i = 0 .. last; an index past either vector throws
    // std::out_of_range.
    static Reals MultiplyRange(const Reals& a, const Reals& b, std::size_t last);
    static double Sum(const Reals& a);   // 0.0 when empty
    static double Mean(const Reals& a);  // NaN (0 / 0) when empty

    // Rounding half up: floor, plus one when the fraction is 0.5 or more
    // (2.5 -> 3, -2.5 -> -2, -0.5 -> 0). The one rounding rule of the library.
    // NaN and infinities pass through unchanged.
    static double RoundHalfUp(double x);
    // RoundHalfUp as a 32-bit integer. A value that is not finite or whose
    // rounded value lies outside the int32 range cannot be converted (that
    // conversion would be undefined): it throws CAnalysisError with the text
    // kRoundToIntError.
    static int32_t RoundHalfUpToInt(double x);
    static Reals Round(const Reals& a);
    static Ints RoundToInt(const Reals& a);  // throws as RoundHalfUpToInt

    // n = floor(x) values a + k (b - a) / (n - 1), k = 0 .. n-1; n below 1 (or x
    // not a number) gives an empty vector; n = 1 gives one NaN entry. A count
    // beyond the vector's maximum size throws std::length_error.
    static Reals Linspace(double a, double b, double x);
    // Entries first .. last, last clipped to the final index; empty when
    // first lies beyond last or beyond the end.
    static Reals SubRange(const Reals& a, std::size_t first, std::size_t last);
    // The entries of a that exceed s, in order.
    static Reals Above(double s, const Reals& a);
    // Start positions of the non-overlapping occurrences of pattern in text;
    // an empty pattern gives an empty result.
    static Ints FindAll(const std::string& text, const std::string& pattern);
};

inline constexpr const char* kRoundToIntError =
    "Rounding error: the value is not a finite number within the 32-bit integer range";
