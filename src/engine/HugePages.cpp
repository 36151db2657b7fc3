// Huge pages for the engine's large blocks (see LineAllocator).
#include <cstdint>
#ifdef __linux__
#include <sys/mman.h>
#endif

#include "engine/TripleKernels.h"

namespace zelk {
namespace detail {

void AdviseLarge(void* p, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= kLargeBlock && reinterpret_cast<std::uintptr_t>(p) % kHugePage == 0)
        (void)madvise(p, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
#else
    (void)p;
    (void)bytes;
#endif
}

}  // namespace detail
}  // namespace zelk
