#include "input/CTimeLine.h"

#include <cmath>

#include "common/CAnalysisError.h"
#include "input/CEvenTimeCheck.h"

namespace {

// Half of the even-step tolerance on each of the two judgements, so no time strays
// further than 1 % of a step from the axis that replaces the column.
constexpr double kLineTolerance = 0.005;

}  // namespace

double CTimeLine::FirstTime() const { return m_Ends.empty() ? m_Block[0] : m_Ends.front().m_dTime; }

double CTimeLine::LastTime() const {
    return m_nInBlock > 0 ? m_Block[m_nInBlock - 1] : m_Ends.back().m_dTime;
}

void CTimeLine::CloseBlock() {
    const std::size_t n = m_nInBlock;
    if (n == 0) return;
    const double first = m_Block[0];
    const double step = n > 1 ? (m_Block[n - 1] - first) / static_cast<double>(n - 1) : 0.0;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        if (std::abs(m_Block[i] - (first + static_cast<double>(i) * step)) > kLineTolerance * step)
            Refuse(m_BlockRows[i], step);
    }
    m_Ends.push_back({m_nCount, first, m_BlockRows[0]});
    if (n > 1) m_Ends.push_back({m_nCount + n - 1, m_Block[n - 1], m_BlockRows[n - 1]});
    m_nCount += n;
    m_nInBlock = 0;
}

void CTimeLine::Join(CTimeLine&& next, int64_t rowOffset) {
    CloseBlock();
    next.CloseBlock();
    for (const End& end : next.m_Ends)
        m_Ends.push_back({m_nCount + end.m_nIndex, end.m_dTime, end.m_nRow + rowOffset});
    m_nCount += next.m_nCount;
}

CSampleTimes CTimeLine::Finish() {
    CloseBlock();
    if (m_nCount < 2)
        return CSampleTimes(m_nCount == 1 ? m_Ends.front().m_dTime : 0.0, 0.0, m_nCount);
    const double first = m_Ends.front().m_dTime;
    const double step = (m_Ends.back().m_dTime - first) / static_cast<double>(m_nCount - 1);
    for (const End& end : m_Ends) {
        if (std::abs(end.m_dTime - (first + static_cast<double>(end.m_nIndex) * step)) >
            kLineTolerance * step)
            Refuse(end.m_nRow, step);
    }
    std::vector<End>().swap(m_Ends);
    return CSampleTimes(first, step, m_nCount);
}

void CTimeLine::Refuse(int64_t row, double step) const {
    throw CAnalysisError(
        ComposeMessage("Error: File %s row %d lies off the even time step of %s s.",
                       {m_strFile, std::to_string(row), CEvenTimeCheck::StepText(step)}));
}
