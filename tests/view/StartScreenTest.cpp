// The start screen and the batch checks at the start of every draw.
#include <gtest/gtest.h>

#include <iterator>

#include "app/Document.h"
#include "support/FakePlatform.h"
#include "support/RecordingCanvas.h"
#include "view/View.h"

namespace zelk {
namespace {

struct ExpectedLine {
    int y;
    const char* text;
};

const ExpectedLine kExpected[] = {
    {130, "NOTES:"},
    {150, "1. To begin, choose File->Open to open an existing dataset. This can have any file extension, "
          "though I prefer to use .dat."},
    {170, "2. Choose File->New to clear a dataset from the program's memory (this will not erase the data "
          "file from your hard drive)."},
    {190, "3. Some commands may not work after switching between data files or encountering an error, "
          "unless you select File->New to clear the memory before loading the new data file."},
    {210, "4. This application is not multi-threaded. Therefore, on a multi-core CPU (most computers "
          "today), you might run many simultaneous instances with no decrease in performance."},
    {230, "5. Changing bAlwaysUpdateAll=0 to bAlwaysUpdateAll=1 in ZELK.ini may result in clearer graphs, "
          "however at the expense of smoother animations."},
    {250, "6. There is no print capability in ZELK-MD. Most textual output is written to text files which "
          "can be copied or printed. To print graphs, use your keyboard's Print Screen button"},
    {270, "   (this copies the current display into memory), then paste directly into a word processor, or "
          "first into a graphic editor like Paint to select the relevant portions."},
    {310, "8. For additional keys and command line parameters not all necessarily listed in the user's "
          "guide, see \"ZELK-MD Additional Commands.txt\" that came with your software."},
    {350, "No dataset loaded."},
};

TEST(StartScreen, EmptyDocumentShowsTheNotesAtTheirPlaces) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    CZELKView view(doc);
    RecordingCanvas canvas;
    canvas.clip = Rect{0, 0, 1200, 800};
    view.Draw(canvas);

    ASSERT_EQ(canvas.texts.size(), std::size(kExpected));
    for (size_t i = 0; i < std::size(kExpected); ++i) {
        SCOPED_TRACE(kExpected[i].text);
        EXPECT_EQ(canvas.texts[i].text, kExpected[i].text);
        EXPECT_EQ(canvas.texts[i].x, 10);
        EXPECT_EQ(canvas.texts[i].y, kExpected[i].y);
        EXPECT_FALSE(canvas.texts[i].rightAligned);
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
