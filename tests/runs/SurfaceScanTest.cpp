// The surface scan through its public path: the Surface command, the step messages,
// the file it writes and the next load of that file.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/Engine.h"
#include "data/ProblemOf.h"
#include "runs/SurfaceScan.h"
#include "support/SurfaceTestUtil.h"

namespace zelk {
namespace {

using namespace surftest;

std::string Header2() { return FitRight12("Lu") + " " + FitRight12("C_X") + " " + FitRight12("C_Y"); }

TEST(SurfaceScan, TwoVariablesDefaultGridWritesEveryPointLastFirstAndEmptiesTheDocument) {
    Fixture f;
    const std::string data = f.Data(kTwoC);
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    ASSERT_EQ(f.doc.data.iNumVar, 2);
    // Before any scan the map shows the bare grid.
    EXPECT_EQ(f.doc.surf.mSurface.Rows(), 1999);
    EXPECT_EQ(f.doc.surf.sLuScale, " ");
    EXPECT_DOUBLE_EQ(f.doc.surf.mSurface(0, 0), 1.0);
    EXPECT_NEAR(f.doc.surf.mSurface(0, 1), 0.001, 1e-12);
    EXPECT_NEAR(f.doc.surf.mSurface(0, 2), 1.999, 1e-12);
    EXPECT_NEAR(f.doc.surf.mSurface(1998, 1), 1.999, 1e-12);
    EXPECT_DOUBLE_EQ(f.doc.surf.dMinLu, 1.0);
    EXPECT_EQ(f.doc.surf.mMinLuW.Rows(), 0);  // no weights without a file

    f.doc.bOneItemPerStep = 1;
    f.doc.OnAnalyzeSurface();
    ASSERT_EQ(f.doc.runs.rsSurface.bRunning, 1);
    f.doc.OnStepMessage(RunMessage::SurfaceStep);
    // The first point is (0.001, 1.999).
    EXPECT_EQ(f.doc.track.sMethodTitle, "Surface T");
    EXPECT_EQ(f.doc.runs.rsSurface.iProgressMax, 1999);
    EXPECT_EQ(f.doc.runs.rsSurface.iProgress, 1);
    ASSERT_EQ(f.doc.track.mResultTable2.Rows(), 1);
    EXPECT_EQ(f.doc.track.mResultTable2.Name(), "Current w (iteration 1)");
    EXPECT_NEAR(f.doc.track.mResultTable2(0, 1), 0.001, 1e-12);
    EXPECT_NEAR(f.doc.track.mResultTable2(0, 2), 1.999, 1e-12);
    // While the scan runs nothing is written: the file appears whole at the end.
    const std::string path = data + ".SuT.out";
    EXPECT_FALSE(Exists(path));

    f.RunSurface();
    EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 0);
    EXPECT_EQ(f.doc.bNoData, 1);  // the scan ends by emptying the document
    EXPECT_EQ(f.pf.LastBox(), "Surface file written to " + path + ".\nReopen " + data +
                                  " to see the surface.\n\n1999 iterations in 0 seconds\n");
    EXPECT_EQ(f.pf.boxes.back().icon, MsgIcon::Information);

    auto lines = ReadLines(path);
    ASSERT_EQ(lines.size(), 5u + 1999u);
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "W history");
    EXPECT_EQ(lines[4], Header2());
    EXPECT_EQ(Tokens(lines[5])[1], "1.99900000");
    EXPECT_EQ(Tokens(lines[5])[2], "0.00100000");
    EXPECT_EQ(Tokens(lines.back())[1], "0.00100000");
    EXPECT_EQ(Tokens(lines.back())[2], "1.99900000");
    for (size_t i = 5; i < lines.size(); ++i) ASSERT_EQ(Tokens(lines[i]).size(), 3u) << i;

    // Reopening loads the points in file order.
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    EXPECT_EQ(f.doc.surf.sSurfaceFile, path);
    EXPECT_EQ(f.doc.surf.sLuScale, "Log(Lu)");
    ASSERT_EQ(f.doc.surf.mSurface.Rows(), 1999);
    ASSERT_EQ(f.doc.surf.mSurface.Cols(), 4);
    EXPECT_NEAR(f.doc.surf.mSurface(0, 1), 1.999, 1e-12);
    EXPECT_NEAR(f.doc.surf.mSurface(1998, 1), 0.001, 1e-12);
    // The smallest and largest Lu and where they lie.
    double lo = 1e300, hi = -1e300;
    int rLo = 0;
    for (int r = 0; r < 1999; ++r) {
        if (f.doc.surf.mSurface(r, 0) < lo) lo = f.doc.surf.mSurface(r, 0), rLo = r;
        hi = std::max(hi, f.doc.surf.mSurface(r, 0));
    }
    EXPECT_DOUBLE_EQ(f.doc.surf.dMinLu, lo);
    EXPECT_DOUBLE_EQ(f.doc.surf.dMaxLu, hi);
    EXPECT_DOUBLE_EQ(f.doc.surf.mSurface(rLo, 3), 1.0);  // the colour column, on the log scale
    ASSERT_EQ(f.doc.surf.mMinLuW.Rows(), 2);
    EXPECT_DOUBLE_EQ(f.doc.surf.mMinLuW(0, 0), f.doc.surf.mSurface(rLo, 1));
}

