// The loss alone at given weights, for the surface scan: all pairs, the distance matrix and
// one pass over the triples, without derivatives.
#include <cmath>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineDetail.h"
#include "engine/Parallel.h"
#include "engine/TripleKernels.h"

namespace zelk {

namespace {

// Squared distances of all pairs at prm into d2 (n x n, upper triangle), with the same
// formulas as the pair components but with the per-variable factors computed once.
// False on the type-A divide by zero.
bool AllPairs(const Problem& pb, const Params& prm, std::vector<double>& d2) {
    const int n = pb.n, p = pb.p;
    const double V = prm.V, sV = std::sqrt(V);
    std::vector<double> f(p, 0.0);  // C, O: v^2 / (e^2 V); N, S, A: v / e
    for (int k = 0; k < p; ++k) f[k] = prm.v[k] / pb.e[k];
    for (int t = 0; t < 2; ++t)
        for (int h = 0; h < pb.count[t]; ++h) {
            const int k = pb.first[t] + h;
            f[k] = f[k] * f[k] / V;
        }
    const double KN = pb.nN * pb.nN * V, KS = pb.nS * V, nA = pb.nA;
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            double sum = 0;
            for (int t = 0; t < 5; ++t) {
                const int cnt = pb.count[t];
                if (cnt == 0 || !pb.data[t]) continue;
                const double* xi = pb.data[t]->Row(i);
                const double* xj = pb.data[t]->Row(j);
                const double* ft = f.data() + pb.first[t];
                if (t <= 1) {
                    double c = 0;
                    for (int h = 0; h < cnt; ++h) {
                        const double r = xi[h] - xj[h];
                        c += ft[h] * r * r;
                    }
                    sum += c;
                } else if (t <= 3) {
                    double a = 0;
                    for (int h = 0; h < cnt; ++h)
                        if (std::fabs(xi[h] - xj[h]) >= 1e-9) a += ft[h];
                    sum += a * a / (t == 2 ? KN : KS);
                } else {
                    double a = 0, b = 0;
                    for (int h = 0; h < cnt; ++h) {
                        if (std::fabs(xi[h] - xj[h]) >= 1e-9) {
                            a += ft[h];
                        } else if (std::fabs(xi[h]) < 1e-9 && std::fabs(xj[h]) < 1e-9) {
                            b += ft[h];
                        }
                    }
                    const double den = nA * nA - 2.0 * nA * b / sV + b * b / V;
                    if (std::fabs(den) < 1e-8) return false;
                    sum += (a * a / V) / den;
                }
            }
            d2[static_cast<size_t>(i) * n + j] = sum;
        }
    return true;
}

}  // namespace

void EvaluateLossOnly(const Problem& pb, const RealList& w, bool deSoete, LossOnly& out) {
    out = LossOnly();
    const int n = pb.n;
    const Params prm = ParamsFromWeights(w);
    std::vector<double> d2(static_cast<size_t>(n) * n, 0.0);
    if (!AllPairs(pb, prm, d2)) {
        out.dropped = true;
        return;
    }
    // The checks of the distance matrix: a tiny negative entry becomes 0, a larger one fails.
    Matrix dist(n, n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            double x = d2[static_cast<size_t>(i) * n + j];
            if (x < 0 && x > -1e-8) x = 0;
            if (!(x >= 0)) {
                out.dist.kind = 2;
                out.dist.i = i;
                out.dist.j = j;
                out.dist.value = x;
                return;
            }
            dist(i, j) = dist(j, i) = std::sqrt(x);
        }

    if (deSoete) {
        double sum = 0;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) sum += dist(i, j) * dist(i, j);
        out.normaliser = sum;
    } else {
        double prod = 1;
        for (double x : w) prod *= x;
        out.normaliser = std::pow(prod, pb.penaltyPow);
    }
    std::vector<double> rowSum(n > 0 ? n : 1, 0.0);
    const detail::KernelTable& kern = detail::Kernels();
    // Small sets (a surface point of 50 records) are faster on one thread.
    if (n >= 150) {
        ParallelFor(0, n - 2, [&](int i) { rowSum[i] = kern.lossFirst(dist.Data(), pb.s.data(), n, i); });
    } else {
        for (int i = 0; i < n - 2; ++i) rowSum[i] = kern.lossFirst(dist.Data(), pb.s.data(), n, i);
    }
    double total = 0;
    for (int i = 0; i < n; ++i) total += rowSum[i];
    out.Lu = total / out.normaliser;
}

}  // namespace zelk
