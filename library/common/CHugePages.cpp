#include "common/CHugePages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

// Huge pages are 2 MB on x86-64 and arm64 Linux.
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

}  // namespace

void CHugePages::Advise(const void* begin, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Below a few huge pages the saving is nil and the rounding wastes memory.
    if (bytes < 4 * kHugePageBytes) return;
    const auto start = reinterpret_cast<std::uintptr_t>(begin);
    const std::uintptr_t first = (start + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    const std::uintptr_t last = (start + bytes) / kHugePageBytes * kHugePageBytes;
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)begin;
    (void)bytes;
#endif
}