TEST(SurfaceScan, OnePointPerStepAndTimedBatchesWriteTheSameBytes) {
    Fixture f;
    const std::string data = f.Data(kThree);
    const std::string path = data + ".SuT.out";
    std::string files[2];
    int steps[2];
    for (int mode = 0; mode < 2; ++mode) {
        ASSERT_TRUE(f.doc.OnOpenDocument(data)) << mode;
        f.doc.bOneItemPerStep = mode == 0 ? 1 : 0;
        f.doc.iStepBudgetMs = 10;
        steps[mode] = f.Scan();
        files[mode] = ReadText(path);
        // Reopening accepts the file; remove it so the next open starts from the grid.
        std::remove(path.c_str());
    }
    EXPECT_EQ(files[0], files[1]);
    EXPECT_GT(steps[0], steps[1]);
    // The default three-variable grid: w1, w2 in 0.02 .. 2.98, w3 in the same range.
    EXPECT_EQ(std::count(files[0].begin(), files[0].end(), '\n'), 5 + 11026);
}

TEST(SurfaceScan, ThreeVariablesIgnoreTheOptionBoundsOfTheThirdWeight) {
    Fixture f;
    f.doc.opt.dSurfaceMinW[2] = 1.0;
    f.doc.opt.dSurfaceMaxW[2] = 1.5;
    ASSERT_TRUE(f.doc.OnOpenDocument(f.Data(kThree)));
    EXPECT_DOUBLE_EQ(f.doc.surf.grid.dSurfaceMinW[2], 0.02);
    EXPECT_DOUBLE_EQ(f.doc.surf.grid.dSurfaceMaxW[2], 2.98);
    EXPECT_EQ(f.doc.surf.mSurface.Rows(), 11026);
    // The options themselves stay as read: the next load sets the grid up afresh.
    EXPECT_DOUBLE_EQ(f.doc.opt.dSurfaceMinW[2], 1.0);
}

TEST(SurfaceScan, GridDefaultsDoNotLeakFromOneDataSetToTheNext) {
    Fixture f;
    ASSERT_TRUE(f.doc.OnOpenDocument(f.Data(kTwoC, "two.dat")));
    EXPECT_DOUBLE_EQ(f.doc.surf.grid.dSurfaceMaxW[0], 1.999);
    ASSERT_TRUE(f.doc.OnOpenDocument(f.Data(kFour, "four.dat")));
    for (int d = 0; d < 3; ++d) {
        EXPECT_DOUBLE_EQ(f.doc.surf.grid.dSurfaceMinW[d], 0.05);
        EXPECT_DOUBLE_EQ(f.doc.surf.grid.dSurfaceMaxW[d], 3.95);
    }
    EXPECT_DOUBLE_EQ(f.doc.surf.grid.dSurfaceMinWLast, 0.05);
    EXPECT_DOUBLE_EQ(f.doc.surf.grid.dSurfaceMaxWLast, 4.0);
    EXPECT_EQ(f.doc.surf.mSurface.Rows(), 79079);
}

TEST(SurfaceScan, FourVariablesWithoutAnyValidGridPointFailTheLoad) {
    Fixture f;
    f.doc.opt.dSurfaceMinW[0] = f.doc.opt.dSurfaceMinW[1] = 3.9;
    f.doc.opt.dSurfaceMaxW[0] = f.doc.opt.dSurfaceMaxW[1] = 3.95;
    EXPECT_FALSE(f.doc.OnOpenDocument(f.Data(kFour)));
    EXPECT_EQ(f.pf.LastBox(), "Error: Surface file as specified has 0 records");
    EXPECT_EQ(f.doc.bNoData, 1);
}

