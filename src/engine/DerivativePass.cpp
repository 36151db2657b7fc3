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

    // Per ordered pair (y, r), full n x n: the distance recomputed at v (root of D2),
    // 1/root, 1/root^3 (0 for a zero distance) and the gradient of D2 (stride q).
    std::vector<double> root, invRoot, invRoot3, grads;
    // Per pair (x, z), x < z, in row-major upper-triangle order: lambda, beta and U (q).
    std::vector<double> lam, bet, U;
    std::vector<size_t> triStart;  // index of pair (x, x + 1)
    // Per chunk (record x).
    std::vector<double> col;  // q x n, record-major (x * q + m)
    std::vector<double> rho, luSum, viol2, recW, recC;
    std::vector<unsigned char> chunkFailed;

    size_t Tri(int x, int z) const { return triStart[x] + static_cast<size_t>(z - x - 1); }
    const double* Grad(int y, int r) const {
        return grads.data() + (static_cast<size_t>(y) * n + r) * q;
    }

    bool BuildPairs();
    template <Order O>
    void FixZeroDistances(int x, int y, int r0, int r1);
    template <Order O>
    void Segment(int x, int y, int r0, int r1, double* colx, double& rhoX, double& luX,
                 double& violX, double& wX, bool& bad);
    void RunChunk(int x);
    // A bad layout or an earlier failure of this pass: reported again, true.
    bool ReportFailure(EngineError& err) const {
        if (layout) err.Fail(layout.text);
        else if (failed) err.Fail(failText);
        return layout.failed || failed;
    }
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
    s.root.clear();
    s.invRoot.clear();
    s.invRoot3.clear();
    s.grads.clear();
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
    const size_t nn = static_cast<size_t>(n) * n;
    root.assign(nn, 0.0);
    invRoot.assign(nn, 0.0);
    invRoot3.assign(nn, 0.0);
    grads.assign(nn * q, 0.0);
    std::vector<unsigned char> bad(n, 0);
    ParallelFor(0, n, [&](int y) {
        double comps[5];
        for (int r = y + 1; r < n; ++r) {
            const size_t a = static_cast<size_t>(y) * n + r, b = static_cast<size_t>(r) * n + y;
            double* g = grads.data() + a * q;
            if (!detail::PairEval(pb, prm, y, r, comps, g, nullptr)) {
                bad[y] = 1;
                return;
            }
            const double D2 = comps[0] + comps[1] + comps[2] + comps[3] + comps[4];
            const double R = std::sqrt(D2 > 0 ? D2 : 0.0);
            root[a] = root[b] = R;
            invRoot[a] = invRoot[b] = R > 0 ? 1.0 / R : 0.0;
            invRoot3[a] = invRoot3[b] = R > 0 ? 1.0 / (D2 * R) : 0.0;
            double* gb = grads.data() + b * q;
            for (int k = 0; k < q; ++k) gb[k] = g[k];
        }
    });
    for (int y = 0; y < n; ++y)
        if (bad[y]) return false;
    return true;
}

namespace {
struct Scratch {
    std::vector<double> c1, cc1, c2, cc2, c3, k12, k13, k21, k23;
    void Reserve(int len) {
        if (static_cast<int>(c1.size()) >= len) return;
        for (auto* v : {&c1, &cc1, &c2, &cc2, &c3, &k12, &k13, &k21, &k23}) v->resize(len);
    }
};
Scratch& ThreadScratch() {
    thread_local Scratch s;
    return s;
}
}  // namespace

