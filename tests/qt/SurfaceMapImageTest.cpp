// The surface map rendered into an offscreen image: a partial draw after the run's markers
// moved, or after the slice changed, leaves exactly the picture a full draw of the new
// state makes; the points take their grey.
#include <gtest/gtest.h>

#include <QImage>

#include "platform/qt/QtCanvas.h"
#include "qt/QtTestApp.h"
#include "support/MapTestUtil.h"
#include "view/Projection.h"
#include "view/SurfaceMap.h"

namespace zelk {
namespace {

using namespace maptest;

QImage Blank() {
    QImage img(1600, 1000, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

void Draw(CZELKDoc& doc, QImage& img, bool partial) {
    QtCanvas canvas(img);
    canvas.SetFont(8, 700);
    DrawSurfaceMap(doc, canvas, partial);
}

int Differences(const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            n += a.pixel(x, y) != b.pixel(x, y);
        }
    return n;
}

// The run's state before and after a move: weights, gradients in w and v, preset.
struct RunPoint {
    std::vector<double> w, gw, gv, preset;
};

void Apply(MapFixture& f, const RunPoint& r) {
    f.SetRun(r.w, r.gw, r.gv);
    f.doc.track.mDispPresetW = MapFixture::Column(r.preset);
}

TEST(SurfaceMapImage, PartialDrawLeavesNoTraceOfMovedMarkers) {
    TestApp();
    struct Case {
        int K;
        RunPoint from, to;
    };
    const Case cases[] = {
        {3, {{1, 1, 1}, {300, -400, 100}, {20, 30}, {1.5, 0.5, 1}}, {{1.4, 0.8, 0.8}, {-30, 20, 10}, {-5, 8}, {0.5, 1, 1.5}}},
        {4, {{1, 1, 1, 1}, {0.5, -0.3, 0.2, -0.4}, {0.2, 0.1, -0.3}, {0.5, 1.5, 1, 1}},
         {{1.5, 0.5, 1, 1}, {-0.2, 0.6, 0.1, -0.5}, {-0.1, 0.2, 0.3}, {1, 1, 1, 1}}}};
    for (const Case& k : cases) {
        MapFixture f(k.K);
        Apply(f, k.from);
        QImage partial = Blank();
        Draw(f.doc, partial, false);
        const QImage before = partial;
        Apply(f, k.to);
        Draw(f.doc, partial, true);
        QImage full = Blank();
        MapFixture g(k.K);
        Apply(g, k.to);
        Draw(g.doc, full, false);
        EXPECT_NE(Differences(before, full), 0) << k.K;  // the markers did move
        EXPECT_EQ(Differences(partial, full), 0) << k.K;
    }
}

TEST(SurfaceMapImage, SliceChangeRepaintsTheOldPointsWhite) {
    TestApp();
    for (int K : {3, 4}) {
        MapFixture f(K);
        f.doc.opt.bHighRes = 1;
        QImage partial = Blank();
        Draw(f.doc, partial, false);
        // A slice by w1 at 25 %, a tenth of the band: most points go.
        f.doc.disp.iSliceVar = 1;
        f.doc.disp.iSlicePos = 250;
        f.doc.disp.dSliceBand = 0.1;
        f.doc.disp.bRedrawSlice = 1;
        Draw(f.doc, partial, true);
        EXPECT_EQ(f.doc.disp.bRedrawSlice, 0);
        MapFixture g(K);
        g.doc.disp.iSliceVar = 1;
        g.doc.disp.iSlicePos = 250;
        g.doc.disp.dSliceBand = 0.1;
        QImage full = Blank();
        Draw(g.doc, full, false);
        EXPECT_EQ(Differences(partial, full), 0) << K;
    }
}

TEST(SurfaceMapImage, PointsTakeTheGreyOfTheirColourValue) {
    TestApp();
    MapFixture f(3);
    QImage img = Blank();
    Draw(f.doc, img, false);
    const Matrix& s = f.doc.surf.mSurface;
    const MapGeometry geo = MapGeometryOf(f.doc.disp, 3);
    int checked = 0;
    for (int r = 0; r < s.Rows(); ++r) {
        if (s(r, 0) == f.doc.surf.dMinLu) continue;  // under the minimum's ring
        const ScreenPoint p = TrianglePoint(geo, s(r, 1), s(r, 2));
        const int v = static_cast<int>(s(r, 4)) % 256;
        for (const auto& d : {std::make_pair(1, 0), std::make_pair(-1, 0), std::make_pair(0, -1)})
            EXPECT_EQ(img.pixel(ToPixel(p.x) + d.first, ToPixel(p.y) + d.second), qRgb(v, v, v)) << r;
        ++checked;
    }
    EXPECT_EQ(checked, s.Rows() - 1);
}

}  // namespace
}  // namespace zelk
