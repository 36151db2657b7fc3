// The engine's triple loops, written once and compiled for more than one instruction set
// (TripleKernels.cc); the best one the processor supports is chosen at start-up. Each loop
// is vectorised over the last record k of a triple (i, j, k), i < j < k: a run of k is
// classified at once into 0/1 masks and the accumulators of rows i and j are updated with
// masked vector arithmetic. Every sum has a fixed order, so a kernel gives the same bits
// for any thread count; two kernels may differ in the last bits (fused multiply-add).
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace zelk {
namespace detail {

// Pair data of the derivative pass, the upper triangle by rows in blocks of kBlock
// columns: block b of row r holds, for the columns c = kBlock b .. kBlock b + kBlock - 1, the
// fields R (the distance), I = 1 / R (0 when R is), lam, bet, G_0..G_{q-1}, each as kBlock
// doubles. Row r stores its blocks
// from the one of column r + 1 on; the columns of those blocks outside the triangle (c <= r,
// c >= n) are padding and stay 0. The cross terms U_0..U_{q-1} of a pair (i, c) are complete
// once the chunk of first records holding i has run: they live in a buffer of the chunk's
// rows only, in the same blocks, and are folded into the Hessian at the chunk's end.
constexpr int kBlock = 8;
// First records the unrolled kernels take at once (a slice's rows i0 .. i1 - 1); more go
// to the one-triple-at-a-time loop.
constexpr int kMaxFirstRecords = 16;

// Large blocks (the pair data of the pass: tens of megabytes and more) start on a huge
// page, and the system is asked to back them with huge pages where it can (a hint; nothing
// happens where it cannot): few page faults and few TLB entries for the rows.
constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kLargeBlock = 2 * kHugePage;
void AdviseLarge(void* p, std::size_t bytes);

// A vector whose storage starts on a cache line (a block's fields then never straddle two
// lines) and, with Uninit, leaves new elements uninitialised (the pass fills its rows side
// by side).
template <class T, bool Uninit = false>
struct LineAllocator {
    using value_type = T;
    template <class U>
    struct rebind {
        using other = LineAllocator<U, Uninit>;
    };
    LineAllocator() = default;
    template <class U>
    LineAllocator(const LineAllocator<U, Uninit>&) {}
    T* allocate(std::size_t count) {
        const std::size_t bytes = count * sizeof(T);
        void* p = ::operator new(bytes, Alignment(bytes));
        AdviseLarge(p, bytes);
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t count) {
        ::operator delete(p, Alignment(count * sizeof(T)));
    }
    static std::align_val_t Alignment(std::size_t bytes) {
        return std::align_val_t(bytes >= kLargeBlock ? kHugePage : 64);
    }
    template <class U, class... A>
    void construct(U* p, A&&... a) {
        if constexpr (Uninit && sizeof...(A) == 0) {
            (void)p;
        } else {
            ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
        }
    }
    template <class U>
    bool operator==(const LineAllocator<U, Uninit>&) const {
        return true;
    }
    template <class U>
    bool operator!=(const LineAllocator<U, Uninit>&) const {
        return false;
    }
};
template <class T>
using LineVector = std::vector<T, LineAllocator<T>>;

enum Field { kRoot = 0, kInvRoot = 1, kLam = 2, kBet = 3, kGrad = 4 };

struct PassData {
    int n = 0, q = 0;
    int fields = 0;       // 4 + q
    int blocks = 0;       // blocks of a whole row
    LineVector<double> s;  // sample weights, padded with 0 to blocks * kBlock
    std::vector<size_t> rowOff;
    std::vector<double, LineAllocator<double, true>> data;
    // New storage: each row is zeroed when its pairs are first filled (so that the padding is
    // 0 and the pages are first touched a few rows per step, not all at once).
    bool fresh = false;
    bool anyZeroRoot = false;  // some pair's root is 0 (its triples need the careful terms)

    int FirstBlock(int r) const { return (r + 1) / kBlock; }
    // Index of field f (kGrad + m for G_m) of the pair (r, c), c > r.
    size_t At(int r, int c, int f) const {
        return rowOff[r] + (static_cast<size_t>(c / kBlock - FirstBlock(r)) * fields + f) * kBlock +
               c % kBlock;
    }
    // Start of block b of row r.
    size_t Block(int r, int b) const {
        return rowOff[r] + static_cast<size_t>(b - FirstBlock(r)) * fields * kBlock;
    }
    void Layout(int n, int q);

    // Cross terms of the current chunk's rows: row b (first record i0 + b), block B of all
    // columns, U_0..U_{q-1} as kBlock doubles each.
    std::vector<double, LineAllocator<double>> U;
    size_t UBlock(int b, int B) const { return (static_cast<size_t>(b) * blocks + B) * q * kBlock; }
};

// What one slice of the triple loop writes besides the columns it owns (see DerivativePass):
// sums per record, kept per slice for the whole pass, and the sums of the pairs (i, j) of
// the current chunk, added to the pairs when the chunk ends.
struct SliceState {
    // Per record r as the last record k of a triple, in blocks like a row (kBlock records,
    // fields rho and rec_0..rec_{q-1}): the sum of the violating triples' terms, the
    // gradient terms of the pairs opposite r.
    LineVector<double> recs;
    size_t Rec(int r, int f) const {
        return (static_cast<size_t>(r / kBlock) * fieldsRec + f) * kBlock + r % kBlock;
    }
    int fieldsRec = 1;
    // The same per record r as the first or middle record, fieldsRun doubles from
    // r * fieldsRun (rho, rec_0..rec_{q-1}, then padding).
    LineVector<double> recsRun;
    size_t RunRec(int r, int f) const { return static_cast<size_t>(r) * fieldsRun + f; }
    int fieldsRun = kBlock;
    double lu = 0, viol = 0;
    // The pairs (i, j) of the current chunk, j in [jBase, jBase + width), row b = i - i0,
    // fieldsPair doubles each: lam, bet, U_0..U_{q-1}, then the kernels' own. A slice
    // writes each pair it runs once per chunk, so the sums are set, not added.
    std::vector<double, LineAllocator<double, true>> pairs;  // never read before it is set
    int q = 0, jBase = 0, width = 0, fieldsPair = kBlock;
    double* PairSums(int b, int j) {
        return pairs.data() + (static_cast<size_t>(b) * width + (j - jBase)) * fieldsPair;
    }
    bool failed = false;

    void Init(int n, int q, int block, int width);
};

// Doubles of the per-record sums of a run (rho and q components) and of a pair's sums (lam,
// bet, q components, a count and vq), in whole blocks.
constexpr int RunFields(int q) { return (1 + q + kBlock - 1) / kBlock * kBlock; }
constexpr int PairFields(int q) { return (4 + q + kBlock - 1) / kBlock * kBlock; }

struct KernelTable {
    const char* name;
    // Triples (i, j, k) with i in [i0, i1), j in [j0, j1), k in [k0, k1); writes the
    // columns k of rows i and j of lam, bet, U and the slice's own state. False when a
    // violating triple has no smallest distance.
    bool (*runSlice)(PassData& d, int i0, int i1, int j0, int j1, int k0, int k1, SliceState& slice);
    // Classification sums of the triples (i, j, k) of each pair (i, j), i in [i0, i1), j in
    // [j0, j1), i < j < n - 1, over k > j (dist: n x n, row-major): the triples' weight,
    // the violating ones' weight and their count, each at (i - i0) n + j.
    void (*classifyPairs)(const double* dist, const double* s, int n, int i0, int i1, int j0, int j1,
                          double* tw, double* vw, double* vc);
    // Sum of s_i s_j s_k q over the violating triples with first record i; NaN when one
    // has no smallest distance. dist: rows of `stride` doubles (a multiple of kBlock), the
    // distances of row r in columns r + 1 .. n - 1 and 0 from column n on; s: n weights,
    // then 0 up to the stride; finite: every distance is finite.
    double (*lossFirst)(const double* dist, int stride, const double* s, int n, int i, bool finite);
};

// The kernels in use.
const KernelTable& Kernels();
// Tests: 0 the portable kernels, 1 AVX2 at most, 2 the best this processor supports (the
// default).
void SetKernelLevel(int level);
// Tests: chunks of at most `triples` triples and `width` middle records, so that small data
// sets have blocks of several chunks (0, 0: the program's own sizes). Takes effect at the
// next pass's Begin.
void SetChunkLimits(double triples, int width);

}  // namespace detail
}  // namespace zelk
