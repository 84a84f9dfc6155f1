#include "common/CHugePages.h"

#include <cstdint>

#include "common/CCoreParts.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

// Huge pages are 2 MB on x86-64 and arm64 Linux.
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
// Below 32 MB of pages a second core costs more than it saves.
constexpr std::size_t kPagesPerPart = 16;

}  // namespace

void CHugePages::Advise(const void* begin, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Below a few huge pages the saving is nil and the rounding wastes memory.
    if (bytes < 4 * kHugePageBytes) return;
    const auto start = reinterpret_cast<std::uintptr_t>(begin);
    const std::uintptr_t first = (start + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    const std::uintptr_t last = (start + bytes) / kHugePageBytes * kHugePageBytes;
    if (last <= first) return;
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#if defined(MADV_POPULATE_WRITE)
    // The kernel clears every page on first touch; a long record has its pages cleared
    // on every core at once instead of one page fault after another as it is filled.
    const std::size_t pages = (last - first) / kHugePageBytes;
    CCoreParts::Run(pages, CCoreParts::PartsFor(pages, kPagesPerPart),
                    [first](std::size_t, std::size_t from, std::size_t to) {
                        madvise(reinterpret_cast<void*>(first + from * kHugePageBytes),
                                (to - from) * kHugePageBytes, MADV_POPULATE_WRITE);
                    });
#endif
#else
    (void)begin;
    (void)bytes;
#endif
}
