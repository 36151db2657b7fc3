// Chooses the triple kernels for this processor once; tests may ask for the portable ones.
#include <atomic>

#include "engine/TripleKernels.h"

namespace zelk {
namespace detail {

namespace kernel_portable {
const KernelTable& Table();
}
#ifdef ZELK_X86_KERNELS
namespace kernel_avx2 {
const KernelTable& Table();
}
namespace kernel_avx512 {
const KernelTable& Table();
}
#endif

namespace {
std::atomic<int> g_level{2};
}

void SetKernelLevel(int level) { g_level = level; }

const KernelTable& Kernels() {
#ifdef ZELK_X86_KERNELS
    static const bool fma = __builtin_cpu_supports("fma");
    static const bool avx2 = fma && __builtin_cpu_supports("avx2");
    static const bool avx512 = avx2 && __builtin_cpu_supports("avx512f") &&
                               __builtin_cpu_supports("avx512vl") &&
                               __builtin_cpu_supports("avx512dq");
    const int level = g_level.load();
    if (level >= 2 && avx512) return kernel_avx512::Table();
    if (level >= 1 && avx2) return kernel_avx2::Table();
#endif
    return kernel_portable::Table();
}

}  // namespace detail
}  // namespace zelk
