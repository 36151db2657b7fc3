// The replay of stored Newton-Raphson histories: one stored row per step, the rebuilt
// histories and displays, the end, Repeat and cancel.
#include <cmath>

#include "engine/Engine.h"
#include "support/SurfaceTestUtil.h"

namespace zelk {
namespace {

using namespace surftest;

struct ReplayFixture : Fixture {
    // Three stored iterations of a three-variable run: W (Lu, w), Gradient(v), PreSet(w).
    const double W[3][4] = {{0.9, 1.0, 1.0, 1.0}, {0.5, 1.2, 0.9, 0.9}, {0.3, 1.5, 0.75, 0.75}};
    const double G[3][2] = {{0.1, -0.2}, {0.05, -0.1}, {0.01, -0.02}};
    const double P[3][3] = {{1, 1, 1}, {0.8, 1.1, 1.1}, {0.8, 1.1, 1.1}};

    void Load() {
        ASSERT_TRUE(doc.OnOpenDocument(Data(kThree)));
        ASSERT_EQ(doc.data.iNumVar, 3);
        doc.res.mNrtWhist.Resize(3, 4);
        doc.res.mNrtGhist.Resize(3, 2);
        doc.res.mNrtPhist.Resize(3, 3);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c) doc.res.mNrtWhist(r, c) = W[r][c];
            for (int c = 0; c < 2; ++c) doc.res.mNrtGhist(r, c) = G[r][c];
            for (int c = 0; c < 3; ++c) doc.res.mNrtPhist(r, c) = P[r][c];
        }
    }
    void Step() { doc.OnStepMessage(RunMessage::NrtReplayStep); }
};

TEST(Replay, PlaysEveryStoredRowInOrderThenEnds) {
    ReplayFixture f;
    f.Load();
    f.doc.opt.iSleepMilli = 35;
    f.doc.OnAnalyzeNrtReplay();
    RunState& rs = f.doc.runs.rsNRTReplay;
    ASSERT_EQ(rs.bRunning, 1);
    EXPECT_EQ(rs.iProgressMax, 3);
    EXPECT_EQ(rs.iSleepMilli, 35);
    for (int k = 1; k <= 3; ++k) {
        f.Step();
        ASSERT_EQ(rs.bRunning, 1) << k;
        const int b = k - 1;
        EXPECT_EQ(rs.iProgress, k);
        EXPECT_EQ(f.doc.replay.iIter, k);
        EXPECT_EQ(f.doc.track.sMethodTitle, "Newton-Raphson Replay");
        EXPECT_EQ(f.doc.track.mLuHist.Rows(), k);
        EXPECT_EQ(f.doc.track.mWHist.Rows(), k);
        EXPECT_EQ(f.doc.track.mGHist.Rows(), k);
        EXPECT_EQ(f.doc.track.mPHist.Rows(), k);
        EXPECT_EQ(f.doc.track.mGwHist.Rows(), k);
        EXPECT_DOUBLE_EQ(f.doc.track.dDispLu, f.W[b][0]);
        EXPECT_DOUBLE_EQ(f.doc.track.mPHist(b, 1), f.P[b][1]);

        const Matrix& t = f.doc.track.mResultTable2;
        EXPECT_EQ(t.Name(), Format("Current w (iteration %d of 3)", k));
        ASSERT_EQ(t.Rows(), 2);
        ASSERT_EQ(t.Cols(), 4);
        for (int c = 0; c < 4; ++c) EXPECT_DOUBLE_EQ(t(0, c), f.W[b][c]);
        EXPECT_EQ(t(1, 0), -999999999.0);
        ASSERT_EQ(f.doc.track.asResultCols2.size(), 4u);
        EXPECT_EQ(f.doc.track.asResultCols2[0], "Lu");
        EXPECT_EQ(f.doc.track.asResultCols2[3], "O_Z");

        // The gradient in w from the stored gradient in v.
        const double* w = f.W[b] + 1;
        const double* g = f.G[b];
        double S = 0;
        for (int j = 0; j < 2; ++j) S += g[j] * std::sqrt(w[j]) / (2 * std::pow(w[2], 1.5));
        for (int i = 0; i < 2; ++i)
            EXPECT_NEAR(t(1, 1 + i), g[i] / (2 * std::sqrt(w[i] * w[2])) + S, 1e-12);
        EXPECT_NEAR(t(1, 3), -S, 1e-12);
        EXPECT_NEAR(f.doc.track.mGwHist(b, 2), -S, 1e-12);

        ASSERT_EQ(f.doc.track.mDispV.Rows(), 2);
        EXPECT_NEAR(f.doc.track.mDispV(0, 0), std::sqrt(w[0] / w[2]), 1e-12);
        EXPECT_EQ(f.doc.track.mDispHess.Rows(), 2);
        EXPECT_EQ(f.doc.track.mDispHess.Max(), 0.0);
        EXPECT_EQ(f.doc.track.mDispEigHess.Rows(), 2);
        ASSERT_EQ(f.doc.track.mDispGradV.Rows(), 2);
        EXPECT_DOUBLE_EQ(f.doc.track.mDispGradV(1, 0), g[1]);
        ASSERT_EQ(f.doc.track.mDispW.Rows(), 3);
        EXPECT_DOUBLE_EQ(f.doc.track.mDispW(0, 0), w[0]);
    }
    EXPECT_EQ(f.doc.replay.bInitialised, 0);
    f.Step();  // the (R+1)-th step ends the replay
    EXPECT_EQ(rs.bRunning, 0);
    EXPECT_EQ(f.doc.track.mLuHist.Rows(), 3);  // the rebuilt histories stay
    EXPECT_TRUE(f.pf.boxes.empty());
    EXPECT_FALSE(Exists(f.dir + "/set.dat.NRT.Whist.out"));  // the replay writes nothing
}

