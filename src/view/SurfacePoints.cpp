// The points of the surface map: where they come from, the slice filter, the three-pixel
// and sized glyphs of the triangle and the cloud, the Lu curve of two variables, and the
// white repaint of the points when the slice changes.
#include <algorithm>
#include <cmath>
#include <vector>

#include "view/MapParts.h"

namespace zelk {

MapPoints MapPointsOf(const CZELKDoc& doc, int K) {
    MapPoints pts;
    if (K < 2 || K > 4) return pts;
    if (doc.runs.rsSurface.bRunning) {
        // The scan's points so far, in scan order.
        const ScanState& scan = doc.scan;
        const int rows = std::min(scan.mLuRows.Rows(), scan.mWRows.Rows());
        int count = std::min(scan.iIter, rows);
        // A point is being taken but not evaluated yet: its row is still unset.
        while (count > 0 && scan.mLuRows(count - 1, 0) == kNotSet) --count;
        if (count <= 0 || scan.mWRows.Cols() != K) return pts;
        pts.count = count;
        pts.lu = scan.mLuRows.Data();
        pts.luStride = 1;
        pts.w = scan.mWRows.Data();
        pts.wStride = K;
        return pts;
    }
    const Matrix& s = doc.surf.mSurface;
    if (s.Rows() == 0 || s.Cols() != K + 2) return pts;
    pts.count = s.Rows();
    pts.lu = s.Data();
    pts.luStride = K + 2;
    pts.w = s.Data() + 1;
    pts.wStride = K + 2;
    pts.colour = s.Data() + K + 1;
    pts.colourStride = K + 2;
    return pts;
}

SliceFilter MakeSliceFilter(const DisplayState& disp, double dNumVar, const MapPoints& points) {
    SliceFilter f;
    const int var = disp.iSliceVar;
    if (var < 0 || var > static_cast<int>(dNumVar)) return f;
    f.var = var;
    if (var == 0) {
        f.logLu = disp.bLinearLu == 0;
        double lo = 0, hi = 0;
        bool any = false;
        for (int r = 0; r < points.count; ++r) {
            double x = points.Lu(r);
            if (f.logLu) {
                if (!(x > 0)) continue;  // the logarithm cannot take it (and it never passes)
                x = std::log(x);
            }
            if (!std::isfinite(x)) continue;
            if (!any || x < lo) lo = x;
            if (!any || x > hi) hi = x;
            any = true;
        }
        f.level = lo + (hi - lo) * disp.iSlicePos * 0.001;
        f.band = (hi - lo) * disp.dSliceBand * 0.02;
    } else {
        f.level = disp.iSlicePos * dNumVar * 0.001;
        f.band = dNumVar * disp.dSliceBand * 0.02;
    }
    return f;
}

bool SliceFilter::Passes(double lu, const double* w) const {
    if (var < 0) return true;
    double x;
    if (var == 0)
        x = logLu ? (lu > 0 ? std::log(lu) : -INFINITY) : lu;
    else
        x = w[var - 1];
    return std::fabs(level - x) < band;
}

namespace mapdraw {

namespace {

// The grey of a colour value: truncated to a whole number, modulo 256.
Rgb Grey(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 1e9) return kBlack;
    int v = static_cast<int>(value) % 256;
    if (v < 0) v += 256;
    const unsigned char c = static_cast<unsigned char>(v);
    return Rgb{c, c, c};
}

// Pixels gathered and handed to the canvas in batches.
class PixelBatch {
public:
    explicit PixelBatch(Canvas& canvas) : m_canvas(canvas) { m_buf.reserve(kSize + 8); }
    ~PixelBatch() { Flush(); }
    void Add(int x, int y, Rgb c) {
        m_buf.push_back(Pixel{x, y, c});
        if (m_buf.size() >= kSize) Flush();
    }
    // The three-pixel caret: (x+1, y), (x-1, y), (x, y-1).
    void Caret(int x, int y, Rgb c) {
        Add(x + 1, y, c);
        Add(x - 1, y, c);
        Add(x, y - 1, c);
    }
    // The four-variable glyph: the caret, or with sized markers a glyph that shrinks as w1
    // grows.
    void CloudGlyph(int x, int y, Rgb c, bool sized, double w1) {
        if (!sized) return Caret(x, y, c);
        Add(x, y, c);
        if (w1 >= 3) return;
        Add(x + 1, y, c);
        Add(x - 1, y, c);
        if (w1 >= 2) return;
        Add(x, y - 1, c);
        if (w1 >= 1) return;
        Add(x, y + 1, c);
    }
    void Flush() {
        if (!m_buf.empty()) m_canvas.SetPixels(m_buf.data(), static_cast<int>(m_buf.size()));
        m_buf.clear();
    }

private:
    static constexpr size_t kSize = 8192;
    Canvas& m_canvas;
    std::vector<Pixel> m_buf;
};

// Visits the rows drawn: all of them, or every 25th without high resolution.
template <typename Fn>
void ForEachRow(const MapPoints& pts, bool highRes, Fn fn) {
    const int step = highRes ? 1 : 25;
    for (int r = 0; r < pts.count; r += step) fn(r);
}

void DrawCurve(Canvas& canvas, const MapScene& s) {
    if (s.doc.surf.sLuScale == " " || s.points.count == 0 || s.points.colour == nullptr) return;
    const MapGeometry& g = s.geo;
    canvas.SetPen(PenStyle::Solid, 1, kBlack);
    auto at = [&](int r, int& x, int& y) {
        x = ToPixel(g.ox + s.points.W(r)[0] * g.sx / 2);
        y = ToPixel(g.oy - s.points.Colour(r) * g.sy / 255);
    };
    int x, y;
    at(0, x, y);
    canvas.MoveTo(x, y);
    for (int r = 0; r < s.points.count; ++r) {
        at(r, x, y);
        canvas.LineTo(x, y);
    }
}

}  // namespace

void DrawPoints(Canvas& canvas, const MapScene& s) {
    if (s.K == 2) return DrawCurve(canvas, s);
    const MapPoints& pts = s.points;
    const bool highRes = s.doc.opt.bHighRes != 0;
    PixelBatch batch(canvas);
    if (s.K == 3) {
        const MapGeometry& g = s.geo;
        ForEachRow(pts, highRes, [&](int r) {
            const double* w = pts.W(r);
            if (!s.slice.Passes(pts.Lu(r), w)) return;
            const ScreenPoint p = TrianglePoint(g, w[0], w[1]);
            batch.Caret(ToPixel(p.x), ToPixel(p.y), Grey(pts.Colour(r)));
        });
        return;
    }
    const CloudProjection project(s.geo);
    const bool sized = s.doc.disp.bSizedMarkers != 0;
    ForEachRow(pts, highRes, [&](int r) {
        const double* w = pts.W(r);
        if (!s.slice.Passes(pts.Lu(r), w)) return;
        const ScreenPoint p = project(w[0], w[1], w[2]);
        if (!p.ok) return;
        batch.CloudGlyph(ToPixel(p.x), ToPixel(p.y), Grey(pts.Colour(r)), sized, w[0]);
    });
}

void WipePoints(Canvas& canvas, const MapPoints& pts, const MapMemory& last) {
    const MapGeometry& g = last.geometry;
    const bool highRes = last.bHighRes != 0;
    PixelBatch batch(canvas);
    if (g.K == 3) {
        ForEachRow(pts, highRes, [&](int r) {
            const double* w = pts.W(r);
            const ScreenPoint p = TrianglePoint(g, w[0], w[1]);
            batch.Caret(ToPixel(p.x), ToPixel(p.y), kWhite);
        });
    } else if (g.K == 4) {
        const CloudProjection project(g);
        const bool sized = last.bSizedMarkers != 0;
        ForEachRow(pts, highRes, [&](int r) {
            const double* w = pts.W(r);
            const ScreenPoint p = project(w[0], w[1], w[2]);
            if (p.ok) batch.CloudGlyph(ToPixel(p.x), ToPixel(p.y), kWhite, sized, w[0]);
        });
    }
}

}  // namespace mapdraw
}  // namespace zelk
