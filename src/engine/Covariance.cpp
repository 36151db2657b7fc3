// Covariance of v and of w by the delta method, the output scaling exponent, and the
// gradient in w.
#include <cmath>
#include <vector>

#include "engine/Engine.h"

namespace zelk {

Matrix CovarianceV(const Matrix& hessV, const Matrix& recGradMean, const RealList& s,
                   double T, double W) {
    const int q = hessV.Rows();
    const int n = static_cast<int>(s.size());
    if (q == 0) return Matrix();
    double sumS = 0;
    for (double x : s) sumS += x;
    // Without a violating triple (W = 0) or with at most one record's weight, the estimate
    // divides by zero: the result is then "not set" rather than infinities.
    if (!(W != 0) || !(sumS - 1 != 0) || !(sumS > 0) || recGradMean.Rows() != q ||
        recGradMean.Cols() != n)
        return Matrix(q, q, kNotSet);
    std::vector<double> mean(q, 0.0);
    for (int r = 0; r < n; ++r)
        for (int m = 0; m < q; ++m) mean[m] += s[r] * recGradMean(m, r);
    for (int m = 0; m < q; ++m) mean[m] /= sumS;
    Matrix S(q, q, 0.0);
    std::vector<double> dv(q);
    for (int r = 0; r < n; ++r) {
        for (int m = 0; m < q; ++m) dv[m] = recGradMean(m, r) - mean[m];
        for (int m = 0; m < q; ++m)
            for (int l = 0; l < q; ++l) S(m, l) += s[r] * dv[m] * dv[l];
    }
    S = S.Scale(9.0 / (sumS - 1.0));
    S = S.Scale(T * T);
    Matrix A = hessV.Scale(1.0 / W);
    InvertInPlace(A);
    Matrix cov = Mul(A, S, A);
    const double f = (1.0 / W) / std::sqrt(sumS);
    return cov.Scale(f * f);
}

Matrix CovarianceW(const Matrix& covV, const Params& prm) {
    const int p = prm.p;
    const int q = p > 0 ? p - 1 : 0;
    if (p == 0) return Matrix();
    if (covV.Rows() != q || covV.Cols() != q) return Matrix(p, p, kNotSet);
    for (int x = 0; x < covV.Size(); ++x)
        if (covV.Data()[x] == kNotSet) return Matrix(p, p, kNotSet);
    const double V = prm.V;
    Matrix J(p, q, 0.0);
    for (int k = 0; k < p; ++k)
        for (int m = 0; m < q; ++m) {
            const double vk = prm.v[k];
            double x = k < q ? -2.0 * p * vk * vk / (V * V) * prm.v[m] : -2.0 * p / (V * V) * prm.v[m];
            if (k == m) x += 2.0 * p / V * vk;
            J(k, m) = x;
        }
    return Mul(J, covV, J.Transpose());
}

int CovScaleExponent(double x) {
    // A largest element of 0, a negative or a non-finite one has no meaningful scale:
    // the matrix is then written as it is (exponent 0).
    if (!(x > 0) || !std::isfinite(x) || x >= 1) return 0;
    return static_cast<int>(std::ceil(-std::log10(x)));
}

RealList GradientInW(const RealList& gradV, const RealList& w) {
    const int p = static_cast<int>(w.size());
    RealList gw(p, 0.0);
    if (p == 0) return gw;
    const double wp = w[p - 1];
    double S = 0;
    for (int m = 0; m < p - 1 && m < static_cast<int>(gradV.size()); ++m)
        S += gradV[m] * std::sqrt(w[m]) / (2.0 * std::pow(wp, 1.5));
    for (int k = 0; k < p - 1; ++k) {
        const double g = k < static_cast<int>(gradV.size()) ? gradV[k] : 0.0;
        gw[k] = g / (2.0 * std::sqrt(w[k] * wp)) + S;
    }
    gw[p - 1] = -S;
    return gw;
}

}  // namespace zelk
