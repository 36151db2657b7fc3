// Calibration of the equalising multipliers during a Newton-Raphson run.
#include <cmath>

#include "support/NrtTestData.h"
#include "engine/TripleKernels.h"

namespace zelk {
namespace {

using namespace nrttest;

TEST(NrtCalibration, MovesTheCOAndNMultipliersAndNotA) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string dir = MakeTempDir();
    doc.bManualStepping = 1;
    doc.opt.bCalib = 1;
    doc.opt.dConvCrit = 1e-5;
    FillData(doc, dir + "/cal.dat",
             {{"C_X", {1.0, 2.5, 3.0, 7.0, 8.5, 4.0, 5.5}},
              {"O_Y", {1, 3, 2, 2, 3, 1, 2}},
              {"N_K", {1, 2, 2, 3, 1, 1, 3}},
              {"A_Z", {0, 1, 1, 0, 1, 0, 1}}});
    const double rangeC = doc.prep.adRangeC[0];
    doc.OnAnalyzeNrt();
    // Step until the first calibration step changes the multipliers.
    Matrix w;
    int steps = 0;
    while (doc.runs.rsNRT.bRunning && doc.opt.dEqFactMult[kTypeC] == 1.0 && steps++ < 100000) {
        w = doc.nrt.mCurW;
        doc.OnStepMessage(RunMessage::NrtStep);
    }
    ASSERT_EQ(doc.iFatalCount, 0) << pf.LastBox();
    ASSERT_NE(doc.opt.dEqFactMult[kTypeC], 1.0);
    // Each of C, O and N is scaled by (mean A weight / mean weight of the type); A and
    // S stay; the previous values are kept as the Last multipliers.
    const double a = w.Get(3, 0);
    EXPECT_NEAR(doc.opt.dEqFactMult[kTypeC], a / w.Get(0, 0), 1e-12);
    EXPECT_NEAR(doc.opt.dEqFactMult[kTypeO], a / w.Get(1, 0), 1e-12);
    EXPECT_NEAR(doc.opt.dEqFactMult[kTypeN], a / w.Get(2, 0), 1e-12);
    EXPECT_EQ(doc.opt.dEqFactMult[kTypeA], 1.0);
    EXPECT_EQ(doc.opt.dEqFactMult[kTypeS], 1.0);
    for (int t = 0; t < kNumTypes; ++t) EXPECT_EQ(doc.opt.dLastEqFactMult[t], 1.0) << t;
    // The ranges follow the multipliers and the run starts again from the initial weights.
    EXPECT_NEAR(doc.prep.adRangeC[0], rangeC * doc.opt.dEqFactMult[kTypeC], 1e-12);
    EXPECT_NEAR(doc.nrt.adScale[0], rangeC * doc.opt.dEqFactMult[kTypeC], 1e-12);
    EXPECT_EQ(doc.nrt.phase, NrtPhase::Parameters);
    EXPECT_EQ(doc.nrt.bCalibDone, 0);
    EXPECT_TRUE(doc.nrt.mStartW.EqualWithin(doc.nrt.mInitW, 1e-15));
    EXPECT_TRUE(doc.nrt.mPresetW.EqualWithin(doc.nrt.mInitW, 1e-15));

    // Stopped now, the Whist file keeps both rows of multipliers.
    doc.OnCancelKey();
    StepToEnd(doc);
    const std::string whist = ReadAll(dir + "/cal.dat.NRT.Whist.out");
    const double* e = doc.opt.dEqFactMult;
    EXPECT_NE(whist.find("dEqFactMult\n           C            O            N            A\n" + Real12(e[0]) + " " +
                         Real12(e[1]) + " " + Real12(e[2]) + " " + Real12(e[4]) + "\n"),
              std::string::npos);
    EXPECT_NE(whist.find("dOrgEqFactMult\n           C            O            N            A\n" + Real12(1) +
                         " " + Real12(1) + " " + Real12(1) + " " + Real12(1) + "\n"),
              std::string::npos);
}

TEST(NrtCalibration, TypesWithoutVariablesKeepTheirMultiplier) {
    // Up to the first calibration: long calibrated runs on six records drift towards the A
    // weight's singular point, where the rounding of the sums decides whether a step lands
    // on it.
    for (int level : {0, 1, 2}) {
        detail::SetKernelLevel(level);
        FakePlatform pf;
        CZELKDoc doc(pf, false);
        doc.bManualStepping = 1;
        doc.opt.bCalib = 1;
        doc.opt.iMaxIterBudget = 2000;
        doc.opt.dConvCrit = 1e-5;
        FillData(doc, MakeTempDir() + "/ca.dat",
                 {{"C_X", {1.0, 2.5, 3.0, 7.0, 8.5, 4.0, 6.0, 2.0, 9.0, 5.5}},
                  {"C_W", {2.0, 1.0, 5.0, 4.0, 3.5, 0.5, 1.5, 4.5, 3.0, 2.5}},
                  {"A_Z", {0, 1, 1, 0, 1, 0, 1, 0, 0, 1}}});
        doc.OnAnalyzeNrt();
        int steps = 0;
        while (doc.runs.rsNRT.bRunning && doc.opt.dEqFactMult[kTypeC] == 1.0 && steps < 2000000) {
            doc.OnStepMessage(RunMessage::NrtStep);
            ++steps;
        }
        detail::SetKernelLevel(2);
        ASSERT_EQ(doc.iFatalCount, 0) << pf.LastBox();
        EXPECT_EQ(doc.opt.dEqFactMult[kTypeO], 1.0);
        EXPECT_EQ(doc.opt.dEqFactMult[kTypeN], 1.0);
        EXPECT_EQ(doc.opt.dEqFactMult[kTypeA], 1.0);
        EXPECT_TRUE(std::isfinite(doc.opt.dEqFactMult[kTypeC]));
        EXPECT_NE(doc.opt.dEqFactMult[kTypeC], 1.0);
    }
}

}  // namespace
}  // namespace zelk
