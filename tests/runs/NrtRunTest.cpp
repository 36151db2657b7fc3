// The Newton-Raphson run stepped by hand: phases, convergence, iteration limit, bounds,
// restarts, stops and the refusals of the command.
#include <cmath>

#include "runs/NrtRun.h"
#include "support/NrtTestData.h"

namespace zelk {
namespace {

using namespace nrttest;

const char* const kAttained = "Convergence attained. Results files written to\n";
const char* const kNotAttained = "Convergence not attained. Results files written to\n";

TEST(NrtBounds, WeightBelowMinimumIsClampedAndSumKept) {
    // The second weight went below the minimum: it sits exactly at the minimum, the
    // last weight takes the rest, the sum stays p.
    RealList w = NrtRun::BoundWeights({2.5, -0.3, 0.8}, 0.01);
    EXPECT_DOUBLE_EQ(w[1], 0.01);
    EXPECT_DOUBLE_EQ(w[0], 2.5);
    EXPECT_NEAR(w[0] + w[1] + w[2], 3.0, 1e-12);
    EXPECT_NEAR(w[2], 3.0 - 2.51, 1e-12);
}

TEST(NrtBounds, LastWeightCorrectionGoesToTheFreeWeightWithMostRoom) {
    // Free weights 1.9 and 1.2 leave the last one at -0.1: it becomes the minimum and
    // the weight with the largest room min(|w - m|, w) (the first, 1.9) absorbs it.
    RealList w = NrtRun::BoundWeights({1.9, 1.2, -0.1}, 0.05);
    EXPECT_DOUBLE_EQ(w[2], 0.05);
    EXPECT_DOUBLE_EQ(w[1], 1.2);
    EXPECT_NEAR(w[0], 1.9 - 0.05 + (3.0 - 3.1), 1e-12);
    EXPECT_NEAR(w[0] + w[1] + w[2], 3.0, 1e-12);
    // Above the upper bound: 0.01 + 0.02 leave 2.97 > 3 - 0.05 for the last one.
    RealList hi = NrtRun::BoundWeights({0.01, 0.02, 2.97}, 0.05);
    EXPECT_DOUBLE_EQ(hi[0], 0.05);
    EXPECT_DOUBLE_EQ(hi[1], 0.05);
    EXPECT_NEAR(hi[2], 2.9, 1e-12);
    EXPECT_NEAR(hi[0] + hi[1] + hi[2], 3.0, 1e-12);
}

TEST(NrtRun, ConvergesWithoutRestartsAndReports) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string dir = MakeTempDir();
    PrepareTiny(doc, dir);
    doc.opt.iNumRandRestart = 0;
    doc.OnAnalyzeNrt();
    ASSERT_EQ(doc.runs.rsNRT.bRunning, 1);
    StepToEnd(doc);
    EXPECT_EQ(doc.iFatalCount, 0) << pf.LastBox();
    ASSERT_FALSE(pf.boxes.empty());
    const RecordedBox& last = pf.boxes.back();
    EXPECT_EQ(last.icon, MsgIcon::Information);
    const std::string p = dir + "/tiny.dat";
    EXPECT_EQ(last.text, std::string(kAttained) + p + ".NRT.Whist.out,\n" + p + ".NRT.Phist.out,\n" + p +
                             ".NRT.Ghist.out,\n" + p + ".NRT.Dist.out and\n" + p + ".NRT.CovW.out and\n" +
                             p + ".NRT.Cov.out.");
    EXPECT_EQ(doc.nrt.iRestart, 0);
    EXPECT_EQ(doc.nrt.bConverged, 1);
    EXPECT_EQ(doc.cmd.bLastRunConverged, 1);
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
    // The histories hold one row per iteration, the weights sum to p.
    const int rows = doc.track.mWHist.Rows();
    EXPECT_EQ(rows, doc.nrt.iIter);
    EXPECT_GE(rows, 2);
    double sum = 0;
    for (int k = 0; k < 3; ++k) sum += doc.track.mWHist.Get(rows - 1, k);
    EXPECT_NEAR(sum, 3.0, 1e-9);
    EXPECT_EQ(doc.asFilesWritten.size(), 6u);
    // The end-of-run writes are made once: a further step writes nothing more.
    const std::string whist = ReadAll(p + ".NRT.Whist.out");
    doc.runs.rsNRT.bRunning = 1;
    doc.OnStepMessage(RunMessage::NrtStep);
    EXPECT_EQ(ReadAll(p + ".NRT.Whist.out"), whist);
}

TEST(NrtRun, ZeroMaxIterEndsAfterTheFirstUpdateNotAttained) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string dir = MakeTempDir();
    PrepareTiny(doc, dir);
    doc.opt.iMaxIterBudget = 0;
    doc.OnAnalyzeNrt();
    StepToEnd(doc);
    ASSERT_FALSE(pf.boxes.empty());
    EXPECT_EQ(pf.LastBox().rfind(kNotAttained, 0), 0u) << pf.LastBox();
    EXPECT_EQ(doc.nrt.iIter, 1);
    EXPECT_EQ(doc.track.mWHist.Rows(), 1);
    EXPECT_EQ(doc.nrt.bConverged, 0);
}

