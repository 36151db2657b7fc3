// The pieces of the surface map shared by its source files (view/SurfaceMap.cpp,
// SurfacePoints.cpp, Graphs.cpp, MapLegend.cpp): the scene of one draw and the drawing of
// its frame, legend, points and overlays.
#pragma once

#include <string>
#include <vector>

#include "app/Document.h"
#include "platform/Canvas.h"
#include "view/Projection.h"
#include "view/SurfaceMap.h"

namespace zelk {
namespace mapdraw {

// Everything one draw of the map reads.
struct MapScene {
    const CZELKDoc& doc;
    int K = 0;
    MapGeometry geo;
    MapPoints points;
    SliceFilter slice;
    int level = 0;                    // iLegendLevel
    const Matrix* current = nullptr;  // the current weights (K x 1), or null
    bool surfaceFile = false;         // a surface file is loaded (its minimum is known)

    explicit MapScene(const CZELKDoc& d) : doc(d) {}
    // The screen place of weights (K entries) on this map; the two-variable map places w1
    // on its bottom axis.
    ScreenPoint Place(const double* w) const;
};

// Weights of a column vector of K entries, or null.
const double* Column(const Matrix& m, int K);

// Draws marker strokes and records them for the erase pass of the next partial draw.
class Overlay {
public:
    Overlay(Canvas& canvas, std::vector<MapStroke>& record) : m_canvas(canvas), m_record(record) {}
    // A ring with its dot: the 9-pixel ellipse with a white fill, then the 3-pixel dot.
    void Ring(ScreenPoint p, Rgb pen, Rgb dot);
    void Segment(ScreenPoint a, ScreenPoint b, int width, PenStyle style = PenStyle::Solid);
    // The shaft from `from` to the tip, then the head: 2-pixel and 3-pixel segments 2 to 4
    // and 4 to 6 pixels back from the tip, so that it thickens away from the tip.
    void Arrow(ScreenPoint from, ScreenPoint tip, PenStyle shaft);

private:
    Canvas& m_canvas;
    std::vector<MapStroke>& m_record;
};

// Repaints the recorded strokes in white: rings with the 3-pixel pen and a white fill,
// lines of width 1 with the 3-pixel pen, thicker ones with the 9-pixel pen.
void EraseStrokes(Canvas& canvas, const std::vector<MapStroke>& strokes);

// The tip of a gradient arrow drawn from `from` in screen space: (mult g1, mult g2) with y
// up, shortened to 100 pixels when longer.
ScreenPoint FlatArrowTip(ScreenPoint from, double g1, double g2, double mult);

// A text of the frame: tick labels and axis names.
struct MapLabel {
    int x = 0, y = 0;
    std::string text;
    bool rightAligned = false;
};

// The frame, ticks and axis names (the curve's open frame, the triangle, or the cloud's
// axes).
void DrawFrame(Canvas& canvas, const MapScene& scene);
// Where the frame's labels lie (a generous box around each): a partial draw clears them
// before writing them again, as text written over itself would thicken.
std::vector<Rect> FrameLabelAreas(const MapScene& scene);
// The legend lines and the right-aligned block.
void DrawLegend(Canvas& canvas, const MapScene& scene);
// The areas of the legend that a partial draw clears before it writes the legend again.
std::vector<Rect> LegendAreas(const MapScene& scene);
// The points (the curve of two variables).
void DrawPoints(Canvas& canvas, const MapScene& scene);
// Paints in white every point of the three- or four-variable map with the glyph, place and
// thinning it was drawn with.
void WipePoints(Canvas& canvas, const MapPoints& points, const MapMemory& last);
// The surface minimum's marker.
void DrawMinimum(Overlay& overlay, const MapScene& scene);
// The run's markers and arrows.
void DrawRunMarkers(Overlay& overlay, const MapScene& scene);

}  // namespace mapdraw
}  // namespace zelk