TEST(SurfaceScan, GridsWithoutAPointToScanAreRefusedWithoutAFile) {
    // Two variables with w1 from 0 to 1: the first point gives w2 = 2, outside the w2 range
    // (0.001 .. 1.999), and the scan would end there though 1000 valid points follow; three
    // variables whose w1 and w2 bounds leave no room for w3.
    struct Case {
        const char* data;
        double min1, max1, min2, max2;
        int mapRows;
    };
    for (const Case& c : {Case{kTwoC, 0, 1, 0, 0, 1000}, Case{kThree, 2, 2.9, 2, 2.9, 0}}) {
        Fixture f;
        f.doc.opt.dSurfaceMinW[0] = c.min1;
        f.doc.opt.dSurfaceMaxW[0] = c.max1;
        f.doc.opt.dSurfaceMinW[1] = c.min2;
        f.doc.opt.dSurfaceMaxW[1] = c.max2;
        const std::string data = f.Data(c.data);
        ASSERT_TRUE(f.doc.OnOpenDocument(data));
        EXPECT_EQ(f.doc.surf.mSurface.Rows(), c.mapRows);
        f.doc.cmd.iBatchSUT = 1;
        EXPECT_EQ(f.Scan(), 0);
        EXPECT_EQ(f.pf.LastBox().rfind("The surface grid has no point to scan", 0), 0u) << f.pf.LastBox();
        EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 0);
        EXPECT_EQ(f.doc.iExitCode, 1);
        EXPECT_FALSE(Exists(data + ".SuT.out"));
        // The data set stays loaded and opens again without a word.
        EXPECT_EQ(f.doc.bNoData, 0);
        const size_t boxes = f.pf.boxes.size();
        EXPECT_TRUE(f.doc.OnOpenDocument(data));
        EXPECT_EQ(f.pf.boxes.size(), boxes);
    }
}

TEST(SurfaceScan, CancelledScanWritesThePointsDoneSoFar) {
    Fixture f;
    const std::string data = f.Data(kTwoC);
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    f.doc.bOneItemPerStep = 1;
    f.doc.OnAnalyzeSurface();
    for (int k = 0; k < 5; ++k) f.doc.OnStepMessage(RunMessage::SurfaceStep);
    f.doc.scan.bInitialised = 0;  // Escape, confirmed
    f.doc.OnStepMessage(RunMessage::SurfaceStep);
    EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 0);
    EXPECT_EQ(f.doc.bNoData, 1);
    EXPECT_NE(f.pf.LastBox().find("\n\n5 iterations in "), std::string::npos);
    auto lines = ReadLines(data + ".SuT.out");
    ASSERT_EQ(lines.size(), 5u + 5u);
    EXPECT_EQ(Tokens(lines[5])[1], "0.00500000");
    EXPECT_EQ(Tokens(lines[9])[1], "0.00100000");
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    EXPECT_EQ(f.doc.surf.mSurface.Rows(), 5);
}

TEST(SurfaceScan, CancelJustBeforeTheLastPointWritesNoUnsetRow) {
    Fixture f;
    f.doc.opt.dSurfaceByW2Vars = 0.5;  // w1 = 0.5, 1.0, 1.5
    const std::string data = f.Data(kTwoC);
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    f.doc.bOneItemPerStep = 1;
    f.doc.OnAnalyzeSurface();
    f.doc.OnStepMessage(RunMessage::SurfaceStep);
    f.doc.OnStepMessage(RunMessage::SurfaceStep);
    f.doc.scan.bInitialised = 0;
    f.doc.OnStepMessage(RunMessage::SurfaceStep);
    auto lines = ReadLines(data + ".SuT.out");
    ASSERT_EQ(lines.size(), 5u + 2u);
    for (size_t i = 5; i < lines.size(); ++i) EXPECT_EQ(lines[i].find("-999999999"), std::string::npos);
}

TEST(SurfaceScan, DeSoeteScanWritesItsOwnFileAndTheLoadPrefersIt) {
    Fixture f;
    f.doc.opt.bDeSoeteSurface = 1;
    f.doc.opt.dSurfaceByW2Vars = 0.1;
    const std::string data = f.Data(kTwoC);
    // An invalid ordinary surface file beside it is never looked at.
    WriteText(data + ".SuT.out", "garbage\n");
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    f.Scan();
    auto lines = ReadLines(data + ".DSSuT.out");
    ASSERT_EQ(lines.size(), 5u + 19u);
    EXPECT_EQ(ReadText(data + ".SuT.out"), "garbage\n");
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    EXPECT_EQ(f.doc.surf.sSurfaceFile, data + ".DSSuT.out");
    EXPECT_EQ(f.doc.surf.mSurface.Rows(), 19);
    // De Soete's normaliser: the loss divided by the sum of the squared distances.
    Problem pb = MakeProblem(f.doc.data, f.doc.prep, false);
    LossOnly ds, plain;
    RealList w{f.doc.surf.mSurface(0, 1), f.doc.surf.mSurface(0, 2)};
    EvaluateLossOnly(pb, w, true, ds);
    EvaluateLossOnly(pb, w, false, plain);
    EXPECT_NEAR(f.doc.surf.mSurface(0, 0), ds.Lu, 1e-8);
    EXPECT_GT(std::fabs(ds.Lu - plain.Lu), 1e-6);
}

