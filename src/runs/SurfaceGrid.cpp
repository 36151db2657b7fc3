// The surface grid: its set-up from the options and the walk shared by the scan and the map.
#include "runs/SurfaceGrid.h"

#include <cmath>

#include "base/Format.h"

namespace zelk {

namespace {

constexpr double kTol = 1e-8;

const char* StepKey(int p) {
    return p == 2 ? "DSURFACEBYW2VARS" : p == 3 ? "DSURFACEBYW3VARS" : "DSURFACEBYW4VARS";
}

// Axis values from lo while <= hi + 1e-8, accumulated by repeated addition. False when
// the axis would exceed `cap` values.
bool BuildAxis(double lo, double hi, double by, long long cap, RealList& out) {
    out.clear();
    if (!(by > 0) || !std::isfinite(lo) || !std::isfinite(hi)) return true;
    if (lo > hi + kTol) return true;
    if ((hi - lo) / by > static_cast<double>(cap)) return false;
    for (double x = lo; x <= hi + kTol; x += by) {
        out.push_back(x);
        if (static_cast<long long>(out.size()) > cap) return false;
    }
    return true;
}

}  // namespace

bool SurfaceGrid::Build(const GridSpec& gridOptions) {
    *this = SurfaceGrid();
    p = gridOptions.p;
    if (p < 2 || p > 4 || !gridOptions.bGridValid) return false;
    by = gridOptions.dSurfaceBy;
    if (!(by > 0)) return false;
    candidates = 1;
    for (int d = 0; d < p - 1; ++d) {
        if (!BuildAxis(gridOptions.dSurfaceMinW[d], gridOptions.dSurfaceMaxW[d], by, kMaxGridCandidates,
                       axis[d])) {
            tooLarge = true;
            candidates = kMaxGridCandidates + 1;
            return true;
        }
        candidates *= static_cast<long long>(axis[d].size());
        if (candidates > kMaxGridCandidates) {
            tooLarge = true;
            return true;
        }
    }
    if (p == 2) {
        lastMin = gridOptions.dSurfaceMinW[1];
        lastMax = gridOptions.dSurfaceMaxW[1];
    } else if (p == 3) {
        lastMin = gridOptions.dSurfaceMinW[2];
        lastMax = gridOptions.dSurfaceMaxW[2];
    } else {
        lastMin = gridOptions.dSurfaceMinWLast;
        lastMax = gridOptions.dSurfaceMaxWLast;
    }
    return true;
}

bool SurfaceGrid::LastInRange(double wLast) const {
    return wLast >= lastMin - kTol && wLast <= lastMax + kTol;
}

bool SurfaceGrid::Point(long long c, double* w) const {
    long long idx[3] = {0, 0, 0};
    for (int d = p - 2; d >= 0; --d) {
        long long n = static_cast<long long>(axis[d].size());
        idx[d] = c % n;
        c /= n;
    }
    double sum = 0;
    for (int d = 0; d < p - 1; ++d) {
        w[d] = axis[d][static_cast<size_t>(idx[d])];
        sum += w[d];
    }
    w[p - 1] = p - sum;
    return LastInRange(w[p - 1]);
}

long long SurfaceGrid::CountValid(long long limit) const {
    if (tooLarge) return limit + 1;
    long long count = 0;
    double w[4];
    for (long long c = 0; c < candidates; ++c) {
        if (Point(c, w) && ++count > limit) break;
    }
    return count;
}

long long SurfaceGrid::CountScanned(long long limit) const {
    if (p != 2) return CountValid(limit);
    if (tooLarge) return limit + 1;
    long long count = 0;
    double w[4];
    while (count < candidates && count <= limit && Point(count, w)) ++count;
    return count;
}

GridSpec MakeGridSpec(int p, const double bySteps[3], const double minW[3], const double maxW[3]) {
    GridSpec g;
    g.p = p;
    if (p < 2 || p > 4) return g;

    g.dSurfaceBy = bySteps[p - 2];
    if (!(g.dSurfaceBy > 0)) {
        // No grid for a step of 0 or below: the scan refuses, the map shows no grid.
        g.sSurfaceRefusal = Format(
            "The surface grid step %s=%.8f is not positive, so no surface can be scanned.\n"
            "Set a positive step in ZELK.ini and open the data file again.",
            StepKey(p), g.dSurfaceBy);
        return g;
    }

    // The bounds in force start from the options every time, so that one data set's
    // defaults never leak into the next.
    for (int d = 0; d < 3; ++d) {
        g.dSurfaceMinW[d] = minW[d];
        g.dSurfaceMaxW[d] = maxW[d];
    }
    if (p == 2) g.dSurfaceMinW[1] = g.dSurfaceMaxW[1] = 0;
    if (p <= 3) g.dSurfaceMinW[2] = g.dSurfaceMaxW[2] = 0;
    for (int d = 0; d < 3; ++d) {
        if (std::fabs(g.dSurfaceMinW[d]) < kTol && std::fabs(g.dSurfaceMaxW[d]) < kTol) {
            g.dSurfaceMinW[d] = g.dSurfaceBy;
            g.dSurfaceMaxW[d] = p - g.dSurfaceBy;
        }
    }
    g.dSurfaceMinWLast = g.dSurfaceBy;
    g.dSurfaceMaxWLast = p;
    g.bGridValid = 1;

    SurfaceGrid grid;
    grid.Build(g);
    if (grid.tooLarge || grid.CountValid() > kMaxGridPoints) {
        g.bGridValid = 0;
        g.sSurfaceRefusal = Format(
            "The surface grid with step %s=%.8f has too many points (more than %lld), so no "
            "surface can be scanned.\nSet a larger step in ZELK.ini and open the data file "
            "again.",
            StepKey(p), g.dSurfaceBy, kMaxGridPoints);
    }
    return g;
}

}  // namespace zelk
