// Display fields that only the view and the controls use.
#pragma once

#include "app/MapMemory.h"
#include "base/Matrix.h"
#include "platform/Platform.h"

namespace zelk {

constexpr double kPi = 3.14159265358979323846;

struct DisplayState {
    double qx = kPi / 6, qy = 0, qz = 5 * kPi / 4;
    double dMapScaleX = 0, dMapScaleY = 0;
    int bRedrawAll = 0;
    int bProgressOnly = 0;
    int bWasForeground = 0;
    SystemTime tForegroundSince;
    int iIterAtForeground = 0;
    int bGraphOnly = 0;
    int bHessianStrict = 0;
    int bRepeat = 0;
    int iSliceVar = -1;
    int iSlicePos = 1;
    double dSliceBand = 1.0;
    int bPointReset = 0;

    // ---- The surface map and what is drawn over it (view/SurfaceMap.cpp, view/Graphs.cpp)
    // The origin and the cloud's scale start from IORIGINX, IORIGINY and D3DSCALE at every
    // load; the keys move them.
    double iOriginX = 1150, iOriginY = -125;
    double d3dscale = 850;
    int bLinearLu = 0;       // the Lu slice on Lu itself, not its logarithm (a loss near 0 or below)
    int bSizedMarkers = 0;   // four-variable points drawn with a glyph sized by w1
    int bGridLines = 0;      // the triangle's ticks run on to the slanted edge
    int iLegendLevel = 0;    // 0..3: how much of the legend and the overlays is drawn
    int iLegendOffsetX = -50;
    int bRedrawSlice = 0;    // the slice or the scale changed; cleared by every draw
    int bMouseDrag = 0;      // a pick is in progress
    Matrix mPickW;           // the picked point (p x 1) while a pick is in progress: the current point
    MapMemory lastMap;       // what the last draw put on the map
};

}  // namespace zelk
