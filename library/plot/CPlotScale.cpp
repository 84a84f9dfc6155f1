#include "plot/CPlotScale.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <vector>

#include "common/CCoreParts.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Labels closer to zero than this are rounding noise of k * step.
constexpr double kZeroLabel = 0.001;

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

bool IsWhole(double v) { return std::floor(v) == v; }

}  // namespace

void CValueRange::Extend(std::span<const double> values) {
    // A long trace is ranged on every core, each part on its own, then joined.
    const std::size_t parts = CCoreParts::PartsFor(values.size(), CCoreParts::kSamplesPerPart);
    if (parts > 1) {
        std::vector<CValueRange> ranges(parts);
        CCoreParts::Run(values.size(), parts,
                        [&](std::size_t part, std::size_t from, std::size_t to) {
                            ranges[part].Extend(values.subspan(from, to - from));
                        });
        for (const CValueRange& range : ranges)
            if (range.m_bFound) Extend(std::array<double, 2>{range.m_dLow, range.m_dHigh});
        return;
    }
    double lo = m_bFound ? m_dLow : std::numeric_limits<double>::infinity();
    double hi = m_bFound ? m_dHigh : -std::numeric_limits<double>::infinity();
    const std::size_t n = values.size();
    std::size_t i = 0;
#if defined(__SSE2__)
    // Two samples per instruction: a sample that is no value (NaN, the overflow mark)
    // is replaced by an extreme that cannot win. The extremes do not depend on the
    // order they are found in.
    const __m128d mark = _mm_set1_pd(CPlotScale::kOverflowMark);
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m128d above = _mm_set1_pd(std::numeric_limits<double>::infinity());
    const __m128d below = _mm_set1_pd(-std::numeric_limits<double>::infinity());
    __m128d low = _mm_set1_pd(lo), high = _mm_set1_pd(hi);
    for (; i + 2 <= n; i += 2) {
        const __m128d v = _mm_loadu_pd(values.data() + i);
        const __m128d sample = _mm_cmplt_pd(_mm_and_pd(v, magnitude), mark);
        low = _mm_min_pd(low, _mm_or_pd(_mm_and_pd(sample, v), _mm_andnot_pd(sample, above)));
        high = _mm_max_pd(high, _mm_or_pd(_mm_and_pd(sample, v), _mm_andnot_pd(sample, below)));
    }
    double lows[2], highs[2];
    _mm_storeu_pd(lows, low);
    _mm_storeu_pd(highs, high);
    lo = std::min(lows[0], lows[1]);
    hi = std::max(highs[0], highs[1]);
#endif
    for (; i < n; ++i) {
        const double v = values[i];
        if (!CPlotScale::IsSample(v)) continue;
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
    if (lo <= hi) *this = {lo, hi, true};
}

void CPlotScale::EnsureSpan(double& lo, double& hi) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) lo = hi = 0.0;
    if (hi > lo) return;
    const double centre = (lo + hi) / 2.0;
    const double half = centre != 0.0 ? std::abs(centre) * 0.1 : 1.0;
    lo = centre - half;
    hi = centre + half;
}

double CPlotScale::TimeGridStep(double range) {
    const double r = range / 10.0;
    if (r >= 50) return 100;
    if (r >= 20) return 50;
    if (r >= 10) return 20;
    if (r >= 5) return 10;
    if (r >= 2) return 5;
    if (r > 1) return 2;
    if (r > 0.5) return 1;
    if (r > 0.2) return 0.5;
    if (r > 0.1) return 0.2;
    return 0.1;
}

double CPlotScale::ValueGridStep(double range) {
    const double r = range / 10.0;
    if (r >= 10) return 10;
    if (r >= 5) return 5;
    if (r >= 2) return 10;
    if (r >= 1) return 2;
    if (r >= 0.5) return 1;
    if (r >= 0.2) return 0.5;
    if (r >= 0.1) return 0.2;
    if (r >= 0.05) return 0.1;
    if (r >= 0.02) return 0.05;
    if (r >= 0.01) return 0.02;
    if (r >= 0.005) return 0.01;
    if (r >= 0.001) return 0.005;
    if (r >= 0.0005) return 0.001;
    if (r >= 0.0002) return 0.0005;
    return 0.0002;
}

CTimeScale CPlotScale::TimePrefix(std::span<const double> values) {
    static const std::array<const char*, 13> kPrefixes = {"a", "f", "p", "n", "\xC2\xB5", "m", "",
                                                          "k", "M", "G", "T", "P",        "E"};
    double largest = 0.0;
    for (double v : values)
        if (IsSample(v)) largest = std::max(largest, std::abs(v));
    // A capture that never leaves t = 0 has no scale to read: plain seconds.
    if (largest == 0.0) return {};
    const int e = 3 * static_cast<int>(std::floor(std::log10(largest) / 3.0));
    if (e < -18 || e > 18) return {};
    return {std::pow(10.0, -e), kPrefixes[static_cast<std::size_t>((e + 18) / 3)]};
}

std::string CPlotScale::TimeLabel(double value, double step) {
    if (std::abs(value) < kZeroLabel) value = 0.0;
    return Format(IsWhole(step) ? "%.0f" : "%.1f", value);
}

std::string CPlotScale::ValueLabel(double value, double step) {
    if (std::abs(value) < kZeroLabel) value = 0.0;
    const char* format = "%.1f";
    if (IsWhole(step))
        format = "%.0f";
    else if (step < 0.001)
        format = "%.4f";
    else if (step < 0.01)
        format = "%.3f";
    else if (step < 0.1)
        format = "%.2f";
    return Format(format, value);
}

CCaptureAxis CPlotScale::CaptureAxis(const CSampleTimes& time) {
    // Sample times only increase: the first and last are the range.
    CValueRange range;
    range.Extend(std::array<double, 2>{time.front(), time.back()});
    // The largest magnitude of the times is at one end of their range.
    const std::array<double, 2> ends{range.m_dLow, range.m_dHigh};
    return Axis(range.m_dLow, range.m_dHigh, TimePrefix(ends));
}

CCaptureAxis CPlotScale::StretchAxis(double start, double end) {
    const std::array<double, 1> length{end - start};
    CCaptureAxis x = Axis(start, end, TimePrefix(length));
    const double digit = IsWhole(x.m_dStep) ? 1.0 : 0.1;
    const double snapped = std::floor(x.m_dMin / digit) * digit;
    if (std::isfinite(snapped)) x.m_dMin = snapped;
    return x;
}

CCaptureAxis CPlotScale::Axis(double start, double end, const CTimeScale& scale) {
    CCaptureAxis x;
    x.m_dFactor = scale.m_dFactor;
    x.m_strTitle = "time, " + scale.m_strPrefix + "s";
    x.m_dMin = start * scale.m_dFactor;
    x.m_dMax = end * scale.m_dFactor;
    EnsureSpan(x.m_dMin, x.m_dMax);
    x.m_dStep = TimeGridStep(x.m_dMax - x.m_dMin);
    return x;
}
