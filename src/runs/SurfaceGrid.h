// The regular grid of weight vectors walked by the surface scan and shown by the map
// before any scan: the first p-1 weights run over their axes (values accumulated by
// repeated addition of the step), the last weight is p minus their sum and must lie in
// its range. Candidates are numbered in lexicographic order, w1 outermost.
#pragma once

#include <string>

#include "base/Lists.h"

namespace zelk {

// Grids larger than these are refused (the scan and the map would exhaust time and
// memory long before they finished).
constexpr long long kMaxGridCandidates = 100000000;
constexpr long long kMaxGridPoints = 5000000;

// The grid in force for a loaded data set: the step and the bounds of each axis.
struct GridSpec {
    int p = 0;
    double dSurfaceBy = 0;
    double dSurfaceMinW[3] = {0, 0, 0}, dSurfaceMaxW[3] = {0, 0, 0};
    double dSurfaceMinWLast = 0, dSurfaceMaxWLast = 0;
    int bGridValid = 0;            // 0 when there is no grid to scan
    std::string sSurfaceRefusal;   // why not (empty when there is a grid)
};

// The grid of p variables with the options' step and bounds (axes 1..3 at [0..2]); a
// step of 0 or below, or a grid too large to scan, leaves it invalid with the refusal.
GridSpec MakeGridSpec(int p, const double bySteps[3], const double minW[3], const double maxW[3]);

struct SurfaceGrid {
    int p = 0;
    double by = 0;
    RealList axis[3];  // values of w1 .. w(p-1)
    double lastMin = 0, lastMax = 0;
    long long candidates = 0;
    bool tooLarge = false;

    // False when there is no grid: p outside 2..4, or an invalid gridOptions.
    bool Build(const GridSpec& gridOptions);
    // The p weights of candidate c; true when the point is valid (last weight in range).
    bool Point(long long c, double* w) const;
    bool LastInRange(double wLast) const;
    // Valid points, counting stops once `limit` is passed.
    long long CountValid(long long limit = kMaxGridPoints) const;
    // The points a scan evaluates: every valid point, but with two variables only those
    // before the first point that is not valid (where the scan ends).
    long long CountScanned(long long limit = kMaxGridPoints) const;
};

}  // namespace zelk