TEST(Replay, RepeatStartsAgainFromTheFirstRow) {
    ReplayFixture f;
    f.Load();
    f.doc.disp.bRepeat = 1;
    f.doc.OnAnalyzeNrtReplay();
    RunState& rs = f.doc.runs.rsNRTReplay;
    for (int k = 0; k < 3; ++k) f.Step();
    f.Step();  // resets without playing a row
    EXPECT_EQ(rs.bRunning, 1);
    EXPECT_EQ(f.doc.replay.iIter, 0);
    EXPECT_EQ(rs.iProgress, 0);
    EXPECT_EQ(f.doc.track.mLuHist.Rows(), 3);
    f.Step();  // empties the rebuilt histories and plays row 0 again
    EXPECT_EQ(f.doc.track.mLuHist.Rows(), 1);
    EXPECT_EQ(f.doc.track.mGwHist.Rows(), 1);
    EXPECT_EQ(f.doc.track.mResultTable2.Name(), "Current w (iteration 1 of 3)");
    EXPECT_DOUBLE_EQ(f.doc.track.dDispLu, 0.9);
    // Cancel with Repeat on: the replay starts again instead of ending.
    f.doc.replay.bInitialised = 0;
    f.Step();
    EXPECT_EQ(rs.bRunning, 1);
    EXPECT_EQ(f.doc.replay.iIter, 0);
    // Repeat off, cancelled: the next step ends it.
    f.Step();
    f.doc.disp.bRepeat = 0;
    f.doc.replay.bInitialised = 0;
    f.Step();
    EXPECT_EQ(rs.bRunning, 0);
}

TEST(Replay, ZeroLastWeightGivesNonFiniteValuesWithoutAMessage) {
    ReplayFixture f;
    f.Load();
    f.doc.res.mNrtWhist(0, 1) = 1.5;
    f.doc.res.mNrtWhist(0, 2) = 1.5;
    f.doc.res.mNrtWhist(0, 3) = 0.0;
    f.doc.OnAnalyzeNrtReplay();
    f.Step();
    EXPECT_TRUE(f.pf.boxes.empty());
    EXPECT_FALSE(std::isfinite(f.doc.track.mDispV(0, 0)));
    EXPECT_FALSE(std::isfinite(f.doc.track.mResultTable2(1, 1)));
    EXPECT_FALSE(std::isfinite(f.doc.track.mResultTable2(1, 3)));
    EXPECT_EQ(f.doc.track.mResultTable2(1, 0), -999999999.0);
    f.Step();
    EXPECT_EQ(f.doc.replay.iIter, 2);
}

TEST(Replay, CommandGuards) {
    {
        Fixture f;  // no data
        f.doc.OnAnalyzeNrtReplay();
        EXPECT_EQ(f.doc.runs.rsNRTReplay.bRunning, 0);
    }
    {
        ReplayFixture f;  // no stored gradient history
        f.Load();
        f.doc.res.mNrtGhist.Clear();
        f.doc.OnAnalyzeNrtReplay();
        EXPECT_EQ(f.doc.runs.rsNRTReplay.bRunning, 0);
    }
    {
        ReplayFixture f;  // no stored W history
        f.Load();
        f.doc.res.mNrtWhist.Clear();
        f.doc.OnAnalyzeNrtReplay();
        EXPECT_EQ(f.doc.runs.rsNRTReplay.bRunning, 0);
    }
    {
        ReplayFixture f;  // a surface scan is on
        f.Load();
        f.doc.OnAnalyzeSurface();
        ASSERT_EQ(f.doc.runs.rsSurface.bRunning, 1);
        f.doc.OnAnalyzeNrtReplay();
        EXPECT_EQ(f.doc.runs.rsNRTReplay.bRunning, 0);
    }
    EXPECT_TRUE(true);
}

