#include "plot/CColumnReducer.h"

#include <algorithm>
#include <limits>

#include "plot/CPlotScale.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void CColumnReducer::Flush() {
    if (!(m_dColumnHigh > m_dColumnLow)) return;
    const CPoint& early = m_Top.index <= m_Bottom.index ? m_Top : m_Bottom;
    const CPoint& late = m_Top.index <= m_Bottom.index ? m_Bottom : m_Top;
    for (double y : {m_First.y, early.y, late.y, m_Last.y}) Emit({m_nColumn, ToPixel(y)});
    m_dColumnLow = m_dColumnHigh = 0.0;
}

void CColumnReducer::Emit(CPixel p) {
    if (m_Out.empty() || !(m_Out.back() == p)) m_Out.push_back(p);
}

void CColumnReducer::JoinRun(std::span<const double> ys, std::size_t from, std::size_t to,
                             double yOrigin, double yScale) {
    const auto height = [&](double value) { return yOrigin - yScale * value; };
    // Heights fall as values rise only on an upright scale; any other is walked.
    if (!(yScale >= 0.0)) {
        for (std::size_t i = from; i < to; ++i)
            if (CPlotScale::IsSample(ys[i])) Join(i, height(ys[i]));
        return;
    }
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    double highest = -kInfinity, lowest = kInfinity;
    std::size_t i = from;
#if defined(__SSE2__)
    // A sample with no value (NaN, the overflow mark) is replaced by an extreme that
    // cannot win.
    const __m128d mark = _mm_set1_pd(CPlotScale::kOverflowMark);
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m128d above = _mm_set1_pd(kInfinity), below = _mm_set1_pd(-kInfinity);
    __m128d high = below, low = above;
    for (; i + 2 <= to; i += 2) {
        const __m128d v = _mm_loadu_pd(ys.data() + i);
        const __m128d sample = _mm_cmplt_pd(_mm_and_pd(v, magnitude), mark);
        const __m128d kept = _mm_and_pd(sample, v);
        high = _mm_max_pd(high, _mm_or_pd(kept, _mm_andnot_pd(sample, below)));
        low = _mm_min_pd(low, _mm_or_pd(kept, _mm_andnot_pd(sample, above)));
    }
    double highs[2], lows[2];
    _mm_storeu_pd(highs, high);
    _mm_storeu_pd(lows, low);
    highest = std::max(highs[0], highs[1]);
    lowest = std::min(lows[0], lows[1]);
#endif
    for (; i < to; ++i) {
        if (!CPlotScale::IsSample(ys[i])) continue;
        highest = std::max(highest, ys[i]);
        lowest = std::min(lowest, ys[i]);
    }
    if (!(lowest <= highest)) return;  // no sample with a value
    // The first sample at the top and at the bottom, if they pass the column's so far.
    const double top = height(highest), bottom = height(lowest);
    const auto firstAt = [&](double y) {
        std::size_t j = from;
        while (!(CPlotScale::IsSample(ys[j]) && height(ys[j]) == y)) ++j;
        return j;
    };
    if (top < m_Top.y) m_Top = {firstAt(top), top};
    if (bottom > m_Bottom.y) m_Bottom = {firstAt(bottom), bottom};
    std::size_t last = to - 1;
    while (!CPlotScale::IsSample(ys[last])) --last;
    m_Last = {last, height(ys[last])};
}
