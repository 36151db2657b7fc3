// The chunked derivative pass of the optimiser, organised so that a triple costs O(p):
// each pair's squared distance and its gradient in v are computed once per pass; the
// triple pass gathers, per pair, the scalars that multiply that pair's Hessian and its
// rank-one term, and the vector that multiplies its gradient in the cross terms; the
// Hessians are expanded once per pair at the end, and the penalty terms factor out.
//
// Chunk x owns record x: it visits every triple that contains x and writes only what x
// owns: x's column of the per-record gradients, x's per-record sums, and the accumulators
// of the pairs (x, z), z > x. Finish reduces the chunks in record order. The result is
// therefore the same bit for bit for any grouping of chunks and any number of threads.
#include <cmath>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineDetail.h"
#include "engine/Parallel.h"

namespace zelk {

namespace {

enum class Order { kXYR, kYXR, kYRX };  // x < y < r, y < x < r, y < r < x

}  // namespace

struct DerivativePass::Impl {
    Problem pb;
    Params prm;
    Matrix dist;
    double P = 1;
    std::vector<double> gP, hP;
    int n = 0, q = 0;
    EngineError layout;
    bool pairsReady = false;
    bool failed = false;
    std::string failText;

    // Per ordered pair (y, r): D2 and the gradient of D2, stride q + 1, full n x n.
    std::vector<double> pairs;
    // Per pair (x, z), x < z, in row-major upper-triangle order: lambda, beta and U (q).
    std::vector<double> lam, bet, U;
    std::vector<size_t> triStart;  // index of pair (x, x + 1)
    // Per chunk (record x).
    std::vector<double> col;  // q x n, record-major (x * q + m)
    std::vector<double> rho, luSum, viol2, recW, recC;
    std::vector<unsigned char> chunkFailed;

    size_t Tri(int x, int z) const { return triStart[x] + static_cast<size_t>(z - x - 1); }
    const double* Pair(int y, int r) const {
        return pairs.data() + (static_cast<size_t>(y) * n + r) * (q + 1);
    }

