// Run control: the run reset, the cancel key for the surface scan and the replay, and
// the step dispatch.
#include "support/NrtTestData.h"

namespace zelk {
namespace {

using namespace nrttest;

TEST(RunControl, RunResetClearsEveryRunAndTheRunScopedState) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.opt.iThreadPriority12345 = 4;
    for (int k = 0; k < kNumRunKinds; ++k) {
        doc.runs.Get(k).bRunning = 1;
        doc.runs.Get(k).iSleepMilli = 99;
    }
    doc.nrt.iIter = 7;
    doc.nrt.iIterBase = 3;
    doc.nrt.phase = NrtPhase::Evaluate;
    doc.track.mWHist = Matrix(2, 2, 1.0);
    doc.nrt.loss.mDist = Matrix(3, 3, 1.0);
    doc.RunReset();
    for (int k = 0; k < kNumRunKinds; ++k) {
        EXPECT_EQ(doc.runs.Get(k).bRunning, 0);
        EXPECT_EQ(doc.runs.Get(k).iSleepMilli, 10);
        EXPECT_EQ(doc.runs.Get(k).iPriority12345, 4);
    }
    EXPECT_EQ(doc.nrt.iIter, 0);
    EXPECT_EQ(doc.nrt.iIterBase, 0);
    EXPECT_EQ(doc.nrt.phase, NrtPhase::SetUp);
    EXPECT_TRUE(doc.track.mWHist.Empty());
    EXPECT_TRUE(doc.nrt.loss.mDist.Empty());
    EXPECT_FALSE(doc.AnyRunActive());
}

TEST(RunControl, EscapeCancelsASurfaceScanOrReplayOnConfirmation) {
    for (int kind : {kRunSurface, kRunNRTReplay}) {
        for (MsgAnswer answer : {MsgAnswer::Ok, MsgAnswer::Cancel}) {
            FakePlatform pf;
            CZELKDoc doc(pf, false);
            doc.runs.Get(kind).bRunning = 1;
            int& initialised = kind == kRunSurface ? doc.scan.bInitialised : doc.replay.bInitialised;
            initialised = 1;
            pf.answers.push_back(answer);
            doc.OnCancelKey();
            ASSERT_EQ(pf.boxes.size(), 1u);
            EXPECT_EQ(pf.LastBox(), "Are you sure you want to cancel this run?");
            EXPECT_EQ(pf.boxes.back().icon, MsgIcon::Stop);
            EXPECT_EQ(pf.boxes.back().buttons, MsgButtons::OkCancel);
            EXPECT_EQ(initialised, answer == MsgAnswer::Ok ? 0 : 1);
            EXPECT_EQ(doc.runs.Get(kind).bPaused, 0);
            EXPECT_EQ(doc.runs.Get(kind).bRunning, 1);  // the next step finishes it
            EXPECT_EQ(pf.redraws, 0);
        }
    }
}

TEST(RunControl, EscapeWithoutARunDoesNothing) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.OnCancelKey();
    EXPECT_TRUE(pf.boxes.empty());
}

TEST(RunControl, AnyRunActiveSeesEveryKind) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    for (int k = 0; k < kNumRunKinds; ++k) {
        doc.runs.Get(k).bRunning = 1;
        EXPECT_TRUE(doc.AnyRunActive());
        doc.runs.Get(k).bRunning = 0;
    }
    EXPECT_FALSE(doc.AnyRunActive());
}

TEST(RunControl, SurfaceStepMessageOnlyForTwoToFourVariables) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.opt.bAutoMinimize = 0;
    doc.OnStepMessage(RunMessage::SurfaceStep);  // no variables: no scan step
    EXPECT_EQ(pf.showMaximised, 1);              // but the maximise-once rule applies
    EXPECT_EQ(doc.opt.bAutoMinimize, 1);
}

}  // namespace
}  // namespace zelk
