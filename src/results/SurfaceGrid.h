// The regular grid of weight vectors walked by the surface scan and shown by the map
// before any scan: the first p-1 weights run over their axes (values accumulated by
// repeated addition of the step), the last weight is p minus their sum and must lie in
// its range. Candidates are numbered in lexicographic order, w1 outermost.
#pragma once

#include "app/TextUtil.h"

namespace zelk {

class CZELKDoc;

// Grids larger than these are refused (the scan and the map would exhaust time and
// memory long before they finished).
constexpr long long kMaxGridCandidates = 100000000;
constexpr long long kMaxGridPoints = 5000000;

struct SurfaceGrid {
    int p = 0;
    double by = 0;
    RealList axis[3];  // values of w1 .. w(p-1)
    double lastMin = 0, lastMax = 0;
    long long candidates = 0;
    bool tooLarge = false;

    // The grid in force in the document (after SetupSurfaceGrid). False when there is
    // none: p outside 2..4, or a step of 0 or below.
    bool Build(const CZELKDoc& doc);
    // The p weights of candidate c; true when the point is valid (last weight in range).
    bool Point(long long c, double* w) const;
    bool LastInRange(double wLast) const;
    // Valid points, counting stops once `limit` is passed.
    long long CountValid(long long limit = kMaxGridPoints) const;
};

}  // namespace zelk
