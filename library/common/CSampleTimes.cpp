#include "common/CSampleTimes.h"

#include <algorithm>

void CSampleTimes::DropFront(std::size_t count) {
    count = std::min(count, m_nCount);
    m_nCount -= count;
    m_nOffset += count;
}

CSampleTimes CSampleTimes::Slice(std::size_t first, std::size_t count) const {
    CSampleTimes slice = *this;
    slice.m_nOffset += std::min(first, m_nCount);
    slice.m_nCount = std::min(count, m_nCount - std::min(first, m_nCount));
    return slice;
}

void CSampleTimes::Refine(std::size_t k, double fineStep) {
    if (m_nCount < 2 || k < 1) return;
    // Point m of interval j of the trimmed axis is point (offset + j) * k + m of the whole.
    m_nCount = (m_nCount - 1) * k;
    m_nOffset *= k;
    m_nFactor = k;
    m_dFineStep = fineStep;
}