// The vector work of a run of r: x's column (opposite pair P3), the cross-term vector of
// P1 (when x owns it) and of each P2 (when x owns it). Q > 0 fixes q at compile time.
template <int Q, Order O>
void Updates(int len, int qRun, const double* __restrict g1, const double* __restrict G2,
             const double* __restrict G3, const Scratch& w, double* __restrict colx,
             double* __restrict U1, double* __restrict L2, double* __restrict B2,
             double* __restrict U2, double& l1, double& b1) {
    const int q = Q > 0 ? Q : qRun;
    constexpr int kBuf = Q > 0 ? Q : 1;
    double ac[kBuf], au[kBuf];
    double* accCol = Q > 0 ? ac : colx;
    double* accU = Q > 0 ? au : U1;
    if (Q > 0)
        for (int k = 0; k < q; ++k) ac[k] = au[k] = 0;
    const double* __restrict c1 = w.c1.data();
    const double* __restrict cc1 = w.cc1.data();
    const double* __restrict c2 = w.c2.data();
    const double* __restrict cc2 = w.cc2.data();
    const double* __restrict c3 = w.c3.data();
    const double* __restrict k12 = w.k12.data();
    const double* __restrict k13 = w.k13.data();
    const double* __restrict k21 = w.k21.data();
    const double* __restrict k23 = w.k23.data();
    double sl = 0, sb = 0;
    for (int t = 0; t < len; ++t) {
        const double* g2 = G2 + static_cast<size_t>(t) * q;
        const double* g3 = G3 + static_cast<size_t>(t) * q;
        const double f3 = c3[t];
        for (int k = 0; k < q; ++k) accCol[k] += f3 * g3[k];
        if (O == Order::kXYR) {
            const double a12 = k12[t], a13 = k13[t];
            sl += c1[t];
            sb += cc1[t];
            for (int k = 0; k < q; ++k) accU[k] += a12 * g2[k] + a13 * g3[k];
        }
        if (O != Order::kYRX) {
            L2[t] += c2[t];
            B2[t] += cc2[t];
            const double a21 = k21[t], a23 = k23[t];
            double* u = U2 + static_cast<size_t>(t) * q;
            for (int k = 0; k < q; ++k) u[k] += a21 * g1[k] + a23 * g3[k];
        }
    }
    if (Q > 0) {
        for (int k = 0; k < q; ++k) colx[k] += ac[k];
        if (O == Order::kXYR)
            for (int k = 0; k < q; ++k) U1[k] += au[k];
    }
    l1 = sl;
    b1 = sb;
}

