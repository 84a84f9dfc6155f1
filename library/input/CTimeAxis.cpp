#include "input/CTimeAxis.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/CAnalysisError.h"
#include "input/CSampleBlock.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// An axis larger than this is written around the cache: it cannot stay cached
// anyway, and a plain store would first read in every line it overwrites.
constexpr std::size_t kStreamBytes = std::size_t{4} << 20;

}  // namespace

void CTimeAxis::Fill(std::vector<double>& time, std::size_t count, double origin, double interval,
                     const std::string& fileName) const {
    if (!std::isfinite(interval) || interval <= 0.0 || !std::isfinite(origin)) {
        throw CAnalysisError(ComposeMessage("File %s has no valid sample interval", {fileName}));
    }
    if (count < 2) {
        throw CAnalysisError(ComposeMessage("File %s holds fewer than 2 samples", {fileName}));
    }
    // A header's interval can be finite and still carry the record past any time.
    if (!std::isfinite(origin + static_cast<double>(count - 1) * interval)) {
        throw CAnalysisError(ComposeMessage("File %s has no valid sample interval", {fileName}));
    }
    SizeForRecord(time, count);
    double* t = time.data();
    std::size_t i = 0;
#if defined(__SSE2__)
    // Same product and sum as below, two samples per store.
    if (count * sizeof(double) > kStreamBytes && reinterpret_cast<std::uintptr_t>(t) % 16 == 0) {
        const __m128d start = _mm_set1_pd(origin);
        const __m128d step = _mm_set1_pd(interval);
        const __m128d two = _mm_set1_pd(2.0);
        __m128d index = _mm_set_pd(1.0, 0.0);
        for (; i + 2 <= count; i += 2) {
            _mm_stream_pd(t + i, _mm_add_pd(start, _mm_mul_pd(index, step)));
            index = _mm_add_pd(index, two);
        }
        _mm_sfence();
    }
#endif
    for (; i < count; ++i) t[i] = origin + static_cast<double>(i) * interval;
}