    bool BuildPairs();
    template <Order O>
    void Segment(int x, int y, int r0, int r1, double* colx, double& rhoX, double& luX,
                 double& violX, double& wX, bool& bad);
    void RunChunk(int x);
};

DerivativePass::DerivativePass() : m(new Impl) {}
DerivativePass::~DerivativePass() = default;

void DerivativePass::Begin(const Problem& pb, const Params& prm, const Matrix& mDist, double P,
                           const Matrix& gradP, const Matrix& hessP) {
    Impl& s = *m;
    s.pb = pb;
    s.prm = prm;
    s.dist = mDist;
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
    s.failed = false;
    s.failText.clear();
    s.pairs.clear();
    s.triStart.assign(n > 0 ? n : 1, 0);
    size_t at = 0;
    for (int x = 0; x < n; ++x) {
        s.triStart[x] = at;
        at += static_cast<size_t>(n - 1 - x);
    }
    s.lam.assign(at, 0.0);
    s.bet.assign(at, 0.0);
    s.U.assign(at * q, 0.0);
    s.col.assign(static_cast<size_t>(n) * q, 0.0);
    s.rho.assign(n, 0.0);
    s.luSum.assign(n, 0.0);
    s.viol2.assign(n, 0.0);
    s.recW.assign(n, 0.0);
    s.recC.assign(n, 0.0);
    s.chunkFailed.assign(n, 0);
}

int DerivativePass::NumChunks() const { return m->n >= 3 ? m->n : 0; }

double DerivativePass::TriplesInChunk(int) const {
    // Every chunk visits the (n-1)(n-2)/2 triples of its record; each triple is visited by
    // its three records.
    const double n = m->n;
    return n >= 3 ? (n - 1) * (n - 2) / 6.0 : 0.0;
}

bool DerivativePass::Impl::BuildPairs() {
    const int stride = q + 1;
    pairs.assign(static_cast<size_t>(n) * n * stride, 0.0);
    std::vector<unsigned char> bad(n, 0);
    ParallelFor(0, n, [&](int y) {
        double comps[5];
        for (int r = y + 1; r < n; ++r) {
            double* a = pairs.data() + (static_cast<size_t>(y) * n + r) * stride;
            if (!detail::PairEval(pb, prm, y, r, comps, a + 1, nullptr)) {
                bad[y] = 1;
                return;
            }
            a[0] = comps[0] + comps[1] + comps[2] + comps[3] + comps[4];
            double* b = pairs.data() + (static_cast<size_t>(r) * n + y) * stride;
            for (int k = 0; k < stride; ++k) b[k] = a[k];
        }
    });
    for (int y = 0; y < n; ++y)
        if (bad[y]) return false;
    return true;
}

// Triples (x, y, r) for r in [r0, r1), with the order of the three records fixed by O.
// P1 = (x, y), P2 = (x, r), P3 = (y, r).
template <Order O>
void DerivativePass::Impl::Segment(int x, int y, int r0, int r1, double* colx, double& rhoX,
                                   double& luX, double& violX, double& wX, bool& bad) {
    const double* dx = dist.Row(x);
    const double* dy = dist.Row(y);
    const double d1 = dx[y];
    const double* s = pb.s.data();
    const double* p1 = Pair(x, y);
    const double* g1 = p1 + 1;
    const double D1 = p1[0];
    const int stride = q + 1;
    const double* rowX = Pair(x, 0);
    const double* rowY = Pair(y, 0);
    // Pair (x, y) is owned by x when x < y; pair (x, r) when x < r.
    double* lam1 = O == Order::kXYR ? lam.data() + Tri(x, y) : nullptr;
    double* bet1 = O == Order::kXYR ? bet.data() + Tri(x, y) : nullptr;
    double* U1 = O == Order::kXYR ? U.data() + Tri(x, y) * q : nullptr;
    const bool own2 = O != Order::kYRX;
    for (int r = r0; r < r1; ++r) {
        const double d2 = dx[r], d3 = dy[r];
        double dij, dik, djk, sw;
        if (O == Order::kXYR) {
            dij = d1, dik = d2, djk = d3;
            sw = s[x] * s[y] * s[r];
        } else if (O == Order::kYXR) {
            dij = d1, dik = d3, djk = d2;
            sw = s[y] * s[x] * s[r];
        } else {
            dij = d3, dik = d1, djk = d2;
            sw = s[y] * s[r] * s[x];
        }
        wX += sw;
        if (!detail::Violates(dij, dik, djk)) continue;
        const int sm = detail::Smallest(dij, dik, djk);
        if (sm < 0) {
            bad = true;
            return;
        }
        // The smallest distance as one of P1, P2, P3.
        int small;
        if (O == Order::kXYR) {
            small = sm == 0 ? 1 : sm == 1 ? 2 : 3;
        } else if (O == Order::kYXR) {
            small = sm == 0 ? 1 : sm == 1 ? 3 : 2;
        } else {
            small = sm == 0 ? 3 : sm == 1 ? 1 : 2;
        }
        const double* p2 = rowX + static_cast<size_t>(r) * stride;
        const double* p3 = rowY + static_cast<size_t>(r) * stride;
        // (a, b): the two larger distances, in pair order.
        const int a = small == 1 ? 2 : 1;
        const int b = small == 3 ? 2 : 3;
        const double* pa = a == 1 ? p1 : p2;
        const double* pb3 = b == 2 ? p2 : p3;
        const detail::TripleCoef c = detail::TripleCoefficients(pa[0], pb3[0]);
        const double swq = sw * c.q;
        rhoX += swq;
        if (O == Order::kXYR) {
            luX += swq;
            violX += 1;
        }
        const double kab = sw * c.cab;
        // Role a.
        if (a == 1) {
            if (lam1) {
                *lam1 += sw * c.ca;
                *bet1 += sw * c.caa;
                const double* go = pb3 + 1;
                for (int k = 0; k < q; ++k) U1[k] += kab * go[k];
            }
        } else {  // a == 2
            if (own2) {
                const size_t t = Tri(x, r);
                lam[t] += sw * c.ca;
                bet[t] += sw * c.caa;
                double* u = U.data() + t * q;
                const double* go = pb3 + 1;
                for (int k = 0; k < q; ++k) u[k] += kab * go[k];
            }
        }
        // Role b.
        if (b == 3) {
            const double f = sw * c.cb;
            const double* g3 = p3 + 1;
            for (int k = 0; k < q; ++k) colx[k] += f * g3[k];
        } else {  // b == 2 (then a == 1)
            if (own2) {
                const size_t t = Tri(x, r);
                lam[t] += sw * c.cb;
                bet[t] += sw * c.cbb;
                double* u = U.data() + t * q;
                for (int k = 0; k < q; ++k) u[k] += kab * g1[k];
            }
        }
        (void)D1;
    }
}

void DerivativePass::Impl::RunChunk(int x) {
    // Start from zero: running a chunk again gives the same result.
    for (int z = x + 1; z < n; ++z) {
        const size_t t = Tri(x, z);
        lam[t] = bet[t] = 0;
        for (int k = 0; k < q; ++k) U[t * q + k] = 0;
    }
    double* colx = col.data() + static_cast<size_t>(x) * q;
    for (int k = 0; k < q; ++k) colx[k] = 0;
    double rhoX = 0, luX = 0, violX = 0, wX = 0;
    bool bad = false;
    for (int y = 0; y < n && !bad; ++y) {
        if (y == x) continue;
        if (x < y) {
            Segment<Order::kXYR>(x, y, y + 1, n, colx, rhoX, luX, violX, wX, bad);
        } else {
            Segment<Order::kYRX>(x, y, y + 1, x, colx, rhoX, luX, violX, wX, bad);
            if (!bad) Segment<Order::kYXR>(x, y, x + 1, n, colx, rhoX, luX, violX, wX, bad);
        }
    }
    rho[x] = rhoX;
    luSum[x] = luX;
    viol2[x] = violX;
    recW[x] = wX;
    recC[x] = static_cast<double>(n - 1) * (n - 2) / 2.0;
    chunkFailed[x] = bad ? 1 : 0;
}

void DerivativePass::RunChunks(int c0, int c1, EngineError& err) {
    Impl& s = *m;
    if (s.layout) {
        err.Fail(s.layout.text);
        return;
    }
    if (s.failed) {
        err.Fail(s.failText);
        return;
    }
    if (c1 > NumChunks()) c1 = NumChunks();
    if (c0 >= c1) return;
    if (!s.pairsReady) {
        if (!s.BuildPairs()) {
            s.failed = true;
            s.failText = kDivideByZeroA;
            err.Fail(s.failText);
            return;
        }
        s.pairsReady = true;
    }
    ParallelFor(c0, c1, [&s](int x) { s.RunChunk(x); });
    for (int x = c0; x < c1; ++x)
        if (s.chunkFailed[x]) {
            s.failed = true;
            s.failText = detail::kNoSmallest;
            err.Fail(s.failText);
            return;
        }
}

void DerivativePass::Finish(LossState& out, EngineError& err) {
    Impl& s = *m;
    if (s.layout) {
        err.Fail(s.layout.text);
        return;
    }
    if (s.failed) {
        err.Fail(s.failText);
        return;
    }
    const int n = s.n, q = s.q;
    const double P = s.P;
    const bool havePairs = s.pairsReady;
    // Per owner row x: the gradient sum and the Hessian sum of its pairs.
    std::vector<double> gRow(static_cast<size_t>(n) * q, 0.0);
    std::vector<double> hRow(static_cast<size_t>(n) * q * q, 0.0);
    std::vector<unsigned char> bad(n, 0);
    if (havePairs && q > 0)
        ParallelFor(0, n, [&](int x) {
            std::vector<double> H(static_cast<size_t>(q) * q), g(q);
            double comps[5];
            double* gs = gRow.data() + static_cast<size_t>(x) * q;
            double* hs = hRow.data() + static_cast<size_t>(x) * q * q;
            for (int z = x + 1; z < n; ++z) {
                const size_t t = s.Tri(x, z);
                const double lam = s.lam[t], bet = s.bet[t];
                const double* u = s.U.data() + t * q;
                const double* gp = s.Pair(x, z) + 1;
                bool any = lam != 0 || bet != 0;
                for (int k = 0; k < q && !any; ++k) any = u[k] != 0;
                if (!any) continue;
                if (lam != 0 && !detail::PairEval(s.pb, s.prm, x, z, comps, g.data(), H.data())) {
                    bad[x] = 1;
                    return;
                }
                for (int a = 0; a < q; ++a) {
                    gs[a] += lam * gp[a];
                    double* hr = hs + static_cast<size_t>(a) * q;
                    for (int b = 0; b < q; ++b) {
                        double h = bet * gp[a] * gp[b] + gp[a] * u[b];
                        if (lam != 0) h += lam * H[static_cast<size_t>(a) * q + b];
                        hr[b] += h;
                    }
                }
            }
        });
    for (int x = 0; x < n; ++x)
        if (bad[x]) {
            err.Fail(kDivideByZeroA);
            return;
        }
    std::vector<double> G(q, 0.0), Hq(static_cast<size_t>(q) * q, 0.0);
    double SQ = 0, viol2 = 0;
    for (int x = 0; x < n; ++x) {
        for (int a = 0; a < q; ++a) G[a] += gRow[static_cast<size_t>(x) * q + a];
        for (size_t a = 0; a < Hq.size(); ++a) Hq[a] += hRow[static_cast<size_t>(x) * q * q + a];
        SQ += s.luSum[x];
        viol2 += s.viol2[x];
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
    std::vector<double> rec(static_cast<size_t>(n) * q, 0.0);
    if (havePairs && q > 0)
        ParallelFor(0, n, [&](int r) {
            double* c = rec.data() + static_cast<size_t>(r) * q;
            const double* own = s.col.data() + static_cast<size_t>(r) * q;
            for (int a = 0; a < q; ++a) c[a] = own[a];
            for (int y = 0; y < n; ++y) {
                if (y == r) continue;
                const double lam = s.lam[r < y ? s.Tri(r, y) : s.Tri(y, r)];
                if (lam == 0) continue;
                const double* gp = s.Pair(r, y) + 1;
                for (int a = 0; a < q; ++a) c[a] += lam * gp[a];
            }
        });
    for (int r = 0; r < n; ++r) {
        out.adRecTripleWeight(0, r) = s.recW[r];
        out.adRecTripleCount(0, r) = s.recC[r];
        for (int a = 0; a < q; ++a)
            out.mRecGrad(a, r) = rec[static_cast<size_t>(r) * q + a] / P - s.rho[r] / P2 * s.gP[a];
    }
    detail::FinishChecks(out, err);
}

}  // namespace zelk
