// The weighted distance matrix from the squared distances, and the classification
// of all record triples against the ultrametric inequality.
#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineDetail.h"
#include "engine/Parallel.h"
#include "engine/TripleKernels.h"

namespace zelk {

void BuildDistMatrix(int n, Matrix& mDist, DistFailure& failure) {
    failure = DistFailure();
    if (n <= 0) return;
    for (int i = 0; i < n; ++i)
        if (!(std::fabs(mDist(i, i)) <= 1e-8)) {
            failure.kind = 1;
            failure.i = failure.j = i;
            failure.value = mDist(i, i);
            return;
        }
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            double& x = mDist(i, j);
            if (x < 0 && x > -1e-8) {
                x = 0;
            } else if (!(x >= 0)) {
                failure.kind = 2;
                failure.i = i;
                failure.j = j;
                failure.value = x;
                return;
            }
        }
    ParallelFor(0, n, [&](int i) {
        double* row = mDist.Data() + static_cast<size_t>(i) * n;
        row[i] = std::sqrt(row[i] > 0 ? row[i] : 0.0);
        for (int j = i + 1; j < n; ++j) row[j] = std::sqrt(row[j]);
    });
    // The lower triangle mirrors the upper one, in tiles (the columns of a large matrix lie
    // far apart).
    constexpr int kTile = 64;
    const int tiles = (n + kTile - 1) / kTile;
    ParallelFor(0, tiles, [&](int tj) {
        double* d = mDist.Data();
        for (int ti = 0; ti <= tj; ++ti)
            for (int i = ti * kTile; i < std::min(n, (ti + 1) * kTile); ++i)
                for (int j = std::max(i + 1, tj * kTile); j < std::min(n, (tj + 1) * kTile); ++j)
                    d[static_cast<size_t>(j) * n + i] = d[static_cast<size_t>(i) * n + j];
    });
}

std::string DistFailureText(const DistFailure& f) {
    if (f.kind == 1) return "Fatal error #2007.10.27.1";
    if (f.kind == 2) return "Fatal error #2007.10.27.2";
    return std::string();
}

void ClassifyTripleRows(const Matrix& mDist, const RealList& s, int i0, int i1, std::vector<double>& tw,
                        std::vector<double>& vw, std::vector<double>& vc) {
    const int n = mDist.Rows();
    const detail::KernelTable& kern = detail::Kernels();
    ParallelFor(std::max(0, i0), std::min(i1, n - 2), [&](int i) {
        kern.classifyFirst(mDist.Data(), s.data(), n, i, tw[i], vw[i], vc[i]);
    });
}

void ClassifyTriples(const Matrix& mDist, const RealList& s, double& tripleWeight,
                     double& violWeight, double& violCount) {
    const int n = mDist.Rows();
    tripleWeight = violWeight = violCount = 0;
    if (n < 3) return;
    // One partial sum per first record, added up in record order: the same bits for any
    // number of threads and any grouping of the rows.
    std::vector<double> tw(n, 0.0), vw(n, 0.0), vc(n, 0.0);
    ClassifyTripleRows(mDist, s, 0, n - 2, tw, vw, vc);
    for (int i = 0; i < n; ++i) {
        tripleWeight += tw[i];
        violWeight += vw[i];
        violCount += vc[i];
    }
}

}  // namespace zelk