TEST(SurfaceScan, BatchScanShowsNoReportAndCompletesTheBatch) {
    Fixture f;
    f.doc.opt.dSurfaceByW2Vars = 0.25;
    const std::string data = f.Data(kTwoC);
    f.pf.commandLine = "zelk " + data + " -SUT";
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    ASSERT_EQ(f.doc.cmd.iBatchSUT, 1);
    const size_t boxesBefore = f.pf.boxes.size();
    f.Scan();
    EXPECT_EQ(f.pf.boxes.size(), boxesBefore);
    EXPECT_EQ(f.doc.cmd.iBatchSUT, 2);
    EXPECT_EQ(f.doc.bBatchFinished, 1);
    ASSERT_EQ(f.doc.asFilesWritten.size(), 1u);
    EXPECT_EQ(f.doc.asFilesWritten[0], data + ".SuT.out");
    EXPECT_EQ(ReadLines(data + ".SuT.out").size(), 5u + 7u);
}

TEST(SurfaceScan, LastWeightZeroStopsTheScanAndWritesNoFile) {
    Fixture f;
    // A step of 1e-7 lets the last weight come within 1e-6 of 0 inside its range.
    f.doc.opt.dSurfaceByW2Vars = 1e-7;
    f.doc.opt.dSurfaceMinW[0] = 1.99995;
    f.doc.opt.dSurfaceMaxW[0] = 1.99999995;
    const std::string data = f.Data(kTwoC);
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    f.Scan();
    EXPECT_EQ(f.pf.LastBox(), "Error: The last weight cannot equal 0");
    EXPECT_EQ(f.pf.boxes.back().icon, MsgIcon::Stop);
    EXPECT_EQ(f.doc.bNoData, 1);
    EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 0);
    EXPECT_FALSE(Exists(data + ".SuT.out"));
}

TEST(SurfaceScan, CommandRefusals) {
    {
        Fixture f;
        ASSERT_TRUE(f.doc.OnOpenDocument(
            f.Data("C_A\tC_B\tC_C\tC_D\tC_E\n1\t2\t3\t4\t5\n2\t1\t4\t3\t5\n5\t3\t1\t2\t4\n")));
        f.doc.OnAnalyzeSurface();
        EXPECT_EQ(f.pf.LastBox(), "Surface maps are only available for data with <=4 variables.");
        EXPECT_EQ(f.pf.boxes.back().icon, MsgIcon::Stop);
        EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 0);
    }
    {
        Fixture f;
        // One record: no pair and no triple. Whether or not the loader takes it, no scan
        // may hang on it.
        (void)f.doc.OnOpenDocument(f.Data("C_A\tC_B\n1\t2\n"));
        if (f.doc.bNoData == 0) {
            f.doc.OnAnalyzeSurface();
            EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 1);
            f.RunSurface(100000);
            EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 0);
        }
    }
    {
        Fixture f;
        ASSERT_TRUE(f.doc.OnOpenDocument(f.Data("C_A\n1\n2\n5\n")));
        f.doc.OnAnalyzeSurface();
        EXPECT_EQ(f.pf.LastBox(), "Surface maps are only available for data with >=2 variables.");
        EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 0);
    }
    for (double step : {0.0, -0.5}) {
        Fixture f;
        f.doc.opt.dSurfaceByW2Vars = step;
        ASSERT_TRUE(f.doc.OnOpenDocument(f.Data(kTwoC)));
        EXPECT_EQ(f.doc.surf.grid.bGridValid, 0);
        EXPECT_EQ(f.doc.surf.mSurface.Rows(), 0);
        f.doc.OnAnalyzeSurface();
        EXPECT_EQ(f.pf.LastBox(),
                  Format("The surface grid step DSURFACEBYW2VARS=%.8f is not positive, so no "
                         "surface can be scanned.\nSet a positive step in ZELK.ini and open the "
                         "data file again.",
                         step));
        EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 0);
    }
    {
        Fixture f;
        f.doc.opt.dSurfaceByW4Vars = 0.001;  // 3999^3 candidate points
        ASSERT_TRUE(f.doc.OnOpenDocument(f.Data(kFour)));
        EXPECT_EQ(f.doc.surf.grid.bGridValid, 0);
        f.doc.OnAnalyzeSurface();
        EXPECT_EQ(f.pf.LastBox(),
                  "The surface grid with step DSURFACEBYW4VARS=0.00100000 has too many points "
                  "(more than 5000000), so no surface can be scanned.\nSet a larger step in "
                  "ZELK.ini and open the data file again.");
        EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 0);
    }
    {
        Fixture f;  // no data: silently nothing
        f.doc.OnAnalyzeSurface();
        EXPECT_TRUE(f.pf.boxes.empty());
        EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 0);
    }
}

}  // namespace
}  // namespace zelk
