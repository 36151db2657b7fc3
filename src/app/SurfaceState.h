// The surface of a loaded data set: the grid in force and the points shown by the map (a
// surface file's points, or the bare grid), with their range of Lu.
#pragma once

#include <string>

#include "base/Matrix.h"
#include "runs/SurfaceGrid.h"

namespace zelk {

struct SurfaceState {
    GridSpec grid;
    Matrix mSurface;  // Lu, w1..wp, 0
    std::string sSurfaceFile;
    int bSurfaceZeroLu = 0;
    std::string sLuScale = " ";
    double dMinLu = 0, dMaxLu = 0;
    Matrix mMinLuW, mMaxLuW;  // weights at the smallest and largest Lu (file only)
};

}  // namespace zelk