// Triples (x, y, r) for r in [r0, r1), with the order of the three records fixed by O.
// P1 = (x, y), P2 = (x, r), P3 = (y, r). First the classification and the scalars of the
// whole run of r (branch-free, vectorisable), then the vector updates.
template <Order O>
void DerivativePass::Impl::Segment(int x, int y, int r0, int r1, double* colx, double& rhoX,
                                   double& luX, double& violX, double& wX, bool& bad) {
    if (r0 >= r1) return;
    const int len = r1 - r0;
    Scratch& w = ThreadScratch();
    w.Reserve(len);
    const double* dx = dist.Row(x) + r0;
    const double* dy = dist.Row(y) + r0;
    const double d1 = dist(x, y);
    const double* sr = pb.s.data() + r0;
    const size_t rowXi = static_cast<size_t>(x) * n + r0, rowYi = static_cast<size_t>(y) * n + r0;
    const double* R2 = root.data() + rowXi;
    const double* I2 = invRoot.data() + rowXi;
    const double* J2 = invRoot3.data() + rowXi;
    const double* R3 = root.data() + rowYi;
    const double* I3 = invRoot.data() + rowYi;
    const double* J3 = invRoot3.data() + rowYi;
    const size_t xy = static_cast<size_t>(x) * n + y;
    const double R1 = root[xy], I1 = invRoot[xy], J1 = invRoot3[xy];
    const double sxy = pb.s[x] * pb.s[y];
    double* c1 = w.c1.data();
    double* cc1 = w.cc1.data();
    double* c2 = w.c2.data();
    double* cc2 = w.cc2.data();
    double* c3 = w.c3.data();
    double* k12 = w.k12.data();
    double* k13 = w.k13.data();
    double* k21 = w.k21.data();
    double* k23 = w.k23.data();
    double errors = 0, zeros = 0;
    double sumW = 0, sumQ = 0, sumV = 0;
#pragma omp simd reduction(+ : errors, zeros, sumW, sumQ, sumV)
    for (int t = 0; t < len; ++t) {
        const double d2 = dx[t], d3 = dy[t];
        double dij, dik, djk;
        if (O == Order::kXYR) {
            dij = d1, dik = d2, djk = d3;
        } else if (O == Order::kYXR) {
            dij = d1, dik = d3, djk = d2;
        } else {
            dij = d3, dik = d1, djk = d2;
        }
        const double sw = sxy * sr[t];
        sumW += sw;
        // 0/1 masks held as doubles keep the loop free of branches.
        const detail::TripleClass c = detail::ClassifyTriple(dij, dik, djk);
        const double violD = c.viol ? 1.0 : 0.0;
        const double s0 = c.e0 ? 1.0 : 0.0, s1 = c.e1 ? 1.0 : 0.0, s2 = c.e2 ? 1.0 : 0.0;
        const double vw = violD > 0.5 ? sw : 0.0;
        const double v1 = violD > 0.5 ? 1.0 : 0.0;
        errors += v1 * (1.0 - s0 - s1 - s2);
        // The smallest distance as P1, P2 or P3.
        double small1, small2, small3;
        if (O == Order::kXYR) {
            small1 = s0, small2 = s1, small3 = s2;
        } else if (O == Order::kYXR) {
            small1 = s0, small3 = s1, small2 = s2;
        } else {
            small3 = s0, small1 = s1, small2 = s2;
        }
        // (a, b): small1 -> (P2, P3); small2 -> (P1, P3); small3 -> (P1, P2).
        const double r2 = R2[t], i2 = I2[t], j2 = J2[t], r3 = R3[t], i3 = I3[t], j3 = J3[t];
        const double ra = small1 > 0.5 ? r2 : R1;
        const double ia = small1 > 0.5 ? i2 : I1;
        const double ja = small1 > 0.5 ? j2 : J1;
        const double rb = small3 > 0.5 ? r2 : r3;
        const double ib = small3 > 0.5 ? i2 : i3;
        const double jb = small3 > 0.5 ? j2 : j3;
        zeros += v1 * ((ra == 0 ? 1.0 : 0.0) + (rb == 0 ? 1.0 : 0.0));
        const double qv = (ra - rb) * (ra - rb);
        const double ca = vw * (1.0 - rb * ia), cb = vw * (1.0 - ra * ib);
        const double caa = vw * 0.5 * rb * ja, cbb = vw * 0.5 * ra * jb;
        const double kab = vw * -0.5 * ia * ib;
        sumQ += vw * qv;
        sumV += v1;
        c1[t] = small1 > 0.5 ? 0.0 : ca;
        cc1[t] = small1 > 0.5 ? 0.0 : caa;
        c2[t] = small1 > 0.5 ? ca : (small3 > 0.5 ? cb : 0.0);
        cc2[t] = small1 > 0.5 ? caa : (small3 > 0.5 ? cbb : 0.0);
        c3[t] = small3 > 0.5 ? 0.0 : cb;
        k12[t] = small3 > 0.5 ? kab : 0.0;
        k13[t] = small2 > 0.5 ? kab : 0.0;
        k21[t] = small3 > 0.5 ? kab : 0.0;
        k23[t] = small1 > 0.5 ? kab : 0.0;
    }
    if (errors > 0) {
        bad = true;
        return;
    }
    wX += sumW;
    rhoX += sumQ;
    if (O == Order::kXYR) {
        luX += sumQ;
        violX += sumV;
    }
    if (zeros > 0) FixZeroDistances<O>(x, y, r0, r1);
    // Vector updates.
    const double* g1 = grads.data() + xy * q;
    const double* G2 = grads.data() + rowXi * q;
    const double* G3 = grads.data() + rowYi * q;
    double* U1 = O == Order::kXYR ? U.data() + Tri(x, y) * q : nullptr;
    double* L2 = nullptr;
    double* B2 = nullptr;
    double* U2 = nullptr;
    if (O != Order::kYRX) {
        const size_t t2 = Tri(x, r0);
        L2 = lam.data() + t2;
        B2 = bet.data() + t2;
        U2 = U.data() + t2 * q;
    }
    double l1 = 0, b1 = 0;
    switch (q) {
#define ZELK_Q(QQ) \
    case QQ: Updates<QQ, O>(len, q, g1, G2, G3, w, colx, U1, L2, B2, U2, l1, b1); break;
        ZELK_Q(1) ZELK_Q(2) ZELK_Q(3) ZELK_Q(4) ZELK_Q(5) ZELK_Q(6) ZELK_Q(7) ZELK_Q(8)
        ZELK_Q(9) ZELK_Q(10) ZELK_Q(11) ZELK_Q(12)
#undef ZELK_Q
        default: Updates<0, O>(len, q, g1, G2, G3, w, colx, U1, L2, B2, U2, l1, b1); break;
    }
    if (O == Order::kXYR) {
        const size_t t1 = Tri(x, y);
        lam[t1] += l1;
        bet[t1] += b1;
    }
}

