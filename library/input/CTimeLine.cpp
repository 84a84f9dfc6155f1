#include "input/CTimeLine.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    // The whole block is judged in one pass with no exit, which runs several rows per
    // instruction; only a block that fails is walked again for the row to name.
    const double tolerance = kLineTolerance * step;
    const auto offLine = [&](std::size_t i) {
        return std::abs(m_Block[i] - (first + static_cast<double>(i) * step));
    };
    double worst = 0.0;
    std::size_t i = 1;
#if defined(__SSE2__)
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m128d start = _mm_set1_pd(first), stride = _mm_set1_pd(step), two = _mm_set1_pd(2.0);
    __m128d index = _mm_set_pd(2.0, 1.0), worstPair = _mm_setzero_pd();
    for (; i + 2 < n; i += 2, index = _mm_add_pd(index, two)) {
        const __m128d line = _mm_add_pd(start, _mm_mul_pd(index, stride));
        const __m128d off = _mm_and_pd(_mm_sub_pd(_mm_loadu_pd(&m_Block[i]), line), magnitude);
        worstPair = _mm_max_pd(worstPair, off);
    }
    double pair[2];
    _mm_storeu_pd(pair, worstPair);
    worst = std::max(pair[0], pair[1]);
#endif
    for (; i + 1 < n; ++i) worst = std::max(worst, offLine(i));
    for (i = 1; worst > tolerance && i + 1 < n; ++i) {
        if (offLine(i) > tolerance) Refuse(m_BlockRows[i], step);
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
