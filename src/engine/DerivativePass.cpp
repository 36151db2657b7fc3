// The derivative pass of the optimiser, organised so that a triple costs O(p) and
// is visited once: each pair's distance (the root of its squared distance, taken from the
// distance matrix), its inverse and its gradient in v are computed once per pass;
// the triple loop gathers, per pair, the scalar that multiplies the pair's Hessian and
// gradient (lam), the one that multiplies its g g' (bet) and the vector U of its cross
// terms; the Hessians are expanded once per pair at the end, and the penalty terms factor
// out of the sum.
//
// A block is a run of consecutive first records i. Its triples (i, j, k) run in chunks,
// each the block's triples whose middle record j lies in a range, and a chunk's triples are
// split into slices by ranges of the last record k; a slice owns the columns k of every
// row, so slices run side by side without sharing a write. What is keyed by i or j (the
// pair (i, j) itself, the sums per record) goes to the slice's own buffers and is added up
// in slice order. Chunks run one after another in order. Blocks, chunks and slices depend
// only on n, so the result is the same bit for bit for any number of threads and any
// grouping of chunks into steps.
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
// First records per block: the block's rows share the streaming of every row j they meet,
// so a block holds as many as the kernels take.
constexpr int kBlockRecords = detail::kMaxFirstRecords;
// A block's triples are run in chunks (the triples whose middle record j lies in a range) of
// at most this many triples, so that a step stays short whatever n, and of at most
// kChunkWidth middle records (the size of the slices' buffers of the chunk's pairs).
constexpr double kChunkTriples = 3.0e6;
constexpr int kChunkWidth = 512;
double g_chunkTriples = kChunkTriples;
int g_chunkWidth = kChunkWidth;
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
    // The chunks in the order they run: blocks of first records in order, each block's
    // chunks by their middle records. They depend on n only.
    struct Chunk {
        int i0 = 0, i1 = 0, j0 = 0, j1 = 0;  // first records [i0, i1), middle [j0, j1)
        double triples = 0;
        bool last = false;  // the block's last chunk
    };
    std::vector<Chunk> chunks;
    int chunksFor = -1;  // the n (and limits) the chunks were laid out for
    double chunkTriples = 0;
    int chunkWidth = 0;
    int nextChunk = 0;   // chunks before it have run
    detail::PassData d;
    std::vector<detail::SliceState> slices;
    // Per first record x, the upper triangle of the Hessian terms of its pairs (x, z): the
    // cross terms g U' + U g' at the end of x's chunk, then bet g g' at the end of the pass.
    std::vector<double> hRow;

    // The gradients of the pairs of rows [y0, y1); false on the type-A divide by zero.
    bool BuildPairRows(int y0, int y1);
    void LayOutChunks();
    void SliceBounds(const Chunk& ck);
    std::vector<int> bounds;     // the current chunk's slices: columns [bounds[p], bounds[p + 1])
    std::vector<int64_t> cum;    // SliceBounds' work so far
    bool RunChunk(int c);
    bool ReportFailure(EngineError& err) const {
        if (layout) err.Fail(layout.text);
        else if (failed) err.Fail(failText);
        return layout.failed || failed;
    }
};

void detail::SliceState::Init(int n, int q_, int block, int width_) {
    q = q_;
    fieldsRec = 1 + q;
    fieldsRun = RunFields(q);
    fieldsPair = PairFields(q);
    const int blocks = (n + kBlock - 1) / kBlock;
    recs.assign(static_cast<size_t>(blocks) * fieldsRec * kBlock, 0.0);
    recsRun.assign(static_cast<size_t>(blocks) * kBlock * fieldsRun, 0.0);
    lu = viol = 0;
    jBase = 0;
    width = width_;
    pairs.resize(static_cast<size_t>(block) * width * fieldsPair);
    failed = false;
}

void detail::SetChunkLimits(double triples, int width) {
    g_chunkTriples = triples > 0 ? triples : kChunkTriples;
    g_chunkWidth = width > 0 ? std::min(width, kChunkWidth) : kChunkWidth;
}

void DerivativePass::Impl::LayOutChunks() {
    if (chunksFor == n && chunkTriples == g_chunkTriples && chunkWidth == g_chunkWidth) return;
    chunksFor = n;
    chunkTriples = g_chunkTriples;
    chunkWidth = g_chunkWidth;
    chunks.clear();
    if (n < 3) return;
    const int blocks = (n - 2 + kBlockRecords - 1) / kBlockRecords;
    for (int c = 0; c < blocks; ++c) {
        const int i0 = c * kBlockRecords, i1 = std::min(i0 + kBlockRecords, n - 2);
        for (int j = i0 + 1; j < n - 1;) {
            Chunk ck;
            ck.i0 = i0;
            ck.i1 = i1;
            ck.j0 = ck.j1 = j;
            while (ck.j1 < n - 1 && ck.j1 - ck.j0 < chunkWidth) {
                const double t = detail::MiddleTriples(n, i0, i1, ck.j1);
                if (ck.triples > 0 && ck.triples + t > chunkTriples) break;
                ck.triples += t;
                ++ck.j1;
            }
            chunks.push_back(ck);
            j = ck.j1;
        }
        chunks.back().last = true;
    }
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
    s.LayOutChunks();
    s.slices.resize(SlicesFor(n));
    for (auto& slice : s.slices) slice.Init(n, q, kBlockRecords, kChunkWidth);
    d.U.assign(static_cast<size_t>(kBlockRecords) * d.blocks * q * detail::kBlock, 0.0);
    s.hRow.assign(static_cast<size_t>(n) * q * q, 0.0);
}

