// The document's lifecycle: emptying it, the sequence of an open, a failed open and a
// later successful one.
#include <cmath>

#include "support/LoadTestUtil.h"

namespace zelk {
namespace {

using loadtest::LoadFixture;

TEST(Lifecycle, OnNewDocumentEmptiesEverythingButOptionsAndCommandLine) {
    LoadFixture f("-W=W1");
    ASSERT_TRUE(f.Open("C1\tO1\tW1\n1\t2\t1\n3\t4\t1\n5\t7\t1\n")) << f.pf.LastBox();
    EXPECT_EQ(f.doc.bNoData, 0);
    f.doc.opt.iMaxIter = 33;
    f.doc.opt.dEqFactMult[kTypeC] = 2;
    f.doc.opt.dSurfaceMinW[0] = 0.5;
    f.doc.disp.qx = 1;
    f.doc.disp.dSliceBand = 0.5;
    f.doc.surf.grid.dSurfaceBy = 7;
    f.doc.res.sWrepPath = "x";
    const int redraws = f.pf.redraws;

    EXPECT_TRUE(f.doc.OnNewDocument());
    EXPECT_TRUE(f.Empty());
    EXPECT_EQ(f.pf.redraws, redraws + 1);
    EXPECT_EQ(f.doc.disp.qx, kPi / 6);
    EXPECT_EQ(f.doc.disp.qz, 5 * kPi / 4);
    EXPECT_EQ(f.doc.disp.dSliceBand, 1.0);
    EXPECT_EQ(f.doc.surf.grid.dSurfaceBy, SurfaceState().grid.dSurfaceBy);
    EXPECT_TRUE(f.doc.res.sWrepPath.empty());
    EXPECT_EQ(f.doc.prep.dNumVar, 0);
    EXPECT_EQ(f.doc.runs.rsNRT.bRunning, 0);
    // Options, multipliers, bounds, initial weights and the command line stay.
    EXPECT_EQ(f.doc.opt.iMaxIter, 33);
    EXPECT_EQ(f.doc.opt.dEqFactMult[kTypeC], 2);
    EXPECT_EQ(f.doc.opt.dSurfaceMinW[0], 0.5);
    EXPECT_EQ(f.doc.opt.asInitW, StringList({"1"}));
    EXPECT_EQ(f.doc.cmd.sWeightVar, "W1");
}

TEST(Lifecycle, AFailedOpenLeavesAnEmptyDocumentAndTheFixedFileLoads) {
    LoadFixture f;
    const std::string good = loadtest::ReadAll(std::string(ZELK_SOURCE_DIR "/examples") + "/flower.dat");
    ASSERT_TRUE(f.Open(good)) << f.pf.LastBox();
    // A broken copy under the same name: the earlier data set is gone as well.
    std::string broken = good;
    broken.replace(broken.find('\t'), 1, " ");
    EXPECT_FALSE(f.Open(broken));
    EXPECT_EQ(f.pf.LastBox(), "Data file contains one or more SPACE characters. File must be tab-delimited.");
    EXPECT_TRUE(f.Empty());
    EXPECT_EQ(f.doc.data.iNumRec, 0);
    // Fixed: it loads without restarting.
    EXPECT_TRUE(f.Open(good)) << f.pf.LastBox();
    EXPECT_EQ(f.doc.bNoData, 0);
    EXPECT_EQ(f.doc.data.iNumRec, 18);
    EXPECT_EQ(f.doc.data.sDataPath, f.dir + "/data.dat");
}

TEST(Lifecycle, TheOpenSetsTheLoadConstants) {
    for (int p = 1; p <= 5; ++p) {
        LoadFixture f;
        std::string head, r1, r2, r3;
        for (int k = 0; k < p; ++k) {
            head += (k ? "\tC" : "C") + std::to_string(k);
            r1 += (k ? "\t" : "") + std::to_string(k);
            r2 += (k ? "\t" : "") + std::to_string(2 * k + 1);
            r3 += (k ? "\t" : "") + std::to_string(3 * k + 4);
        }
        ASSERT_TRUE(f.Open(head + "\n" + r1 + "\n" + r2 + "\n" + r3 + "\n")) << p << ": " << f.pf.LastBox();
        EXPECT_EQ(f.doc.bNoData, 0);
        EXPECT_EQ(f.doc.prep.dNumVar, p);
        EXPECT_DOUBLE_EQ(f.doc.prep.dPenaltyPow, 2.0 / 3.0);
        EXPECT_EQ(f.doc.disp.dSliceBand, p == 4 ? 0.2 : 1.0);
        EXPECT_EQ(f.doc.data.sDataPath, f.dir + "/data.dat");
        EXPECT_TRUE(f.pf.boxes.empty()) << f.pf.LastBox();
    }
}

TEST(Lifecycle, TheFirstLoadWithoutInitialWeightsReportsAndGoesOn) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string path = std::string(ZELK_SOURCE_DIR "/examples") + "/flower.dat";
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(pf.LastBox(), "Invalid asInitW (does not have 1 or 8 tokens). Resetting to asInitW=1");
    EXPECT_EQ(doc.opt.asInitW, StringList({"1"}));
    EXPECT_EQ(doc.bNoData, 0);
    // Opening again reports nothing.
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(pf.boxes.size(), 1u);
}

TEST(Lifecycle, AFailedLaterPhaseEmptiesTheDocumentToo) {
    LoadFixture f;
    // Loads, then fails the value-type check: nothing of it stays.
    EXPECT_FALSE(f.Open("C1\tA1\n1\t3\n2\t0\n4\t1\n"));
    EXPECT_EQ(f.pf.LastBox(), "Error: Type A variables are not all 0-1 integers");
    EXPECT_TRUE(f.Empty());
    EXPECT_TRUE(f.doc.surf.mSurface.Empty());
}

}  // namespace
}  // namespace zelk
