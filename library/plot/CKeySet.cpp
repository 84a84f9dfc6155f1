#include "plot/CKeySet.h"

#include <bit>
#include <utility>

void CKeySet::Grow() {
    std::vector<uint64_t> old = std::move(m_Keys);
    const std::size_t size = old.empty() ? 4096 : old.size() * 2;
    m_Keys.assign(size, kEmpty);
    m_nShift = 64 - std::countr_zero(size);
    m_nCount = 0;
    for (uint64_t key : old)
        if (key != kEmpty) Insert(key);
}
