// The memory estimates follow the buffers of Evaluation.cpp, DerivativePass.cpp and
// LossOnly.cpp; a change of their layout should be reflected here.
#include "engine/MemoryEstimate.h"

#include <algorithm>

namespace zelk {

namespace {

constexpr double kDouble = sizeof(double);

}  // namespace

double EvaluationBytes(double n, double p) {
    const double q = std::max(0.0, p - 1);
    // The distance matrix (the pair rows write their squared distances into it).
    const double matrices = n * n;
    // The pass's pair data: half the square in blocks of 8 columns, each pair with its
    // root, inverse root, lam, bet and gradient (4 + q fields).
    const double pairs = (n * n / 2 + 8 * n) * (4 + q);
    // The cross terms of a chunk's rows (up to 16 first records), and up to 16 slices, each
    // with its record sums and the lam, bet and U rows of the chunk.
    const double chunk = 16 * (n + 8) * q;
    const double slices = 16 * (n * (1 + q) + 16 * n * (2 + q));
    // The end of the pass: per owner row the gradient, the Hessian sum and its factored pair
    // Hessians; per record the gradient; the classification's sums; then the q x q results.
    const double finish = n * (2 * q * q + 4 * q + 4) + 3 * n + 8 * q * q;
    return kDouble * (matrices + pairs + chunk + slices + finish);
}

double LossOnlyBytes(double n) { return kDouble * (2 * n * n + n); }

}  // namespace zelk
