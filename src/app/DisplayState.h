// Display fields that only the view and the controls use.
#pragma once

#include <string>

#include "app/MapMemory.h"
#include "base/Matrix.h"
#include "platform/Platform.h"

namespace zelk {

constexpr double kPi = 3.14159265358979323846;

struct DisplayState {
    double qx = kPi / 6, qy = 0, qz = 5 * kPi / 4;
    double dMapScaleX = 0, dMapScaleY = 0;
    int bRedrawAll = 0;     // set by controls and runs: the next draw is a full one
    int bProgressOnly = 0;  // set by the Newton-Raphson step while only the percentage changed
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

    // One-shot requests to wipe option lines 1-2, 3 and 4-5 before they are drawn again.
    int bEraseOptions1 = 0, bEraseOptions3 = 0, bEraseOptions4 = 0;
    // What the last draw showed, to tell what changed at the next one.
    int iLastIterDrawn = 0, iLastRepeatDrawn = 0, bLastHighRes = 0;
    Matrix mLastDrawnW;
    // The first text line below the fixed part of the left column.
    int iTopFreeLine = 15;
    // A consistency failure the last draw met (it abandoned the rest of the draw). The
    // document reports it and empties itself once the draw has returned.
    std::string sDrawFault;

    // ---- The surface map and what is drawn over it (view/SurfaceMap.cpp, view/Graphs.cpp)
    // The origin and the cloud's scale start from IORIGINX, IORIGINY and D3DSCALE at every
    // load; the keys move them.
    double dOriginX = 1150, dOriginY = -125;
    double d3dscale = 850;
    int bLinearLu = 0;       // the Lu slice on Lu itself, not its logarithm (a loss near 0 or below)
    int bSizedMarkers = 0;   // four-variable points drawn with a glyph sized by w1
    int bGridLines = 0;      // the triangle's ticks run on to the slanted edge
    int iLegendLevel = 0;    // 0..3: how much of the legend and the overlays is drawn
    int iLegendOffsetX = -50;
    int bRedrawSlice = 0;    // the slice or the scale changed; cleared by every draw
    int bMouseDrag = 0;      // a pick is in progress
    Matrix mPickW;           // the picked point (p x 1) while a pick is in progress: the current point
    Matrix mPickWSaved;      // the picked point as it was when the last pick ended
    int iMouseX = 0, iMouseY = 0;  // where the mouse was at the last pick
    int bRedrawPick = 0;     // the current point's lines and the v column are drawn again
    MapMemory lastMap;       // what the last draw put on the map
};

}  // namespace zelk
