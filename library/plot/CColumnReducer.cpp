#include "plot/CColumnReducer.h"

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
