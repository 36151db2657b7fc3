// The weighted distance matrix from the five component matrices, and the classification
// of all record triples against the ultrametric inequality.
#include <cmath>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineDetail.h"
#include "engine/Parallel.h"
#include "engine/TripleKernels.h"

namespace zelk {

void BuildDistMatrix(const Matrix comps[5], int n, Matrix& mDist, DistFailure& failure) {
    failure = DistFailure();
    mDist = Matrix(n, n, 0.0, mDist.Name());
    if (n <= 0) return;
    for (int t = 0; t < 5; ++t) {
        if (comps[t].Rows() != n || comps[t].Cols() != n) continue;  // an absent type adds 0
        const double* c = comps[t].Data();
        double* d = mDist.Data();
        for (size_t x = 0; x < static_cast<size_t>(n) * n; ++x) d[x] += c[x];
    }
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
    for (int i = 0; i < n; ++i) {
        mDist(i, i) = std::sqrt(mDist(i, i) > 0 ? mDist(i, i) : 0.0);
        for (int j = i + 1; j < n; ++j) {
            const double d = std::sqrt(mDist(i, j));
            mDist(i, j) = d;
            mDist(j, i) = d;
        }
    }
}

std::string DistFailureText(const DistFailure& f) {
    if (f.kind == 1) return "Fatal error #2007.10.27.1";
    if (f.kind == 2) return "Fatal error #2007.10.27.2";
    return std::string();
}

void ClassifyTriples(const Matrix& mDist, const RealList& s, double& tripleWeight,
                     double& violWeight, double& violCount) {
    const int n = mDist.Rows();
    tripleWeight = violWeight = violCount = 0;
    if (n < 3) return;
    // One partial sum per first record, added up in record order: the same bits for any
    // number of threads.
    std::vector<double> tw(n, 0.0), vw(n, 0.0), vc(n, 0.0);
    const detail::KernelTable& kern = detail::Kernels();
    ParallelFor(0, n - 2, [&](int i) {
        kern.classifyFirst(mDist.Data(), s.data(), n, i, tw[i], vw[i], vc[i]);
    });
    for (int i = 0; i < n; ++i) {
        tripleWeight += tw[i];
        violWeight += vw[i];
        violCount += vc[i];
    }
}

}  // namespace zelk
