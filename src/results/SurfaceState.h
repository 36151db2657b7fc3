// The surface grid, the surface scan and the loaded surface.
#pragma once

#include <string>

#include "engine/Matrix.h"

namespace zelk {

struct SurfaceState {
    double dSurfaceBy = 0;
    double dSurfaceMinWLast = 0, dSurfaceMaxWLast = 0;
    double adSurfaceCur[3] = {0, 0, 0};
    int bGridValid = 0;  // 0 when the step in force is not positive: no grid, no scan
    Matrix mSurface;     // Lu, w1..wp, 0
    std::string sSurfaceFile;
    int bSurfaceZeroLu = 0;
    int iDroppedPoints = 0;
    int bInitialised = 0;
    std::string sLuScale = " ";
    double dMinLu = 0, dMaxLu = 0;
    Matrix mMinLuW, mMaxLuW;  // weights at the smallest and largest Lu (file only)
    // Bounds in force for the loaded p: the options' DSURFACEMINW/MAXW values with the
    // defaults of the grid set-up applied (the options themselves stay as read).
    double dSurfaceMinW[3] = {0, 0, 0}, dSurfaceMaxW[3] = {0, 0, 0};
    // Scan cursor: index of the current candidate grid point, -1 before the first.
    long long iSurfaceCand = -1;
    // The scan's first step has been made (a dropped first point leaves iIter at 0).
    int bScanBegun = 0;
    std::string sSurfaceRefusal;  // why the grid cannot be scanned (empty when it can)
};

// Replay of stored histories.
struct ReplayState {
    int bInitialised = 0;
};

}  // namespace zelk
