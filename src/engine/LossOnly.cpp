// The loss alone at given weights, for the surface scan: all pairs, the distance matrix and
// one pass over the triples, without derivatives.
#include <cmath>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineDetail.h"

namespace zelk {

void EvaluateLossOnly(const Problem& pb, const RealList& w, bool deSoete, LossOnly& out) {
    out = LossOnly();
    const int n = pb.n;
    const Params prm = ParamsFromWeights(w);
    Matrix comps[5];
    for (int i = 0; i + 1 < n; ++i)
        if (!ComputePairRow(pb, prm, i, comps)) {
            out.dropped = true;
            return;
        }
    Matrix dist;
    BuildDistMatrix(comps, n, dist, out.dist);
    if (out.dist.kind != 0) return;

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
    std::vector<double> part(n > 0 ? n : 1, 0.0);
    const bool parallel = n >= 120;
#pragma omp parallel for schedule(dynamic, 1) if (parallel)
    for (int i = 0; i < n - 2; ++i) {
        const double* di = dist.Row(i);
        double sum = 0;
        for (int j = i + 1; j < n - 1; ++j) {
            const double* dj = dist.Row(j);
            const double dij = di[j];
            const double sij = pb.s[i] * pb.s[j];
            for (int k = j + 1; k < n; ++k) {
                const double dik = di[k], djk = dj[k];
                if (!detail::Violates(dij, dik, djk)) continue;
                const int sm = detail::Smallest(dij, dik, djk);
                double da, db;
                if (sm == 0) {
                    da = dik, db = djk;
                } else if (sm == 1) {
                    da = dij, db = djk;
                } else {
                    da = dij, db = dik;
                }
                sum += sij * pb.s[k] * (da - db) * (da - db);
            }
        }
        part[i] = sum;
    }
    double total = 0;
    for (int i = 0; i < n; ++i) total += part[i];
    out.Lu = total / out.normaliser;
}

}  // namespace zelk
