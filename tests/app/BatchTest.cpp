// Batch runs: the trigger at each repaint, the completion, and runs that cannot start or
// end without finishing.
#include "support/NrtTestData.h"

namespace zelk {
namespace {

using namespace nrttest;

TEST(Batch, NrtRunStartsAtTheRepaintAndClosesTheApplicationAtItsEnd) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string dir = MakeTempDir();
    PrepareTiny(doc, dir);
    doc.cmd.iBatchNRT = 1;
    EXPECT_TRUE(doc.BatchTrigger());
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 1);
    EXPECT_EQ(doc.bBatchRunStarted, 1);
    // While it runs, the repaint draws.
    EXPECT_FALSE(doc.BatchTrigger());
    StepToEnd(doc);
    EXPECT_EQ(doc.cmd.iBatchNRT, 2);
    EXPECT_EQ(doc.bBatchFinished, 1);
    EXPECT_EQ(doc.bNoData, 1);  // emptied by the completion
    EXPECT_TRUE(pf.boxes.empty()) << pf.LastBox();  // no final message in batch mode
    EXPECT_EQ(doc.iExitCode, 0);
    EXPECT_EQ(doc.cmd.bLastRunConverged, 1);
    ASSERT_EQ(doc.cmd.adLastRunW.size(), 3u);
    EXPECT_NEAR(doc.cmd.adLastRunW[0] + doc.cmd.adLastRunW[1] + doc.cmd.adLastRunW[2], 3.0, 1e-9);
    EXPECT_EQ(doc.cmd.asLastRunNames, (StringList{"C_X", "O_Y", "A_Z"}));
    EXPECT_GT(doc.cmd.dLastRunLu, 0.0);
    EXPECT_EQ(doc.asFilesWritten.size(), 6u);
    EXPECT_EQ(pf.closeRequests, 0);
    EXPECT_TRUE(doc.BatchTrigger());
    EXPECT_EQ(pf.closeRequests, 1);
}

TEST(Batch, WaitsForADataSet) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    doc.cmd.iBatchNRT = 1;
    EXPECT_TRUE(doc.BatchTrigger());
    EXPECT_EQ(pf.closeRequests, 0);
    EXPECT_EQ(doc.bBatchRunStarted, 0);
    EXPECT_EQ(doc.iExitCode, 0);
}

TEST(Batch, RefusedRunIsReportedOnceAndEndsWithFailure) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    FillData(doc, MakeTempDir() + "/two.dat", {{"C_X", {1, 2}}, {"C_Y", {2, 1}}});
    doc.cmd.iBatchNRT = 1;
    EXPECT_TRUE(doc.BatchTrigger());
    EXPECT_EQ(pf.closeRequests, 1);
    EXPECT_EQ(doc.iExitCode, 1);
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(pf.LastBox().rfind("Newton-Raphson needs at least three records.", 0), 0u);
    // Later repaints close again without a new message or a new attempt.
    EXPECT_TRUE(doc.BatchTrigger());
    EXPECT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
}

TEST(Batch, RunEndedByAFatalErrorEndsWithFailure) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    PrepareTiny(doc, MakeTempDir());
    doc.opt.asInitW = {"1", "2"};  // a fatal error at the first step
    doc.cmd.iBatchNRT = 1;
    EXPECT_TRUE(doc.BatchTrigger());
    StepToEnd(doc);
    EXPECT_EQ(pf.LastBox(), "Fatal error 2008.12.9.2");
    EXPECT_EQ(doc.iExitCode, 1);
    EXPECT_EQ(doc.cmd.iBatchNRT, 1);
    EXPECT_TRUE(doc.BatchTrigger());
    EXPECT_EQ(pf.closeRequests, 1);
    EXPECT_EQ(doc.bBatchFinished, 0);
}

TEST(Batch, FinishedFlagClosesWithoutDrawing) {
    for (int which = 0; which < 2; ++which) {
        FakePlatform pf;
        CZELKDoc doc(pf, false);
        (which ? doc.cmd.iBatchSUT : doc.cmd.iBatchNRT) = 2;
        EXPECT_TRUE(doc.BatchTrigger());
        EXPECT_EQ(pf.closeRequests, 1);
    }
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    EXPECT_FALSE(doc.BatchTrigger());
}

TEST(Batch, CompletionOnlyActsOnAnActiveBatchFlag) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bNoData = 0;
    doc.BatchCompletion(kRunNRT);
    EXPECT_EQ(doc.bNoData, 0);
    EXPECT_EQ(doc.bBatchFinished, 0);
    doc.cmd.iBatchSUT = 1;
    doc.BatchCompletion(kRunSurface);
    EXPECT_EQ(doc.cmd.iBatchSUT, 2);
    EXPECT_EQ(doc.bNoData, 1);
    EXPECT_EQ(doc.bBatchFinished, 1);
}

}  // namespace
}  // namespace zelk
