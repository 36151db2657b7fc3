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

void ClassifyTripleRows(const Matrix& mDist, const RealList& s, int i0, int i1, std::vector<double>& tw,
                        std::vector<double>& vw, std::vector<double>& vc) {
    const int n = mDist.Rows();
    const detail::KernelTable& kern = detail::Kernels();
    i0 = std::max(0, i0);
    i1 = std::min(i1, n - 2);
    // Groups of first records meet each row j together (one reading of the row for the
    // group); the pairs' sums are kept, then added per first record in the order of j.
    constexpr int kGroupRows = 16;
    // Kept from call to call: a run classifies a few rows per step.
    thread_local std::vector<double> pt, pw, pc;
    thread_local std::vector<int> parts;
    for (int g0 = i0; g0 < i1; g0 += kGroupRows) {
        const int g1 = std::min(i1, g0 + kGroupRows);
        const size_t size = static_cast<size_t>(g1 - g0) * n;
        pt.resize(size);
        pw.resize(size);
        pc.resize(size);
        // The middle records in parts of about equal work, run side by side.
        double total = 0;
        for (int j = g0 + 1; j < n - 1; ++j) total += static_cast<double>(std::min(g1, j) - g0) * (n - 1 - j);
        const int numParts = std::max(1, std::min(n, 4 * EngineThreads()));
        parts.assign(1, g0 + 1);
        double done = 0;
        for (int j = g0 + 1; j < n - 1; ++j) {
            done += static_cast<double>(std::min(g1, j) - g0) * (n - 1 - j);
            if (done >= total * static_cast<double>(parts.size()) / numParts && j + 1 < n - 1)
                parts.push_back(j + 1);
        }
        parts.push_back(n - 1);
        // (The lambda runs on other threads too: it takes this thread's buffers by address.)
        double *t = pt.data(), *w = pw.data(), *c = pc.data();
        const int* bound = parts.data();
        ParallelFor(0, static_cast<int>(parts.size()) - 1, [&](int p) {
            kern.classifyPairs(mDist.Data(), s.data(), n, g0, g1, bound[p], bound[p + 1], t, w, c);
        });
        for (int i = g0; i < g1; ++i) {
            double t = 0, w = 0, c = 0;
            const size_t row = static_cast<size_t>(i - g0) * n;
            for (int j = i + 1; j < n - 1; ++j) {
                t += pt[row + j];
                w += pw[row + j];
                c += pc[row + j];
            }
            tw[i] = t;
            vw[i] = w;
            vc[i] = c;
        }
    }
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
