// The chunked derivative pass of the optimiser, organised so that a triple costs O(p) and
// is visited once: each pair's distance (the root of its squared distance, taken from the
// distance matrix), its inverse and its gradient in v are computed once per pass;
// the triple loop gathers, per pair, the scalar that multiplies the pair's Hessian and
// gradient (lam), the one that multiplies its g g' (bet) and the vector U of its cross
// terms; the Hessians are expanded once per pair at the end, and the penalty terms factor
// out of the sum.
//
// A chunk is a block of consecutive first records i. Its triples (i, j, k) are split into
// slices by ranges of the last record k; a slice owns the columns k of every row, so slices
// run side by side without sharing a write. What is keyed by i or j (the pair (i, j)
// itself, the sums per record) goes to the slice's own buffers and is added up in slice
// order. Chunks run one after another in order. Slices and chunks depend only on n, so
// the result is the same bit for bit for any number of threads and any grouping of chunks.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineDetail.h"
#include "engine/Parallel.h"
#include "engine/TripleKernels.h"

namespace zelk {

namespace {
// First records per chunk: more share the streaming of the rows they meet, fewer keep a
// step short. Depends on n only (the sums' order follows the chunks).
int ChunkRecordsFor(int n) {
    const double per = 6.0e6 / (static_cast<double>(n) * n + 1.0);
    return std::max(2, std::min(16, static_cast<int>(per)));
}
// Triples whose first record lies in chunk c (chunks of r first records).
double ChunkTriples(int n, int r, int c) {
    double t = 0;
    for (int i = c * r; i < std::min((c + 1) * r, n - 2); ++i)
        t += static_cast<double>(n - 1 - i) * (n - 2 - i) / 2.0;
    return t;
}
// Slices per chunk: enough to keep the cores busy, few enough that each pair's run of
// last records stays long (a run's set-up costs as much as several triples). Depends on n
// only (the sums' order follows the slices).
int SlicesFor(int n) { return std::max(4, std::min(16, n / 250)); }
// Chunks smaller than this run their slices on one thread (the same sums).
constexpr double kParallelTriples = 40000;

// Sums over the pairs of one row, a block of kBlock columns at a time, kept per lane (the
// columns outside the triangle hold zeros) and added across the lanes at the end:
//   S[a][b] += sum over the pairs of x_a y_b + y_a x_b (or w x_a x_b), upper triangle.
struct LaneSums {
    int q = 0;
    std::vector<double> acc;  // q x q x kBlock
    void Reset(int q_) {
        q = q_;
        acc.assign(static_cast<size_t>(q) * q * detail::kBlock, 0.0);
    }
    // Fields of a block: x and y as q rows of kBlock values, apart by `stride`.
    void AddCross(const double* x, const double* y, size_t xs, size_t ys) {
        using detail::kBlock;
        for (int a = 0; a < q; ++a)
            for (int b = a; b < q; ++b) {
                double* t = acc.data() + (static_cast<size_t>(a) * q + b) * kBlock;
                const double *xa = x + a * xs, *xb = x + b * xs, *ya = y + a * ys, *yb = y + b * ys;
                for (int l = 0; l < kBlock; ++l) t[l] += xa[l] * yb[l] + ya[l] * xb[l];
            }
    }
    void AddWeighted(const double* w, const double* x, size_t xs) {
        using detail::kBlock;
        for (int a = 0; a < q; ++a) {
            double wx[kBlock];
            for (int l = 0; l < kBlock; ++l) wx[l] = w[l] * x[a * xs + l];
            for (int b = a; b < q; ++b) {
                double* t = acc.data() + (static_cast<size_t>(a) * q + b) * kBlock;
                const double* xb = x + b * xs;
                for (int l = 0; l < kBlock; ++l) t[l] += wx[l] * xb[l];
            }
        }
    }
    // Adds the lanes, in order, to the upper triangle of H (q x q).
    void AddTo(double* H) const {
        for (int a = 0; a < q; ++a)
            for (int b = a; b < q; ++b) {
                const double* t = acc.data() + (static_cast<size_t>(a) * q + b) * detail::kBlock;
                double sum = 0;
                for (int l = 0; l < detail::kBlock; ++l) sum += t[l];
                H[static_cast<size_t>(a) * q + b] += sum;
            }
    }
};
}  // namespace

struct DerivativePass::Impl {
    Problem pb;
    Params prm;
    double P = 1;
    std::vector<double> gP, hP;
    int n = 0, q = 0;
    EngineError layout;
    bool pairsReady = false;
    int pairRowsDone = 0;  // rows of pair gradients computed so far
    const Matrix* dist = nullptr;  // the pass's distances (the evaluation's; alive during the pass)
    std::vector<unsigned char> zeroRoot;  // per row: a pair of it at distance 0
    // The finish's sums per owner row and per record, and how many rows of each are done.
    std::vector<double> gRow, rec;
    std::vector<detail::HessianSum> hSum;
    std::vector<unsigned char> badRow;
    int finishRows = 0, finishRecs = 0;
    bool failed = false;
    std::string failText;
    int nextChunk = 0;  // chunks before it have run
    int chunkRecords = 8;
    detail::PassData d;
    std::vector<detail::SliceState> slices;
    // Per first record x, the upper triangle of the Hessian terms of its pairs (x, z): the
    // cross terms g U' + U g' at the end of x's chunk, then bet g g' at the end of the pass.
    std::vector<double> hRow;

