// Chooses the triple kernels for this processor once; tests may ask for the portable ones.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

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
// ZELK_KERNELS=portable or avx2 caps the choice (to compare results across processors).
int DefaultLevel() {
    const char* e = std::getenv("ZELK_KERNELS");
    if (!e) return 2;
    if (std::strcmp(e, "portable") == 0) return 0;
    if (std::strcmp(e, "avx2") == 0) return 1;
    return 2;
}
std::atomic<int> g_level{DefaultLevel()};
}

void SetKernelLevel(int level) { g_level = std::min(level, DefaultLevel()); }

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