class NrtRestarts : public ::testing::TestWithParam<unsigned> {};

TEST_P(NrtRestarts, OneRandomRestartMakesThreeDescents) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.opt.iRandSeed = static_cast<int>(GetParam());
    doc.bManualStepping = 1;
    // No A variable: a descent that puts almost all the weight on a lone A variable
    // meets the type-A divide by zero for jointly absent pairs.
    FillData(doc, MakeTempDir() + "/r.dat",
             {{"C_X", {1.0, 2.5, 3.0, 7.0, 8.5, 4.0}}, {"C_W", {2.0, 1.0, 5.0, 4.0, 3.5, 0.5}},
              {"O_Y", {1, 3, 2, 2, 3, 1}}});
    doc.opt.iNumRandRestart = 1;
    doc.opt.dMaxRandRestartDist = 0.3;
    doc.OnAnalyzeNrt();
    int descentsStarted = 1;  // the first
    int steps = 0;
    double perturbSum = 1;
    while (doc.runs.rsNRT.bRunning && steps < 200000) {
        const int before = doc.nrt.iRestart;
        doc.OnStepMessage(RunMessage::NrtStep);
        ++steps;
        if (doc.nrt.iRestart != before) {
            ++descentsStarted;
            EXPECT_EQ(doc.runs.rsNRT.bStepRequest, 1);  // a forced step follows a restart
            if (doc.nrt.iRestart == 1) {
                perturbSum = 0;
                for (int k = 0; k < doc.nrt.mPerturb.Size(); ++k) perturbSum += doc.nrt.mPerturb.Data()[k];
                // The perturbed start is the current point plus the perturbation.
                for (int k = 0; k < 3; ++k)
                    EXPECT_NEAR(doc.nrt.mStartW.Get(k, 0), doc.nrt.mCurW.Get(k, 0) + doc.nrt.mPerturb.Get(k, 0),
                                1e-12);
                EXPECT_TRUE(doc.nrt.mPresetW.EqualWithin(doc.nrt.mStartW, 1e-15));
            } else {
                // The final descent starts from the best point with the initial preset.
                EXPECT_TRUE(doc.nrt.mStartW.EqualWithin(doc.nrt.mBestW, 1e-15));
                EXPECT_TRUE(doc.nrt.mPresetW.EqualWithin(doc.nrt.mInitW, 1e-15));
            }
        }
    }
    EXPECT_EQ(doc.iFatalCount, 0) << pf.LastBox();
    EXPECT_EQ(descentsStarted, 3) << "iIter " << doc.nrt.iIter << " converged " << doc.nrt.bConverged << " "
                                  << pf.LastBox();
    EXPECT_EQ(doc.nrt.iRestart, 2);
    EXPECT_NEAR(perturbSum, 0.0, 1e-12);
    EXPECT_EQ(doc.nrt.bConverged, 1);
    EXPECT_EQ(pf.LastBox().rfind(kAttained, 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, NrtRestarts, ::testing::Range(1u, 11u));

TEST(NrtRun, StopBeforeTheFirstUpdateEmptiesTheDocument) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string dir = MakeTempDir();
    PrepareTiny(doc, dir);
    doc.OnAnalyzeNrt();
    for (int s = 0; s < 3; ++s) doc.OnStepMessage(RunMessage::NrtStep);
    pf.answers.push_back(MsgAnswer::Ok);
    doc.OnCancelKey();
    EXPECT_EQ(pf.LastBox(), "Are you sure you want to cancel this run?");
    EXPECT_EQ(pf.boxes.back().buttons, MsgButtons::OkCancel);
    EXPECT_EQ(pf.boxes.back().icon, MsgIcon::Stop);
    EXPECT_EQ(doc.runs.rsNRT.bPaused, 0);
    EXPECT_EQ(doc.runs.rsNRT.bStopRequest, 1);
    doc.OnStepMessage(RunMessage::NrtStep);
    EXPECT_EQ(doc.bNoData, 1);
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
    EXPECT_EQ(pf.boxes.size(), 1u);  // only the question: no result message
    EXPECT_TRUE(doc.asFilesWritten.empty());
}

