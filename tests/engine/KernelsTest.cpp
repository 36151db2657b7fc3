// The inverse, the symmetric eigenvalues, the covariance estimates, the output scaling and
// the gradient in w.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/Engine.h"

using namespace zelk;

namespace {

Matrix RandomMatrix(int n, unsigned seed, bool symmetric, double diag) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    Matrix a(n, n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) a(i, j) = u(rng);
    if (symmetric)
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < i; ++j) a(i, j) = a(j, i);
    for (int i = 0; i < n; ++i) a(i, i) += diag;
    return a;
}

double Det(Matrix a) {  // Gaussian elimination with partial pivoting, test only
    const int n = a.Rows();
    double det = 1;
    for (int c = 0; c < n; ++c) {
        int piv = c;
        for (int r = c + 1; r < n; ++r)
            if (std::fabs(a(r, c)) > std::fabs(a(piv, c))) piv = r;
        if (piv != c) {
            for (int k = 0; k < n; ++k) std::swap(a(c, k), a(piv, k));
            det = -det;
        }
        det *= a(c, c);
        for (int r = c + 1; r < n; ++r) {
            const double f = a(r, c) / a(c, c);
            for (int k = c; k < n; ++k) a(r, k) -= f * a(c, k);
        }
    }
    return det;
}

}  // namespace

TEST(Inverse, OneByOneIsTheReciprocal) {
    Matrix a(1, 1, 4.0);
    InvertInPlace(a);
    EXPECT_EQ(a(0, 0), 0.25);
    Matrix z(1, 1, 0.0);
    InvertInPlace(z);  // a zero pivot is not detected
    EXPECT_TRUE(std::isinf(z(0, 0)));
    Matrix e;
    InvertInPlace(e);
    EXPECT_TRUE(e.Empty());
}

TEST(Inverse, RandomWellConditionedTimesInverseIsIdentity) {
    for (int n : {2, 3, 5, 8, 12}) {
        const Matrix a = RandomMatrix(n, 100 + n, false, n);
        Matrix inv = a;
        InvertInPlace(inv);
        const Matrix i1 = Mul(a, inv), i2 = Mul(inv, a);
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                EXPECT_NEAR(i1(r, c), r == c ? 1.0 : 0.0, 1e-10) << n;
                EXPECT_NEAR(i2(r, c), r == c ? 1.0 : 0.0, 1e-10) << n;
            }
    }
    // A known 2 x 2 inverse.
    Matrix b(2, 2, 0.0);
    b(0, 0) = 4, b(0, 1) = 7, b(1, 0) = 2, b(1, 1) = 6;
    InvertInPlace(b);
    EXPECT_NEAR(b(0, 0), 0.6, 1e-15);
    EXPECT_NEAR(b(0, 1), -0.7, 1e-15);
    EXPECT_NEAR(b(1, 0), -0.2, 1e-15);
    EXPECT_NEAR(b(1, 1), 0.4, 1e-15);
}

TEST(Eigenvalues, DiagonalComesBackAscending) {
    Matrix d(4, 4, 0.0);
    d(0, 0) = 3, d(1, 1) = -1, d(2, 2) = 7, d(3, 3) = 0.5;
    const Matrix ev = SymmetricEigenvalues(d);
    ASSERT_EQ(ev.Rows(), 4);
    ASSERT_EQ(ev.Cols(), 1);
    const double want[] = {-1, 0.5, 3, 7};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(ev(i, 0), want[i], 1e-14);
    EXPECT_EQ(SymmetricEigenvalues(Matrix(1, 1, -2.5))(0, 0), -2.5);
    EXPECT_TRUE(SymmetricEigenvalues(Matrix()).Empty());
}

TEST(Eigenvalues, KnownSpectra) {
    Matrix a(2, 2, 0.0);
    a(0, 0) = 2, a(0, 1) = a(1, 0) = 1, a(1, 1) = 2;  // 1 and 3
    Matrix ev = SymmetricEigenvalues(a);
    EXPECT_NEAR(ev(0, 0), 1, 1e-14);
    EXPECT_NEAR(ev(1, 0), 3, 1e-14);
    Matrix b(3, 3, 0.0);  // tridiagonal 2, -1: 2 - sqrt2, 2, 2 + sqrt2
    for (int i = 0; i < 3; ++i) b(i, i) = 2;
    b(0, 1) = b(1, 0) = b(1, 2) = b(2, 1) = -1;
    ev = SymmetricEigenvalues(b);
    EXPECT_NEAR(ev(0, 0), 2 - std::sqrt(2.0), 1e-14);
    EXPECT_NEAR(ev(1, 0), 2, 1e-14);
    EXPECT_NEAR(ev(2, 0), 2 + std::sqrt(2.0), 1e-14);
}

TEST(Eigenvalues, RandomSymmetricMatchTraceAndDeterminant) {
    for (int n : {2, 3, 4, 6, 9}) {
        const Matrix a = RandomMatrix(n, 7 * n, true, 0.0);
        const Matrix ev = SymmetricEigenvalues(a);
        double tr = 0, sum = 0, prod = 1;
        for (int i = 0; i < n; ++i) {
            tr += a(i, i);
            sum += ev(i, 0);
            prod *= ev(i, 0);
            if (i > 0) {
                EXPECT_LE(ev(i - 1, 0), ev(i, 0));
            }
        }
        EXPECT_NEAR(sum, tr, 1e-12);
        EXPECT_NEAR(prod, Det(a), 1e-11);
    }
}

TEST(Eigenvalues, NonFiniteInputEndsWithoutHanging) {
    Matrix a(3, 3, 1.0);
    a(0, 1) = a(1, 0) = NAN;
    const Matrix ev = SymmetricEigenvalues(a);
    EXPECT_EQ(ev.Rows(), 3);
    Matrix b(2, 2, 0.0);
    b(0, 1) = b(1, 0) = INFINITY;
    EXPECT_EQ(SymmetricEigenvalues(b).Rows(), 2);
}

