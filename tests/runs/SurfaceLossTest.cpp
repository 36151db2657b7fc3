// What the scan evaluates at a grid point: the optimiser's loss without the sample
// weights, and the points it drops.
#include <algorithm>
#include <cmath>

#include "data/ProblemOf.h"
#include "engine/Evaluation.h"
#include "support/SurfaceTestUtil.h"

namespace zelk {
namespace {

using namespace surftest;

// The loss the Newton-Raphson run computes at w (distance matrix, penalty and the
// derivative pass over all triples).
double OptimiserLu(const Problem& pb, const RealList& w) {
    LossState out;
    EngineError err;
    EXPECT_TRUE(EvaluateFull(pb, ParamsFromWeights(w), out, err)) << err.text;
    return out.dLu;
}

const char* kWeighted =
    "C_X\tC_Y\tW_S\n1\t5\t1\n2\t3\t2\n4\t8\t1\n7\t1\t3\n3\t3\t1\n9\t6\t2\n5\t2\t1\n6\t7\t4\n";

TEST(SurfaceLoss, EqualsTheOptimisersLossWithoutSampleWeightsAndDiffersWithThem) {
    for (bool weighted : {false, true}) {
        Fixture f;
        const std::string data = f.Data(kWeighted);
        if (weighted) f.pf.commandLine = "zelk " + data + " -W=w_s";
        ASSERT_TRUE(f.doc.OnOpenDocument(data));
        ASSERT_EQ(f.doc.data.iNumVar, 2);
        const Problem plain = MakeProblem(f.doc.data, f.doc.prep, false);
        const Problem withS = MakeProblem(f.doc.data, f.doc.prep, true);
        f.doc.bOneItemPerStep = 1;
        f.doc.OnAnalyzeSurface();
        int compared = 0, differing = 0;
        for (int k = 0; k < 400 && f.doc.runs.rsSurface.bRunning; ++k) {
            f.doc.OnStepMessage(RunMessage::SurfaceStep);
            if (k % 23 != 0 || !f.doc.runs.rsSurface.bRunning) continue;
            const Matrix& row = f.doc.track.mResultTable2;
            ASSERT_EQ(row.Cols(), 3);
            RealList w{row(0, 1), row(0, 2)};
            const double lu = f.doc.scan.dLu;
            EXPECT_NEAR(lu, OptimiserLu(plain, w), 1e-12 * std::max(1.0, std::fabs(lu)));
            const double luS = OptimiserLu(withS, w);
            if (weighted) {
                if (std::fabs(lu - luS) > 1e-6 * std::max(1.0, std::fabs(lu))) ++differing;
            } else {
                EXPECT_NEAR(lu, luS, 1e-12 * std::max(1.0, std::fabs(lu)));
            }
            ++compared;
        }
        EXPECT_GT(compared, 10);
        if (weighted) {
            EXPECT_GT(differing, compared / 2);
        }
        f.doc.scan.bInitialised = 0;
        f.RunSurface();
    }
}

TEST(SurfaceLoss, DroppedPointsAreCountedLeftOutAndReported) {
    // Four variables, the last of type A. With w1 = w2 = w3 = 0 the last weight is 4 and
    // every pair of joint absences has a vanishing type-A divisor: that point (the very
    // first) is dropped. Points with a zero weight have an infinite loss (a zero
    // penalty), which the file holds as "inf" and the next load skips.
    Fixture f;
    for (int d = 0; d < 3; ++d) {
        f.doc.opt.dSurfaceMinW[d] = 0;
        f.doc.opt.dSurfaceMaxW[d] = 0.1;
    }
    const std::string data = f.Data(kFour);
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    EXPECT_EQ(f.doc.surf.mSurface.Rows(), 27);
    f.doc.bOneItemPerStep = 1;
    f.doc.OnAnalyzeSurface();
    const int redraws = f.pf.redraws;
    f.doc.OnStepMessage(RunMessage::SurfaceStep);
    EXPECT_EQ(f.doc.scan.iDroppedPoints, 1);
    EXPECT_EQ(f.doc.scan.iIter, 0);
    EXPECT_EQ(f.doc.runs.rsSurface.iProgressMax, 26);
    EXPECT_EQ(f.pf.redraws, redraws);  // a dropped point is not drawn
    f.doc.OnStepMessage(RunMessage::SurfaceStep);
    EXPECT_EQ(f.doc.scan.iIter, 1);
    EXPECT_DOUBLE_EQ(f.doc.scan.mWRows(0, 2), 0.05);  // the next point takes the first row
    const int steps = f.RunSurface(1000);
    EXPECT_LT(steps, 1000);
    EXPECT_EQ(f.pf.LastBox(), "Surface file written to " + data + ".SuT.out.\nReopen " + data +
                                  " to see the surface.\n\n26 iterations in 0 seconds\n"
                                  "WARNING: 1 iterations dropped due to divide by zero.");
    auto lines = ReadLines(data + ".SuT.out");
    ASSERT_EQ(lines.size(), 5u + 26u);
    int finite = 0;
    for (size_t i = 5; i < lines.size(); ++i) {
        StringList t = Tokens(lines[i]);
        ASSERT_EQ(t.size(), 5u);
        EXPECT_FALSE(t[1] == "0.00000000" && t[2] == "0.00000000" && t[3] == "0.00000000");
        if (std::isfinite(CAtof(t[0])) && t[0].find("inf") == std::string::npos &&
            t[0].find("nan") == std::string::npos)
            ++finite;
    }
    EXPECT_EQ(finite, 8);  // w1, w2, w3 in {0.05, 0.1}
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    EXPECT_EQ(f.doc.surf.mSurface.Rows(), 8);
}

TEST(SurfaceLoss, DroppedPointsCountTheSameInTimedBatches) {
    Fixture f;
    for (int d = 0; d < 3; ++d) {
        f.doc.opt.dSurfaceMinW[d] = 0;
        f.doc.opt.dSurfaceMaxW[d] = 0.1;
    }
    const std::string data = f.Data(kFour);
    ASSERT_TRUE(f.doc.OnOpenDocument(data));
    f.doc.bOneItemPerStep = 0;
    EXPECT_LT(f.Scan(), 100);
    EXPECT_NE(f.pf.LastBox().find("26 iterations in 0 seconds\nWARNING: 1 iterations dropped"),
              std::string::npos);
    EXPECT_EQ(ReadLines(data + ".SuT.out").size(), 5u + 26u);
}

}  // namespace
}  // namespace zelk
