// The surface map on the recording canvas: frames, ticks and grid lines, the Lu curve, the
// home view of the cloud, the gradient arrow's length, the slice filter's edges, the
// legend levels, thinning and glyphs, and the points of a running scan.
#include <cmath>

#include "support/MapTestUtil.h"
#include "view/Projection.h"
#include "view/SurfaceMap.h"

namespace zelk {
namespace {

using namespace maptest;

bool HasText(const MapCanvas& c, const std::string& s, int x, int y, bool right = false) {
    for (const auto& t : c.texts)
        if (t.text == s && t.x == x && t.y == y && t.rightAligned == right) return true;
    return false;
}

TEST(SurfaceMap, TriangleFrameTicksAndGridLines) {
    for (int grid = 0; grid < 2; ++grid) {
        MapFixture f(3);
        f.doc.disp.bGridLines = grid;
        MapCanvas c;
        DrawSurfaceMap(f.doc, c, false);
        // The default place: origin (700, 650), size 450; the right angle at the origin.
        EXPECT_TRUE(c.HasLine(700, 200, 700, 650));
        EXPECT_TRUE(c.HasLine(700, 650, 1150, 650));
        EXPECT_TRUE(c.HasLine(1150, 650, 700, 200));
        for (int k = 0; k <= 3; ++k) {
            const int x = 700 + 150 * k, y = 650 - 150 * k;
            // With grid lines a tick starts on the slanted edge: at w1 = 3 that is the base.
            EXPECT_TRUE(c.HasLine(x, grid ? 650 - (3 - k) * 150 : 650, x, 660)) << k;
            EXPECT_TRUE(c.HasLine(grid ? 700 + (3 - k) * 150 : 700, y, 690, y)) << k;
            EXPECT_TRUE(HasText(c, std::to_string(k), x - 3, 670)) << k;
            EXPECT_TRUE(HasText(c, std::to_string(k), 670, y - 6)) << k;
        }
        EXPECT_TRUE(c.HasLine(1150, 650, 1150, 660));
        EXPECT_TRUE(HasText(c, "C_X", 700, 700));
        EXPECT_TRUE(HasText(c, "C_Y", 650, 170));
        // The strips below and left of the frame are cleared.
        ASSERT_GE(c.filled.size(), 2u);
        EXPECT_EQ(c.filled[0].left, 700);
        EXPECT_EQ(c.filled[0].top, 660);
        EXPECT_EQ(c.filled[0].right, 1200);
        EXPECT_EQ(c.filled[0].bottom, 800);
    }
}

TEST(SurfaceMap, CurveFrameAndContrastFlattenTheTop) {
    MapFixture f(2);  // Lu 2..20 along w1 = 0.1..1.9
    f.doc.surf.sLuScale = "Lu";
    f.doc.opt.dPercSurfMap = 0.5;
    f.doc.RecomputeSurfaceColours();
    MapCanvas c;
    DrawSurfaceMap(f.doc, c, false);
    // The open frame: origin (700, 650), 450 wide, 300 high.
    EXPECT_TRUE(c.HasLine(700, 350, 700, 650));
    EXPECT_TRUE(c.HasLine(700, 650, 1150, 650));
    EXPECT_TRUE(c.HasLine(1150, 650, 1150, 350));
    EXPECT_FALSE(c.HasLine(700, 350, 1150, 350));
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(c.HasLine(700 + 225 * k, 650, 700 + 225 * k, 660)) << k;
    EXPECT_TRUE(HasText(c, "Min(Lu)", 680, 644, true));
    EXPECT_TRUE(HasText(c, "Max(Lu)", 680, 344, true));
    // The curve: a line to every point; the upper half of the range (Lu >= 11) runs along
    // the top of the frame.
    int onTop = 0, curve = 0;
    for (const auto& l : c.penLines) {
        if (l.line.x2 <= 700 || l.line.x2 >= 1150 || l.line.y2 >= 650) continue;
        ++curve;
        const double w1 = (l.line.x2 - 700) / 225.0;
        const double lu = 1 + w1 * 10;
        if (lu > 11.01) {
            EXPECT_EQ(l.line.y2, 350) << w1;
            ++onTop;
        } else if (lu < 10.9) {
            EXPECT_GT(l.line.y2, 350) << w1;
        }
    }
    EXPECT_EQ(curve, 19);
    EXPECT_EQ(onTop, 9);
}

TEST(SurfaceMap, HomeViewOfTheCloud) {
    MapFixture f(4);
    MapCanvas c;
    DrawSurfaceMap(f.doc, c, false);
    // qz = 225 degrees, qx = 30, qy = 0, d3dscale = 850, origin (1150, -125).
    const CloudProjection P(MapGeometryOf(f.doc.disp, 4));
    struct Known {
        double w1, w2, w3;
        int x, y;
    };
    for (const Known& k : {Known{0, 0, 0, 871, 476}, Known{5, 0, 0, 556, 790}, Known{0, 5, 0, 1144, 567},
                           Known{0, 0, 5, 849, 180}, Known{4, 0, 0, 619, 727}, Known{1, 1, 1, 871, 476},
                           Known{4, 2, 2, 773, 573}}) {
        const ScreenPoint p = P(k.w1, k.w2, k.w3);
        EXPECT_EQ(ToPixel(p.x), k.x) << k.w1 << k.w2 << k.w3;
        EXPECT_EQ(ToPixel(p.y), k.y) << k.w1 << k.w2 << k.w3;
    }
    // The axes from the projected origin, and every point of the surface drawn.
    EXPECT_TRUE(c.HasLine(871, 476, 556, 790));
    EXPECT_TRUE(c.HasLine(871, 476, 1144, 567));
    EXPECT_TRUE(c.HasLine(871, 476, 849, 180));
    EXPECT_TRUE(c.FindText("0") && c.FindText("4") && c.FindText("A_Q") == nullptr && c.FindText("O_Z"));
    EXPECT_GT(c.pixels, 0);
}

TEST(SurfaceMap, GradientArrowIsClippedTo100Pixels) {
    struct Case {
        double g1, g2;
        int tipX, tipY;
    };
    // From the current point (1, 1, 1) at (850, 500): length 500 becomes 100, 40 stays 40.
    for (const Case& k : {Case{300, 400, 910, 420}, Case{24, 32, 874, 468}}) {
        MapFixture f(3);
        f.SetRun({1, 1, 1}, {k.g1, k.g2, 0});
        MapCanvas c;
        DrawSurfaceMap(f.doc, c, false);
        ASSERT_TRUE(c.HasLine(850, 500, k.tipX, k.tipY)) << k.g1;
        EXPECT_NEAR(std::hypot(k.tipX - 850, k.tipY - 500), std::hypot(k.g1, k.g2) >= 100 ? 100 : 40, 1e-9);
        // The head thickens away from the tip: 2 pixels from 2 to 4 back, 3 from 4 to 6.
        const double ux = (k.tipX - 850) / std::hypot(k.tipX - 850, k.tipY - 500);
        const double uy = (k.tipY - 500) / std::hypot(k.tipX - 850, k.tipY - 500);
        bool two = false, three = false;
        for (const auto& l : c.penLines) {
            if (l.width == 2 && l.line.x1 == ToPixel(k.tipX - 2 * ux) && l.line.y1 == ToPixel(k.tipY - 2 * uy)) two = true;
            if (l.width == 3 && l.line.x2 == ToPixel(k.tipX - 6 * ux) && l.line.y2 == ToPixel(k.tipY - 6 * uy)) three = true;
        }
        EXPECT_TRUE(two && three) << k.g1;
    }
}

TEST(SurfaceMap, APickShowsWhereTheRunWasWithItsGradient) {
    MapFixture f(3);
    f.SetRun({1, 1, 1}, {0, 0, 0});
    f.doc.track.mWHist = Matrix(1, 3, 1.0);  // the run stood at (1, 1, 1) ...
    Matrix g(1, 3, 0.0);
    g(0, 0) = 30, g(0, 1) = 40;  // ... with this gradient
    f.doc.track.mGwHist = g;
    f.doc.disp.bMouseDrag = 1;
    f.doc.disp.mPickW = MapFixture::Column({1.5, 0.5, 1});  // the point being picked
    MapCanvas c;
    DrawSurfaceMap(f.doc, c, false);
    auto ringAt = [&c](int x, int y) {
        for (const Rect& e : c.ellipses)
            if (e.left == x - 4 && e.top == y - 4 && e.right == x + 4 && e.bottom == y + 4) return true;
        return false;
    };
    EXPECT_TRUE(ringAt(925, 575));  // the picked point is the current one
    EXPECT_TRUE(ringAt(850, 500));  // where the run's history stands
    EXPECT_TRUE(c.HasLine(850, 500, 880, 460));
    f.doc.disp.bMouseDrag = 0;  // no pick: the history is not shown
    MapCanvas d;
    DrawSurfaceMap(f.doc, d, false);
    EXPECT_FALSE(d.HasLine(850, 500, 880, 460));
}

TEST(SurfaceMap, SliceFilterEdgesAreStrict) {
    struct Case {
        int var;
        int linear;
        int pos;
        double band;
        double lu, w2;
        bool passes;
    };
    // Lu slice on Lu itself over 0..50: level 25 at 50.0 %, band 50 x 1.0 x 2 % = 1.
    // Weight slice (w2 of 4): level 2 at 50.0 %, band 4 x 0.5 x 2 % = 0.04.
    const Case cases[] = {
        {0, 1, 500, 1.0, 24.0, 1, false}, {0, 1, 500, 1.0, 26.0, 1, false}, {0, 1, 500, 1.0, 24.001, 1, true},
        {0, 1, 500, 1.0, 25.999, 1, true}, {2, 1, 500, 0.5, 10, 2.0399, true}, {2, 1, 500, 0.5, 10, 2.0401, false},
        {2, 1, 500, 0.5, 10, 1.9601, true}, {2, 1, 500, 0.5, 10, 1.9599, false}, {-1, 1, 500, 0.5, 1e9, 9, true},
        // On the log scale, position 1 keeps the losses within 2 % x band of the range above
        // the smallest: ln 1 .. ln 50, band 0.02 x ln 50.
        {0, 0, 1, 1.0, 1.0, 1, true}, {0, 0, 1, 1.0, std::exp(0.02 * std::log(50.0)) * 1.01, 1, false},
        {0, 0, 1, 1.0, std::exp(0.02 * std::log(50.0)) * 0.99, 1, true}};
    for (const Case& k : cases) {
        DisplayState d;
        d.iSliceVar = k.var;
        d.bLinearLu = k.linear;
        d.iSlicePos = k.pos;
        d.dSliceBand = k.band;
        const double lus[2] = {k.linear ? 0.0 : 1.0, 50};
        const double ws[8] = {1, 1, 1, 1, 1, 1, 1, 1};
        MapPoints pts;
        pts.count = 2;
        pts.lu = lus;
        pts.luStride = 1;
        pts.w = ws;
        pts.wStride = 4;
        const SliceFilter f = MakeSliceFilter(d, 4, pts);
        const double w[4] = {1, k.w2, 0.5, 0.5};
        EXPECT_EQ(f.Passes(k.lu, w), k.passes) << k.var << " " << k.lu << " " << k.w2;
    }
}

TEST(SurfaceMap, LegendLevelsAndTheBlock) {
    struct Case {
        int level;
        bool preset, minimum;
        size_t rings;  // minimum, preset, current
    };
    for (const Case& k : {Case{0, true, true, 3}, Case{1, false, true, 1}, Case{2, false, false, 0},
                          Case{3, false, false, 1}}) {
        MapFixture f(3);
        f.SetRun({1, 1, 1}, {0, 0, 0});
        f.doc.track.mDispPresetW = MapFixture::Column({1.5, 0.5, 1});
        f.doc.disp.iLegendLevel = k.level;
        f.doc.disp.iSliceVar = 2;
        f.doc.disp.iSlicePos = 500;
        f.doc.runs.rsAutoScan.bRunning = 1;
        f.doc.runs.rsAutoScan.iProgress = -3;
        MapCanvas c;
        DrawSurfaceMap(f.doc, c, false);
        EXPECT_EQ(HasText(c, "W Preset=<1.50000000,0.50000000,1.00000000>", 700, 720), k.preset) << k.level;
        EXPECT_EQ(HasText(c, "Min(Lu) on surface file is Lu=1.75000000", 700, 740), k.minimum) << k.level;
        EXPECT_EQ(HasText(c, "at point <0.25000000,0.25000000,2.50000000>", 700, 760), k.minimum) << k.level;
        // Every ring is a 9-pixel ellipse and its 3-pixel dot.
        EXPECT_EQ(c.ellipses.size(), 2 * k.rings) << k.level;
        // The block, right-aligned at 700 + 450 + 50 - 50, from 650 - 450 + 40.
        EXPECT_TRUE(HasText(c, "Current method=", 1150, 240, true));
        EXPECT_TRUE(HasText(c, "Surface type=Log(Lu) (w. C_Y=50.0% +/- 1.0%)", 1150, 260, true));
        EXPECT_TRUE(HasText(c, "dPercSurfMap=1.00", 1150, 280, true));
        EXPECT_TRUE(HasText(c, "AutoScan speed=3", 1150, 300, true));
    }
}

TEST(SurfaceMap, ThinningAndSizedGlyphs) {
    // One point of the cloud at each size of w1: 5, 4, 3 and 1 pixels with sized glyphs.
    const std::vector<Row> rows{{1, 0.5, 1, 1, 1.5}, {2, 1.5, 1, 1, 0.5}, {3, 2.5, 0.5, 0.5, 0.5}, {4, 3.5, 0.2, 0.2, 0.1}};
    struct Case {
        int sized, highRes, pixels;
    };
    for (const Case& k : {Case{0, 1, 12}, Case{1, 1, 13}, Case{1, 0, 5}}) {
        MapFixture f(4, rows);
        f.doc.disp.bSizedMarkers = k.sized;
        f.doc.opt.bHighRes = k.highRes;  // without it only rows 0, 25, 50, ... are drawn
        MapCanvas c;
        DrawSurfaceMap(f.doc, c, false);
        EXPECT_EQ(c.pixels, k.pixels) << k.sized << k.highRes;
    }
}

TEST(SurfaceMap, ScanPointsAppearAsTheyAreComputed) {
    surftest::Fixture f;
    ASSERT_TRUE(f.doc.OnOpenDocument(f.Data(surftest::kThree)));
    f.doc.bOneItemPerStep = 1;
    f.doc.OnAnalyzeSurface();
    int last = 0;
    for (int step = 1; step <= 4; ++step) {
        f.doc.OnStepMessage(RunMessage::SurfaceStep);
        MapCanvas c;
        DrawSurfaceMap(f.doc, c, false);
        // Three black pixels a point so far, and the ring at the point being explored.
        EXPECT_EQ(c.pixels, 3 * step);
        EXPECT_EQ(c.ellipses.size(), 2u);
        EXPECT_GT(c.pixels, last);
        last = c.pixels;
    }
    f.doc.StopAllRunsAndJoin();
}

}  // namespace
}  // namespace zelk
