// The surface map and what is drawn over it: the Lu curve of two variables, the triangle of
// three, the perspective cloud of four, with their frames, legends, the slice filter, the
// surface minimum and, during a run, the markers and gradient arrows of the optimiser.
#pragma once

#include "app/MapMemory.h"

namespace zelk {

class Canvas;
class CZELKDoc;
struct DisplayState;

// Draws the map of the document's weights (2, 3 or 4 of them; a loaded data set of that
// many variables before any weights exist), or nothing. A partial draw paints over the
// last picture: it first repaints in white the markers of the last draw and, when the
// slice or the scale changed, every point as it was drawn, then draws the map afresh. The
// draw writes the display bookkeeping (the default map place, the memory of what it drew)
// and clears bRedrawSlice.
void DrawSurfaceMap(CZELKDoc& doc, Canvas& canvas, bool partial);

// The points the map shows: the surface's rows, or during a surface scan the points
// evaluated so far (drawn black, as they come).
struct MapPoints {
    int count = 0;
    const double* lu = nullptr;
    int luStride = 0;
    const double* w = nullptr;  // w1 of each row
    int wStride = 0;
    const double* colour = nullptr;  // null: every point black
    int colourStride = 0;

    double Lu(int r) const { return lu[static_cast<long>(r) * luStride]; }
    const double* W(int r) const { return w + static_cast<long>(r) * wStride; }
    double Colour(int r) const { return colour ? colour[static_cast<long>(r) * colourStride] : 0.0; }
};
MapPoints MapPointsOf(const CZELKDoc& doc, int K);

// The slice filter: which points of the three- and four-variable maps are drawn (and can
// be picked). Built at each draw from the slice mode, position and band.
struct SliceFilter {
    int var = -1;  // -1 every point; 0 by the level of Lu; k by weight k
    bool logLu = false;
    double level = 0, band = 0;
    bool Passes(double lu, const double* w) const;
};
SliceFilter MakeSliceFilter(const DisplayState& disp, double dNumVar, const MapPoints& points);

// How many variables the map shows (2, 3 or 4), or 0 for no map.
int MapVariables(const CZELKDoc& doc);
// The map's place from the display state.
MapGeometry MapGeometryOf(const DisplayState& disp, int K);
// The default place and size of the map of K variables, set when no size has been chosen
// yet (both scales 0).
void ApplyDefaultMapPlace(DisplayState& disp, int K);

}  // namespace zelk