TEST(NrtRun, CancelAnsweredWithCancelGoesOn) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    PrepareTiny(doc, MakeTempDir());
    doc.OnAnalyzeNrt();
    doc.OnStepMessage(RunMessage::NrtStep);
    pf.answers.push_back(MsgAnswer::Cancel);
    doc.OnCancelKey();
    EXPECT_EQ(doc.runs.rsNRT.bStopRequest, 0);
    EXPECT_EQ(doc.nrt.bInitialised, 1);
    EXPECT_EQ(doc.runs.rsNRT.bPaused, 0);
}

TEST(NrtRun, StopAfterAnUpdateWritesResultsNotAttained) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string dir = MakeTempDir();
    PrepareTiny(doc, dir);
    doc.OnAnalyzeNrt();
    int steps = 0;
    while (doc.nrt.iIter < 1 && steps++ < 100000) doc.OnStepMessage(RunMessage::NrtStep);
    doc.OnStepMessage(RunMessage::NrtStep);  // into the next iteration
    doc.OnCancelKey();                       // default answer: OK
    doc.OnStepMessage(RunMessage::NrtStep);
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
    EXPECT_EQ(doc.bNoData, 0);
    EXPECT_EQ(pf.LastBox().rfind(kNotAttained, 0), 0u) << pf.LastBox();
    EXPECT_EQ(pf.boxes.back().icon, MsgIcon::Information);
    EXPECT_TRUE(Exists(dir + "/tiny.dat.NRT.Whist.out"));
    EXPECT_NE(ReadAll(dir + "/tiny.dat.NRT.Whist.out").find("W history"), std::string::npos);
}

TEST(NrtRun, CommandRefusesDataItCannotAnalyse) {
    struct Case {
        std::vector<Column> cols;
        int sdSteps;
        int calib;
        std::string text;
    };
    const std::vector<Case> cases = {
        {{{"C_X", {1, 2, 4}}}, 0, 0,
         "Newton-Raphson needs at least two analysis variables. This data set has one, so its "
         "weight is fixed at 1 and there is nothing to optimise."},
        {{{"C_X", {1, 2}}, {"C_Y", {3, 1}}}, 0, 0,
         "Newton-Raphson needs at least three records. This data set has 2, so there is no triple "
         "of records to measure the ultrametric loss on."},
        {TinyColumns(), 2, 0,
         "ISDSTEPSTONR=2 holds the Newton-Raphson run before its first step and nothing advances "
         "it. Set ISDSTEPSTONR=0 in ZELK.ini to run."},
        {{{"C_X", {1, 2, 4, 3}}, {"O_Y", {1, 2, 2, 1}}}, 0, 1,
         "Calibration (BCALIB=1) scales the C, O and N multipliers to the average weight of the A "
         "variables, but this data set has no A variable. Set BCALIB=0 in ZELK.ini to run without "
         "calibration."},
    };
    for (const Case& c : cases) {
        FakePlatform pf;
        CZELKDoc doc(pf, false);
        doc.bManualStepping = 1;
        doc.opt.iSDStepsToNR = c.sdSteps;
        doc.opt.bCalib = c.calib;
        FillData(doc, MakeTempDir() + "/d.dat", c.cols);
        doc.OnAnalyzeNrt();
        EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
        ASSERT_EQ(pf.boxes.size(), 1u);
        EXPECT_EQ(pf.LastBox(), c.text);
        EXPECT_EQ(pf.boxes.back().icon, MsgIcon::Stop);
        EXPECT_EQ(doc.iExitCode, 0);  // in the window: only refused
    }
}

