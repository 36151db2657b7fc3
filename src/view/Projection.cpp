#include "view/Projection.h"

#include <cmath>

namespace zelk {

CloudProjection::CloudProjection(const MapGeometry& g)
    : m_cx(std::cos(g.qx)),
      m_sx(std::sin(g.qx)),
      m_cy(std::cos(g.qy)),
      m_sy(std::sin(g.qy)),
      m_cz(std::cos(g.qz)),
      m_sz(std::sin(g.qz)),
      m_scale(g.d3dscale),
      m_ox(g.ox),
      m_oy(g.oy) {}

}  // namespace zelk
