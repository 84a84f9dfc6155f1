#include "plot/CEyePaths.h"

#include <algorithm>

namespace {

CPixel Unpack(uint32_t packed) {
    return {static_cast<int16_t>(packed >> 16), static_cast<int16_t>(packed & 0xFFFF)};
}

uint64_t Finish(uint64_t print) {
    print ^= print >> 33;
    print *= 0xFF51AFD7ED558CCDull;
    print ^= print >> 33;
    return print == ~uint64_t{0} ? 0 : print;
}

}  // namespace

void CEyePaths::End() {
    if (m_nLength < 2 || !m_Intervals.Insert(Finish(m_nPrint))) return;
    for (std::size_t i = 1; i < m_nLength; ++i) {
        const uint64_t a = m_Path[i - 1], b = m_Path[i];
        m_Segments.Insert(std::min(a, b) << 32 | std::max(a, b));
    }
}

std::vector<CPixelSegment> CEyePaths::Segments() const {
    std::vector<CPixelSegment> segments;
    segments.reserve(m_Segments.Size());
    m_Segments.ForEach([&](uint64_t key) {
        segments.push_back(
            {Unpack(static_cast<uint32_t>(key >> 32)), Unpack(static_cast<uint32_t>(key))});
    });
    return segments;
}
