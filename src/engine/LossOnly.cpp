// The loss alone at given weights, for the surface scan: all pairs, the distance matrix and
// one pass over the triples, without derivatives.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineDetail.h"
#include "engine/Parallel.h"
#include "engine/TripleKernels.h"

namespace zelk {

namespace {

// The distances of all pairs at prm into dist (the upper triangle, rows of `stride`), with
// the same formulas as the pair components but with the per-variable factors computed once,
// and the distance-matrix checks (a tiny negative square becomes 0, a larger one fails).
// The continuous and ordinal terms run over a row at a time from the columns of the data.
// False on the type-A divide by zero.
bool AllPairs(const Problem& pb, const Params& prm, int stride, double* dist, DistFailure& fail,
              bool& finite) {
    const int n = pb.n, p = pb.p;
    const double V = prm.V, sV = std::sqrt(V);
    thread_local std::vector<double> f, cols, part;
    f.assign(p, 0.0);  // C, O: v^2 / (e^2 V); N, S, A: v / e
    for (int k = 0; k < p; ++k) f[k] = prm.v[k] / pb.e[k];
    for (int t = 0; t < 2; ++t)
        for (int h = 0; h < pb.count[t]; ++h) {
            const int k = pb.first[t] + h;
            f[k] = f[k] * f[k] / V;
        }
    // The C and O values by variable (one column of n after another).
    int numCO = 0;
    for (int t = 0; t < 2; ++t)
        if (pb.data[t]) numCO += pb.count[t];
    cols.resize(static_cast<size_t>(numCO) * n);
    part.resize(n);
    {
        int at = 0;
        for (int t = 0; t < 2; ++t) {
            if (!pb.data[t]) continue;
            for (int h = 0; h < pb.count[t]; ++h, ++at)
                for (int r = 0; r < n; ++r) cols[static_cast<size_t>(at) * n + r] = (*pb.data[t])(r, h);
        }
    }
    const bool others = (pb.count[2] > 0 && pb.data[2]) || (pb.count[3] > 0 && pb.data[3]) ||
                        (pb.count[4] > 0 && pb.data[4]);
    const double KN = pb.nN * pb.nN * V, KS = pb.nS * V, nA = pb.nA;
    for (int i = 0; i < n; ++i) {
        double* __restrict row = dist + static_cast<size_t>(i) * stride;
        double* __restrict pt = part.data();
        for (int j = i + 1; j < n; ++j) row[j] = 0;
        int at = 0;
        for (int t = 0; t < 2; ++t) {
            if (!pb.data[t] || pb.count[t] == 0) continue;
            for (int j = i + 1; j < n; ++j) pt[j] = 0;
            for (int h = 0; h < pb.count[t]; ++h, ++at) {
                const double* __restrict c = cols.data() + static_cast<size_t>(at) * n;
                const double fh = f[pb.first[t] + h], xi = c[i];
                for (int j = i + 1; j < n; ++j) {
                    const double r = xi - c[j];
                    pt[j] += fh * r * r;
                }
            }
            for (int j = i + 1; j < n; ++j) row[j] += pt[j];
        }
        if (others)
            for (int j = i + 1; j < n; ++j) {
                double sum = row[j];
                for (int t = 2; t < 5; ++t) {
                    const int cnt = pb.count[t];
                    if (cnt == 0 || !pb.data[t]) continue;
                    const double* xi = pb.data[t]->Row(i);
                    const double* xj = pb.data[t]->Row(j);
                    const double* ft = f.data() + pb.first[t];
                    if (t <= 3) {
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
                row[j] = sum;
            }
        for (int j = i + 1; j < n; ++j) {
            double sum = row[j];
            if (sum < 0 && sum > -1e-8) sum = 0;
            if (!(sum >= 0) && fail.kind == 0) {
                fail.kind = 2;
                fail.i = i;
                fail.j = j;
                fail.value = sum;
            }
            row[j] = std::sqrt(sum);
            finite = finite && sum < std::numeric_limits<double>::infinity();
        }
    }
    return true;
}

}  // namespace

void EvaluateLossOnly(const Problem& pb, const RealList& w, bool deSoete, LossOnly& out) {
    out = LossOnly();
    const int n = pb.n;
    const Params prm = ParamsFromWeights(w);
    // The upper triangle by rows, padded with zeros for the kernel's last lanes; kept per
    // thread (the surface scan evaluates its points side by side).
    const int stride = (n + detail::kBlock - 1) / detail::kBlock * detail::kBlock + detail::kBlock;
    thread_local std::vector<double> dist, s;
    // Only the padding needs zeros: every distance the kernel reads is written below.
    dist.resize(static_cast<size_t>(n) * stride);
    for (int r = 0; r < n; ++r)
        std::fill(dist.begin() + static_cast<std::ptrdiff_t>(r) * stride + n,
                  dist.begin() + static_cast<std::ptrdiff_t>(r + 1) * stride, 0.0);
    s.assign(stride, 0.0);
    for (int r = 0; r < n; ++r) s[r] = pb.s[r];
    DistFailure fail;
    bool finite = true;
    if (!AllPairs(pb, prm, stride, dist.data(), fail, finite)) {
        out.dropped = true;
        return;
    }
    if (fail.kind != 0) {
        out.dist = fail;
        return;
    }
    if (deSoete) {
        double sum = 0;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                const double d = dist[static_cast<size_t>(i) * stride + j];
                sum += d * d;
            }
        out.normaliser = sum;
    } else {
        double prod = 1;
        for (double x : w) prod *= x;
        out.normaliser = std::pow(prod, pb.penaltyPow);
    }
    std::vector<double> rowSum(n > 0 ? n : 1, 0.0);
    const detail::KernelTable& kern = detail::Kernels();
    const double* d = dist.data();
    const double* sp = s.data();
    // Small sets (a surface point of 50 records) are faster on one thread.
    if (n >= 150) {
        ParallelFor(0, n - 2, [&](int i) { rowSum[i] = kern.lossFirst(d, stride, sp, n, i, finite); });
    } else {
        for (int i = 0; i < n - 2; ++i) rowSum[i] = kern.lossFirst(d, stride, sp, n, i, finite);
    }
    double total = 0;
    for (int i = 0; i < n; ++i) total += rowSum[i];
    out.Lu = total / out.normaliser;
}

}  // namespace zelk