TEST(NrtRun, GuardsOfTheCommand) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    PrepareTiny(doc, MakeTempDir());
    // A running surface scan blocks it silently.
    doc.runs.rsSurface.bRunning = 1;
    doc.OnAnalyzeNrt();
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
    doc.runs.rsSurface.bRunning = 0;
    // No data: silent.
    doc.bNoData = 1;
    doc.OnAnalyzeNrt();
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
    doc.bNoData = 0;
    EXPECT_TRUE(pf.boxes.empty());
    // A replay does not block it: the replay ends and the loaded histories are emptied.
    doc.runs.rsNRTReplay.bRunning = 1;
    doc.res.mNrtWhist = Matrix(2, 4, 1.0);
    doc.res.sNrtWhistFile = "x";
    doc.OnAnalyzeNrt();
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 1);
    EXPECT_EQ(doc.runs.rsNRTReplay.bRunning, 0);
    EXPECT_TRUE(doc.res.mNrtWhist.Empty());
    EXPECT_TRUE(doc.res.sNrtWhistFile.empty());
    EXPECT_EQ(doc.nrt.sRunMethod, "NRT");
    EXPECT_EQ(doc.runs.rsNRT.iProgressMax, doc.opt.iMaxIterBudget);
    // A second command while it runs does nothing.
    doc.OnStepMessage(RunMessage::NrtStep);
    const NrtPhase phase = doc.nrt.phase;
    doc.OnAnalyzeNrt();
    EXPECT_EQ(doc.nrt.phase, phase);
}

TEST(NrtRun, FirstStepMaximisesTheWindowOnce) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    PrepareTiny(doc, MakeTempDir());
    doc.opt.bAutoMinimize = 0;
    doc.OnAnalyzeNrt();
    doc.OnStepMessage(RunMessage::NrtStep);
    doc.OnStepMessage(RunMessage::NrtStep);
    EXPECT_EQ(pf.showMaximised, 1);
    EXPECT_EQ(doc.opt.bAutoMinimize, 1);
    StepToEnd(doc);
    doc.OnAnalyzeNrt();
    doc.OnStepMessage(RunMessage::NrtStep);
    EXPECT_EQ(pf.showMaximised, 1);
}

TEST(NrtRun, NoMainWindowNoMaximise) {
    FakePlatform pf;
    pf.hasMainWindow = false;
    CZELKDoc doc(pf, false);
    PrepareTiny(doc, MakeTempDir());
    doc.OnAnalyzeNrt();
    doc.OnStepMessage(RunMessage::NrtStep);
    EXPECT_EQ(pf.showMaximised, 0);
    EXPECT_EQ(doc.opt.bAutoMinimize, 0);
}