// A violating triple with a zero squared distance among its two larger ones (the root has
// no derivative there): its coefficients are redone the careful way.
template <Order O>
void DerivativePass::Impl::FixZeroDistances(int x, int y, int r0, int r1) {
    Scratch& w = ThreadScratch();
    const double d1 = dist(x, y);
    const size_t xy = static_cast<size_t>(x) * n + y;
    for (int r = r0; r < r1; ++r) {
        const int t = r - r0;
        const double d2 = dist(x, r), d3 = dist(y, r);
        double dij, dik, djk, sw;
        if (O == Order::kXYR) {
            dij = d1, dik = d2, djk = d3;
        } else if (O == Order::kYXR) {
            dij = d1, dik = d3, djk = d2;
        } else {
            dij = d3, dik = d1, djk = d2;
        }
        sw = pb.s[x] * pb.s[y] * pb.s[r];
        if (!detail::Violates(dij, dik, djk)) continue;
        const int sm = detail::Smallest(dij, dik, djk);
        int small;
        if (O == Order::kXYR) {
            small = sm == 0 ? 1 : sm == 1 ? 2 : 3;
        } else if (O == Order::kYXR) {
            small = sm == 0 ? 1 : sm == 1 ? 3 : 2;
        } else {
            small = sm == 0 ? 3 : sm == 1 ? 1 : 2;
        }
        const size_t xr = static_cast<size_t>(x) * n + r, yr = static_cast<size_t>(y) * n + r;
        const double ra = small == 1 ? root[xr] : root[xy];
        const double rb = small == 3 ? root[xr] : root[yr];
        if (ra != 0 && rb != 0) continue;
        const detail::TripleCoef c = detail::TripleCoefficients(ra * ra, rb * rb);
        w.c1[t] = small == 1 ? 0.0 : sw * c.ca;
        w.cc1[t] = small == 1 ? 0.0 : sw * c.caa;
        w.c2[t] = small == 1 ? sw * c.ca : small == 3 ? sw * c.cb : 0.0;
        w.cc2[t] = small == 1 ? sw * c.caa : small == 3 ? sw * c.cbb : 0.0;
        w.c3[t] = small == 3 ? 0.0 : sw * c.cb;
        w.k12[t] = small == 3 ? sw * c.cab : 0.0;
        w.k13[t] = small == 2 ? sw * c.cab : 0.0;
        w.k21[t] = small == 3 ? sw * c.cab : 0.0;
        w.k23[t] = small == 1 ? sw * c.cab : 0.0;
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
    if (s.ReportFailure(err)) return;
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
    if (s.ReportFailure(err)) return;
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
                const double* gp = s.Grad(x, z);
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
                const double* gp = s.Grad(r, y);
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
