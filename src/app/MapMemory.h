// What the last draw put on the surface map, kept so that a partial draw can paint it over
// in white before drawing the new state: the markers and arrows as drawn, and how the
// points were placed.
#pragma once

#include <vector>

namespace zelk {

// Where the map sits on the screen and how the four-variable cloud is turned.
struct MapGeometry {
    int K = 0;  // 2, 3 or 4 variables; 0: no map
    double ox = 0, oy = 0;  // the origin in pixels
    double sx = 0, sy = 0;  // the size of the two- and three-variable maps
    double qx = 0, qy = 0, qz = 0;  // rotation of the cloud, radians
    double d3dscale = 0;             // perspective scale of the cloud
};

// One marker stroke as drawn: a ring (its 9-pixel box) or a line of the given width.
struct MapStroke {
    enum class Kind { Ring, Line };
    Kind kind = Kind::Line;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // a ring's box, or a line's ends
    int width = 1;
};

struct MapMemory {
    bool drawn = false;  // a map was drawn since the window was last cleared
    MapGeometry geometry;
    std::vector<MapStroke> strokes;
    // How the points were drawn: their glyph and thinning.
    int bSizedMarkers = 0;
    int bHighRes = 1;
};

}  // namespace zelk
