#include "plot/CColumnReducer.h"

#include "plot/CPlotScale.h"

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
    CValueRange range;
    range.Extend(ys.subspan(from, to - from));
    if (!range.m_bFound) return;  // no sample with a value
    const double highest = range.m_dHigh, lowest = range.m_dLow;
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
