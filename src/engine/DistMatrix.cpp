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

bool CheckDistDiagonal(int n, const Matrix& mDist, DistFailure& failure) {
    failure = DistFailure();
    for (int i = 0; i < n; ++i)
        if (!(std::fabs(mDist(i, i)) <= 1e-8)) {
            failure.kind = 1;
            failure.i = failure.j = i;
            failure.value = mDist(i, i);
            return false;
        }
    return true;
}

bool BuildDistRows(int n, Matrix& mDist, int r0, int r1, DistFailure& failure) {
    failure = DistFailure();
    r1 = std::min(r1, n);
    // The rows' squared distances: tiny negatives clamped to 0, the first other negative (in
    // row order) refused.
    for (int i = r0; i < r1; ++i)
        for (int j = i + 1; j < n; ++j) {
            double& x = mDist(i, j);
            if (x < 0 && x > -1e-8) {
                x = 0;
            } else if (!(x >= 0)) {
                failure.kind = 2;
                failure.i = i;
                failure.j = j;
                failure.value = x;
                return false;
            }
        }
    ParallelFor(r0, r1, [&](int i) {
        double* row = mDist.Data() + static_cast<size_t>(i) * n;
        row[i] = std::sqrt(row[i] > 0 ? row[i] : 0.0);
        for (int j = i + 1; j < n; ++j) row[j] = std::sqrt(row[j]);
    });
    // The lower triangle mirrors the rows, in tiles (the columns of a large matrix lie far
    // apart): the rows' part of column i goes to row j > i, one tile of rows j per task.
    constexpr int kTile = kDistTileRows;
    const int tiles = (n + kTile - 1) / kTile;
    ParallelFor(r0 / kTile, tiles, [&](int tj) {
        double* d = mDist.Data();
        for (int i = r0; i < r1; ++i)
            for (int j = std::max(i + 1, tj * kTile); j < std::min(n, (tj + 1) * kTile); ++j)
                d[static_cast<size_t>(j) * n + i] = d[static_cast<size_t>(i) * n + j];
    });
    return true;
}

void BuildDistMatrix(int n, Matrix& mDist, DistFailure& failure) {
    if (n <= 0 || !CheckDistDiagonal(n, mDist, failure)) return;
    for (int r = 0; r < n; r += kDistTileRows)
        if (!BuildDistRows(n, mDist, r, r + kDistTileRows, failure)) return;
}

std::string DistFailureText(const DistFailure& f) {
    if (f.kind == 1) return "Fatal error #2007.10.27.1";
    if (f.kind == 2) return "Fatal error #2007.10.27.2";
    return std::string();
}

void TripleClassifier::Begin(int n) {
    n_ = n;
    g0_ = 0;
    j_ = 0;
}

bool TripleClassifier::Done() const { return g0_ >= n_ - 2; }

bool TripleClassifier::Step(const Matrix& mDist, const RealList& s, double triples, std::vector<double>& tw,
                            std::vector<double>& vw, std::vector<double>& vc) {
    const int n = n_;
    if (Done()) return true;
    const int g0 = g0_, g1 = std::min(n - 2, g0 + kGroupRows);
    const size_t size = static_cast<size_t>(g1 - g0) * n;
    if (j_ == 0) {
        j_ = g0 + 1;
        pt_.resize(size);
        pw_.resize(size);
        pc_.resize(size);
    }
    auto middleTriples = [&](int j) { return detail::MiddleTriples(n, g0, g1, j); };
    // This step's middle records: at least one, about `triples` triples.
    const int ja = j_;
    int jb = ja;
    double total = 0;
    while (jb < n - 1 && (jb == ja || total + middleTriples(jb) <= triples)) total += middleTriples(jb++);
    // In parts of about equal work, run side by side.
    const int numParts = std::max(1, std::min(jb - ja, 4 * EngineThreads()));
    parts_.assign(1, ja);
    double sum = 0;
    for (int j = ja; j < jb; ++j) {
        sum += middleTriples(j);
        if (sum >= total * static_cast<double>(parts_.size()) / numParts && j + 1 < jb) parts_.push_back(j + 1);
    }
    parts_.push_back(jb);
    const detail::KernelTable& kern = detail::Kernels();
    double *t = pt_.data(), *w = pw_.data(), *c = pc_.data();
    ParallelFor(0, static_cast<int>(parts_.size()) - 1, [&](int p) {
        kern.classifyPairs(mDist.Data(), s.data(), n, g0, g1, parts_[p], parts_[p + 1], t, w, c);
    });
    j_ = jb;
    if (j_ < n - 1) return false;
    // The group is done: its pairs' sums added per first record in the order of j.
    for (int i = g0; i < g1; ++i) {
        double st = 0, sv = 0, sc = 0;
        const size_t row = static_cast<size_t>(i - g0) * n;
        for (int j = i + 1; j < n - 1; ++j) {
            st += pt_[row + j];
            sv += pw_[row + j];
            sc += pc_[row + j];
        }
        tw[i] = st;
        vw[i] = sv;
        vc[i] = sc;
    }
    g0_ = g1;
    j_ = 0;
    return Done();
}

void ClassifyTriples(const Matrix& mDist, const RealList& s, double& tripleWeight,
                     double& violWeight, double& violCount) {
    const int n = mDist.Rows();
    tripleWeight = violWeight = violCount = 0;
    if (n < 3) return;
    // One partial sum per first record, added up in record order: the same bits for any
    // number of threads and any grouping of the rows.
    std::vector<double> tw(n, 0.0), vw(n, 0.0), vc(n, 0.0);
    TripleClassifier classifier;
    classifier.Begin(n);
    while (!classifier.Step(mDist, s, 1e300, tw, vw, vc)) {
    }
    for (int i = 0; i < n; ++i) {
        tripleWeight += tw[i];
        violWeight += vw[i];
        violCount += vc[i];
    }
}

}  // namespace zelk
