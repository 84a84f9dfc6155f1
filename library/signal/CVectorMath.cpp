#include "signal/CVectorMath.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "entry/CAnalysisError.h"

namespace {

using Reals = CVectorMath::Reals;
using Ints = CVectorMath::Ints;

// Applies op to each pair a[i], b[i]; differing lengths give an empty result.
template <class Out, class In, class Op>
std::vector<Out> Pairwise(const std::vector<In>& a, const std::vector<In>& b, Op op) {
    std::vector<Out> out;
    if (a.size() != b.size()) return out;
    out.reserve(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) out.push_back(static_cast<Out>(op(a[i], b[i])));
    return out;
}

template <class Out, class In, class Op>
std::vector<Out> Each(const std::vector<In>& a, Op op) {
    std::vector<Out> out;
    out.reserve(a.size());
    for (const In& x : a) out.push_back(static_cast<Out>(op(x)));
    return out;
}

// Two's-complement wrap-around arithmetic, without signed overflow.
int32_t Wrap(uint32_t v) { return static_cast<int32_t>(v); }
uint32_t Bits(int32_t v) { return static_cast<uint32_t>(v); }

template <class T>
std::vector<T> Filled(int64_t n, T value) {
    if (n < 1) return {};
    return std::vector<T>(static_cast<std::size_t>(n), value);
}

}  // namespace

Reals CVectorMath::Add(const Reals& a, const Reals& b) {
    return Pairwise<double>(a, b, [](double x, double y) { return x + y; });
}

Reals CVectorMath::Subtract(const Reals& a, const Reals& b) {
    return Pairwise<double>(a, b, [](double x, double y) { return x - y; });
}

Reals CVectorMath::Multiply(const Reals& a, const Reals& b) {
    return Pairwise<double>(a, b, [](double x, double y) { return x * y; });
}

Reals CVectorMath::AddScalar(double s, const Reals& a) {
    return Each<double>(a, [s](double x) { return s + x; });
}

Reals CVectorMath::SubtractScalar(const Reals& a, double s) {
    return Each<double>(a, [s](double x) { return x - s; });
}

Reals CVectorMath::Scale(double s, const Reals& a) {
    return Each<double>(a, [s](double x) { return s * x; });
}

Reals CVectorMath::DivideScalar(const Reals& a, double s) {
    return Each<double>(a, [s](double x) { return x / s; });
}

Reals CVectorMath::ScalarDivide(double s, const Reals& a) {
    return Each<double>(a, [s](double x) { return s / x; });
}

Reals CVectorMath::Negate(const Reals& a) {
    return Each<double>(a, [](double x) { return -x; });
}

Reals CVectorMath::Abs(const Reals& a) {
    return Each<double>(a, [](double x) { return std::fabs(x); });
}

Ints CVectorMath::Less(const Reals& a, const Reals& b) {
    return Pairwise<int32_t>(a, b, [](double x, double y) { return x < y ? 1 : 0; });
}

Ints CVectorMath::LessEqual(const Reals& a, const Reals& b) {
    return Pairwise<int32_t>(a, b, [](double x, double y) { return x <= y ? 1 : 0; });
}

Ints CVectorMath::Greater(const Reals& a, const Reals& b) {
    return Pairwise<int32_t>(a, b, [](double x, double y) { return x > y ? 1 : 0; });
}

Ints CVectorMath::GreaterEqual(const Reals& a, const Reals& b) {
    return Pairwise<int32_t>(a, b, [](double x, double y) { return x >= y ? 1 : 0; });
}

Ints CVectorMath::And(const Ints& f, const Ints& g) {
    return Pairwise<int32_t>(f, g, [](int32_t x, int32_t y) { return (x != 0 && y != 0) ? 1 : 0; });
}

Ints CVectorMath::Or(const Ints& f, const Ints& g) {
    return Pairwise<int32_t>(f, g, [](int32_t x, int32_t y) { return (x != 0 || y != 0) ? 1 : 0; });
}

Ints CVectorMath::IntAdd(const Ints& f, const Ints& g) {
    return Pairwise<int32_t>(f, g, [](int32_t x, int32_t y) { return Wrap(Bits(x) + Bits(y)); });
}

Ints CVectorMath::IntMultiply(const Ints& f, const Ints& g) {
    return Pairwise<int32_t>(f, g, [](int32_t x, int32_t y) { return Wrap(Bits(x) * Bits(y)); });
}

Ints CVectorMath::IntScale(int32_t n, const Ints& f) {
    return Each<int32_t>(f, [n](int32_t x) { return Wrap(Bits(n) * Bits(x)); });
}

