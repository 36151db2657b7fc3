// Eigenvalues of a symmetric matrix: Householder reduction to tridiagonal form (tred2)
// followed by the QL method with implicit shifts (tql1), at most 30 iterations per
// eigenvalue, each converged value inserted into the ascending list.
#include <cmath>
#include <vector>

#include "engine/Engine.h"

namespace zelk {

namespace {

// sqrt(a^2 + b^2) without destructive underflow or overflow (Moler and Morrison).
double Pythag(double a, double b) {
    double p = std::max(std::fabs(a), std::fabs(b));
    if (p == 0) return 0;
    // The iteration never settles on a NaN or an infinity: those go through as they are.
    if (!std::isfinite(a) || !std::isfinite(b)) return std::sqrt(a * a + b * b);
    double r = std::min(std::fabs(a), std::fabs(b)) / p;
    r *= r;
    for (;;) {
        const double t = 4.0 + r;
        if (t == 4.0) break;
        const double s = r / t;
        const double u = 1.0 + 2.0 * s;
        p = u * p;
        r = (s / u) * (s / u) * r;
    }
    return p;
}

void Tred2(int n, std::vector<double>& V, std::vector<double>& d, std::vector<double>& e) {
    auto v = [&](int r, int c) -> double& { return V[static_cast<size_t>(r) * n + c]; };
    for (int j = 0; j < n; ++j) d[j] = v(n - 1, j);
    for (int i = n - 1; i > 0; --i) {
        double scale = 0, h = 0;
        for (int k = 0; k < i; ++k) scale += std::fabs(d[k]);
        if (scale == 0) {
            e[i] = d[i - 1];
            for (int j = 0; j < i; ++j) {
                d[j] = v(i - 1, j);
                v(i, j) = 0;
                v(j, i) = 0;
            }
        } else {
            for (int k = 0; k < i; ++k) {
                d[k] /= scale;
                h += d[k] * d[k];
            }
            double f = d[i - 1];
            double g = std::sqrt(h);
            if (f > 0) g = -g;
            e[i] = scale * g;
            h -= f * g;
            d[i - 1] = f - g;
            for (int j = 0; j < i; ++j) e[j] = 0;
            for (int j = 0; j < i; ++j) {
                f = d[j];
                v(j, i) = f;
                g = e[j] + v(j, j) * f;
                for (int k = j + 1; k <= i - 1; ++k) {
                    g += v(k, j) * d[k];
                    e[k] += v(k, j) * f;
                }
                e[j] = g;
            }
            f = 0;
            for (int j = 0; j < i; ++j) {
                e[j] /= h;
                f += e[j] * d[j];
            }
            const double hh = f / (h + h);
            for (int j = 0; j < i; ++j) e[j] -= hh * d[j];
            for (int j = 0; j < i; ++j) {
                f = d[j];
                g = e[j];
                for (int k = j; k <= i - 1; ++k) v(k, j) -= (f * e[k] + g * d[k]);
                d[j] = v(i - 1, j);
                v(i, j) = 0;
            }
        }
        d[i] = h;
    }
    // Accumulation of the transformations (kept as in the procedure; d is restored below).
    for (int i = 0; i < n - 1; ++i) {
        v(n - 1, i) = v(i, i);
        v(i, i) = 1;
        const double h = d[i + 1];
        if (h != 0) {
            for (int k = 0; k <= i; ++k) d[k] = v(k, i + 1) / h;
            for (int j = 0; j <= i; ++j) {
                double g = 0;
                for (int k = 0; k <= i; ++k) g += v(k, i + 1) * v(k, j);
                for (int k = 0; k <= i; ++k) v(k, j) -= g * d[k];
            }
        }
        for (int k = 0; k <= i; ++k) v(k, i + 1) = 0;
    }
    for (int j = 0; j < n; ++j) {
        d[j] = v(n - 1, j);
        v(n - 1, j) = 0;
    }
    v(n - 1, n - 1) = 1;
    e[0] = 0;
}

// QL with implicit shifts, eigenvalues only; d ascending on return. On a value that does
// not converge in 30 iterations the loop stops: d holds the values found so far followed
// by the unconverged diagonal.
void Tql1(int n, std::vector<double>& d, std::vector<double>& e) {
    if (n == 1) return;
    for (int i = 1; i < n; ++i) e[i - 1] = e[i];
    e[n - 1] = 0;
    double f = 0, tst1 = 0;
    for (int l = 0; l < n; ++l) {
        int j = 0;
        const double h0 = std::fabs(d[l]) + std::fabs(e[l]);
        if (tst1 < h0) tst1 = h0;
        int m = l;
        for (; m < n; ++m)
            if (tst1 + std::fabs(e[m]) == tst1) break;
        if (m == n) m = n - 1;
        if (m > l) {
            for (;;) {
                if (j == 30) return;
                ++j;
                const int l1 = l + 1;
                const int l2 = l1 + 1;
                double g = d[l];
                double p = (d[l1] - g) / (2.0 * e[l]);
                double r = Pythag(p, 1.0);
                const double sr = p >= 0 ? std::fabs(r) : -std::fabs(r);
                d[l] = e[l] / (p + sr);
                d[l1] = e[l] * (p + sr);
                const double dl1 = d[l1];
                double h = g - d[l];
                for (int i = l2; i < n; ++i) d[i] -= h;
                f += h;
                p = d[m];
                double c = 1, c2 = 1, c3 = 1;
                const double el1 = e[l1];
                double s = 0, s2 = 0;
                for (int i = m - 1; i >= l; --i) {
                    c3 = c2;
                    c2 = c;
                    s2 = s;
                    g = c * e[i];
                    h = c * p;
                    r = Pythag(p, e[i]);
                    e[i + 1] = s * r;
                    s = e[i] / r;
                    c = p / r;
                    p = c * d[i] - s * g;
                    d[i + 1] = h + s * (c * g + s * d[i]);
                }
                p = -s * s2 * c3 * el1 * e[l] / dl1;
                e[l] = s * p;
                d[l] = c * p;
                if (!(tst1 + std::fabs(e[l]) > tst1)) break;
            }
        }
        // Insert the converged value into the ascending list d[0..l].
        const double p = d[l] + f;
        int i = l;
        for (; i > 0; --i) {
            if (p >= d[i - 1]) break;
            d[i] = d[i - 1];
        }
        d[i] = p;
    }
}

}  // namespace

Matrix SymmetricEigenvalues(const Matrix& a) {
    const int n = a.Rows();
    if (n == 0 || a.Cols() != n) return Matrix();
    std::vector<double> V(a.Data(), a.Data() + a.Size());
    std::vector<double> d(n, 0.0), e(n, 0.0);
    Tred2(n, V, d, e);
    Tql1(n, d, e);
    Matrix out(n, 1, 0.0, a.Name());
    for (int i = 0; i < n; ++i) out(i, 0) = d[i];
    return out;
}

}  // namespace zelk
