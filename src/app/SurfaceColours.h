// The colour column of the surface matrix: a grey level per point from its Lu through the
// chosen scale. It is computed when the scale, the contrast or the slice mode changes and
// after a surface is loaded, never while drawing.
#pragma once

#include <string>

#include "base/Matrix.h"

namespace zelk {

struct SurfaceColourScale {
    std::string sLuScale = " ";  // "Log(Lu)", "Lu", "Pow(Lu,...)", "1", or " " (keep the colours)
    double dSurfacePow = -1;     // exponent of the power scale
    double dPercSurfMap = 1;     // contrast: the fraction of the Lu range spread over the greys
    int iSliceVar = -1;          // 0: slice by Lu level (every point black)
};

// Fills column K+1 of `surface` (rows: Lu, w1..wK, colour) for K = 2, 3 or 4 variables.
// The level g runs from 1 at the smallest value of the scale (ln Lu, Lu or Lu^e) to 255 at
// the largest, reached already at the fraction dPercSurfMap of the range. K = 2 keeps g
// (whole numbers: the height of the Lu curve); K = 3 and 4 store 255 - g, so that the
// small values are light and the large ones dark. The scale " " changes nothing. Returns
// false (and changes nothing) when the matrix does not have K+2 columns.
//
// The logarithmic and power scales are undefined for a loss of 0 or below: their range is
// taken over the positive losses, and a point whose Lu is 0 or below gets the level of the
// smallest positive loss (it is at least as good a point). A loss that is not finite gets
// the level of the largest loss. When the losses have no spread on the scale (one value,
// or none that the scale can take), every point gets 255, as on the uniform scale.
bool ComputeSurfaceColours(Matrix& surface, int K, const SurfaceColourScale& scale);

}  // namespace zelk