TEST(NrtRun, InitialWeightsFromOptions) {
    {
        FakePlatform pf;
        CZELKDoc doc(pf, false);
        doc.opt.asInitW = {"0.5", "1.5", "1"};
        PrepareTiny(doc, MakeTempDir());
        doc.OnAnalyzeNrt();
        doc.OnStepMessage(RunMessage::NrtStep);
        EXPECT_DOUBLE_EQ(doc.nrt.mStartW.Get(0, 0), 0.5);
        EXPECT_DOUBLE_EQ(doc.nrt.mInitW.Get(1, 0), 1.5);
        EXPECT_DOUBLE_EQ(doc.nrt.mPresetW.Get(2, 0), 1.0);
    }
    const std::vector<std::pair<StringList, std::string>> bad = {
        {{"2"}, "Fatal error 2008.12.9.1"}, {{"1", "2"}, "Fatal error 2008.12.9.2"}};
    for (const auto& b : bad) {
        FakePlatform pf;
        CZELKDoc doc(pf, false);
        doc.opt.asInitW = b.first;
        PrepareTiny(doc, MakeTempDir());
        doc.OnAnalyzeNrt();
        doc.OnStepMessage(RunMessage::NrtStep);
        EXPECT_EQ(pf.LastBox(), b.second);
        EXPECT_EQ(doc.bNoData, 1);
        EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
    }
    // Start weights that do not sum to p stop the first iteration.
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.opt.asInitW = {"1", "1", "2"};
    PrepareTiny(doc, MakeTempDir());
    doc.OnAnalyzeNrt();
    doc.OnStepMessage(RunMessage::NrtStep);
    doc.OnStepMessage(RunMessage::NrtStep);
    EXPECT_EQ(pf.LastBox(), "Fatal error 3.1");
}

TEST(NrtRun, StepWithoutDataReportsAndEmpties) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    doc.runs.rsNRT.bRunning = 1;
    doc.OnStepMessage(RunMessage::NrtStep);
    EXPECT_EQ(pf.LastBox(), "No data to analyze!");
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
}

TEST(NrtRun, NewtonStepWithoutDefinedWeightsIsFatal) {
    // Already ultrametric data (two equal records and a third one): no triple violates,
    // so the Hessian is zero and the Newton step is undefined. The run is never reported
    // as converged.
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    FillData(doc, MakeTempDir() + "/u.dat", {{"C_X", {0, 0, 1}}, {"C_Y", {0, 0, 1}}});
    doc.OnAnalyzeNrt();
    StepToEnd(doc, 1000);
    EXPECT_EQ(pf.LastBox(), kNrtNotFiniteText);
    EXPECT_EQ(doc.bNoData, 1);
    EXPECT_EQ(doc.cmd.bLastRunConverged, 0);
}

TEST(NrtRun, TypeADivideByZeroStopsTheRun) {
    // Nearly all the weight on the lone A variable: for two records that both hold 0 the
    // divisor of the A component vanishes.
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.opt.asInitW = {"0.0001", "0.0001", "2.9998"};
    PrepareTiny(doc, MakeTempDir());
    doc.OnAnalyzeNrt();
    StepToEnd(doc, 1000);
    EXPECT_EQ(pf.LastBox(), "Fatal error: Divide by zero in type a distance component");
    EXPECT_EQ(pf.boxes.back().icon, MsgIcon::Stop);
    EXPECT_EQ(doc.bNoData, 1);
    EXPECT_EQ(doc.iFatalCount, 1);
}

TEST(NrtRun, ResultsDoNotDependOnTheStepGrouping) {
    std::string files[2][6];
    Matrix whist[2], ghist[2], phist[2];
    for (int one = 0; one < 2; ++one) {
        FakePlatform pf;
        CZELKDoc doc(pf, false);
        const std::string dir = MakeTempDir();
        PrepareTiny(doc, dir);
        doc.bOneItemPerStep = one;
        doc.iStepBudgetMs = 1000;
        doc.opt.iNumRandRestart = 1;
        doc.opt.iRandSeed = 7;
        doc.OnAnalyzeNrt();
        const int steps = StepToEnd(doc);
        if (one) {
            EXPECT_GT(steps, 40);  // rows and chunks one by one
        }
        whist[one] = doc.track.mWHist;
        ghist[one] = doc.track.mGHist;
        phist[one] = doc.track.mPHist;
        const char* suffix[] = {".NRT.Whist.out", ".NRT.Phist.out", ".NRT.Ghist.out",
                                ".NRT.Dist.out",  ".NRT.CovW.out",  ".NRT.Cov.out"};
        for (int f = 0; f < 6; ++f) {
            std::string text = ReadAll(dir + "/tiny.dat" + suffix[f]);
            const size_t at = text.find(dir);
            ASSERT_NE(at, std::string::npos);
            files[one][f] = text.replace(at, dir.size(), "DIR");
        }
    }
    for (int f = 0; f < 6; ++f) EXPECT_EQ(files[0][f], files[1][f]) << f;
    for (Matrix* m : {whist, ghist, phist}) {
        ASSERT_EQ(m[0].Rows(), m[1].Rows());
        ASSERT_EQ(m[0].Cols(), m[1].Cols());
        for (int k = 0; k < m[0].Size(); ++k) EXPECT_EQ(m[0].Data()[k], m[1].Data()[k]);
    }
}

}  // namespace
}  // namespace zelk