    // The gradients of the pairs of rows [y0, y1); false on the type-A divide by zero.
    bool BuildPairRows(int y0, int y1);
    void SliceBounds(int i0, int i1, std::vector<int>& bounds) const;
    bool RunChunk(int c);
    bool ReportFailure(EngineError& err) const {
        if (layout) err.Fail(layout.text);
        else if (failed) err.Fail(failText);
        return layout.failed || failed;
    }
};

void detail::SliceState::Init(int n, int q, int block) {
    fieldsRec = 1 + q;
    const int blocks = (n + kBlock - 1) / kBlock;
    recs.assign(static_cast<size_t>(blocks) * fieldsRec * kBlock, 0.0);
    lu = viol = 0;
    lamP.assign(static_cast<size_t>(block) * n, 0.0);
    betP.assign(static_cast<size_t>(block) * n, 0.0);
    UP.assign(static_cast<size_t>(block) * q * n, 0.0);
    touched = 0;
    failed = false;
}

void detail::PassData::Layout(int n_, int q_) {
    // The same shape as the last pass keeps its storage: its padding is still 0, and
    // BuildPairRows overwrites every field of every pair.
    if (n_ == n && q_ == q && !rowOff.empty()) return;
    n = n_;
    q = q_;
    fields = kGrad + q;
    blocks = (n + kBlock - 1) / kBlock;
    rowOff.assign(n > 0 ? n : 1, 0);
    size_t at = 0;
    for (int r = 0; r < n; ++r) {
        rowOff[r] = at;
        at += static_cast<size_t>(blocks - FirstBlock(r)) * fields * kBlock;
    }
    data.resize(at);
    fresh = true;
}

DerivativePass::DerivativePass() : m(new Impl) {}
DerivativePass::~DerivativePass() = default;

void DerivativePass::Begin(const Problem& pb, const Params& prm, const Matrix& mDist, double P,
                           const Matrix& gradP, const Matrix& hessP) {
    Impl& s = *m;
    s.pb = pb;
    s.prm = prm;
    s.P = P;
    s.n = pb.n;
    s.q = pb.p > 0 ? pb.p - 1 : 0;
    const int n = s.n, q = s.q;
    s.gP.assign(q, 0.0);
    s.hP.assign(static_cast<size_t>(q) * q, 0.0);
    for (int a = 0; a < q && a < gradP.Size(); ++a) s.gP[a] = gradP.Data()[a];
    for (int a = 0; a < q * q && a < hessP.Size(); ++a) s.hP[a] = hessP.Data()[a];
    s.layout = EngineError();
    detail::CheckLayout(pb, true, s.layout);
    s.pairsReady = false;
    s.pairRowsDone = 0;
    s.finishRows = s.finishRecs = 0;
    s.failed = false;
    s.failText.clear();
    s.nextChunk = 0;
    detail::PassData& d = s.d;
    d.Layout(n, q);
    d.s.assign(static_cast<size_t>(d.blocks) * detail::kBlock, 0.0);
    for (int r = 0; r < n; ++r) d.s[r] = s.pb.s[r];
    // The rows of pair data (distances, their inverses, the sums of the triple loop) are
    // filled with the pairs' gradients, a few rows per step (PreparePairRows).
    s.dist = mDist.Rows() >= n && mDist.Cols() >= n ? &mDist : nullptr;
    s.zeroRoot.assign(n > 0 ? n : 1, 0);
    d.anyZeroRoot = false;
    s.slices.resize(SlicesFor(n));
    s.chunkRecords = ChunkRecordsFor(n);
    for (auto& slice : s.slices) slice.Init(n, q, s.chunkRecords);
    d.U.assign(static_cast<size_t>(s.chunkRecords) * d.blocks * q * detail::kBlock, 0.0);
    s.hRow.assign(static_cast<size_t>(n) * q * q, 0.0);
}

int DerivativePass::NumChunks() const {
    const int n = m->n;
    const int r = m->chunkRecords;
    return n >= 3 ? (n - 2 + r - 1) / r : 0;
}

double DerivativePass::TriplesInChunk(int chunk) const {
    return ChunkTriples(m->n, m->chunkRecords, chunk);
}

// The gradient of each pair's squared distance in v.
bool DerivativePass::Impl::BuildPairRows(int y0, int y1) {
    using namespace detail;
    std::vector<unsigned char> bad(n, 0);
    ParallelFor(y0, y1, [&](int y) {
        if (d.fresh) {
            const size_t end = y + 1 < n ? d.rowOff[y + 1] : d.data.size();
            std::fill(d.data.begin() + static_cast<std::ptrdiff_t>(d.rowOff[y]),
                      d.data.begin() + static_cast<std::ptrdiff_t>(end), 0.0);
        }
        // Block by block: the distance (the root of the squared distance, which the
        // classification and the triple terms share) with its inverse, and the sums of the
        // triple loop set to 0.
        for (int B = d.FirstBlock(y); B < d.blocks; ++B) {
            double* e = d.data.data() + d.Block(y, B);
            for (int l = 0; l < kBlock; ++l) {
                const int z = B * kBlock + l;
                const bool pair = z > y && z < n;
                const double R = dist && pair ? (*dist)(y, z) : 0.0;
                e[kRoot * kBlock + l] = R;
                e[kInvRoot * kBlock + l] = R > 0 ? 1.0 / R : 0.0;
                if (pair && R == 0) zeroRoot[y] = 1;
            }
            std::fill(e + kLam * kBlock, e + (kBet + 1) * kBlock, 0.0);
        }
        double comps[5];
        std::vector<double> g(q > 0 ? q : 1);
        for (int r = y + 1; r < n; ++r) {
            if (!PairEval(pb, prm, y, r, comps, g.data(), nullptr)) {
                bad[y] = 1;
                return;
            }
            const size_t e = d.At(y, r, 0);
            for (int k = 0; k < q; ++k) d.data[e + (kGrad + k) * kBlock] = g[k];
        }
    });
    for (int y = y0; y < y1; ++y)
        if (bad[y]) return false;
    return true;
}

bool DerivativePass::PreparePairRows(int rows, EngineError& err) {
    Impl& s = *m;
    if (s.ReportFailure(err)) return false;
    if (s.pairsReady) return true;
    const int y1 = std::min(s.n, s.pairRowsDone + std::max(1, rows));
    if (!s.BuildPairRows(s.pairRowsDone, y1)) {
        s.failed = true;
        s.failText = kDivideByZeroA;
        err.Fail(s.failText);
        return false;
    }
    s.pairRowsDone = y1;
    if (s.pairRowsDone >= s.n) {
        s.pairsReady = true;
        s.d.fresh = false;
        for (int x = 0; x < s.n; ++x)
            if (s.zeroRoot[x]) s.d.anyZeroRoot = true;
    }
    return true;
}

bool DerivativePass::PairsPrepared() const { return m->pairsReady; }

// Splits the last records k of the chunk's triples into slices of decreasing work.
void DerivativePass::Impl::SliceBounds(int i0, int i1, std::vector<int>& bounds) const {
    const int numSlices = static_cast<int>(slices.size());
    bounds.assign(numSlices + 1, 0);
    const int kLo = i0 + 2;
    std::vector<int64_t> cum(static_cast<size_t>(n - kLo + 1), 0);
    int64_t total = 0;
    for (int k = kLo; k < n; ++k) {
        // Pairs (i, j) of the block with i < j < k.
        int64_t c = 0;
        for (int i = i0; i < i1 && i < k - 1; ++i) c += k - 1 - i;
        total += c;
        cum[k - kLo + 1] = total;
    }
    // Shares falling from the first slice to the last (slices + 2 down to 3): the threads
    // take the slices in order, largest first, so the last ones to finish are small.
    std::vector<int64_t> shares(numSlices);
    int64_t shareSum = 0;
    for (int p = 0; p < numSlices; ++p) shareSum += shares[p] = numSlices + 2 - p;
    bounds[0] = kLo;
    int k = kLo;
    int64_t before = 0;
    for (int p = 1; p < numSlices; ++p) {
        before += shares[p - 1];
        const int64_t goal = total * before / shareSum;
        while (k < n && cum[k - kLo + 1] < goal) ++k;
        // Slices own whole blocks of columns.
        const int up = (k + detail::kBlock - 1) / detail::kBlock * detail::kBlock;
        bounds[p] = std::min(n, std::max(up, bounds[p - 1]));
    }
    bounds[numSlices] = n;
}

bool DerivativePass::Impl::RunChunk(int c) {
    const int i0 = c * chunkRecords, i1 = std::min(i0 + chunkRecords, n - 2);
    const int numSlices = static_cast<int>(slices.size());
    std::vector<int> bounds;
    SliceBounds(i0, i1, bounds);
    const detail::KernelTable& kern = detail::Kernels();
    auto runSlice = [&](int p) {
        detail::SliceState& slice = slices[p];
        slice.touched = bounds[p + 1] - 1;
        if (bounds[p] < bounds[p + 1]) kern.runSlice(d, i0, i1, bounds[p], bounds[p + 1], slice);
    };
    if (ChunkTriples(n, chunkRecords, c) >= kParallelTriples) {
        // Slices taken even ones first, then odd ones: two threads then rarely work on
        // neighbouring slices at once. (A run ends at its slice's last column, and the
        // processor's prefetching reads on into the next slice's columns, which the thread
        // working there is writing: the lines would go back and forth between the cores.)
        // The order of work does not change any sum.
        ParallelFor(0, numSlices, [&](int x) {
            const int even = (numSlices + 1) / 2;
            runSlice(x < even ? 2 * x : 2 * (x - even) + 1);
        });
    } else {
        for (int p = 0; p < numSlices; ++p) runSlice(p);
    }
    for (const auto& slice : slices)
        if (slice.failed) return false;
    // The partial sums of the pairs (i, j), in slice order; row i's blocks in turn.
    using detail::kBlock;
    ParallelFor(i0, i1, [&](int i) {
        const int b = i - i0;
        for (auto& slice : slices) {
            double* lp = slice.lamP.data() + static_cast<size_t>(b) * n;
            double* bp = slice.betP.data() + static_cast<size_t>(b) * n;
            const int jEnd = std::min(slice.touched, n);
            for (int B = d.FirstBlock(i); B * kBlock < jEnd; ++B) {
                double* e = d.data.data() + d.Block(i, B);
                const int j0 = std::max(i + 1, B * kBlock), j1 = std::min(jEnd, (B + 1) * kBlock);
                for (int j = j0; j < j1; ++j) {
                    const int l = j - B * kBlock;
                    e[detail::kLam * kBlock + l] += lp[j];
                    e[detail::kBet * kBlock + l] += bp[j];
                    lp[j] = bp[j] = 0;
                }
                for (int mm = 0; mm < q; ++mm) {
                    double* up = slice.UP.data() + (static_cast<size_t>(b) * q + mm) * n;
                    double* u = d.U.data() + d.UBlock(b, B) + static_cast<size_t>(mm) * kBlock;
                    for (int j = j0; j < j1; ++j) {
                        u[j - B * kBlock] += up[j];
                        up[j] = 0;
                    }
                }
            }
        }
        // Row i's cross terms are complete: g U' + U g' of its pairs into its Hessian row,
        // and the buffer cleared for the next chunk.
        thread_local LaneSums cross;
        cross.Reset(q);
        for (int B = d.FirstBlock(i); B < d.blocks; ++B) {
            const double* e = d.data.data() + d.Block(i, B);
            double* u = d.U.data() + d.UBlock(b, B);
            cross.AddCross(e + detail::kGrad * kBlock, u, kBlock, kBlock);
            std::fill(u, u + static_cast<size_t>(q) * kBlock, 0.0);
        }
        cross.AddTo(hRow.data() + static_cast<size_t>(i) * q * q);
    });
    return true;
}

void DerivativePass::RunChunks(int c0, int c1, EngineError& err) {
    Impl& s = *m;
    (void)c0;  // chunks run in order: every chunk before c1 not yet run
    if (s.ReportFailure(err)) return;
    if (c1 > NumChunks()) c1 = NumChunks();
    if (s.nextChunk >= c1) return;
    if (!s.pairsReady && !PreparePairRows(s.n, err)) return;
    for (; s.nextChunk < c1; ++s.nextChunk)
        if (!s.RunChunk(s.nextChunk)) {
            s.failed = true;
            s.failText = detail::kNoSmallest;
            err.Fail(s.failText);
            return;
        }
}

// The sums of the finish, a few rows at a time so that a run can spread them over steps:
// first each owner row's gradient and Hessian sums, then each record's gradient sum.
bool DerivativePass::FinishStep(int rows, EngineError& err) {
    Impl& s = *m;
    if (s.ReportFailure(err)) return false;
    const int n = s.n, q = s.q;
    const detail::PassData& d = s.d;
    std::vector<double>& gRow = s.gRow;
    std::vector<double>& hRow = s.hRow;
    std::vector<detail::HessianSum>& hSum = s.hSum;
    std::vector<unsigned char>& bad = s.badRow;
    std::vector<double>& rec = s.rec;
    if (!s.pairsReady || q <= 0) {
        gRow.assign(static_cast<size_t>(n) * (q > 0 ? q : 0), 0.0);
        rec.assign(gRow.size(), 0.0);
        s.finishRows = s.finishRecs = n;
        return true;
    }
    if (s.finishRows == 0 && s.finishRecs == 0) {
        gRow.assign(static_cast<size_t>(n) * q, 0.0);
        hSum.assign(n, detail::HessianSum());
        bad.assign(n, 0);
        rec.assign(static_cast<size_t>(n) * q, 0.0);
    }
    if (s.finishRows < n) {
        const int x0 = s.finishRows, x1 = std::min(n, x0 + std::max(1, rows));
        ParallelFor(x0, x1, [&](int x) {
            using detail::kBlock;
            detail::HessianSum& hx = hSum[x];
            hx.Init(q);
            double* gs = gRow.data() + static_cast<size_t>(x) * q;
            thread_local LaneSums bg;
            bg.Reset(q);
            std::vector<double> lg(static_cast<size_t>(q) * kBlock, 0.0);
            for (int B = d.FirstBlock(x); B < d.blocks; ++B) {
                const double* e = d.data.data() + d.Block(x, B);
                const double* lam = e + detail::kLam * kBlock;
                const double* g = e + detail::kGrad * kBlock;
                // bet g g' (upper triangle) and lam g, lane by lane.
                bg.AddWeighted(e + detail::kBet * kBlock, g, kBlock);
                for (int a = 0; a < q; ++a)
                    for (int l = 0; l < kBlock; ++l) lg[static_cast<size_t>(a) * kBlock + l] += lam[l] * g[a * kBlock + l];
                for (int l = 0; l < kBlock; ++l) {
                    const int z = B * kBlock + l;
                    if (z <= x || z >= n || lam[l] == 0) continue;
                    if (!detail::PairHessianInto(s.pb, s.prm, x, z, lam[l], hx)) {
                        bad[x] = 1;
                        return;
                    }
                }
            }
            for (int a = 0; a < q; ++a)
                for (int l = 0; l < kBlock; ++l) gs[a] += lg[static_cast<size_t>(a) * kBlock + l];
            bg.AddTo(hRow.data() + static_cast<size_t>(x) * q * q);
        });
        for (int x = x0; x < x1; ++x)
            if (bad[x]) {
                s.failed = true;
                s.failText = kDivideByZeroA;
                err.Fail(s.failText);
                return false;
            }
        s.finishRows = x1;
        return false;
    }
    if (s.finishRecs < n) {
        const int r0 = s.finishRecs, r1 = std::min(n, r0 + std::max(1, rows));
        ParallelFor(r0, r1, [&](int r) {
            double* c = rec.data() + static_cast<size_t>(r) * q;
            for (const auto& slice : s.slices)
                for (int a = 0; a < q; ++a) c[a] += slice.recs[slice.Rec(r, 1 + a)];
            for (int y = 0; y < n; ++y) {
                if (y == r) continue;
                const int lo = std::min(r, y), hi = std::max(r, y);
                const double* e = d.data.data() + d.At(lo, hi, 0);
                const double lam = e[detail::kLam * detail::kBlock];
                if (lam == 0) continue;
                for (int a = 0; a < q; ++a) c[a] += lam * e[(detail::kGrad + a) * detail::kBlock];
            }
        });
        s.finishRecs = r1;
    }
    return s.finishRecs >= n;
}

void DerivativePass::Finish(LossState& out, EngineError& err) {
    Impl& s = *m;
    if (s.ReportFailure(err)) return;
    const int n = s.n, q = s.q;
    const double P = s.P;
    const bool havePairs = s.pairsReady;
    // Whatever rows of the sums are left, at once. Per owner row x: the gradient sum and the
    // Hessian sum of its pairs (lam H in the pair-Hessian sum, the rest whole).
    while (!FinishStep(n, err))
        if (err) return;
    const std::vector<double>& gRow = s.gRow;
    const std::vector<double>& hRow = s.hRow;
    const std::vector<detail::HessianSum>& hSum = s.hSum;
    std::vector<double> G(q, 0.0), Hq(static_cast<size_t>(q) * q, 0.0);
    detail::HessianSum lamH;
    lamH.Init(q);
    for (int x = 0; x < n; ++x) {
        for (int a = 0; a < q; ++a) G[a] += gRow[static_cast<size_t>(x) * q + a];
        for (size_t a = 0; a < Hq.size(); ++a) Hq[a] += hRow[static_cast<size_t>(x) * q * q + a];
        if (havePairs && q > 0) lamH.Add(hSum[x]);
    }
    for (int a = 0; a < q; ++a)
        for (int b = 0; b < a; ++b) Hq[static_cast<size_t>(a) * q + b] = Hq[static_cast<size_t>(b) * q + a];
    lamH.AddTo(s.prm, Hq.data());
    double SQ = 0, viol2 = 0;
    std::vector<double> rho(n, 0.0), recW(n, 0.0);
    for (const auto& slice : s.slices) {
        SQ += slice.lu;
        viol2 += slice.viol;
        for (int r = 0; r < n; ++r) rho[r] += slice.recs[slice.Rec(r, 0)];
    }
    // A record's triple weight: s_r times the sum of s_i s_j over the pairs without r.
    double S1 = 0, S2 = 0;
    for (int r = 0; r < n; ++r) {
        S1 += s.pb.s[r];
        S2 += s.pb.s[r] * s.pb.s[r];
    }
    if (havePairs)
        for (int r = 0; r < n; ++r) {
            const double a = S1 - s.pb.s[r], b = S2 - s.pb.s[r] * s.pb.s[r];
            recW[r] = s.pb.s[r] * 0.5 * (a * a - b);
        }
    out.dLu = SQ / P;
    out.dViolCount2 = viol2;
    out.mGradV = Matrix(q, 1, 0.0);
    out.mHessV = Matrix(q, q, 0.0);
    const double P2 = P * P, P3 = P2 * P;
    for (int a = 0; a < q; ++a) out.mGradV(a, 0) = G[a] / P - SQ / P2 * s.gP[a];
    for (int a = 0; a < q; ++a)
        for (int b = 0; b < q; ++b) {
            const size_t ab = static_cast<size_t>(a) * q + b, ba = static_cast<size_t>(b) * q + a;
            const double hq = 0.5 * (Hq[ab] + Hq[ba]);
            out.mHessV(a, b) = hq / P - (G[a] * s.gP[b] + s.gP[a] * G[b]) / P2 - SQ / P2 * s.hP[ab] +
                               2.0 * SQ / P3 * s.gP[a] * s.gP[b];
        }
    out.adRecTripleWeight = Matrix(1, n, 0.0);
    out.adRecTripleCount = Matrix(1, n, 0.0);
    out.mRecGrad = Matrix(q, n, 0.0);
    // Per record: the terms of the pairs opposite it (from the slices, in slice order), then
    // lam g of its own pairs.
    const std::vector<double>& rec = s.rec;
    const double count = n >= 3 ? static_cast<double>(n - 1) * (n - 2) / 2.0 : 0.0;
    for (int r = 0; r < n; ++r) {
        out.adRecTripleWeight(0, r) = recW[r];
        out.adRecTripleCount(0, r) = count;
        for (int a = 0; a < q; ++a)
            out.mRecGrad(a, r) = rec[static_cast<size_t>(r) * q + a] / P - rho[r] / P2 * s.gP[a];
    }
    detail::FinishChecks(out, err);
}

}  // namespace zelk
