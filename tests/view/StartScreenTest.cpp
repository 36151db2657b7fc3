// The start screen and the batch checks at the start of every draw.
#include <gtest/gtest.h>

#include "app/Document.h"
#include "support/FakePlatform.h"
#include "support/RecordingCanvas.h"
#include "view/View.h"

namespace zelk {
namespace {

TEST(StartScreen, EmptyDocumentShowsTheNotesAtTheirPlaces) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    CZELKView view(doc);
    RecordingCanvas canvas;
    canvas.clip = Rect{0, 0, 1200, 800};
    view.Draw(canvas);

    // Ten lines at x = 10 from "NOTES:" at y = 130 down to "No dataset loaded." at 350.
    ASSERT_EQ(canvas.texts.size(), 10u);
    EXPECT_EQ(canvas.texts.front().text, "NOTES:");
    EXPECT_EQ(canvas.texts.front().y, 130);
    EXPECT_EQ(canvas.texts.back().text, "No dataset loaded.");
    EXPECT_EQ(canvas.texts.back().y, 350);
    for (const auto& t : canvas.texts) {
        EXPECT_EQ(t.x, 10) << t.text;
        EXPECT_FALSE(t.rightAligned) << t.text;
    }
    // 8 points, bold; the clip box is filled white, and nothing else is drawn.
    EXPECT_EQ(canvas.fontPoints, 8);
    EXPECT_EQ(canvas.fontWeight, 700);
    ASSERT_EQ(canvas.filled.size(), 1u);
    EXPECT_EQ(canvas.filled[0].right, 1200);
    EXPECT_EQ(canvas.filled[0].bottom, 800);
    EXPECT_TRUE(canvas.lines.empty());
    EXPECT_TRUE(canvas.ellipses.empty());
    EXPECT_EQ(canvas.pixels, 0);
    EXPECT_EQ(pf.closeRequests, 0);
}

TEST(StartScreen, ZeroSizedClientDrawsNothing) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    CZELKView view(doc);
    RecordingCanvas canvas;
    canvas.client = Rect{0, 0, 0, 500};
    view.Draw(canvas);
    EXPECT_TRUE(canvas.texts.empty());
    EXPECT_TRUE(canvas.filled.empty());
}

// The checks before anything is drawn: a finished batch closes the application, a
// pending surface batch comes before a pending Newton-Raphson batch, and a batch whose
// run is active lets the draw go on.
TEST(DrawEntryChecks, FinishedBatchClosesAndDrawsNothing) {
    for (int which = 0; which < 2; ++which) {
        FakePlatform pf;
        CZELKDoc doc(pf, false);
        CZELKView view(doc);
        (which == 0 ? doc.cmd.iBatchNRT : doc.cmd.iBatchSUT) = 2;
        // A finished batch wins over a pending one of the other kind.
        (which == 0 ? doc.cmd.iBatchSUT : doc.cmd.iBatchNRT) = 1;
        RecordingCanvas canvas;
        view.Draw(canvas);
        EXPECT_EQ(pf.closeRequests, 1);
        EXPECT_TRUE(canvas.texts.empty());
        EXPECT_TRUE(canvas.filled.empty());
        EXPECT_EQ(canvas.fontPoints, 0) << "the font is selected only after the checks";
    }
}

TEST(DrawEntryChecks, PendingBatchDrawsNothing) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    CZELKView view(doc);
    doc.cmd.iBatchNRT = 1;  // no data set yet: the first file opened will be analysed
    RecordingCanvas canvas;
    view.Draw(canvas);
    EXPECT_TRUE(canvas.texts.empty());
    EXPECT_TRUE(canvas.filled.empty());
    EXPECT_EQ(pf.closeRequests, 0);
}

TEST(DrawEntryChecks, BatchWithItsRunActiveDraws) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    CZELKView view(doc);
    doc.cmd.iBatchNRT = 1;
    doc.runs.rsNRT.bRunning = 1;
    RecordingCanvas canvas;
    view.Draw(canvas);
    EXPECT_NE(canvas.FindText("No dataset loaded."), nullptr);
    EXPECT_EQ(canvas.fontPoints, 8);

    // The surface check comes first: its pending batch stops the draw even though the
    // Newton-Raphson run is active.
    doc.cmd.iBatchSUT = 1;
    RecordingCanvas second;
    view.Draw(second);
    EXPECT_TRUE(second.texts.empty());
    doc.runs.rsNRT.bRunning = 0;
}

}  // namespace
}  // namespace zelk
