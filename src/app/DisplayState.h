// Display fields that only the view and the controls use.
#pragma once

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
};

}  // namespace zelk
