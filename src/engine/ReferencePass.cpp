// The straightforward derivative pass: every violating triple recomputes the gradients and
// Hessians of its two largest squared distances and adds its own terms.
#include <algorithm>
#include <cmath>

#include "engine/Engine.h"
#include "engine/EngineDetail.h"

namespace zelk {
namespace detail {

const char* const kNoSmallest = "Fatal error 2007.10.30.1";

void RefAccum::Init(const Problem& pb_, const Params& prm_, const Matrix& mDist, double P_,
                    const Matrix& gradP, const Matrix& hessP) {
    pb = &pb_;
    prm = &prm_;
    dist = &mDist;
    P = P_;
    n = pb_.n;
    q = pb_.p > 0 ? pb_.p - 1 : 0;
    gP.assign(q, 0.0);
    hP.assign(static_cast<size_t>(q) * q, 0.0);
    for (int m = 0; m < q && m < gradP.Size(); ++m) gP[m] = gradP.Data()[m];
    for (int m = 0; m < q * q && m < hessP.Size(); ++m) hP[m] = hessP.Data()[m];
    Lu = viol2 = 0;
    grad.assign(q, 0.0);
    hess.assign(static_cast<size_t>(q) * q, 0.0);
    recW.assign(n, 0.0);
    recC.assign(n, 0.0);
    recG.assign(static_cast<size_t>(q) * n, 0.0);
    ga.assign(q, 0.0);
    gb.assign(q, 0.0);
    gf.assign(q, 0.0);
    gqv.assign(q, 0.0);
    wa.assign(q, 0.0);
    wb.assign(q, 0.0);
    Ha.assign(static_cast<size_t>(q) * q, 0.0);
    Hb.assign(static_cast<size_t>(q) * q, 0.0);
}

bool RefAccum::RunFirst(int i, EngineError& err) {
    const Matrix& d = *dist;
    const RealList& s = pb->s;
    double comps[5];
    for (int j = i + 1; j < n - 1; ++j)
        for (int k = j + 1; k < n; ++k) {
            const double sw = s[i] * s[j] * s[k];
            recW[i] += sw;
            recW[j] += sw;
            recW[k] += sw;
            recC[i] += 1;
            recC[j] += 1;
            recC[k] += 1;
            const double dij = d(i, j), dik = d(i, k), djk = d(j, k);
            if (!Violates(dij, dik, djk)) continue;
            viol2 += 1;
            const int sm = Smallest(dij, dik, djk);
            if (sm < 0) {
                err.Fail(kNoSmallest);
                return false;
            }
            int a0, a1, b0, b1;
            if (sm == 0) {
                a0 = i, a1 = k, b0 = j, b1 = k;
            } else if (sm == 1) {
                a0 = i, a1 = j, b0 = j, b1 = k;
            } else {
                a0 = i, a1 = j, b0 = i, b1 = k;
            }
            if (!PairEval(*pb, *prm, a0, a1, comps, ga.data(), Ha.data())) {
                err.Fail(kDivideByZeroA);
                return false;
            }
            double Da2 = 0;
            for (double c : comps) Da2 += c;
            if (!PairEval(*pb, *prm, b0, b1, comps, gb.data(), Hb.data())) {
                err.Fail(kDivideByZeroA);
                return false;
            }
            double Db2 = 0;
            for (double c : comps) Db2 += c;
            const TripleCoef c = TripleCoefficients(Da2, Db2);
            const double qv = c.q;
            // With both roots positive, grad q = t (ga / ra - gb / rb), t = ra - rb, and
            // hess q = t (Ha / ra - Hb / rb) + w w' / 2 - t (ga ga' / ra^3 - gb gb' / rb^3) / 2
            // with w = ga / ra - gb / rb: the differences are taken before the products, so
            // two large and close distances keep their digits.
            const bool grouped = Da2 > 0 && Db2 > 0;
            const double ra = std::sqrt(std::max(Da2, 0.0)), rb = std::sqrt(std::max(Db2, 0.0));
            const double t = ra - rb;
            for (int m = 0; m < q; ++m) {
                wa[m] = grouped ? ga[m] / ra : 0.0;
                wb[m] = grouped ? gb[m] / rb : 0.0;
                gqv[m] = grouped ? t * (wa[m] - wb[m]) : c.ca * ga[m] + c.cb * gb[m];
            }
            // f = q / P.
            for (int m = 0; m < q; ++m) gf[m] = gqv[m] / P - qv / (P * P) * gP[m];
            for (int m = 0; m < q; ++m) {
                const double gqm = gqv[m];
                for (int l = 0; l < q; ++l) {
                    const size_t x = static_cast<size_t>(m) * q + l;
                    const double gql = gqv[l];
                    double hq;
                    if (grouped) {
                        hq = t * (Ha[x] / ra - Hb[x] / rb) +
                             0.5 * (wa[m] - wb[m]) * (wa[l] - wb[l]) -
                             0.5 * t * (wa[m] * wa[l] / ra - wb[m] * wb[l] / rb);
                    } else {
                        hq = c.ca * Ha[x] + c.cb * Hb[x] + c.cab * (ga[m] * gb[l] + gb[m] * ga[l]) +
                             c.caa * ga[m] * ga[l] + c.cbb * gb[m] * gb[l];
                    }
                    const double hf = hq / P - (gqm * gP[l] + gP[m] * gql) / (P * P) -
                                      qv / (P * P) * hP[x] + 2.0 * qv / (P * P * P) * gP[m] * gP[l];
                    hess[x] += sw * hf;
                }
            }
            Lu += sw * qv / P;
            for (int m = 0; m < q; ++m) {
                grad[m] += sw * gf[m];
                recG[static_cast<size_t>(m) * n + i] += sw * gf[m];
                recG[static_cast<size_t>(m) * n + j] += sw * gf[m];
                recG[static_cast<size_t>(m) * n + k] += sw * gf[m];
            }
        }
    return true;
}

void RefAccum::Store(LossState& out) const {
    out.dLu = Lu;
    out.dViolCount2 = viol2;
    out.mGradV = Matrix(q, 1, 0.0);
    out.mHessV = Matrix(q, q, 0.0);
    for (int m = 0; m < q; ++m) out.mGradV(m, 0) = grad[m];
    for (int x = 0; x < q * q; ++x) out.mHessV.Data()[x] = hess[x];
    out.adRecTripleWeight = Matrix(1, n, 0.0);
    out.adRecTripleCount = Matrix(1, n, 0.0);
    for (int r = 0; r < n; ++r) {
        out.adRecTripleWeight(0, r) = recW[r];
        out.adRecTripleCount(0, r) = recC[r];
    }
    out.mRecGrad = Matrix(q, n, 0.0);
    for (size_t x = 0; x < recG.size(); ++x) out.mRecGrad.Data()[x] = recG[x];
}

void FinishChecks(LossState& out, EngineError& err) {
    if (out.dViolCount2 != out.dViolCount) {
        err.Fail(Format("Fatal error #2007.10.30.2 (%.8f!=%.8f)", out.dViolCount2, out.dViolCount));
        return;
    }
    if (out.dLu < -1e-8) err.Fail(Format("Fatal error 2007.10.30.3a (%.32f)", out.dLu));
}

}  // namespace detail

void ReferenceDerivativePass(const Problem& pb, const Params& prm, const Matrix& mDist,
                             double P, const Matrix& gradP, const Matrix& hessP,
                             LossState& out, EngineError& err) {
    detail::CheckLayout(pb, true, err);
    if (err) return;
    detail::RefAccum acc;
    acc.Init(pb, prm, mDist, P, gradP, hessP);
    for (int i = 0; i + 2 < pb.n; ++i)
        if (!acc.RunFirst(i, err)) return;
    acc.Store(out);
    detail::FinishChecks(out, err);
}

}  // namespace zelk
