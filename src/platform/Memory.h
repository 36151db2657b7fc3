// How much memory the process may use: the machine's physical memory, or less when an
// address-space limit (ulimit -v) leaves less room (of which four fifths count).
#pragma once

#include <string>

namespace zelk {

struct MemoryLimit {
    double bytes = 0;           // 0 when unknown (nothing is refused then)
    bool addressSpace = false;  // the address-space limit is the smaller one
};

MemoryLimit ProcessMemoryLimit();

// A size for a message: "512 MB", "3.2 GB", "1.5 TB".
std::string MemorySizeText(double bytes);

// Test seam: when above 0, the limit in bytes instead of the machine's (a machine cannot
// be made smaller on demand). 0 in the program.
extern double g_memoryLimitOverride;

}  // namespace zelk
