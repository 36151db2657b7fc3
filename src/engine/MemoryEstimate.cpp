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
    // Five component matrices and the distance matrix.
    const double matrices = 6 * n * n;
    // The pass's pair data: half the square in blocks of 8 columns, each pair with its
    // distance, root, inverse root, lam, bet, gradient and U (5 + 2q fields).
    const double pairs = (n * n / 2 + 8 * n) * (5 + 2 * q);
    // Up to 16 slices, each with its record sums and the lam, bet and U rows of a chunk of
    // up to 16 first records.
    const double slices = 16 * (n * (1 + q) + 16 * n * (2 + q));
    // The end of the pass: per record the gradient, the Hessian sum and its factored pair
    // Hessians, then the q x q results.
    const double finish = 2 * n * q * q + 4 * n * q + 8 * q * q;
    return kDouble * (matrices + pairs + slices + finish);
}

double LossOnlyBytes(double n) { return kDouble * (2 * n * n + n); }

}  // namespace zelk
