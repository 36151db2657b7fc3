// Calibration of the equalising multipliers during a Newton-Raphson run.
#include <cmath>

#include "engine/NrtTestData.h"

namespace zelk {
namespace {

using namespace nrttest;

TEST(NrtCalibration, MovesTheCOAndNMultipliersAndNotA) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string dir = MakeTempDir();
    doc.bManualStepping = 1;
    doc.opt.bCalib = 1;
    doc.opt.iMaxIter = 2000;
    doc.opt.dConvCrit = 1e-5;
    FillData(doc, dir + "/cal.dat",
             {{"C_X", {1.0, 2.5, 3.0, 7.0, 8.5, 4.0, 5.5}},
              {"O_Y", {1, 3, 2, 2, 3, 1, 2}},
              {"N_K", {1, 2, 2, 3, 1, 1, 3}},
              {"A_Z", {0, 1, 1, 0, 1, 0, 1}}});
    doc.OnAnalyzeNrt();
    StepToEnd(doc, 2000000);
    ASSERT_EQ(doc.iFatalCount, 0) << pf.LastBox();
    EXPECT_EQ(doc.opt.dEqFactMult[kTypeA], 1.0);
    EXPECT_EQ(doc.opt.dEqFactMult[kTypeS], 1.0);
    for (int t : {kTypeC, kTypeO, kTypeN}) EXPECT_NE(doc.opt.dEqFactMult[t], 1.0) << t;
    EXPECT_EQ(doc.nrt.bCalibDone, 1);
    EXPECT_EQ(doc.nrt.bConverged, 1);
    for (int t = 0; t < kNumTypes; ++t)
        EXPECT_LT(std::fabs(doc.opt.dEqFactMult[t] - doc.opt.dLastEqFactMult[t]), doc.opt.dConvCrit) << t;
    // At the calibrated multipliers the mean weights of C, O and N match that of A.
    const double* w = doc.nrt.mWHist.Row(doc.nrt.mWHist.Rows() - 1);
    EXPECT_NEAR(w[0], w[3], 1e-3);
    EXPECT_NEAR(w[1], w[3], 1e-3);
    EXPECT_NEAR(w[2], w[3], 1e-3);
    // The Whist file keeps both rows of multipliers.
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
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    doc.opt.bCalib = 1;
    doc.opt.iMaxIter = 2000;
    doc.opt.dConvCrit = 1e-5;
    FillData(doc, MakeTempDir() + "/ca.dat",
             {{"C_X", {1.0, 2.5, 3.0, 7.0, 8.5, 4.0}},
              {"C_W", {2.0, 1.0, 5.0, 4.0, 3.5, 0.5}},
              {"A_Z", {0, 1, 1, 0, 1, 0}}});
    doc.OnAnalyzeNrt();
    StepToEnd(doc, 2000000);
    ASSERT_EQ(doc.iFatalCount, 0) << pf.LastBox();
    EXPECT_EQ(doc.opt.dEqFactMult[kTypeO], 1.0);
    EXPECT_EQ(doc.opt.dEqFactMult[kTypeN], 1.0);
    EXPECT_EQ(doc.opt.dEqFactMult[kTypeA], 1.0);
    EXPECT_TRUE(std::isfinite(doc.opt.dEqFactMult[kTypeC]));
    EXPECT_NE(doc.opt.dEqFactMult[kTypeC], 1.0);
}

}  // namespace
}  // namespace zelk
