// The keys and the mouse through the document and the scripted platform: slice stepping and
// modes, the auto-scan's speeds and bounce, contrast and turning limits, keys that do not
// apply, the pick that moves a running optimiser, Escape during a pick, the fit, and the
// help table that the handlers dispatch through.
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "support/MapTestUtil.h"
#include "view/Controls.h"
#include "view/Projection.h"
#include "view/SurfaceMap.h"

namespace zelk {
namespace {

using maptest::MapFixture;

void Chars(CZELKDoc& doc, const std::string& keys) {
    for (char c : keys) OnChar(doc, c);
}

TEST(Controls, SliceStepsVisitTheGridBothWaysAndKeysNeedASliceMode) {
    MapFixture f(3);
    // Without a slice mode Up does nothing and draws nothing.
    const int redraws = f.pf.redraws;
    EXPECT_TRUE(OnKeyDown(f.doc, VirtualKey::Up, false));
    EXPECT_EQ(f.doc.disp.iSlicePos, 1);
    EXPECT_EQ(f.pf.redraws, redraws);

    f.doc.disp.iSliceVar = 1;
    std::vector<int> forward{1}, backward;
    while (f.doc.SliceForward()) forward.push_back(f.doc.disp.iSlicePos);
    ASSERT_EQ(forward.size(), 201u);
    for (size_t i = 1; i < forward.size(); ++i) EXPECT_EQ(forward[i], 5 * static_cast<int>(i));
    backward.push_back(f.doc.disp.iSlicePos);
    while (OnKeyDown(f.doc, VirtualKey::Down, false) && f.doc.disp.iSlicePos != backward.back())
        backward.push_back(f.doc.disp.iSlicePos);
    EXPECT_EQ(std::vector<int>(backward.rbegin(), backward.rend()), forward);
    EXPECT_FALSE(f.doc.SliceBackward());
}

TEST(Controls, SliceModesAndTheColourScaleCycle) {
    MapFixture f(4);
    f.doc.surf.sLuScale = "Lu";
    EXPECT_TRUE(OnKeyDown(f.doc, VirtualKey::Right, false));
    EXPECT_EQ(f.doc.disp.iSliceVar, 0);
    EXPECT_EQ(f.doc.surf.sLuScale, "1");
    for (int r = 0; r < f.doc.surf.mSurface.Rows(); ++r) EXPECT_EQ(f.doc.surf.mSurface(r, 5), 0);
    // Slicing by Lu level: Space does nothing.
    OnKeyDown(f.doc, VirtualKey::Space, false);
    EXPECT_EQ(f.doc.surf.sLuScale, "1");
    OnKeyDown(f.doc, VirtualKey::Right, false);
    EXPECT_EQ(f.doc.surf.sLuScale, "Log(Lu)");
    for (int i = 0; i < 5; ++i) OnKeyDown(f.doc, VirtualKey::Right, false);
    EXPECT_EQ(f.doc.disp.iSliceVar, 4);

    f.doc.opt.dSurfacePow = 0.5;
    std::vector<std::string> seen;
    for (int i = 0; i < 6; ++i) {
        OnKeyDown(f.doc, VirtualKey::Space, false);
        seen.push_back(f.doc.surf.sLuScale);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Pow(Lu,0.5)", "Lu", " ", "1", "Log(Lu)", "Pow(Lu,0.5)"}));
    Chars(f.doc, "++=-");
    EXPECT_EQ(f.doc.surf.sLuScale, "Pow(Lu,0.7)");
    // Ctrl moves the legend; back to every point, and no further.
    OnKeyDown(f.doc, VirtualKey::Left, true);
    EXPECT_EQ(f.doc.disp.iLegendOffsetX, -60);
    for (int i = 0; i < 8; ++i) OnKeyDown(f.doc, VirtualKey::Left, false);
    EXPECT_EQ(f.doc.disp.iSliceVar, -1);
}

TEST(Controls, AutoScanSpeedsStopAndBounce) {
    MapFixture f(3);
    RunState& rs = f.doc.runs.rsAutoScan;
    OnChar(f.doc, ']');  // no slice mode: nothing starts
    EXPECT_EQ(rs.bRunning, 0);
    f.doc.disp.iSliceVar = 1;
    OnChar(f.doc, ']');
    EXPECT_EQ(rs.bRunning, 1);
    EXPECT_EQ(rs.iProgress, -1);
    Chars(f.doc, "]]]]]]]]]]]]");
    EXPECT_EQ(rs.iProgress, -10);
    Chars(f.doc, std::string(8, '['));
    EXPECT_EQ(rs.iProgress, -2);
    OnChar(f.doc, '[');
    EXPECT_EQ(rs.iProgress, -1);
    OnChar(f.doc, '[');
    EXPECT_EQ(rs.bRunning, 0);

    // The step moves the slice only while the window is in front, and turns at the ends.
    OnChar(f.doc, ']');
    f.doc.disp.iSlicePos = 10;
    f.pf.foreground = false;
    f.doc.OnStepMessage(RunMessage::AutoScanStep);
    EXPECT_EQ(f.doc.disp.iSlicePos, 10);
    f.pf.foreground = true;
    std::vector<int> path;
    for (int i = 0; i < 4; ++i) {
        f.doc.OnStepMessage(RunMessage::AutoScanStep);
        path.push_back(f.doc.disp.iSlicePos);
    }
    EXPECT_EQ(path, (std::vector<int>{5, 1, 5, 10}));
    EXPECT_EQ(rs.iProgress, 1);
    // Leaving the slice modes by way of "by Lu level" stops it.
    f.doc.disp.iSliceVar = 0;
    OnKeyDown(f.doc, VirtualKey::Left, false);
    EXPECT_EQ(rs.bRunning, 0);
}

TEST(Controls, ContrastTurnsScaleAndPauseStayWithinTheirLimits) {
    MapFixture f(4);
    double& c = f.doc.opt.dPercSurfMap;
    std::vector<double> down;
    for (int i = 0; i < 30; ++i) {
        OnChar(f.doc, ',');
        down.push_back(c);
    }
    const std::vector<double> want{0.9, 0.8, 0.7, 0.6, 0.5, 0.4, 0.3, 0.2, 0.1, 0.09,
                                   0.08, 0.07, 0.06, 0.05, 0.04, 0.03, 0.02, 0.01};
    for (size_t i = 0; i < down.size(); ++i) EXPECT_NEAR(down[i], want[std::min(i, want.size() - 1)], 1e-9) << i;
    for (int i = 0; i < 30; ++i) OnChar(f.doc, '>');
    EXPECT_NEAR(c, 1.0, 1e-9);

    // Page Down 24 times from 0 is a full turn, exactly 0 again; Delete the same way back.
    for (VirtualKey k : {VirtualKey::PageDown, VirtualKey::Delete}) {
        f.doc.disp.qz = 0;
        for (int i = 0; i < 24; ++i) {
            OnKeyDown(f.doc, k, false);
            if (i < 23) {
                EXPECT_NE(f.doc.disp.qz, 0) << i;
            }
        }
        EXPECT_EQ(f.doc.disp.qz, 0);
    }
    // The cloud's scale has no lower limit.
    f.doc.disp.d3dscale = 100;
    for (int i = 0; i < 3; ++i) OnKeyDown(f.doc, VirtualKey::Insert, false);
    EXPECT_EQ(f.doc.disp.d3dscale, -50);

    // ; at 0 does nothing and draws nothing; ' adds 5 and reaches a running replay.
    f.doc.opt.iSleepMilli = 0;
    int redraws = f.pf.redraws;
    OnChar(f.doc, ';');
    EXPECT_EQ(f.doc.opt.iSleepMilli, 0);
    EXPECT_EQ(f.pf.redraws, redraws);
    f.doc.runs.rsNRTReplay.bRunning = 1;
    OnChar(f.doc, '"');
    EXPECT_EQ(f.doc.runs.rsNRTReplay.iSleepMilli, 5);
    f.doc.runs.rsNRTReplay.bRunning = 0;

    // Map keys of the triangle on a cloud, or of any map on two variables, do nothing.
    MapFixture two(2);
    const DisplayState before = two.doc.disp;
    redraws = two.pf.redraws;
    for (VirtualKey k : {VirtualKey::PageUp, VirtualKey::PageDown, VirtualKey::Insert, VirtualKey::Home})
        OnKeyDown(two.doc, k, false);
    OnChar(two.doc, 'z');
    EXPECT_EQ(two.doc.disp.dMapScaleX, before.dMapScaleX);
    EXPECT_EQ(two.doc.disp.qz, before.qz);
    EXPECT_EQ(two.pf.redraws, redraws);
}

TEST(Controls, TheTriangleNeverShrinksBelow50AndOtherCharactersToggle) {
    MapFixture f(3);
    for (int i = 0; i < 12; ++i) OnKeyDown(f.doc, VirtualKey::Insert, false);
    EXPECT_EQ(f.doc.disp.dMapScaleX, 50);
    EXPECT_EQ(f.doc.disp.dMapScaleY, 50);
    OnKeyDown(f.doc, VirtualKey::Home, false);
    EXPECT_EQ(f.doc.disp.dMapScaleX, 450);
    Chars(f.doc, "46828");
    EXPECT_EQ(f.doc.disp.dOriginX, 700);
    EXPECT_EQ(f.doc.disp.dOriginY, 600);

    std::vector<double> bands;
    for (int i = 0; i < 12; ++i) {
        OnChar(f.doc, 'V');
        bands.push_back(f.doc.disp.dSliceBand);
    }
    EXPECT_NEAR(bands[0], 0.9, 1e-9);
    EXPECT_NEAR(bands[8], 0.1, 1e-9);
    EXPECT_EQ(bands[9], 0.01);
    EXPECT_EQ(bands[10], 1.0);
    Chars(f.doc, "TttttSSsSs");
    EXPECT_EQ(f.doc.opt.iThreadPriority12345, 3);  // 3 -> 4 5 1 2 3
    EXPECT_EQ(f.doc.disp.iLegendLevel, 1);
    // The characters that also go on to the framework say so.
    EXPECT_FALSE(OnChar(f.doc, 'h'));
    EXPECT_TRUE(OnChar(f.doc, 'g'));
    EXPECT_FALSE(OnChar(f.doc, '!'));
}

TEST(Controls, APickMovesARunningOptimiserAndEscapeEndsAPick) {
    MapFixture f(3);
    f.doc.OnAnalyzeNrt();
    for (int s = 0; s < 100000 && f.doc.nrt.iIter < 2 && f.doc.runs.rsNRT.bRunning; ++s)
        f.doc.OnStepMessage(RunMessage::NrtStep);
    ASSERT_TRUE(f.doc.runs.rsNRT.bRunning);
    ApplyDefaultMapPlace(f.doc.disp, 3);  // as the window's first draw does
    const Matrix before = f.doc.nrt.mStartW;

    // Outside the triangle (and on its edge): refused, the run is as it was.
    for (auto xy : {std::pair<int, int>{650, 600}, {1150, 650}}) {
        OnLeftButtonDown(f.doc, xy.first, xy.second);
        EXPECT_TRUE(f.doc.nrt.mStartW.EqualWithin(before, 1e-300));
        EXPECT_EQ(f.doc.runs.rsNRT.bStepRequest, 0);
    }
    // w = (1.5, 0.6, 0.9) sits at (925, 560).
    OnLeftButtonDown(f.doc, 925, 560);
    EXPECT_EQ(f.doc.runs.rsNRT.bStepRequest, 1);
    EXPECT_EQ(f.doc.runs.rsNRT.bPaused, 0);
    const std::vector<double> picked{1.5, 0.6, 0.9};
    const int rows = f.doc.track.mWHist.Rows();
    for (int s = 0; s < 100000 && f.doc.track.mWHist.Rows() == rows && f.doc.runs.rsNRT.bRunning; ++s)
        f.doc.OnStepMessage(RunMessage::NrtStep);
    ASSERT_EQ(f.doc.track.mWHist.Rows(), rows + 1);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(f.doc.track.mWHist.Get(rows, k), picked[k], 1e-12) << k;

    // A right-button drag holds the run; Escape ends the pick and puts the run back at the
    // last row of its history, without the cancel question.
    OnRightButtonDown(f.doc, 850, 500);
    EXPECT_EQ(f.doc.disp.bMouseDrag, 1);
    EXPECT_EQ(f.doc.runs.rsNRT.bPaused, 1);
    EXPECT_EQ(f.doc.runs.rsNRT.bTimingSuspended, 1);
    OnMouseMove(f.doc, 880, 520);
    EXPECT_NEAR(f.doc.nrt.mStartW(0, 0), 1.2, 1e-12);
    const size_t boxes = f.pf.boxes.size();
    OnKeyDown(f.doc, VirtualKey::Escape, false);
    EXPECT_EQ(f.pf.boxes.size(), boxes);
    EXPECT_EQ(f.doc.disp.bMouseDrag, 0);
    EXPECT_EQ(f.doc.runs.rsNRT.bPaused, 0);
    EXPECT_EQ(f.doc.runs.rsNRT.bTimingSuspended, 0);
    EXPECT_EQ(f.doc.disp.bPointReset, 1);
    const int last = f.doc.track.mWHist.Rows() - 1;
    for (int k = 0; k < 3; ++k) EXPECT_EQ(f.doc.nrt.mStartW(k, 0), f.doc.track.mWHist.Get(last, k));
    // Now Escape asks; Cancel lets the run go on.
    f.pf.answers.push_back(MsgAnswer::Cancel);
    OnKeyDown(f.doc, VirtualKey::Escape, false);
    EXPECT_EQ(f.pf.LastBox(), "Are you sure you want to cancel this run?");
    EXPECT_TRUE(f.doc.runs.rsNRT.bRunning);
    // No scan may be picked on, nor a run in its last iterations.
    f.doc.nrt.iIter = f.doc.nrt.iMaxIterRun - 2;
    OnRightButtonDown(f.doc, 925, 560);
    EXPECT_EQ(f.doc.disp.bMouseDrag, 0);
}

TEST(Controls, TheCloudPicksTheNearestShownPointWithin25Pixels) {
    MapFixture f(4);
    const MapPoints pts = MapPointsOf(f.doc, 4);
    const CloudProjection project(MapGeometryOf(f.doc.disp, 4));
    const double* w = pts.W(3);
    const ScreenPoint s = project(w[0], w[1], w[2]);
    Matrix got;
    ASSERT_TRUE(PickWeights(f.doc, static_cast<int>(s.x), static_cast<int>(s.y), got));
    EXPECT_NEAR(got(3, 0), 4 - w[0] - w[1] - w[2], 1e-12);
    EXPECT_FALSE(PickWeights(f.doc, -500, -500, got));
    // A slice that hides every point leaves nothing to pick.
    f.doc.disp.iSliceVar = 1;
    f.doc.disp.iSlicePos = 1000;
    f.doc.disp.dSliceBand = 0.01;
    EXPECT_FALSE(PickWeights(f.doc, static_cast<int>(s.x), static_cast<int>(s.y), got));
}

TEST(Controls, TheFitBringsTheSurfaceIntoView) {
    // The triangle: the lower left corner of the weight range at (700, 650).
    MapFixture f3(3, {{1, 0.5, 1.0, 1.5}, {2, 1.5, 1.0, 0.5}, {3, 0.5, 2.0, 0.5}});
    OnChar(f3.doc, 'z');
    EXPECT_NEAR(f3.doc.disp.dMapScaleX, 1350, 1e-9);
    Matrix w;
    ASSERT_TRUE(PickWeights(f3.doc, 701, 649, w));
    EXPECT_NEAR(w(0, 0), 0.5, 0.01);
    EXPECT_NEAR(w(1, 0), 1.0, 0.01);

    // The cloud, moved far away, turned and enlarged: every corner of the weight box comes back into
    // the window, with the angles and the scale unchanged.
    MapFixture f4(4, {{1, 0.5, 0.5, 0.5, 2.5}, {2, 1.5, 1.0, 0.25, 1.25}});
    DisplayState& d = f4.doc.disp;
    d.dOriginX = 5000;
    d.dOriginY = -4000;
    for (int turns : {0, 5, 11}) {
        for (int i = 0; i < turns; ++i) OnKeyDown(f4.doc, VirtualKey::PageDown, false);
        OnKeyDown(f4.doc, VirtualKey::PageUp, false);
        const double qz = d.qz, scale = d.d3dscale;
        OnChar(f4.doc, 'Z');
        EXPECT_EQ(d.qz, qz);
        EXPECT_EQ(d.d3dscale, scale);
        const CloudProjection project(MapGeometryOf(d, 4));
        for (int c = 0; c < 8; ++c) {
            const ScreenPoint p = project(c & 1 ? 1.5 : 0.5, c & 2 ? 1.0 : 0.5, c & 4 ? 0.5 : 0.25);
            EXPECT_TRUE(p.ok && p.x > 300 && p.x < 1600 && p.y > 0 && p.y < 1000) << turns << " " << p.x << " " << p.y;
        }
    }
}

TEST(Controls, OneTableForTheHandlersTheHelpAndTheReadme) {
    std::set<std::pair<int, int>> codes;
    std::ifstream in(ZELK_SOURCE_DIR "/README.md");
    std::stringstream readme;
    readme << in.rdbuf();
    const std::string text = readme.str();
    const size_t keys = text.find("## Keys");
    ASSERT_NE(keys, std::string::npos);
    const std::string section = text.substr(keys, text.find("\n## ", keys + 1) - keys);
    for (const ControlEntry& e : ControlTable()) {
        EXPECT_EQ(e.act == nullptr, e.kind == ControlEntry::Kind::Mouse) << e.keys;
        EXPECT_FALSE(std::string(e.effect).empty()) << e.keys;
        for (int c : e.codes) EXPECT_TRUE(codes.insert({static_cast<int>(e.kind), c}).second) << e.keys;
        EXPECT_NE(section.find(std::string("| ") + e.keys + " |"), std::string::npos)
            << "README's Keys section lacks " << e.keys;
    }
    EXPECT_EQ(codes.size(), 11u + 29u);
}

}  // namespace
}  // namespace zelk