TEST(Covariance, CovVAndCovWByTheDeltaMethod) {
    // Two free parameters, four records with unit weights.
    Matrix H(2, 2, 0.0);
    H(0, 0) = 4, H(0, 1) = H(1, 0) = 1, H(1, 1) = 3;
    Matrix g(2, 4, 0.0);
    const double gv[2][4] = {{1, -1, 2, 0}, {0.5, 0.5, -1, 2}};
    for (int a = 0; a < 2; ++a)
        for (int r = 0; r < 4; ++r) g(a, r) = gv[a][r];
    const RealList s = {1, 1, 1, 1};
    const double T = 4, W = 2;
    // Independently: mean, scatter / (n - 1) * 9 * T^2, sandwich with (H/W)^-1.
    double mean[2] = {0, 0};
    for (int a = 0; a < 2; ++a) {
        for (int r = 0; r < 4; ++r) mean[a] += gv[a][r] / 4;
    }
    double S[2][2] = {{0, 0}, {0, 0}};
    for (int r = 0; r < 4; ++r)
        for (int a = 0; a < 2; ++a)
            for (int b = 0; b < 2; ++b) S[a][b] += (gv[a][r] - mean[a]) * (gv[b][r] - mean[b]);
    for (auto& row : S)
        for (double& x : row) x *= 9.0 / 3.0 * T * T;  // sum of weights - 1 = n - 1 = 3
    const double det = (4.0 * 3 - 1) / (W * W);
    const double Ai[2][2] = {{3 / W / det, -1 / W / det}, {-1 / W / det, 4 / W / det}};
    const double f = (1 / W) / std::sqrt(4.0);
    const Matrix cov = CovarianceV(H, g, s, T, W);
    ASSERT_EQ(cov.Rows(), 2);
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b) {
            double x = 0;
            for (int k = 0; k < 2; ++k)
                for (int l = 0; l < 2; ++l) x += Ai[a][k] * S[k][l] * Ai[l][b];
            EXPECT_NEAR(cov(a, b), x * f * f, 1e-12);
        }
    // Cov(w) = J Cov(v) J' with the Jacobian of w = p v^2 / V.
    const Params prm = ParamsFromWeights({0.5, 1.5, 1.0});
    const Matrix cw = CovarianceW(cov, prm);
    ASSERT_EQ(cw.Rows(), 3);
    const double h = 1e-6;
    Matrix J(3, 2, 0.0);
    for (int m = 0; m < 2; ++m) {
        Params pp = prm, pm = prm;
        pp.v[m] += h, pm.v[m] -= h;
        pp.V = pm.V = 0;
        for (double x : pp.v) pp.V += x * x;
        for (double x : pm.v) pm.V += x * x;
        const RealList wp = WeightsFromParams(pp), wm = WeightsFromParams(pm);
        for (int k = 0; k < 3; ++k) J(k, m) = (wp[k] - wm[k]) / (2 * h);
    }
    const Matrix want = Mul(J, cov, J.Transpose());
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) EXPECT_NEAR(cw(a, b), want(a, b), 1e-8);
    // The rows of Cov(w) sum to zero: the weights sum to p.
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(cw(a, 0) + cw(a, 1) + cw(a, 2), 0.0, 1e-14);
}

TEST(Covariance, WithoutViolationsTheEstimateIsNotSet) {
    Matrix H(1, 1, 0.0);
    const Matrix cov = CovarianceV(H, Matrix(1, 3, 0.0), {1, 1, 1}, 1, 0);
    ASSERT_EQ(cov.Rows(), 1);
    EXPECT_EQ(cov(0, 0), kNotSet);
    const Matrix cw = CovarianceW(cov, ParamsFromWeights({1, 1}));
    EXPECT_EQ(cw(1, 1), kNotSet);
}

TEST(Covariance, ScaleExponent) {
    EXPECT_EQ(CovScaleExponent(0.5), 1);
    EXPECT_EQ(CovScaleExponent(0.01), 2);
    EXPECT_EQ(CovScaleExponent(0.0123), 2);
    EXPECT_EQ(CovScaleExponent(3e-7), 7);
    EXPECT_EQ(CovScaleExponent(1.0), 0);
    EXPECT_EQ(CovScaleExponent(250.0), 0);
    EXPECT_EQ(CovScaleExponent(0.0), 0);
    EXPECT_EQ(CovScaleExponent(-0.2), 0);
    EXPECT_EQ(CovScaleExponent(NAN), 0);
    EXPECT_EQ(CovScaleExponent(INFINITY), 0);
}

TEST(GradientInW, ChainRuleThroughV) {
    // L(v) = sum c_m v_m for the free v; in w: v_m = sqrt(w_m / w_p).
    const RealList w = {0.5, 1.5, 1.0};
    const RealList c = {0.3, -0.7};
    const RealList gw = GradientInW(c, w);
    ASSERT_EQ(gw.size(), 3u);
    auto L = [&](const RealList& x) { return c[0] * std::sqrt(x[0] / x[2]) + c[1] * std::sqrt(x[1] / x[2]); };
    const double h = 1e-6;
    RealList wp = w, wm = w;
    wp[2] += h, wm[2] -= h;
    EXPECT_NEAR(gw[2], (L(wp) - L(wm)) / (2 * h), 1e-8);
    for (int k = 0; k < 2; ++k) {
        RealList a = w, b = w;
        a[k] += h, a[2] -= h;
        b[k] -= h, b[2] += h;
        EXPECT_NEAR(gw[k], (L(a) - L(b)) / (2 * h), 1e-8);
    }
}
