#include "runs/RunMemory.h"

#include <algorithm>
#include <climits>

#include "engine/MemoryEstimate.h"
#include "engine/Parallel.h"
#include "runs/SurfaceScan.h"

namespace zelk {

namespace {

constexpr double kDouble = sizeof(double);
// A value as a file writes it: "%12.8f" and a separator.
constexpr double kFieldBytes = 13;

}  // namespace

double NrtRunBytes(double n, double p) {
    // The last iteration's distances (kept for the distance file by a swap), and that file's
    // text (twice for a moment, while the header is joined to it).
    const double keep = kDouble * n * n;
    const double distText = 2 * kFieldBytes * (n + 1) * (n + 1);
    return EvaluationBytes(n, p) + keep + distText;
}

double SurfaceScanBytes(double n, double p, double points) {
    const double rows = points * (p + 1);
    // The rows of the scan, their table in file order, and the file's text (see above).
    const double scan = 2 * kDouble * rows + 2 * kFieldBytes * rows;
    const int atOnce = n < kScanAheadRecords ? std::max(1, EngineThreads()) : 1;
    return atOnce * LossOnlyBytes(n) + scan;
}

bool RunMatricesTooLarge(double n, double p) {
    const double q = std::max(0.0, p - 1);
    const double largest = std::max({n * n, q * n, q * q});
    return largest > static_cast<double>(INT_MAX);
}

}  // namespace zelk
