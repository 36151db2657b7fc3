// Internal helpers shared by the engine's passes: the exact derivatives of one pair's
// squared distance, the classification of one triple and the coefficients of its term.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/Engine.h"

namespace zelk {
namespace detail {

// Components of the pair (i, j), their sum D2 and, when grad / hess are given, the
// gradient (p-1) and Hessian ((p-1)x(p-1), row-major) of D2 in the free parameters.
// grad and hess are overwritten. False on the type-A divide by zero.
bool PairEval(const Problem& pb, const Params& prm, int i, int j, double comps[5], double* grad,
              double* hess);

// A sum of weighted pair Hessians, kept in pieces that cost O(q) per pair where the terms
// share the gradient of V (2 v) or are diagonal; only the outer products within one type's
// variables are kept whole. AddTo expands it into a q x q row-major matrix.
struct HessianSum {
    int q = 0;
    std::vector<double> full;   // q x q: outer products within one type's variables
    std::vector<double> diag;   // q: diagonal terms
    std::vector<double> withV;  // q: u, for u gV' + gV u'
    double sV = 0;              // for gV gV'
    double sI = 0;              // for the identity
    void Init(int q);
    void Add(const HessianSum& o);
    void AddTo(const Params& prm, double* H) const;
};
// Adds w times the Hessian of D^2(i, j) in the free parameters to sum. False on the type-A
// divide by zero.
bool PairHessianInto(const Problem& pb, const Params& prm, int i, int j, double w,
                     HessianSum& sum);

// Ultrametric violation of the triple with distances dij, dik, djk (i < j < k).
inline bool Violates(double dij, double dik, double djk) {
    return std::max(dik, djk) + 1e-8 < dij || std::max(dij, djk) + 1e-8 < dik ||
           std::max(dij, dik) + 1e-8 < djk;
}

// Which distance of a violating triple is the smallest: 0 = ij, 1 = ik, 2 = jk; -1 when
// none agrees (only possible with non-finite distances).
inline int Smallest(double dij, double dik, double djk) {
    const double mx = std::max(std::max(dij, dik), djk);
    const double m0 = mx - dij, m1 = mx - dik, m2 = mx - djk;
    const double top = std::max(std::max(m0, m1), m2);
    if (std::fabs(top - m0) < 1e-8) return 0;
    if (std::fabs(top - m1) < 1e-8) return 1;
    if (std::fabs(top - m2) < 1e-8) return 2;
    return -1;
}

// Coefficients of the triple term q = (sqrt(Da2) - sqrt(Db2))^2 in the squared distances:
//   grad q = ca ga + cb gb
//   hess q = ca Ha + cb Hb + cab (ga gb' + gb ga') + caa ga ga' + cbb gb gb'.
// A squared distance that is zero has no finite derivative of its root; its terms are
// then left out (q = the other squared distance), which keeps the sums finite.
struct TripleCoef {
    double q = 0, ca = 0, cb = 0, cab = 0, caa = 0, cbb = 0;
};
inline TripleCoef TripleCoefficients(double Da2, double Db2) {
    TripleCoef c;
    const double ra = std::sqrt(std::max(Da2, 0.0));
    const double rb = std::sqrt(std::max(Db2, 0.0));
    c.q = (ra - rb) * (ra - rb);
    if (Da2 > 0 && Db2 > 0) {
        // (ra - rb) / ra rather than 1 - rb / ra: the difference of the roots is exact to
        // their own rounding, so two large and close distances keep their digits.
        c.ca = (ra - rb) / ra;
        c.cb = (rb - ra) / rb;
        c.cab = -0.5 / (ra * rb);
        c.caa = 0.5 * rb / (Da2 * ra);
        c.cbb = 0.5 * ra / (Db2 * rb);
    } else if (Da2 > 0) {
        c.ca = 1.0;
    } else if (Db2 > 0) {
        c.cb = 1.0;
    }
    return c;
}

extern const char* const kNoSmallest;  // "Fatal error 2007.10.30.1"

// Messages of the end-of-pass checks (shared by both passes).
void FinishChecks(LossState& out, EngineError& err);

// Type-layout check of a problem, with the C-block message of the derivative builder
// when derivatives is true.
void CheckLayout(const Problem& pb, bool derivatives, EngineError& err);

// Triples (i, j, k) with i in the block of first records [i0, i1), middle record j
// (i0 < j < n - 1) and any last record k > j.
inline double MiddleTriples(int n, int i0, int i1, int j) {
    return static_cast<double>((i1 < j ? i1 : j) - i0) * (n - 1 - j);
}

}  // namespace detail
}  // namespace zelk

namespace zelk {
namespace detail {

// The straightforward per-triple accumulation (the reference pass).
struct RefAccum {
    const Problem* pb = nullptr;
    const Params* prm = nullptr;
    const Matrix* dist = nullptr;
    double P = 1;
    std::vector<double> gP, hP;
    int n = 0, q = 0;
    double Lu = 0, viol2 = 0;
    std::vector<double> grad, hess, recW, recC, recG;  // recG: q x n
    std::vector<double> ga, Ha, gb, Hb, gf, gqv, wa, wb;

    void Init(const Problem& pb, const Params& prm, const Matrix& mDist, double P,
              const Matrix& gradP, const Matrix& hessP);
    // All triples (i, j, k), j > i. False (err set) on failure.
    bool RunFirst(int i, EngineError& err);
    void Store(LossState& out) const;
};

}  // namespace detail
}  // namespace zelk
