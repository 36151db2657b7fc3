// Display fields that only the view and the controls use.
#pragma once

#include <string>

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
};

}  // namespace zelk
