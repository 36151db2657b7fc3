// Where a weight vector lies on the screen: the triangle of three variables, the curve's
// axis of two, and the perspective cloud of four.
#pragma once

#include "app/MapMemory.h"

namespace zelk {

struct ScreenPoint {
    double x = 0, y = 0;
    bool ok = true;  // false for a point the projection cannot place (behind the eye)
};

// A screen coordinate as drawn: truncated toward zero, and held within a range that the
// drawing code can take (far off the screen either way).
inline int ToPixel(double v) {
    constexpr double kFar = 1000000;
    if (!(v > -kFar)) return -static_cast<int>(kFar);  // NaN too
    if (!(v < kFar)) return static_cast<int>(kFar);
    return static_cast<int>(v);
}

// The three-variable map: w1 to the right, w2 up; one unit of weight is a third of the
// map's size.
inline ScreenPoint TrianglePoint(const MapGeometry& g, double w1, double w2) {
    return {g.ox + w1 * g.sx / 3, g.oy - w2 * g.sy / 3, true};
}

// The four-variable cloud: (w1, w2, w3) shifted by 7, turned by qx, qy and qz, and seen
// in perspective with the scale d3dscale from the origin.
class CloudProjection {
public:
    explicit CloudProjection(const MapGeometry& g);
    ScreenPoint operator()(double w1, double w2, double w3) const {
        const double a = w1 + 7, b = w2 + 7, c = w3 + 7;
        const double x1 = b * m_cx - c * m_sx;
        const double y1 = b * m_sx + c * m_cx;
        const double y2 = y1 * m_sy + a * m_cy;
        const double z = y1 * m_cy - a * m_sy;
        const double u = y2 * m_sz + x1 * m_cz;
        const double v = y2 * m_cz - x1 * m_sz;
        if (!(z > 1e-9)) return {0, 0, false};
        const double s = m_scale / z;
        return {m_ox + v * s, m_oy - u * s, true};
    }

private:
    double m_cx, m_sx, m_cy, m_sy, m_cz, m_sz, m_scale, m_ox, m_oy;
};

}  // namespace zelk
