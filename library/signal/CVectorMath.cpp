#include "signal/CVectorMath.h"

#include <cmath>

double CVectorMath::Max(const Reals& a) {
    if (a.empty()) return 0.0;
    double best = -1e12;
    for (const double x : a)
        if (x > best) best = x;
    return best;
}

double CVectorMath::Min(const Reals& a) {
    double best = 1e12;
    for (const double x : a)
        if (x < best) best = x;
    return best;
}

double CVectorMath::Mean(const Reals& a) {
    double sum = 0.0;
    for (const double x : a) sum += x;
    // 0 / 0 for an empty vector: not a number, as the callers expect.
    return sum / static_cast<double>(a.size());
}

double CVectorMath::RoundHalfUpByFloor(double x) {
    // For |x| below 2^52 x - floor(x) is exact; above it x is whole and the
    // fraction is 0. NaN stays NaN; an infinity stays itself (inf - inf is NaN,
    // which fails the comparison).
    const double whole = std::floor(x);
    return (x - whole >= 0.5) ? whole + 1.0 : whole;
}

CVectorMath::Ints CVectorMath::FindAll(const std::string& text, const std::string& pattern) {
    Ints out;
    if (pattern.empty()) return out;
    for (std::size_t pos = text.find(pattern); pos != std::string::npos;
         pos = text.find(pattern, pos + pattern.size()))
        out.push_back(static_cast<int32_t>(pos));
    return out;
}
