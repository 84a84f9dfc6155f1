#include "signal/CFlatStateChanges.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// For each pattern of changes among eight samples, the offsets of the changed samples in
// order and how many there are: a group's changes are written with two stores instead of
// one guessed branch per sample.
struct ChangeOffsets {
    alignas(16) std::array<std::array<int32_t, 8>, 256> m_Offsets{};
    std::array<uint8_t, 256> m_Counts{};
};

constexpr ChangeOffsets MakeChangeOffsets() {
    ChangeOffsets table;
    for (int mask = 0; mask < 256; ++mask) {
        int count = 0;
        for (int bit = 0; bit < 8; ++bit)
            if ((mask >> bit) & 1) table.m_Offsets[mask][count++] = bit;
        table.m_Counts[mask] = static_cast<uint8_t>(count);
    }
    return table;
}

constexpr ChangeOffsets kChangeOffsets = MakeChangeOffsets();

}  // namespace

std::size_t CFlatStateChanges::Find(const double* trace, std::size_t from, std::size_t to,
                                    double jSign, double threshold, int& state, int32_t* changes) {
    std::size_t kept = 0;
    std::size_t i = from;
#if defined(__SSE2__)
    const __m128d sign = _mm_set1_pd(jSign);
    const __m128d above = _mm_set1_pd(threshold), below = _mm_set1_pd(-threshold);
    int jBefore = state == kJ ? 1 : 0, kBefore = state == kK ? 1 : 0;
    for (; i + 8 <= to; i += 8) {
        int j = 0, k = 0;
        for (int pair = 0; pair < 4; ++pair) {
            const __m128d level = _mm_mul_pd(_mm_loadu_pd(trace + i + 2 * pair), sign);
            j |= _mm_movemask_pd(_mm_cmpgt_pd(level, above)) << (2 * pair);
            k |= _mm_movemask_pd(_mm_cmplt_pd(level, below)) << (2 * pair);
        }
        k &= ~j;
        // Bit b: sample i + b is in another state than the sample before it.
        const int changed = ((j ^ ((j << 1) | jBefore)) | (k ^ ((k << 1) | kBefore))) & 0xFF;
        const __m128i base = _mm_set1_epi32(static_cast<int32_t>(i));
        const auto* offsets =
            reinterpret_cast<const __m128i*>(kChangeOffsets.m_Offsets[changed].data());
        _mm_storeu_si128(reinterpret_cast<__m128i*>(changes + kept),
                         _mm_add_epi32(_mm_load_si128(offsets), base));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(changes + kept + 4),
                         _mm_add_epi32(_mm_load_si128(offsets + 1), base));
        kept += kChangeOffsets.m_Counts[changed];
        jBefore = (j >> 7) & 1;
        kBefore = (k >> 7) & 1;
    }
    state = jBefore != 0 ? kJ : kBefore != 0 ? kK : kBetween;
#endif
    for (; i < to; ++i) {
        const int next = StateOf(trace[i], jSign, threshold);
        changes[kept] = static_cast<int32_t>(i);
        kept += next != state ? 1 : 0;
        state = next;
    }
    return kept;
}
