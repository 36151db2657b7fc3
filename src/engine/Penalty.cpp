// The penalty P = (prod w)^pow on the weights, with its exact gradient and Hessian in the
// free parameters v_1..v_{p-1}.
#include <cmath>

#include "engine/Engine.h"

namespace zelk {

void ComputePenalty(const Params& prm, double pow, double& P, Matrix& grad, Matrix& hess,
                    EngineError& err) {
    const int p = prm.p;
    const int q = p > 0 ? p - 1 : 0;
    const double V = prm.V;
    double sumNorm = 0;
    for (int k = 0; k < p; ++k) sumNorm += prm.v[k] * prm.v[k] / V;
    if (!(std::fabs(sumNorm * p - p) <= 1e-6)) {
        err.Fail(Format("Fatal error 2008.12.13.1d (%.32f)", sumNorm));
        return;
    }
    double prod = 1;
    for (int k = 0; k < p; ++k) prod *= p * (prm.v[k] * prm.v[k] / V);
    P = std::pow(prod, pow);
    grad = Matrix(q, 1, 0.0);
    hess = Matrix(q, q, 0.0);
    // log P = pow (sum 2 log v_k - p log V + p log p).
    std::vector<double> dl(q);
    for (int m = 0; m < q; ++m) dl[m] = pow * (2.0 / prm.v[m] - 2.0 * p * prm.v[m] / V);
    for (int m = 0; m < q; ++m) {
        grad(m, 0) = P * dl[m];
        for (int l = 0; l < q; ++l) {
            double d2 = pow * 4.0 * p * prm.v[m] * prm.v[l] / (V * V);
            if (l == m) d2 += pow * (-2.0 / (prm.v[m] * prm.v[m]) - 2.0 * p / V);
            hess(m, l) = P * (dl[m] * dl[l] + d2);
        }
    }
}

}  // namespace zelk