std::string Hdr(const StringList& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : " ") + FitRight12(n);
    return out;
}

std::string Line(std::initializer_list<double> values) {
    std::string out;
    for (double v : values) out += (out.empty() ? "" : " ") + Real12(v);
    return out + "\n";
}

TEST(Replay, PlaysTheHistoriesLoadedFromTheResultFilesInIterationOrder) {
    Fixture f;
    const std::string data = f.Data(kThree);
    const std::string head = "Data: " + data + "\nMethod: Newton-Raphson T\n\n";
    // The writer lists the iterations from the last to the first.
    WriteText(data + ".NRT.Whist.out", head + "W history\n" + Hdr({"Lu", "C_X", "C_Y", "O_Z"}) +
                                           "\n" + Line({0.3, 1.5, 0.75, 0.75}) +
                                           Line({0.5, 1.2, 0.9, 0.9}) + Line({0.9, 1, 1, 1}));
    WriteText(data + ".NRT.Ghist.out", head + "Gradient(v) history\n" + Hdr({"C_X", "C_Y"}) +
                                           "\n" + Line({0.01, -0.02}) + Line({0.05, -0.1}) +
                                           Line({0.1, -0.2}));
    WriteText(data + ".NRT.Phist.out", head + "PreSet(w) history\n" + Hdr({"C_X", "C_Y", "O_Z"}) +
                                           "\n" + Line({1, 1, 1}) + Line({1, 1, 1}) +
                                           Line({1, 1, 1}));
    WriteText(data + ".NRT.CovW.out", head + "Cov(w)*10^0\n" + std::string(13, ' ') +
                                          Hdr({"C_X", "C_Y", "O_Z"}) + "\n" +
                                          FitLeft12("C_X") + " " + Line({1, 0, 0}) +
                                          FitLeft12("C_Y") + " " + Line({0, 1, 0}) +
                                          FitLeft12("O_Z") + " " + Line({0, 0, 1}));
    WriteText(data + ".NRT.Cov.out", head + "Cov(v)*10^0\n" + std::string(13, ' ') +
                                         Hdr({"C_X", "C_Y"}) + "\n" + FitLeft12("C_X") + " " +
                                         Line({1, 0}) + FitLeft12("C_Y") + " " + Line({0, 1}));
    ASSERT_TRUE(f.doc.OnOpenDocument(data)) << f.pf.LastBox();
    ASSERT_EQ(f.doc.res.mNrtWhist.Rows(), 3);
    f.doc.OnAnalyzeNrtReplay();
    ASSERT_EQ(f.doc.runs.rsNRTReplay.bRunning, 1);
    const double expectW1[3] = {1.0, 1.2, 1.5};
    for (int k = 1; k <= 3; ++k) {
        f.doc.OnStepMessage(RunMessage::NrtReplayStep);
        EXPECT_EQ(f.doc.track.mResultTable2.Name(), Format("Current w (iteration %d of 3)", k));
        EXPECT_DOUBLE_EQ(f.doc.track.mResultTable2(0, 1), expectW1[k - 1]);
    }
    f.doc.OnStepMessage(RunMessage::NrtReplayStep);
    EXPECT_EQ(f.doc.runs.rsNRTReplay.bRunning, 0);
}

TEST(Replay, SurfaceCommandEndsARunningReplay) {
    ReplayFixture f;
    f.Load();
    f.doc.OnAnalyzeNrtReplay();
    f.Step();
    f.doc.OnAnalyzeSurface();
    EXPECT_EQ(f.doc.runs.rsNRTReplay.bRunning, 0);
    EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 1);
    f.doc.OnStepMessage(RunMessage::SurfaceStep);
    f.doc.scan.bInitialised = 0;
    f.RunSurface(10);
    EXPECT_EQ(f.doc.runs.rsSurface.bRunning, 0);
}

TEST(Replay, StepWithoutDataReportsAndHistoriesEmptiedUnderTheReplayEndIt) {
    {
        ReplayFixture f;
        f.Load();
        f.doc.OnAnalyzeNrtReplay();
        f.Step();
        f.doc.OnNewDocument();
        f.Step();
        EXPECT_EQ(f.pf.LastBox(), "No data to analyze!");
        EXPECT_EQ(f.pf.boxes.back().icon, MsgIcon::Stop);
    }
    {
        ReplayFixture f;
        f.Load();
        f.doc.disp.bRepeat = 1;
        f.doc.OnAnalyzeNrtReplay();
        f.Step();
        f.doc.res.mNrtWhist.Clear();  // as a new Newton-Raphson run does
        f.doc.res.mNrtGhist.Clear();
        f.Step();
        EXPECT_EQ(f.doc.runs.rsNRTReplay.bRunning, 0);
        EXPECT_TRUE(f.pf.boxes.empty());
    }
}

}  // namespace
}  // namespace zelk
