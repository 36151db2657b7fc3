// The colour column of the surface matrix, and the document operation that refreshes it.
#include "app/SurfaceColours.h"

#include <cmath>

#include "app/Document.h"

namespace zelk {

namespace {

enum class Scale { Keep, Uniform, Log, Linear, Power };

Scale ScaleOf(const SurfaceColourScale& s) {
    if (s.sLuScale == " ") return Scale::Keep;
    if (s.sLuScale == "1" || s.iSliceVar == 0) return Scale::Uniform;
    if (s.sLuScale == "Log(Lu)") return Scale::Log;
    if (s.sLuScale == "Lu") return Scale::Linear;
    return Scale::Power;
}

// The loss as the scale sees it: ln L, L or L^e. False when the scale cannot take L (a
// loss of 0 or below on the logarithmic and power scales, or one that is not finite).
bool Transform(Scale scale, double e, double lu, double& out) {
    if (!std::isfinite(lu)) return false;
    switch (scale) {
        case Scale::Linear: out = lu; return true;
        case Scale::Log:
            if (lu <= 0) return false;
            out = std::log(lu);
            return std::isfinite(out);
        case Scale::Power:
            if (lu <= 0) return false;
            out = std::pow(lu, e);
            return std::isfinite(out);
        default: return false;
    }
}

}  // namespace

bool ComputeSurfaceColours(Matrix& surface, int K, const SurfaceColourScale& s) {
    if (K < 2 || K > 4 || surface.Cols() != K + 2) return false;
    const Scale scale = ScaleOf(s);
    if (scale == Scale::Keep) return true;
    const int rows = surface.Rows();
    const int col = K + 1;
    const double e = s.dSurfacePow;
    // The power scale with an exponent near 0 shows every point alike.
    const bool graded = scale != Scale::Uniform && !(scale == Scale::Power && !(e > 0.1) && !(e < -0.1));
    const double perc = s.dPercSurfMap > 0 ? s.dPercSurfMap : 1.0;

    // The range of the loss on the scale (tLo..tHi) over the points the scale can take, and
    // the scale's values at the smallest and the largest of those losses (a negative
    // exponent reverses the order).
    double tLo = 0, tHi = 0, luMin = 0, luMax = 0, tAtMin = 0, tAtMax = 0;
    bool any = false;
    if (graded) {
        for (int r = 0; r < rows; ++r) {
            const double lu = surface(r, 0);
            double t;
            if (!Transform(scale, e, lu, t)) continue;
            if (!any || t < tLo) tLo = t;
            if (!any || t > tHi) tHi = t;
            if (!any || lu < luMin) luMin = lu, tAtMin = t;
            if (!any || lu > luMax) luMax = lu, tAtMax = t;
            any = true;
        }
    }
    const double span = (tHi - tLo) * perc;
    const bool spread = any && std::isfinite(span) && span > 0;
    auto level = [&](double t) { return (t - tLo) * 254 / span + 1; };

    for (int r = 0; r < rows; ++r) {
        const double lu = surface(r, 0);
        double g = 255;
        if (graded && spread) {
            double t;
            if (Transform(scale, e, lu, t))
                g = level(t);
            else if (std::isfinite(lu) && lu <= 0)
                g = level(tAtMin);  // undefined here: at least as good as the smallest positive loss
            else
                g = level(tAtMax);  // not finite: the worst
            if (!std::isfinite(g)) g = 255;
        }
        if (K == 2) g = std::floor(g);
        if (g > 255) g = 255;
        surface(r, col) = K == 2 ? g : 255 - g;
    }
    return true;
}

void CZELKDoc::RecomputeSurfaceColours() {
    SurfaceColourScale s;
    s.sLuScale = surf.sLuScale;
    s.dSurfacePow = opt.dSurfacePow;
    s.dPercSurfMap = opt.dPercSurfMap;
    s.iSliceVar = disp.iSliceVar;
    ComputeSurfaceColours(surf.mSurface, data.iNumVar, s);
}

}  // namespace zelk
