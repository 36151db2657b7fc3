// The triple loops of TripleKernels.h. This file is compiled once per instruction set, each
// time into its own namespace (ZELK_KERNEL_NS); nothing here may depend on anything but
// its arguments.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#ifdef __AVX512F__
#include <immintrin.h>
#endif

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

// Lanes: the triple terms are written once for a plain double and for a vector of kLanes
// doubles (GCC's vector extension): a block of columns is one AVX-512 vector, two AVX2
// vectors or four baseline ones.
#if defined(__AVX512F__)
constexpr int kLanes = 8;  // a whole block in one vector
#elif defined(__AVX2__)
constexpr int kLanes = 4;  // a block in two vectors
#else
constexpr int kLanes = 2;  // the width of the baseline vector registers
#endif
typedef double Vd __attribute__((vector_size(8 * kLanes)));
inline Vd Load(const double* p) {
    Vd v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(double* p, Vd v) { __builtin_memcpy(p, &v, sizeof v); }
inline Vd Splat(double x) { return Vd{} + x; }
inline double Sel(bool m, double a, double b) { return m ? a : b; }
inline bool Lt(double a, double b) { return a < b; }
inline bool Eq(double a, double b) { return a == b; }
inline bool Not(bool m) { return !m; }
inline bool And(bool a, bool b) { return a && b; }
inline bool Or(bool a, bool b) { return a || b; }
#ifdef __AVX512F__
// Lane masks in the mask registers: compares and blends without converting masks.
typedef __mmask8 Vm;
inline Vd Sel(Vm m, Vd a, Vd b) { return _mm512_mask_blend_pd(m, b, a); }
inline Vm Lt(Vd a, Vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
inline Vm Eq(Vd a, Vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
inline Vm Not(Vm m) { return static_cast<Vm>(~m); }
inline Vm And(Vm a, Vm b) { return static_cast<Vm>(a & b); }
inline Vm Or(Vm a, Vm b) { return static_cast<Vm>(a | b); }
#else
typedef long long Vm __attribute__((vector_size(8 * kLanes)));
inline Vd Sel(Vm m, Vd a, Vd b) { return m ? a : b; }
inline Vm Lt(Vd a, Vd b) { return a < b; }
inline Vm Eq(Vd a, Vd b) { return a == b; }
inline Vm Not(Vm m) { return ~m; }
inline Vm And(Vm a, Vm b) { return a & b; }
inline Vm Or(Vm a, Vm b) { return a | b; }
#endif
inline double Max(double a, double b) { return a > b ? a : b; }
inline Vd Max(Vd a, Vd b) { return a > b ? a : b; }
inline Vd Min(Vd a, Vd b) { return a < b ? a : b; }
// Lanes added in order: the same sum whatever the compiler does around it.
inline double Sum(double x) { return x; }
inline double Sum(Vd x) {
    double s = 0;
    for (int l = 0; l < kLanes; ++l) s += x[l];
    return s;
}
// Sum of each of count vectors into out, the same bits as Sum: with eight lanes, eight
// vectors at a time are transposed and their lanes added in order as whole vectors.
inline void Sums(const Vd* x, int count, double* out) {
#if defined(__AVX512F__)
    typedef long long Vi __attribute__((vector_size(64)));
    for (int g = 0; g < count; g += 8) {
        Vd v[8];
        for (int r = 0; r < 8; ++r) v[r] = g + r < count ? x[g + r] : Vd{};
        Vd t[8], u[8];
        for (int r = 0; r < 8; r += 2) {  // pairs of rows, lane by lane
            t[r] = __builtin_shuffle(v[r], v[r + 1], Vi{0, 8, 2, 10, 4, 12, 6, 14});
            t[r + 1] = __builtin_shuffle(v[r], v[r + 1], Vi{1, 9, 3, 11, 5, 13, 7, 15});
        }
        for (int r = 0; r < 8; r += 4)  // quads of rows, pairs of lanes
            for (int h = 0; h < 2; ++h) {
                u[r + h] = __builtin_shuffle(t[r + h], t[r + h + 2], Vi{0, 1, 8, 9, 4, 5, 12, 13});
                u[r + h + 2] = __builtin_shuffle(t[r + h], t[r + h + 2], Vi{2, 3, 10, 11, 6, 7, 14, 15});
            }
        for (int h = 0; h < 4; ++h) {  // all rows, quads of lanes
            t[h] = __builtin_shuffle(u[h], u[h + 4], Vi{0, 1, 2, 3, 8, 9, 10, 11});
            t[h + 4] = __builtin_shuffle(u[h], u[h + 4], Vi{4, 5, 6, 7, 12, 13, 14, 15});
        }
        // t[l] now holds lane l of the eight vectors, in their order.
        Vd acc{};
        for (int l = 0; l < 8; ++l) acc += t[l];
        if (g + 8 <= count) Store(out + g, acc);
        else
            for (int r = 0; g + r < count; ++r) out[g + r] = acc[r];
    }
#else
    for (int r = 0; r < count; ++r) out[r] = Sum(x[r]);
#endif
}

template <class T>
using MaskOf = decltype(Lt(T{}, T{}));

// Violates and Smallest in lanes (the same answers): the violation and which of ij (e0),
// ik (e1), jk (e2) first agrees with the smallest distance within 1e-8 (f0, f1, f2: each
// one's agreement on its own).
template <class T>
struct Class {
    MaskOf<T> viol, e0, e1, e2, f0, f1, f2;
};
inline double Min(double a, double b) { return a < b ? a : b; }
// A triple violates when its largest distance exceeds the larger of the other two by more
// than 1e-8. Only a single largest can, and the larger of the other two is then the median,
// so the test is median + 1e-8 < largest (the same sum and comparison as the definition).
template <class T>
ZELK_HOT MaskOf<T> ViolatesMx(T d1, T d2, T d3, T& mx) {
    const T eps = T{} + 1e-8;
    const T hi = Max(d1, d2), lo = Min(d1, d2);
    mx = Max(hi, d3);
    const T med = Max(lo, Min(hi, d3));
    return Lt(med + eps, mx);
}
template <class T>
ZELK_HOT Class<T> Classify(T d1, T d2, T d3) {
    const T eps = T{} + 1e-8;
    T mx;
    Class<T> c;
    c.viol = ViolatesMx(d1, d2, d3, mx);
    const T m0 = mx - d1, m1 = mx - d2, m2 = mx - d3;
    const T top = Max(Max(m0, m1), m2);
    // top is the largest m, so top - m is never negative: |top - m| < eps is top - m < eps.
    c.f0 = Lt(top - m0, eps);
    c.f1 = Lt(top - m1, eps);
    c.f2 = Lt(top - m2, eps);
    c.e0 = c.f0;
    c.e1 = And(Not(c.f0), c.f1);
    c.e2 = And(And(Not(c.f0), Not(c.f1)), c.f2);
    return c;
}
template <class T>
ZELK_HOT MaskOf<T> Violates(T d1, T d2, T d3) {
    T mx;
    return ViolatesMx(d1, d2, d3, mx);
}

// The coefficients of one triple's term.
template <class T>
struct Terms {
    T vq, cij, bij, cik, bik, cjk, bjk, kA, kB, kC;
    T viol, bad, zero;  // 1 per violating triple; per one without a smallest; per zero root
};
template <class T>
ZELK_HOT Terms<T> TripleTerms(T d1, T d2, T d3, T R1, T I1, T R2, T I2, T R3, T I3, T sw,
                              MaskOf<T> valid) {
    const T one = T{} + 1.0, zero = T{};
    Class<T> c = Classify(d1, d2, d3);
    c.viol = And(c.viol, valid);
    const T vw = Sel(c.viol, sw, zero);
    // Smallest ij: (a, b) = (ik, jk); ik: (ij, jk); jk: (ij, ik).
    const T ra = Sel(c.e0, R2, R1), ia = Sel(c.e0, I2, I1);
    const T rb = Sel(c.e2, R2, R3), ib = Sel(c.e2, I2, I3);
    // (ra - rb) / ra rather than 1 - rb / ra: large and close distances keep their digits.
    const T t = vw * (ra - rb);
    const T ca = t * ia, cb = -t * ib;
    const T h = vw * 0.5;
    const T caa = h * rb * (ia * ia * ia);
    const T cbb = h * ra * (ib * ib * ib);
    const T kab = -h * ia * ib;
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
    const size_t ij = d.At(i, j, 0), ik = d.At(i, k, 0), jk = d.At(j, k, 0);
    const double* x = d.data.data();
    const double R1 = x[ij + kRoot * kBlock], R2 = x[ik + kRoot * kBlock],
                 R3 = x[jk + kRoot * kBlock];
    const double d1 = R1, d2 = R2, d3 = R3;
    Terms<double> r = TripleTerms<double>(d1, d2, d3, R1, x[ij + kInvRoot * kBlock], R2,
                                          x[ik + kInvRoot * kBlock], R3, x[jk + kInvRoot * kBlock],
                                          sw, true);
    const int sm = Smallest(d1, d2, d3);
    if (r.zero == 0 || sm < 0) return r;
    // Smallest ij: (a, b) = (ik, jk); ik: (ij, jk); jk: (ij, ik).
    const double ra = sm == 0 ? R2 : R1;
    const double rb = sm == 2 ? R2 : R3;
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

inline bool AnyLane(Vd x) {
    bool any = false;
    for (int l = 0; l < kLanes; ++l) any = any || x[l] != 0;
    return any;
}
void Patch(Terms<Vd>& r, const PassData& d, int i, int j, int k, Vd sw) {
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

// The sums of one pair's run.
template <int Q>
struct PairAcc {
    Vd accU[Q], accJ[Q], accI[Q];  // cross terms of (i, j); terms opposite j; opposite i
    Vd lam, bet, vq, count;
};

constexpr double kBadUnit = 67108864.0;  // 2^26

// The vector updates of components [M0, M1) for one block: the cross terms of (i, j), the
// cross terms of (i, k) with (j, k) (kept on (i, k)), the terms opposite j and i. (The terms
// opposite k wait for the whole row of first records: see RecordsK.)
template <int Q, int M0, int M1>
ZELK_HOT void VectorStep(const double* pi, const double* pj, double* pu, Vd kA, Vd kB, Vd kC,
                         Vd cik, Vd cjk, PairAcc<Q>& a) {
#pragma GCC unroll 16
    for (int m = M0; m < M1; ++m) {
        const Vd x = Load(pi + (kGrad + m) * kBlock), y = Load(pj + (kGrad + m) * kBlock);
        a.accU[m] += kA * x + kB * y;
        a.accJ[m] += cik * x;
        a.accI[m] += cjk * y;
        double* u = pu + m * kBlock;
        Store(u, Load(u) + kC * y);
    }
}

// One block of triples (i, j, k), k = the block's columns: classification, coefficients
// and the updates of gradient components [M0, M1), with the scalar sums. The coefficients
// the vector updates need go to coef, for the sweeps over the other components (a few
// components at a time keep the sums in registers). Careful: some root is 0.
template <int Q, int M1, bool Careful>
ZELK_HOT void FirstStep(const PassData& d, int i, int j, int k0, const double* ps, double* pim,
                        double* pjm, double* pu, double* __restrict pr, double* __restrict coef,
                        double* __restrict cijOut, double d1, double R1, double I1, double sij,
                        PairAcc<Q>& a) {
    const double* pi = pim;
    const double* pj = pjm;
#ifdef __AVX512F__
    // The lanes' columns k0 + l inside the triangle: j < k0 + l < n.
    const int lo = j + 1 - k0, hi = d.n - k0;
    unsigned bits = lo <= 0 ? 0xFFu : lo >= kLanes ? 0u : (0xFFu << lo) & 0xFFu;
    if (hi < kLanes) bits &= hi <= 0 ? 0u : (1u << hi) - 1u;
    const Vm valid = static_cast<Vm>(bits);
#else
    static const double kIota[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    const Vd kv = Splat(static_cast<double>(k0)) + Load(kIota);  // the lanes' columns
    const Vm valid = And(Lt(Splat(j), kv), Lt(kv, Splat(d.n)));
#endif
    const Vd sw = Sel(valid, sij * Load(ps), Vd{});
    const Vd R2 = Load(pi + kRoot * kBlock), R3 = Load(pj + kRoot * kBlock);
    Terms<Vd> r = TripleTerms<Vd>(Splat(d1), R2, R3, Splat(R1), Splat(I1), R2,
                                  Load(pi + kInvRoot * kBlock), R3,
                                  Load(pj + kInvRoot * kBlock), sw, valid);
    if constexpr (Careful) {
        if (AnyLane(r.zero)) Patch(r, d, i, j, k0, sw);
    }
    a.lam += r.cij;
    a.bet += r.bij;
    a.vq += r.vq;
    // Violations and triples without a smallest distance in one sum: a run has fewer than
    // 2^26 triples, so both counts stay exact.
    a.count += r.viol + r.bad * kBadUnit;
    Store(pim + kLam * kBlock, Load(pim + kLam * kBlock) + r.cik);
    Store(pim + kBet * kBlock, Load(pim + kBet * kBlock) + r.bik);
    Store(pjm + kLam * kBlock, Load(pjm + kLam * kBlock) + r.cjk);
    Store(pjm + kBet * kBlock, Load(pjm + kBet * kBlock) + r.bjk);
    Store(pr, Load(pr) + r.vq);
    Store(cijOut, r.cij);
    if constexpr (M1 < Q) {
        Store(coef + 0 * kBlock, r.kA);
        Store(coef + 1 * kBlock, r.kB);
        Store(coef + 2 * kBlock, r.kC);
        Store(coef + 3 * kBlock, r.cik);
        Store(coef + 4 * kBlock, r.cjk);
    }
    VectorStep<Q, 0, M1>(pi, pj, pu, r.kA, r.kB, r.kC, r.cik, r.cjk, a);
}

constexpr int kGroup = 4;  // gradient components per sweep of a run
constexpr int kCoefs = 5;  // coefficients kept per block for the later sweeps
constexpr int kPrefetchBlocks = 4;  // how far ahead a run asks for row j's blocks

// The sweeps of a run (blocks B0..B1 of rows i and j) after the first: components [M0, M1)
// from the stored coefficients.
template <int Q, int M0, int M1>
ZELK_HOT void LaterSweeps(PassData& d, int i, int j, int b, int B0, int B1, const double* coef,
                          PairAcc<Q>& a) {
    constexpr int F = kGrad + Q;
    double* base = d.data.data();
    const double* pi = base + d.Block(i, B0);
    const double* pj = base + d.Block(j, B0);
    double* pu = d.U.data() + d.UBlock(b, B0);
    for (int B = B0; B <= B1; ++B) {
        const double* c = coef + static_cast<size_t>(B - B0) * kCoefs * kBlock;
        for (int h = 0; h < kBlock; h += kLanes)
            VectorStep<Q, M0, M1>(pi + h, pj + h, pu + h, Load(c + h), Load(c + kBlock + h),
                                  Load(c + 2 * kBlock + h), Load(c + 3 * kBlock + h),
                                  Load(c + 4 * kBlock + h), a);
        pi += F * kBlock;
        pj += F * kBlock;
        pu += Q * kBlock;
    }
    if constexpr (M1 < Q)
        LaterSweeps<Q, M1, (M1 + kGroup < Q ? M1 + kGroup : Q)>(d, i, j, b, B0, B1, coef, a);
}

// One pair (i, j) with its run of k in [kb, k1): Q gradient components (Q >= 1). False when
// a violating triple has no smallest distance.
template <int Q, bool Careful>
bool PairRun(PassData& d, int i, int j, int kb, int k1, int b, SliceState& slice, double* cijRow) {
    constexpr int F = kGrad + Q, FR = 1 + Q, M1 = kGroup < Q ? kGroup : Q;
    const double* x = d.data.data();
    const size_t ij = d.At(i, j, 0);
    PairAcc<Q> a;
    // A zero the compiler cannot see through: the sums start with plain vector stores (a
    // known zero makes it clear the whole struct with a string instruction, slow to start).
    Vd zero{};
#if defined(__x86_64__) || defined(__i386__)
    __asm__("" : "+x"(zero));
#endif
    a.lam = a.bet = a.vq = a.count = zero;
    for (int m = 0; m < Q; ++m) a.accU[m] = a.accJ[m] = a.accI[m] = zero;
    const int B0 = kb / kBlock, B1 = (k1 - 1) / kBlock;
    thread_local LineVector<double> coefBuf;
    if (M1 < Q && coefBuf.size() < static_cast<size_t>(B1 - B0 + 1) * kCoefs * kBlock)
        coefBuf.resize(static_cast<size_t>(d.blocks) * kCoefs * kBlock);
    double* coef = coefBuf.data();
    {
        const double R1 = x[ij + kRoot * kBlock], d1 = R1, I1 = x[ij + kInvRoot * kBlock];
        const double sij = d.s[i] * d.s[j];
        double* base = d.data.data();
        double* pi = base + d.Block(i, B0);
        double* pj = base + d.Block(j, B0);
        double* pu = d.U.data() + d.UBlock(b, B0);
        double* pr = slice.recs.data() + static_cast<size_t>(B0) * FR * kBlock;
        double* c = coef;
        double* co = cijRow;
        const double* ps = d.s.data();
        for (int B = B0; B <= B1; ++B) {
            // Row j comes from farther caches than row i (which every j of the chunk
            // revisits): its blocks are asked for a few ahead.
            if (B + kPrefetchBlocks <= B1)
                for (int f = 0; f < F; ++f) __builtin_prefetch(pj + (kPrefetchBlocks * F + f) * kBlock);
            for (int h = 0; h < kBlock; h += kLanes)
                FirstStep<Q, M1, Careful>(d, i, j, B * kBlock + h, ps + B * kBlock + h, pi + h,
                                          pj + h, pu + h, pr + h, c + h, co + h, d1, R1, I1, sij,
                                          a);
            pi += F * kBlock;
            pj += F * kBlock;
            pu += Q * kBlock;
            pr += FR * kBlock;
            co += kBlock;
            if (M1 < Q) c += kCoefs * kBlock;
        }
    }
    if constexpr (M1 < Q)
        LaterSweeps<Q, M1, (M1 + kGroup < Q ? M1 + kGroup : Q)>(d, i, j, b, B0, B1, coef, a);
    // The pair's sums all at once, in the order they are stored: the pair's (lam, bet, U,
    // count, vq), then record j's and record i's (vq, the terms opposite the record).
    constexpr int FP = PairFields(Q), FO = RunFields(Q);
    Vd v[FP + 2 * FO];
    for (int f = Q + 4; f < FP; ++f) v[f] = zero;
    for (int f = Q + 1; f < FO; ++f) v[FP + f] = v[FP + FO + f] = zero;
    v[0] = a.lam;
    v[1] = a.bet;
    v[Q + 2] = a.count;
    v[Q + 3] = a.vq;
    v[FP] = v[FP + FO] = a.vq;
    for (int m = 0; m < Q; ++m) {
        v[2 + m] = a.accU[m];
        v[FP + 1 + m] = a.accJ[m];
        v[FP + FO + 1 + m] = a.accI[m];
    }
    alignas(64) double sum[FP + 2 * FO];
    Sums(v, FP + 2 * FO, sum);
    double* pair = slice.PairSums(b, j);
    double* rj = slice.recsRun.data() + slice.RunRec(j, 0);
    double* ri = slice.recsRun.data() + slice.RunRec(i, 0);
    for (int f = 0; f < FP; f += kLanes) Store(pair + f, Load(sum + f));
    for (int f = 0; f < FO; f += kLanes) {
        Store(rj + f, Load(rj + f) + Load(sum + FP + f));
        Store(ri + f, Load(ri + f) + Load(sum + FP + FO + f));
    }
    slice.lu += sum[Q + 3];
    const double count = sum[Q + 2];
    const double bad = std::floor(count / kBadUnit);
    slice.viol += count - bad * kBadUnit;
    return bad == 0;
}

// The terms opposite k of the pairs (i, j), i in [i0, iEnd), one j: for each block of k,
// rec_k += cij g_ij over the first records in order (the same sums as one record at a time,
// with one read and one write of rec_k per block instead of one per first record).
template <int Q>
void RecordsK(PassData& d, SliceState& slice, int i0, int iEnd, int j, int B0, int B1,
              const double* cij) {
    constexpr int FR = 1 + Q;
    const int rows = iEnd - i0, width = (B1 - B0 + 1) * kBlock;
    // The gradients already in all lanes: the products then read them straight from memory.
    Vd g[kMaxFirstRecords][Q];
    for (int r = 0; r < rows; ++r) {
        const size_t ij = d.At(i0 + r, j, 0);
        for (int m = 0; m < Q; ++m) g[r][m] = Splat(d.data[ij + (kGrad + m) * kBlock]);
    }
    double* pr = slice.recs.data() + static_cast<size_t>(B0) * FR * kBlock;
    for (int B = B0; B <= B1; ++B) {
        for (int h = 0; h < kBlock; h += kLanes) {
            Vd acc[Q];
            for (int m = 0; m < Q; ++m) acc[m] = Load(pr + (1 + m) * kBlock + h);
            for (int r = 0; r < rows; ++r) {
                const Vd c = Load(cij + static_cast<size_t>(r) * width + (B - B0) * kBlock + h);
#pragma GCC unroll 16
                for (int m = 0; m < Q; ++m) acc[m] += c * g[r][m];
            }
            for (int m = 0; m < Q; ++m) Store(pr + (1 + m) * kBlock + h, acc[m]);
        }
        pr += FR * kBlock;
    }
}

struct RowFns {
    bool (*pair)(PassData&, int, int, int, int, int, SliceState&, double*);
    void (*recordsK)(PassData&, SliceState&, int, int, int, int, int, const double*);
};

template <bool Careful>
RowFns PickRowFns(int q) {
    switch (q) {
#define ZELK_Q(QQ) \
    case QQ: return {PairRun<QQ, Careful>, RecordsK<QQ>};
        ZELK_Q(1) ZELK_Q(2) ZELK_Q(3) ZELK_Q(4) ZELK_Q(5) ZELK_Q(6) ZELK_Q(7) ZELK_Q(8)
        ZELK_Q(9) ZELK_Q(10) ZELK_Q(11) ZELK_Q(12) ZELK_Q(13) ZELK_Q(14) ZELK_Q(15) ZELK_Q(16)
#undef ZELK_Q
        default: return {nullptr, nullptr};
    }
}

// Many gradient components (more than the unrolled kernels take): the same triples and
// sums, one triple at a time.
bool RunSliceWide(PassData& d, int i0, int i1, int j0, int j1, int k0, int k1, SliceState& slice) {
    const int q = d.q;
    double* x = d.data.data();
    std::vector<double> acc(3 * static_cast<size_t>(q)), g(q);
    for (int j = std::max(i0 + 1, j0); j < j1 && j + 1 < k1; ++j) {
        const int kb = std::max(k0, j + 1);
        for (int i = i0; i < std::min(i1, j); ++i) {
            const int b = i - i0;
            std::fill(acc.begin(), acc.end(), 0.0);
            for (int m = 0; m < q; ++m) g[m] = x[d.At(i, j, kGrad + m)];
            double lam = 0, bet = 0, vq = 0, viol = 0, bad = 0;
            for (int k = kb; k < k1; ++k) {
                const Terms<double> r = CarefulTerms(d, i, j, k, d.s[i] * d.s[j] * d.s[k]);
                lam += r.cij;
                bet += r.bij;
                vq += r.vq;
                viol += r.viol;
                bad += r.bad;
                x[d.At(i, k, kLam)] += r.cik;
                x[d.At(i, k, kBet)] += r.bik;
                x[d.At(j, k, kLam)] += r.cjk;
                x[d.At(j, k, kBet)] += r.bjk;
                slice.recs[slice.Rec(k, 0)] += r.vq;
                for (int m = 0; m < q; ++m) {
                    const double gx = x[d.At(i, k, kGrad + m)], gy = x[d.At(j, k, kGrad + m)];
                    acc[m] += r.kA * gx + r.kB * gy;
                    acc[q + m] += r.cik * gx;
                    acc[2 * q + m] += r.cjk * gy;
                    d.U[d.UBlock(b, k / kBlock) + static_cast<size_t>(m) * kBlock + k % kBlock] += r.kC * gy;
                    slice.recs[slice.Rec(k, 1 + m)] += r.cij * g[m];
                }
            }
            double* pair = slice.PairSums(b, j);
            double* rj = slice.recsRun.data() + slice.RunRec(j, 0);
            double* ri = slice.recsRun.data() + slice.RunRec(i, 0);
            pair[0] = lam;
            pair[1] = bet;
            for (int m = 0; m < q; ++m) {
                pair[2 + m] = acc[m];
                rj[1 + m] += acc[q + m];
                ri[1 + m] += acc[2 * q + m];
            }
            ri[0] += vq;
            rj[0] += vq;
            slice.lu += vq;
            slice.viol += viol;
            if (bad != 0) {
                slice.failed = true;
                return false;
            }
        }
    }
    return true;
}

bool RunSlice(PassData& d, int i0, int i1, int j0, int j1, int k0, int k1, SliceState& slice) {
    const int n = d.n;
    if (k1 > n) k1 = n;
    const RowFns fns = d.anyZeroRoot ? PickRowFns<true>(d.q) : PickRowFns<false>(d.q);
    if (!fns.pair || i1 - i0 > kMaxFirstRecords) return RunSliceWide(d, i0, i1, j0, j1, k0, k1, slice);
    thread_local LineVector<double> cijBuf;
    for (int j = std::max(i0 + 1, j0); j < j1 && j + 1 < k1; ++j) {
        const int kb = std::max(k0, j + 1);
        if (kb >= k1) continue;
        const int iEnd = std::min(i1, j), B0 = kb / kBlock, B1 = (k1 - 1) / kBlock;
        const size_t width = static_cast<size_t>(B1 - B0 + 1) * kBlock;
        if (cijBuf.size() < width * (iEnd - i0)) cijBuf.resize(width * (iEnd - i0));
        for (int i = i0; i < iEnd; ++i)
            if (!fns.pair(d, i, j, kb, k1, i - i0, slice, cijBuf.data() + width * (i - i0))) {
                slice.failed = true;
                return false;
            }
        fns.recordsK(d, slice, i0, iEnd, j, B0, B1, cijBuf.data());
    }
    return true;
}

void ClassifyPairs(const double* dist, const double* s, int n, int i0, int i1, int j0, int j1,
                   double* tw, double* vw, double* vc) {
    const Vd one = Splat(1.0), zero{};
    // Row j is read once for all the first records (which stay in the nearer caches).
    for (int j = j0; j < j1 && j < n - 1; ++j) {
        const double* dj = dist + static_cast<size_t>(j) * n;
        const int k0 = j + 1, kV = k0 + (n - k0) / kLanes * kLanes;
        for (int i = i0; i < i1 && i < j; ++i) {
            const double* di = dist + static_cast<size_t>(i) * n;
            const double dij = di[j];
            const double sij = s[i] * s[j];
            Vd vt{}, vw2{}, vc2{};
            for (int k = k0; k < kV; k += kLanes) {
                const Vm v = Violates(Splat(dij), Load(di + k), Load(dj + k));
                const Vd sw = Splat(sij) * Load(s + k);
                vt += sw;
                vw2 += Sel(v, sw, zero);
                vc2 += Sel(v, one, zero);
            }
            double st = Sum(vt), sv = Sum(vw2), sc = Sum(vc2);
            for (int k = kV; k < n; ++k) {
                const bool v = Violates(dij, di[k], dj[k]);
                const double sw = sij * s[k];
                st += sw;
                sv += v ? sw : 0.0;
                sc += v ? 1.0 : 0.0;
            }
            const size_t at = static_cast<size_t>(i - i0) * n + j;
            tw[at] = st;
            vw[at] = sv;
            vc[at] = sc;
        }
    }
}

// s q of one triple when it violates, 0 when not, NaN when it has no smallest distance.
// Finite: all distances are finite, and then some distance always agrees with the smallest.
template <bool Finite, class T>
ZELK_HOT T LossTerm(T dij, T dik, T djk, T sw) {
    const T eps = T{} + 1e-8;
    T mx;
    const auto viol = ViolatesMx(dij, dik, djk, mx);
    const T m0 = mx - dij, m1 = mx - dik, m2 = mx - djk;
    const T top = Max(Max(m0, m1), m2);
    const auto f0 = Lt(top - m0, eps), f1 = Lt(top - m1, eps);
    // Smallest ij: (ik, jk); ik: (ij, jk); jk: (ij, ik).
    const T da = Sel(f0, dik, dij);
    const T db = Sel(Or(f0, f1), djk, dik);
    T term = sw * (da - db) * (da - db);
    if constexpr (!Finite) {
        const auto f2 = Lt(top - m2, eps);
        term = Sel(Or(Or(f0, f1), f2), term, T{} + std::numeric_limits<double>::quiet_NaN());
    }
    return Sel(viol, term, T{});
}

template <bool Finite>
double LossFirstT(const double* dist, int stride, const double* s, int n, int i) {
    const double* di = dist + static_cast<size_t>(i) * stride;
    double sum = 0;
    for (int j = i + 1; j < n - 1; ++j) {
        const double* dj = dist + static_cast<size_t>(j) * stride;
        const Vd dij = Splat(di[j]);
        const Vd sij = Splat(s[i] * s[j]);
        Vd acc{};
        // Lanes past n read the zero padding: weight 0, so they add exactly 0.
        for (int k = j + 1; k < n; k += kLanes)
            acc += LossTerm<Finite>(dij, Load(di + k), Load(dj + k), sij * Load(s + k));
        sum += Sum(acc);
    }
    return sum;
}

double LossFirst(const double* dist, int stride, const double* s, int n, int i, bool finite) {
    return finite ? LossFirstT<true>(dist, stride, s, n, i) : LossFirstT<false>(dist, stride, s, n, i);
}

}  // namespace

const KernelTable& Table() {
    static const KernelTable t = {ZELK_KERNEL_NAME, RunSlice, ClassifyPairs, LossFirst};
    return t;
}

}  // namespace ZELK_KERNEL_NS
}  // namespace detail
}  // namespace zelk