namespace zelk {
namespace {

// A run whose weights stop moving while the criterion is finer than the history can tell
// (1e-9) still ends: the updates that record no row count against the budget.
TEST(NrtRun, SettledWeightsWithAVeryFineCriterionStillEnd) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    doc.opt.asInitW = {"1"};
    doc.opt.dConvCrit = 1e-300;
    doc.opt.iMaxIterBudget = 30;
    const std::string dir = MakeTempDir();
    WriteAll(dir + "/flower.dat", ReadAll(std::string(ZELK_SOURCE_DIR) + "/examples/flower.dat"));
    ASSERT_TRUE(doc.OnOpenDocument(dir + "/flower.dat")) << pf.LastBox();
    doc.OnAnalyzeNrt();
    StepToEnd(doc, 200000);
    ASSERT_EQ(doc.iFatalCount, 0) << pf.LastBox();
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
    EXPECT_EQ(doc.nrt.iIter + doc.nrt.iStalled, 31);
    EXPECT_GT(doc.nrt.iStalled, 0);
    EXPECT_EQ(pf.LastBox().rfind("Convergence not attained.", 0), 0u) << pf.LastBox();
}

// With restarts, when the budget runs out during a descent that is worse than the best
// point found, the run ends on the best point: one more iteration there, whose row is the
// last of the history, the loss written as the result and in the Wrep row.
TEST(NrtRun, TheBestPointIsNeverLost) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    doc.opt.asInitW = {"1"};
    doc.opt.iNumRandRestart = 2;
    doc.opt.iMaxIterBudget = 12;  // IMAXITER=4 for three descents
    doc.opt.iRandSeed = 1;
    const std::string dir = MakeTempDir();
    WriteAll(dir + "/flower.dat", ReadAll(std::string(ZELK_SOURCE_DIR) + "/examples/flower.dat"));
    ASSERT_TRUE(doc.OnOpenDocument(dir + "/flower.dat")) << pf.LastBox();
    doc.OnAnalyzeNrt();
    double worstEnd = 0;  // the loss where the budget ran out
    int steps = 0;
    while (doc.runs.rsNRT.bRunning && steps++ < 200000) {
        if (doc.nrt.bFinalAtBest && worstEnd == 0) worstEnd = doc.nrt.loss.dLu;
        doc.OnStepMessage(RunMessage::NrtStep);
    }
    ASSERT_EQ(doc.iFatalCount, 0) << pf.LastBox();
    ASSERT_EQ(doc.nrt.bFinalAtBest, 1) << "the budget did not run out in a worse descent";
    const double best = doc.nrt.dBestLu;
    EXPECT_GT(worstEnd, best + 1e-8);
    const Matrix& lu = doc.track.mLuHist;
    EXPECT_NEAR(lu(lu.Rows() - 1, 0), best, 1e-10);
    EXPECT_NEAR(doc.track.dDispLu, best, 1e-10);
    EXPECT_TRUE(doc.nrt.mCurW.EqualWithin(doc.nrt.mBestW, 1e-12));
    const std::string whist = ReadAll(dir + "/flower.dat.NRT.Whist.out");
    EXPECT_NE(whist.find(Real12(best) + "\n\nAvg.W."), std::string::npos) << whist.substr(0, 400);
    EXPECT_EQ(pf.LastBox().rfind("Convergence not attained.", 0), 0u) << pf.LastBox();
}

}  // namespace
}  // namespace zelk
