// The surface map's draw: which map, in which order, and the erase pass of partial draws.
#include "view/SurfaceMap.h"

#include "view/MapParts.h"

namespace zelk {

namespace {

using mapdraw::MapScene;

// The weights the map follows: the point being picked, the surface scan's point, or the
// run's current weights.
const Matrix& CurrentWeights(const CZELKDoc& doc) {
    const int p = doc.data.iNumVar;
    if (doc.disp.bMouseDrag && doc.disp.mPickW.Rows() == p && doc.disp.mPickW.Cols() == 1) return doc.disp.mPickW;
    if (doc.runs.rsSurface.bRunning) return doc.scan.mCurW;
    return doc.track.mDispW;
}

MapScene SceneOf(const CZELKDoc& doc, int K) {
    MapScene s(doc);
    s.K = K;
    s.geo = MapGeometryOf(doc.disp, K);
    s.points = MapPointsOf(doc, K);
    s.slice = MakeSliceFilter(doc.disp, doc.data.iNumVar, s.points);
    s.level = doc.disp.iLegendLevel;
    const Matrix& cur = CurrentWeights(doc);
    s.current = cur.Rows() == K && cur.Cols() == 1 ? &cur : nullptr;
    s.surfaceFile = !doc.surf.sSurfaceFile.empty() && doc.surf.mMinLuW.Rows() == K;
    return s;
}

}  // namespace

int MapVariables(const CZELKDoc& doc) {
    const Matrix& w = CurrentWeights(doc);
    if (w.Cols() == 1 && w.Rows() >= 2 && w.Rows() <= 4) return w.Rows();
    // Before any weights exist, a loaded data set of 2 to 4 variables shows its surface.
    if (w.Empty() && doc.bNoData == 0 && doc.data.iNumVar >= 2 && doc.data.iNumVar <= 4) return doc.data.iNumVar;
    return 0;
}

MapGeometry MapGeometryOf(const DisplayState& disp, int K) {
    MapGeometry g;
    g.K = K;
    g.ox = disp.dOriginX;
    g.oy = disp.dOriginY;
    g.sx = disp.dMapScaleX;
    g.sy = disp.dMapScaleY;
    g.qx = disp.qx;
    g.qy = disp.qy;
    g.qz = disp.qz;
    g.d3dscale = disp.d3dscale;
    return g;
}

void ApplyDefaultMapPlace(DisplayState& disp, int K) {
    if (disp.dMapScaleX != 0 || disp.dMapScaleY != 0) return;
    if (K == 2 || K == 3) {
        disp.dOriginX = 700;
        disp.dOriginY = 650;
        disp.dMapScaleX = 450;
        disp.dMapScaleY = K == 2 ? 300 : 450;
    } else if (K == 4) {
        disp.dMapScaleX = disp.dMapScaleY = 200;
    }
}

void DrawSurfaceMap(CZELKDoc& doc, Canvas& canvas, bool partial) {
    DisplayState& disp = doc.disp;
    MapMemory& last = disp.lastMap;
    const int K = MapVariables(doc);
    ApplyDefaultMapPlace(disp, K > 0 ? K : doc.data.iNumVar);

    // The erase pass: what the last draw put on the map goes back to white.
    if (partial && last.drawn) {
        if (disp.bRedrawSlice && (last.geometry.K == 3 || last.geometry.K == 4))
            mapdraw::WipePoints(canvas, MapPointsOf(doc, last.geometry.K), last);
        mapdraw::EraseStrokes(canvas, last.strokes);
    }
    disp.bRedrawSlice = 0;
    last = MapMemory();
    if (K == 0) return;

    const MapScene scene = SceneOf(doc, K);
    canvas.SetBackground(kWhite, false);
    if (partial) {
        // The texts of the map are written again: their places are cleared first.
        for (const Rect& r : mapdraw::LegendAreas(scene)) canvas.FillRect(r, kWhite);
        for (const Rect& r : mapdraw::FrameLabelAreas(scene)) canvas.FillRect(r, kWhite);
    }

    last.drawn = true;
    last.geometry = scene.geo;
    last.bSizedMarkers = disp.bSizedMarkers;
    last.bHighRes = doc.opt.bHighRes;

    if (K == 4) {
        // The cloud's axes run through it and its legend lies over it at the home view:
        // they are drawn over the points, so that they stay readable.
        mapdraw::DrawPoints(canvas, scene);
        mapdraw::DrawFrame(canvas, scene);
        mapdraw::DrawLegend(canvas, scene);
    } else {
        mapdraw::DrawFrame(canvas, scene);
        mapdraw::DrawLegend(canvas, scene);
        mapdraw::DrawPoints(canvas, scene);
    }
    if (scene.level == 2) return;
    mapdraw::Overlay overlay(canvas, last.strokes);
    if (scene.level != 3) mapdraw::DrawMinimum(overlay, scene);
    if (scene.level == 1) return;
    mapdraw::DrawRunMarkers(overlay, scene);
}

}  // namespace zelk
