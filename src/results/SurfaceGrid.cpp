// The surface grid: its set-up at load, the grid walk shared by the scan and the map,
// and the surface shown after a load (the file's points, or the bare grid).
#include "results/SurfaceGrid.h"

#include <cmath>

#include "app/Document.h"

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

bool SurfaceGrid::Build(const CZELKDoc& doc) {
    *this = SurfaceGrid();
    p = doc.data.iNumVar;
    if (p < 2 || p > 4 || !doc.surf.bGridValid) return false;
    by = doc.surf.dSurfaceBy;
    if (!(by > 0)) return false;
    candidates = 1;
    for (int d = 0; d < p - 1; ++d) {
        if (!BuildAxis(doc.surf.dSurfaceMinW[d], doc.surf.dSurfaceMaxW[d], by, kMaxGridCandidates,
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
        lastMin = doc.surf.dSurfaceMinW[1];
        lastMax = doc.surf.dSurfaceMaxW[1];
    } else if (p == 3) {
        lastMin = doc.surf.dSurfaceMinW[2];
        lastMax = doc.surf.dSurfaceMaxW[2];
    } else {
        lastMin = doc.surf.dSurfaceMinWLast;
        lastMax = doc.surf.dSurfaceMaxWLast;
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

void CZELKDoc::SetupSurfaceGrid() {
    const int p = data.iNumVar;
    surf.bGridValid = 0;
    surf.sSurfaceRefusal.clear();
    if (p < 2 || p > 4) return;

    surf.dSurfaceBy = p == 2 ? opt.dSurfaceByW2Vars
                    : p == 3 ? opt.dSurfaceByW3Vars
                             : opt.dSurfaceByW4Vars;
    if (!(surf.dSurfaceBy > 0)) {
        // No grid for a step of 0 or below: the scan refuses, the map shows no grid.
        surf.sSurfaceRefusal = Format(
            "The surface grid step %s=%.8f is not positive, so no surface can be scanned.\n"
            "Set a positive step in ZELK.ini and open the data file again.",
            StepKey(p), surf.dSurfaceBy);
        return;
    }

    // The bounds in force start from the options every time, so that one data set's
    // defaults never leak into the next.
    for (int d = 0; d < 3; ++d) {
        surf.dSurfaceMinW[d] = opt.dSurfaceMinW[d];
        surf.dSurfaceMaxW[d] = opt.dSurfaceMaxW[d];
    }
    if (p == 2) surf.dSurfaceMinW[1] = surf.dSurfaceMaxW[1] = 0;
    if (p <= 3) surf.dSurfaceMinW[2] = surf.dSurfaceMaxW[2] = 0;
    for (int d = 0; d < 3; ++d) {
        if (std::fabs(surf.dSurfaceMinW[d]) < kTol && std::fabs(surf.dSurfaceMaxW[d]) < kTol) {
            surf.dSurfaceMinW[d] = surf.dSurfaceBy;
            surf.dSurfaceMaxW[d] = p - surf.dSurfaceBy;
        }
    }
    surf.dSurfaceMinWLast = surf.dSurfaceBy;
    surf.dSurfaceMaxWLast = p;
    surf.bGridValid = 1;

    SurfaceGrid grid;
    grid.Build(*this);
    if (grid.tooLarge || grid.CountValid() > kMaxGridPoints) {
        surf.bGridValid = 0;
        surf.sSurfaceRefusal = Format(
            "The surface grid with step %s=%.8f has too many points (more than %lld), so no "
            "surface can be scanned.\nSet a larger step in ZELK.ini and open the data file "
            "again.",
            StepKey(p), surf.dSurfaceBy, kMaxGridPoints);
    }
}

bool CZELKDoc::FillSurfaceAfterLoad() {
    const int p = data.iNumVar;
    const bool fromFile = !surf.sSurfaceFile.empty();
    surf.sLuScale = fromFile ? "Log(Lu)" : " ";

    if (surf.mSurface.Empty() && surf.bGridValid) {
        // No accepted file: the map shows the bare grid, every point with Lu = 1.
        SurfaceGrid grid;
        if (grid.Build(*this) && !grid.tooLarge) {
            long long count = grid.CountValid();
            if (count == 0 && p == 4) {
                Fatal("Error: Surface file as specified has 0 records");
                return false;
            }
            surf.mSurface.Resize(static_cast<int>(count), p + 2, 0.0);
            double w[4];
            int r = 0;
            for (long long c = 0; c < grid.candidates && r < count; ++c) {
                if (!grid.Point(c, w)) continue;
                double* row = surf.mSurface.Row(r++);
                row[0] = 1;
                for (int k = 0; k < p; ++k) row[1 + k] = w[k];
                row[p + 1] = 0;
            }
        }
    }

    // Smallest and largest Lu, with their weights when they come from a file.
    surf.dMinLu = surf.dMaxLu = 0;
    surf.mMinLuW.Clear();
    surf.mMaxLuW.Clear();
    const Matrix& s = surf.mSurface;
    if (s.Rows() > 0 && s.Cols() >= p + 1) {
        int rMin = 0, rMax = 0;
        for (int r = 1; r < s.Rows(); ++r) {
            if (s(r, 0) < s(rMin, 0)) rMin = r;
            if (s(r, 0) > s(rMax, 0)) rMax = r;
        }
        surf.dMinLu = s(rMin, 0);
        surf.dMaxLu = s(rMax, 0);
        if (fromFile) {
            surf.mMinLuW.Resize(p, 1);
            surf.mMaxLuW.Resize(p, 1);
            for (int k = 0; k < p; ++k) {
                surf.mMinLuW(k, 0) = s(rMin, 1 + k);
                surf.mMaxLuW(k, 0) = s(rMax, 1 + k);
            }
        }
    }
    return true;
}

}  // namespace zelk