int DerivativePass::NumChunks() const { return static_cast<int>(m->chunks.size()); }

double DerivativePass::TriplesInChunk(int chunk) const {
    return chunk >= 0 && chunk < NumChunks() ? m->chunks[chunk].triples : 0.0;
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
void DerivativePass::Impl::SliceBounds(const Chunk& ck) {
    const int numSlices = static_cast<int>(slices.size());
    bounds.assign(numSlices + 1, 0);
    const int i0 = ck.i0, i1 = ck.i1;
    const int kLo = ck.j0 + 1;
    // cum[k - kLo + 1]: the chunk's triples with last record at most k (pairs (i, j) of the
    // chunk with j < k, summed over k).
    cum.assign(static_cast<size_t>(n - kLo + 1), 0);
    int64_t total = 0, pairs = 0;
    for (int k = kLo; k < n; ++k) {
        const int j = k - 1;  // pairs with middle record k - 1 join from column k on
        if (j >= ck.j0 && j < ck.j1) pairs += std::min(i1, j) - i0;
        total += pairs;
        cum[k - kLo + 1] = total;
    }
    // Shares falling from the first slice to the last (slices + 2 down to 3): the threads
    // take the slices largest first, so the last ones to finish are small.
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
    const Chunk& ck = chunks[c];
    const int i0 = ck.i0, i1 = ck.i1;
    const int numSlices = static_cast<int>(slices.size());
    SliceBounds(ck);
    const detail::KernelTable& kern = detail::Kernels();
    for (auto& slice : slices) slice.jBase = ck.j0;
    auto runSlice = [&](int p) {
        if (bounds[p] < bounds[p + 1])
            kern.runSlice(d, i0, i1, ck.j0, ck.j1, bounds[p], bounds[p + 1], slices[p]);
    };
    if (ck.triples >= kParallelTriples) {
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
    // The partial sums of the chunk's pairs (i, j), in slice order, a block of row i at a
    // time; at the block's last chunk, each row's cross terms.
    using detail::kBlock;
    ParallelFor(i0, i1, [&](int i) {
        const int b = i - i0;
        for (int p = 0; p < numSlices; ++p) {
            detail::SliceState& slice = slices[p];
            // A slice that ran holds the sums of the pairs with j + 1 < its last column.
            if (bounds[p] >= bounds[p + 1]) continue;
            const int jStart = std::max(ck.j0, i + 1), jEnd = std::min(ck.j1, bounds[p + 1] - 1);
            for (int B = jStart / kBlock; B * kBlock < jEnd; ++B) {
                double* e = d.data.data() + d.Block(i, B);
                double* u = d.U.data() + d.UBlock(b, B);
                const int j0 = std::max(jStart, B * kBlock), j1 = std::min(jEnd, (B + 1) * kBlock);
                for (int j = j0; j < j1; ++j) {
                    const int l = j - B * kBlock;
                    const double* sums = slice.PairSums(b, j);
                    e[detail::kLam * kBlock + l] += sums[0];
                    e[detail::kBet * kBlock + l] += sums[1];
                    for (int mm = 0; mm < q; ++mm) u[static_cast<size_t>(mm) * kBlock + l] += sums[2 + mm];
                }
            }
        }
        if (!ck.last) return;
        // Row i's cross terms are complete: g U' + U g' of its pairs into its Hessian row,
        // and the buffer cleared for the next block.
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
            // The row's sums in the thread's own storage until the row is done: neighbouring
            // rows' sums share cache lines, and other threads are adding to those.
            detail::HessianSum hx;
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
            hSum[x] = std::move(hx);
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
            // Summed apart from the neighbouring records' sums (see above), then stored.
            thread_local std::vector<double> sum;
            sum.assign(rec.begin() + static_cast<std::ptrdiff_t>(r) * q,
                       rec.begin() + static_cast<std::ptrdiff_t>(r + 1) * q);
            double* c = sum.data();
            for (const auto& slice : s.slices)
                for (int a = 0; a < q; ++a)
                    c[a] += slice.recs[slice.Rec(r, 1 + a)] +
                            slice.recsRun[slice.RunRec(r, 1 + a)];
            for (int y = 0; y < n; ++y) {
                if (y == r) continue;
                const int lo = std::min(r, y), hi = std::max(r, y);
                const double* e = d.data.data() + d.At(lo, hi, 0);
                const double lam = e[detail::kLam * detail::kBlock];
                if (lam == 0) continue;
                for (int a = 0; a < q; ++a) c[a] += lam * e[(detail::kGrad + a) * detail::kBlock];
            }
            std::copy(sum.begin(), sum.end(), rec.begin() + static_cast<std::ptrdiff_t>(r) * q);
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
        for (int r = 0; r < n; ++r)
            rho[r] += slice.recs[slice.Rec(r, 0)] + slice.recsRun[slice.RunRec(r, 0)];
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
