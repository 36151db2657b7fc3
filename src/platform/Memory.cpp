#include "platform/Memory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#include "base/Format.h"

namespace zelk {

double g_memoryLimitOverride = 0;

namespace {

// The process's address space in use now (its virtual size), 0 when unknown.
double AddressSpaceInUse() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long long pages = 0;
    const int got = std::fscanf(f, "%llu", &pages);
    std::fclose(f);
    const long page = ::sysconf(_SC_PAGESIZE);
    return got == 1 && page > 0 ? static_cast<double>(pages) * page : 0;
}

}  // namespace

MemoryLimit ProcessMemoryLimit() {
    MemoryLimit out;
    if (g_memoryLimitOverride > 0) {
        out.bytes = g_memoryLimitOverride;
        return out;
    }
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long page = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && page > 0) out.bytes = static_cast<double>(pages) * page;
    struct rlimit rl;
    if (::getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) {
        // What is left of the address space once the program's own use is taken out, less
        // a fifth for what address space costs beyond the memory in use (thread stacks,
        // per-thread heaps, fragments): a run of 5000 records estimated at 3.0 GB ran out
        // under a limit that left it 3.1 GB.
        double room = 0.8 * (static_cast<double>(rl.rlim_cur) - AddressSpaceInUse());
        if (room < 0) room = 0;
        if (out.bytes <= 0 || room < out.bytes) {
            out.bytes = room;
            out.addressSpace = true;
        }
    }
    return out;
}

std::string MemorySizeText(double bytes) {
    const char* const units[] = {"bytes", "KB", "MB", "GB", "TB", "PB", "EB"};
    int u = 0;
    while (bytes >= 1024 && u < 6) {
        bytes /= 1024;
        ++u;
    }
    return u == 0 || bytes >= 100 ? Format("%.0f %s", bytes, units[u]) : Format("%.1f %s", bytes, units[u]);
}

}  // namespace zelk
