// The engine's triple loops, written once and compiled for more than one instruction set
// (TripleKernels.cc); the best one the processor supports is chosen at start-up. Each loop
// is vectorised over the last record k of a triple (i, j, k), i < j < k: a run of k is
// classified at once into 0/1 masks and the accumulators of rows i and j are updated with
// masked vector arithmetic. Every sum has a fixed order, so a kernel gives the same bits
// for any thread count; two kernels may differ in the last bits (fused multiply-add).
#pragma once

#include <cstddef>
#include <vector>

namespace zelk {
namespace detail {

// Pair data of the derivative pass, upper triangle packed by rows: the pairs (r, c), c > r,
// of row r are at off[r] + (c - r - 1). Per-pair vectors (q entries) are stored by
// component: entry m of pair (r, c) is at q * off[r] + m * (n - 1 - r) + (c - r - 1), so
// that row r's entries for a run of c are contiguous.
struct PassData {
    int n = 0, q = 0;
    const double* s = nullptr;  // sample weights
    std::vector<size_t> off;
    std::vector<double> dist;   // the distances the triples are classified by
    std::vector<double> R, I;   // root of the pair's squared distance at v, and 1/root (0 for 0)
    std::vector<double> G;      // gradient of the squared distance in v (vector per pair)
    std::vector<double> lam;    // coefficient of the pair's Hessian and gradient
    std::vector<double> bet;    // coefficient of the pair's g g'
    std::vector<double> U;      // cross terms: the pair's H gets g U' + U g'
    bool anyZeroRoot = false;   // some pair's root is 0 (its triples need the careful terms)

    size_t Pair(int r, int c) const { return off[r] + static_cast<size_t>(c - r - 1); }
    int Len(int r) const { return n - 1 - r; }
    // Component m of row r's vectors, indexed by c - r - 1.
    size_t VecRow(int r, int m) const {
        return static_cast<size_t>(q) * off[r] + static_cast<size_t>(m) * Len(r);
    }
};

// What one part of the triple loop writes besides the columns it owns (see DerivativePass):
// sums per record, kept per part for the whole pass, and the partial sums of the pairs
// (i, j) of the current block of first records, added to the pairs at the block's end.
struct PartState {
    std::vector<double> rec;   // q x n: gradient terms of the pairs opposite each record
    std::vector<double> rho;   // n: sums of the violating triples' terms
    double lu = 0, viol = 0;
    // Current block: row b = i - i0; lamP/betP b * n + j, UP (b * q + m) * n + j.
    std::vector<double> lamP, betP, UP;
    int touched = 0;  // pairs (i, j) with j < touched may hold partial sums
    bool failed = false;

    void Init(int n, int q, int block);
};

struct KernelTable {
    const char* name;
    // Triples (i, j, k) with i in [i0, i1), k in [k0, k1); writes the columns k of rows
    // i and j of lam, bet, U and the part's own state. False when a violating triple has no
    // smallest distance.
    bool (*runPart)(PassData& d, int i0, int i1, int k0, int k1, PartState& part);
    // Classification sums of the triples with first record i (dist: n x n, row-major).
    void (*classifyFirst)(const double* dist, const double* s, int n, int i, double& weight,
                          double& violWeight, double& violCount);
    // Sum of s_i s_j s_k q over the violating triples with first record i; NaN when one
    // has no smallest distance.
    double (*lossFirst)(const double* dist, const double* s, int n, int i);
};

// The kernels in use.
const KernelTable& Kernels();
// Tests: 0 the portable kernels, 1 AVX2 at most, 2 the best this processor supports (the
// default).
void SetKernelLevel(int level);

}  // namespace detail
}  // namespace zelk