Ints CVectorMath::IntDiff(const Ints& f) {
    Ints out;
    if (f.size() < 2) return out;
    out.reserve(f.size() - 1);
    for (std::size_t i = 0; i + 1 < f.size(); ++i) out.push_back(Wrap(Bits(f[i + 1]) - Bits(f[i])));
    return out;
}

Reals CVectorMath::Zeros(int64_t n) { return Filled<double>(n, 0.0); }

Reals CVectorMath::Ones(int64_t n) { return Filled<double>(n, 1.0); }

Ints CVectorMath::IntZeros(int64_t n) { return Filled<int32_t>(n, 0); }

double CVectorMath::Max(const Reals& a) {
    if (a.empty()) return 0.0;
    return MaxRange(a, 0, a.size() - 1);
}

double CVectorMath::Min(const Reals& a) { return a.empty() ? 1e12 : MinRange(a, 0, a.size() - 1); }

double CVectorMath::MaxRange(const Reals& a, std::size_t first, std::size_t last) {
    double best = -1e12;
    if (a.empty()) return best;
    last = std::min(last, a.size() - 1);
    for (std::size_t i = first; i <= last; ++i) {
        if (a[i] > best) best = a[i];
    }
    return best;
}

double CVectorMath::MinRange(const Reals& a, std::size_t first, std::size_t last) {
    double best = 1e12;
    if (a.empty()) return best;
    last = std::min(last, a.size() - 1);
    for (std::size_t i = first; i <= last; ++i) {
        if (a[i] < best) best = a[i];
    }
    return best;
}

Reals CVectorMath::MultiplyRange(const Reals& a, const Reals& b, std::size_t last) {
    Reals out;
    // at() throws before i could pass the end of either vector, so the loop
    // ends even for last = SIZE_MAX.
    for (std::size_t i = 0; i <= last; ++i) out.push_back(a.at(i) * b.at(i));
    return out;
}

double CVectorMath::Sum(const Reals& a) {
    double sum = 0.0;
    for (double x : a) sum += x;
    return sum;
}

double CVectorMath::Mean(const Reals& a) {
    // 0 / 0 for an empty vector: not a number, as the callers expect.
    return Sum(a) / static_cast<double>(a.size());
}

double CVectorMath::RoundHalfUp(double x) {
    // For |x| below 2^52 x - floor(x) is exact; above it x is whole and the
    // fraction is 0. NaN stays NaN; an infinity stays itself (inf - inf is NaN,
    // which fails the comparison).
    const double whole = std::floor(x);
    return (x - whole >= 0.5) ? whole + 1.0 : whole;
}

int32_t CVectorMath::RoundHalfUpToInt(double x) {
    const double r = RoundHalfUp(x);
    // Written so that NaN fails both tests.
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw CAnalysisError(kRoundToIntError);
    return static_cast<int32_t>(r);
}

Reals CVectorMath::Round(const Reals& a) {
    return Each<double>(a, [](double x) { return RoundHalfUp(x); });
}

Ints CVectorMath::RoundToInt(const Reals& a) {
    return Each<int32_t>(a, [](double x) { return RoundHalfUpToInt(x); });
}

Reals CVectorMath::Linspace(double a, double b, double x) {
    const double n = std::floor(x);
    Reals out;
    if (!(n >= 1.0)) return out;  // also NaN
    if (n > static_cast<double>(out.max_size())) {
        throw std::length_error("Linspace: too many values");
    }
    const auto count = static_cast<std::size_t>(n);
    out.reserve(count);
    // n = 1 divides 0 by 0: one NaN entry.
    for (std::size_t k = 0; k < count; ++k) {
        out.push_back(a + static_cast<double>(k) * (b - a) / (n - 1.0));
    }
    return out;
}

Reals CVectorMath::SubRange(const Reals& a, std::size_t first, std::size_t last) {
    if (a.empty() || first >= a.size()) return {};
    last = std::min(last, a.size() - 1);
    if (first > last) return {};
    return Reals(a.begin() + static_cast<std::ptrdiff_t>(first),
                 a.begin() + static_cast<std::ptrdiff_t>(last) + 1);
}

Reals CVectorMath::Above(double s, const Reals& a) {
    Reals out;
    for (double x : a) {
        if (x > s) out.push_back(x);
    }
    return out;
}

Ints CVectorMath::FindAll(const std::string& text, const std::string& pattern) {
    Ints out;
    if (pattern.empty()) return out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        pos = text.find(pattern, pos);
        if (pos == std::string::npos) break;
        out.push_back(static_cast<int32_t>(pos));
        pos += pattern.size();
    }
    return out;
}
