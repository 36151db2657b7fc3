// The triple loops of TripleKernels.h. This file is compiled once per instruction set, each
// time into its own namespace (ZELK_KERNEL_NS); nothing here may depend on anything but
// its arguments.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/EngineDetail.h"
#include "engine/TripleKernels.h"

#ifndef ZELK_KERNEL_NS
#error "ZELK_KERNEL_NS names the kernel variant"
#endif
#ifndef ZELK_KERNEL_NAME
#define ZELK_KERNEL_NAME "portable"
#endif

namespace zelk {
namespace detail {
namespace ZELK_KERNEL_NS {

namespace {

#define ZELK_HOT inline __attribute__((always_inline))

// Lanes: the triple terms are written once for a plain double and for a vector of
// kLanes doubles (GCC's vector extension: AVX registers where compiled for them, pairs of
// SSE2 registers otherwise). Whole vectors of k first, then the rest one by one.
#ifndef ZELK_KERNEL_LANES
#define ZELK_KERNEL_LANES 4
#endif
constexpr int kLanes = ZELK_KERNEL_LANES;
typedef double Vd __attribute__((vector_size(8 * kLanes)));
typedef long long Vm __attribute__((vector_size(8 * kLanes)));

inline Vd Load(const double* p) {
    Vd v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(double* p, Vd v) { __builtin_memcpy(p, &v, sizeof v); }
inline Vd Splat(double x) { return Vd{} + x; }
inline double Sel(bool m, double a, double b) { return m ? a : b; }
inline Vd Sel(Vm m, Vd a, Vd b) { return m ? a : b; }
inline bool Lt(double a, double b) { return a < b; }
inline Vm Lt(Vd a, Vd b) { return a < b; }
inline bool Eq(double a, double b) { return a == b; }
inline Vm Eq(Vd a, Vd b) { return a == b; }
inline bool Not(bool m) { return !m; }
inline Vm Not(Vm m) { return ~m; }
inline bool And(bool a, bool b) { return a && b; }
inline Vm And(Vm a, Vm b) { return a & b; }
inline bool Or(bool a, bool b) { return a || b; }
inline Vm Or(Vm a, Vm b) { return a | b; }
inline double Max(double a, double b) { return a > b ? a : b; }
inline Vd Max(Vd a, Vd b) { return a > b ? a : b; }
// Lanes added in order: the same sum whatever the compiler does around it.
inline double Sum(double x) { return x; }
inline double Sum(Vd x) {
    double s = 0;
    for (int l = 0; l < kLanes; ++l) s += x[l];
    return s;
}

template <class T>
using MaskOf = decltype(Lt(T{}, T{}));

// ClassifyTriple in lanes (the same answers): the violation and which of ij (e0), ik (e1),
// jk (e2) first agrees with the smallest distance within 1e-8.
template <class T>
struct Class {
    MaskOf<T> viol, e0, e1, e2;
};
template <class T>
ZELK_HOT Class<T> Classify(T d1, T d2, T d3) {
    const T eps = T{} + 1e-8;
    const T mij = Max(d2, d3), mik = Max(d1, d3), mjk = Max(d1, d2);
    const T mx = Max(mij, d1);
    const T m0 = mx - d1, m1 = mx - d2, m2 = mx - d3;
    const T top = Max(Max(m0, m1), m2);
    const T x0 = top - m0, x1 = top - m1, x2 = top - m2;
    const auto f0 = And(Lt(x0, eps), Lt(-eps, x0));
    const auto f1 = And(Lt(x1, eps), Lt(-eps, x1));
    const auto f2 = And(Lt(x2, eps), Lt(-eps, x2));
    Class<T> c;
    c.e0 = f0;
    c.e1 = And(Not(f0), f1);
    c.e2 = And(And(Not(f0), Not(f1)), f2);
    c.viol = Or(Or(Lt(mij + eps, d1), Lt(mik + eps, d2)), Lt(mjk + eps, d3));
    return c;
}
template <class T>
ZELK_HOT MaskOf<T> Violates(T d1, T d2, T d3) {
    const T eps = T{} + 1e-8;
    return Or(Or(Lt(Max(d2, d3) + eps, d1), Lt(Max(d1, d3) + eps, d2)), Lt(Max(d1, d2) + eps, d3));
}

// The coefficients of one triple's term.
template <class T>
struct Terms {
    T vq, cij, bij, cik, bik, cjk, bjk, kA, kB, kC;
    T viol, bad, zero;  // 1 per violating triple; per one without a smallest; per zero root
};
template <class T>
ZELK_HOT Terms<T> TripleTerms(T d1, T d2, T d3, T R1, T I1, T R2, T I2, T R3, T I3, T sw) {
    const T one = T{} + 1.0, zero = T{};
    const Class<T> c = Classify(d1, d2, d3);
    const T vw = Sel(c.viol, sw, zero);
    // Smallest ij: (a, b) = (ik, jk); ik: (ij, jk); jk: (ij, ik).
    const T ra = Sel(c.e0, R2, R1), ia = Sel(c.e0, I2, I1);
    const T rb = Sel(c.e2, R2, R3), ib = Sel(c.e2, I2, I3);
    const T ca = vw * (one - rb * ia), cb = vw * (one - ra * ib);
    const T caa = vw * 0.5 * rb * (ia * ia * ia);
    const T cbb = vw * 0.5 * ra * (ib * ib * ib);
    const T kab = -0.5 * vw * ia * ib;
    Terms<T> r;
    r.vq = vw * (ra - rb) * (ra - rb);
    r.cij = Sel(c.e0, zero, ca);
    r.bij = Sel(c.e0, zero, caa);
    r.cik = Sel(c.e0, ca, Sel(c.e2, cb, zero));
    r.bik = Sel(c.e0, caa, Sel(c.e2, cbb, zero));
    r.cjk = Sel(c.e2, zero, cb);
    r.bjk = Sel(c.e2, zero, cbb);
    r.kA = Sel(c.e2, kab, zero);
    r.kB = Sel(c.e1, kab, zero);
    r.kC = Sel(c.e0, kab, zero);
    r.viol = Sel(c.viol, one, zero);
    r.bad = Sel(And(c.viol, Not(Or(Or(c.e0, c.e1), c.e2))), one, zero);
    r.zero = Sel(And(c.viol, Or(Eq(ra, zero), Eq(rb, zero))), one, zero);
    return r;
}

// A violating triple with a zero root among its two larger distances (the root has no
// derivative there): its terms redone the careful way.
Terms<double> CarefulTerms(const PassData& d, int i, int j, int k, double sw) {
    const size_t ij = d.Pair(i, j), ik = d.Pair(i, k), jk = d.Pair(j, k);
    Terms<double> r = TripleTerms<double>(d.dist[ij], d.dist[ik], d.dist[jk], d.R[ij], d.I[ij],
                                          d.R[ik], d.I[ik], d.R[jk], d.I[jk], sw);
    const int sm = Smallest(d.dist[ij], d.dist[ik], d.dist[jk]);
    if (r.zero == 0 || sm < 0) return r;
    // Smallest ij: (a, b) = (ik, jk); ik: (ij, jk); jk: (ij, ik).
    const double ra = sm == 0 ? d.R[ik] : d.R[ij];
    const double rb = sm == 2 ? d.R[ik] : d.R[jk];
    const TripleCoef c = TripleCoefficients(ra * ra, rb * rb);
    r.vq = sw * c.q;
    r.cij = sm == 0 ? 0.0 : sw * c.ca;
    r.bij = sm == 0 ? 0.0 : sw * c.caa;
    r.cik = sm == 0 ? sw * c.ca : sm == 2 ? sw * c.cb : 0.0;
    r.bik = sm == 0 ? sw * c.caa : sm == 2 ? sw * c.cbb : 0.0;
    r.cjk = sm == 2 ? 0.0 : sw * c.cb;
    r.bjk = sm == 2 ? 0.0 : sw * c.cbb;
    r.kA = sm == 2 ? sw * c.cab : 0.0;
    r.kB = sm == 1 ? sw * c.cab : 0.0;
    r.kC = sm == 0 ? sw * c.cab : 0.0;
    return r;
}

inline bool AnyLane(double x) { return x != 0; }
inline bool AnyLane(Vd x) {
    bool any = false;
    for (int l = 0; l < kLanes; ++l) any = any || x[l] != 0;
    return any;
}
inline void Patch(Terms<double>& r, const PassData& d, int i, int j, int k, double sw) {
    r = CarefulTerms(d, i, j, k, sw);
}
inline void Patch(Terms<Vd>& r, const PassData& d, int i, int j, int k, Vd sw) {
    for (int l = 0; l < kLanes; ++l) {
        if (r.zero[l] == 0) continue;
        const Terms<double> c = CarefulTerms(d, i, j, k + l, sw[l]);
        r.vq[l] = c.vq;
        r.cij[l] = c.cij;
        r.bij[l] = c.bij;
        r.cik[l] = c.cik;
        r.bik[l] = c.bik;
        r.cjk[l] = c.cjk;
        r.bjk[l] = c.bjk;
        r.kA[l] = c.kA;
        r.kB[l] = c.kB;
        r.kC[l] = c.kC;
    }
}

template <class T>
inline T Ld(const double* p);
template <>
inline double Ld<double>(const double* p) {
    return *p;
}
template <>
inline Vd Ld<Vd>(const double* p) {
    return Load(p);
}
inline void St(double* p, double v) { *p = v; }
inline void St(double* p, Vd v) { Store(p, v); }

// One pair (i, j) and its run of k in [kb, kb + len): where each of its sums goes.
struct PairCtx {
    const PassData* d;
    int i, j, kb;
    const double *d2, *R2, *I2, *d3, *R3, *I3, *sk;
    double *lamI, *betI, *lamJ, *betJ, *rho;
    const double *g2, *g3;  // component 0; component m at + m * stride
    double *uik, *rk;       // uik like g2; rk component m at + m * n
    size_t strideI, strideJ, n;
    double d1, R1, I1, sij;
};

// The sums of a run: vectors over the lanes for the whole vectors, then plain doubles.
template <class T, int QA>
struct PairAcc {
    T accU[QA], accJ[QA], accI[QA];  // cross terms of (i, j); terms opposite j; opposite i
    T lam, bet, vq, viol, bad;
};

// The triples (i, j, k), k = kb + t .. kb + t + lanes - 1: classification, coefficients and
// the updates of components [M0, M1) of the gradients, without storing a coefficient (few
// components at a time keep the sums in registers; the terms are recomputed for the next
// few). The first group also does the scalar sums. Careful: some root is 0.
template <class T, int M0, int M1, bool Careful, int QA>
ZELK_HOT void TripleStep(const PairCtx& c, int t, const double* g, PairAcc<T, QA>& a) {
    const T sw = c.sij * Ld<T>(c.sk + t);
    Terms<T> r = TripleTerms<T>(T{} + c.d1, Ld<T>(c.d2 + t), Ld<T>(c.d3 + t), T{} + c.R1,
                                T{} + c.I1, Ld<T>(c.R2 + t), Ld<T>(c.I2 + t), Ld<T>(c.R3 + t),
                                Ld<T>(c.I3 + t), sw);
    if constexpr (Careful) {
        if (AnyLane(r.zero)) Patch(r, *c.d, c.i, c.j, c.kb + t, sw);
    }
    if constexpr (M0 == 0) {
        a.lam += r.cij;
        a.bet += r.bij;
        a.vq += r.vq;
        a.viol += r.viol;
        a.bad += r.bad;
        St(c.lamI + t, Ld<T>(c.lamI + t) + r.cik);
        St(c.betI + t, Ld<T>(c.betI + t) + r.bik);
        St(c.lamJ + t, Ld<T>(c.lamJ + t) + r.cjk);
        St(c.betJ + t, Ld<T>(c.betJ + t) + r.bjk);
        St(c.rho + t, Ld<T>(c.rho + t) + r.vq);
    }
#pragma GCC unroll 16
    for (int m = M0; m < M1; ++m) {
        const T x = Ld<T>(c.g2 + m * c.strideI + t), y = Ld<T>(c.g3 + m * c.strideJ + t);
        a.accU[m] += r.kA * x + r.kB * y;
        a.accJ[m] += r.cik * x;
        a.accI[m] += r.cjk * y;
        double* u = c.uik + m * c.strideI + t;
        St(u, Ld<T>(u) + r.kC * y);
        double* rr = c.rk + m * c.n + t;
        St(rr, Ld<T>(rr) + r.cij * g[m]);
    }
}

constexpr int kGroup = 4;  // gradient components per sweep of a run

// One sweep of the run over components [M0, M1): whole vectors, then the rest one by one.
template <int M0, int M1, bool Careful, int QA>
ZELK_HOT void Sweep(const PairCtx& c, int len, const double* g, PairAcc<Vd, QA>& av,
                  PairAcc<double, QA>& as) {
    const int lenV = len - len % kLanes;
    for (int t = 0; t < lenV; t += kLanes) TripleStep<Vd, M0, M1, Careful>(c, t, g, av);
    if constexpr (M0 == 0) {
        as.lam = Sum(av.lam);
        as.bet = Sum(av.bet);
        as.vq = Sum(av.vq);
        as.viol = Sum(av.viol);
        as.bad = Sum(av.bad);
    }
    for (int m = M0; m < M1; ++m) {
        as.accU[m] = Sum(av.accU[m]);
        as.accJ[m] = Sum(av.accJ[m]);
        as.accI[m] = Sum(av.accI[m]);
    }
    for (int t = lenV; t < len; ++t) TripleStep<double, M0, M1, Careful>(c, t, g, as);
    if constexpr (M1 < QA) Sweep<M1, (M1 + kGroup < QA ? M1 + kGroup : QA), Careful>(c, len, g, av, as);
}

// One pair (i, j) with its run of k: Q gradient components (Q >= 1).
// False when a violating triple has no smallest distance.
template <int Q, bool Careful>
bool PairRun(const PairCtx& ctx, int len, int b, PartState& part) {
    const PairCtx c = ctx;  // a local copy: the stores below cannot touch it
    double g[Q];
    for (int m = 0; m < Q; ++m) g[m] = c.d->G[c.d->VecRow(c.i, m) + (c.j - c.i - 1)];
    PairAcc<Vd, Q> av;
    av.lam = av.bet = av.vq = av.viol = av.bad = Vd{};
    for (int m = 0; m < Q; ++m) av.accU[m] = av.accJ[m] = av.accI[m] = Vd{};
    PairAcc<double, Q> as;
    Sweep<0, (kGroup < Q ? kGroup : Q), Careful>(c, len, g, av, as);
    const int n = c.d->n, i = c.i, j = c.j;
    part.lamP[static_cast<size_t>(b) * n + j] += as.lam;
    part.betP[static_cast<size_t>(b) * n + j] += as.bet;
    for (int m = 0; m < Q; ++m) {
        part.UP[(static_cast<size_t>(b) * Q + m) * n + j] += as.accU[m];
        part.rec[static_cast<size_t>(m) * n + j] += as.accJ[m];
        part.rec[static_cast<size_t>(m) * n + i] += as.accI[m];
    }
    part.rho[i] += as.vq;
    part.rho[j] += as.vq;
    part.lu += as.vq;
    part.viol += as.viol;
    return as.bad == 0;
}

using PairFn = bool (*)(const PairCtx&, int, int, PartState&);

template <bool Careful>
PairFn PickPairRun(int q) {
    switch (q) {
        case 1: return PairRun<1, Careful>;
        case 2: return PairRun<2, Careful>;
        case 3: return PairRun<3, Careful>;
        case 4: return PairRun<4, Careful>;
        case 5: return PairRun<5, Careful>;
        case 6: return PairRun<6, Careful>;
        case 7: return PairRun<7, Careful>;
        case 8: return PairRun<8, Careful>;
        case 9: return PairRun<9, Careful>;
        case 10: return PairRun<10, Careful>;
        case 11: return PairRun<11, Careful>;
        case 12: return PairRun<12, Careful>;
        case 13: return PairRun<13, Careful>;
        case 14: return PairRun<14, Careful>;
        case 15: return PairRun<15, Careful>;
        case 16: return PairRun<16, Careful>;
        default: return nullptr;
    }
}

// Many gradient components (more than the unrolled kernels take): the same triples and
// sums, one triple at a time.
bool RunPartWide(PassData& d, int i0, int i1, int k0, int k1, PartState& part) {
    const int n = d.n, q = d.q;
    std::vector<double> acc(3 * static_cast<size_t>(q)), g(q);
    for (int j = i0 + 1; j + 1 < k1; ++j) {
        const int kb = std::max(k0, j + 1);
        for (int i = i0; i < std::min(i1, j); ++i) {
            const int b = i - i0;
            std::fill(acc.begin(), acc.end(), 0.0);
            for (int m = 0; m < q; ++m) g[m] = d.G[d.VecRow(i, m) + (j - i - 1)];
            double lam = 0, bet = 0, vq = 0, viol = 0, bad = 0;
            for (int k = kb; k < k1; ++k) {
                const Terms<double> r = CarefulTerms(d, i, j, k, d.s[i] * d.s[j] * d.s[k]);
                const size_t ik = d.Pair(i, k), jk = d.Pair(j, k);
                lam += r.cij;
                bet += r.bij;
                vq += r.vq;
                viol += r.viol;
                bad += r.bad;
                d.lam[ik] += r.cik;
                d.bet[ik] += r.bik;
                d.lam[jk] += r.cjk;
                d.bet[jk] += r.bjk;
                part.rho[k] += r.vq;
                for (int m = 0; m < q; ++m) {
                    const size_t xi = d.VecRow(i, m) + (k - i - 1), xj = d.VecRow(j, m) + (k - j - 1);
                    const double x = d.G[xi], y = d.G[xj];
                    acc[m] += r.kA * x + r.kB * y;
                    acc[q + m] += r.cik * x;
                    acc[2 * q + m] += r.cjk * y;
                    d.U[xi] += r.kC * y;
                    part.rec[static_cast<size_t>(m) * n + k] += r.cij * g[m];
                }
            }
            part.lamP[static_cast<size_t>(b) * n + j] += lam;
            part.betP[static_cast<size_t>(b) * n + j] += bet;
            for (int m = 0; m < q; ++m) {
                part.UP[(static_cast<size_t>(b) * q + m) * n + j] += acc[m];
                part.rec[static_cast<size_t>(m) * n + j] += acc[q + m];
                part.rec[static_cast<size_t>(m) * n + i] += acc[2 * q + m];
            }
            part.rho[i] += vq;
            part.rho[j] += vq;
            part.lu += vq;
            part.viol += viol;
            if (bad != 0) {
                part.failed = true;
                return false;
            }
        }
    }
    return true;
}

bool RunPart(PassData& d, int i0, int i1, int k0, int k1, PartState& part) {
    const int n = d.n;
    if (k1 > n) k1 = n;
    const PairFn run = d.anyZeroRoot ? PickPairRun<true>(d.q) : PickPairRun<false>(d.q);
    if (!run) return RunPartWide(d, i0, i1, k0, k1, part);
    PairCtx c;
    c.d = &d;
    c.n = static_cast<size_t>(n);
    for (int j = i0 + 1; j + 1 < k1; ++j) {
        const int kb = std::max(k0, j + 1);
        if (kb >= k1) continue;
        const int len = k1 - kb;
        const size_t jb = d.Pair(j, kb);
        c.j = j;
        c.kb = kb;
        c.d3 = d.dist.data() + jb;
        c.R3 = d.R.data() + jb;
        c.I3 = d.I.data() + jb;
        c.lamJ = d.lam.data() + jb;
        c.betJ = d.bet.data() + jb;
        c.sk = d.s + kb;
        c.rho = part.rho.data() + kb;
        c.rk = part.rec.data() + kb;
        c.g3 = d.G.data() + d.VecRow(j, 0) + (kb - j - 1);
        c.strideJ = static_cast<size_t>(d.Len(j));
        const int iEnd = std::min(i1, j);
        for (int i = i0; i < iEnd; ++i) {
            const size_t ib = d.Pair(i, kb), ij = d.Pair(i, j);
            c.i = i;
            c.d2 = d.dist.data() + ib;
            c.R2 = d.R.data() + ib;
            c.I2 = d.I.data() + ib;
            c.lamI = d.lam.data() + ib;
            c.betI = d.bet.data() + ib;
            c.g2 = d.G.data() + d.VecRow(i, 0) + (kb - i - 1);
            c.uik = d.U.data() + d.VecRow(i, 0) + (kb - i - 1);
            c.strideI = static_cast<size_t>(d.Len(i));
            c.d1 = d.dist[ij];
            c.R1 = d.R[ij];
            c.I1 = d.I[ij];
            c.sij = d.s[i] * d.s[j];
            if (!run(c, len, i - i0, part)) {
                part.failed = true;
                return false;
            }
        }
    }
    return true;
}

void ClassifyFirst(const double* dist, const double* s, int n, int i, double& weight,
                   double& violWeight, double& violCount) {
    const double* di = dist + static_cast<size_t>(i) * n;
    double t = 0, w = 0, c = 0;
    const Vd one = Splat(1.0), zero{};
    for (int j = i + 1; j < n - 1; ++j) {
        const double* dj = dist + static_cast<size_t>(j) * n;
        const double dij = di[j];
        const double sij = s[i] * s[j];
        Vd vt{}, vw{}, vc{};
        const int k0 = j + 1, kV = k0 + (n - k0) / kLanes * kLanes;
        for (int k = k0; k < kV; k += kLanes) {
            const Vm v = Violates(Splat(dij), Load(di + k), Load(dj + k));
            const Vd sw = Splat(sij) * Load(s + k);
            vt += sw;
            vw += Sel(v, sw, zero);
            vc += Sel(v, one, zero);
        }
        double st = Sum(vt), sv = Sum(vw), sc = Sum(vc);
        for (int k = kV; k < n; ++k) {
            const bool v = Violates(dij, di[k], dj[k]);
            const double sw = sij * s[k];
            st += sw;
            sv += v ? sw : 0.0;
            sc += v ? 1.0 : 0.0;
        }
        t += st;
        w += sv;
        c += sc;
    }
    weight = t;
    violWeight = w;
    violCount = c;
}

// s q of one triple when it violates, 0 when not, NaN when it has no smallest distance.
template <class T>
ZELK_HOT T LossTerm(T dij, T dik, T djk, T sw) {
    const Class<T> c = Classify(dij, dik, djk);
    // Smallest ij: (ik, jk); ik: (ij, jk); jk: (ij, ik).
    const T da = Sel(c.e0, dik, dij);
    const T db = Sel(Or(c.e0, c.e1), djk, dik);
    T term = sw * (da - db) * (da - db);
    term = Sel(Or(Or(c.e0, c.e1), c.e2), term, T{} + std::numeric_limits<double>::quiet_NaN());
    return Sel(c.viol, term, T{});
}

double LossFirst(const double* dist, const double* s, int n, int i) {
    const double* di = dist + static_cast<size_t>(i) * n;
    double sum = 0;
    for (int j = i + 1; j < n - 1; ++j) {
        const double* dj = dist + static_cast<size_t>(j) * n;
        const double dij = di[j];
        const double sij = s[i] * s[j];
        Vd acc{};
        const int k0 = j + 1, kV = k0 + (n - k0) / kLanes * kLanes;
        for (int k = k0; k < kV; k += kLanes)
            acc += LossTerm(Splat(dij), Load(di + k), Load(dj + k), Splat(sij) * Load(s + k));
        double row = Sum(acc);
        for (int k = kV; k < n; ++k) row += LossTerm(dij, di[k], dj[k], sij * s[k]);
        sum += row;
    }
    return sum;
}

}  // namespace

const KernelTable& Table() {
    static const KernelTable t = {ZELK_KERNEL_NAME, RunPart, ClassifyFirst, LossFirst};
    return t;
}

}  // namespace ZELK_KERNEL_NS
}  // namespace detail
}  // namespace zelk
