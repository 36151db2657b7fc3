// The panel of a loaded data set and the progress text of the active run.
#include <gtest/gtest.h>

#include "app/Document.h"
#include "support/FakePlatform.h"
#include "support/RecordingCanvas.h"
#include "view/View.h"

namespace zelk {
namespace {

// A document that looks loaded: two C variables and one A variable.
void FakeLoaded(CZELKDoc& doc) {
    doc.bNoData = 0;
    doc.data.sDataPath = "/data/flower.dat";
    doc.data.iNumRec = 18;
    doc.data.iNumC = 2;
    doc.data.iNumA = 1;
    doc.data.iNumVar = 3;
    doc.data.asVarnameC = {"C_HEIGHT", "C_DISTANCE"};
    doc.data.asVarnameA = {"A_TUBERS"};
    doc.data.asWeightVar = {"_ONE_"};
    doc.prep.adRangeC = {0.5, 0.25};
    doc.prep.adRangeA = {1.0};
}

bool HasTextAt(const RecordingCanvas& c, const std::string& text, int x) {
    const DrawnText* t = c.FindText(text);
    return t != nullptr && t->x == x;
}

TEST(StatusPanel, ShowsTheDataSetAndItsVariables) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    FakeLoaded(doc);
    CZELKView view(doc);
    RecordingCanvas canvas;
    view.Draw(canvas);
    EXPECT_TRUE(HasTextAt(canvas, "Input dataset: /data/flower.dat (N=18)", 10));
    EXPECT_TRUE(HasTextAt(canvas,
                          "Type C variables [2] Name (Eq.Fact.): C_HEIGHT (0.50000000) C_DISTANCE (0.25000000)", 10));
    EXPECT_TRUE(HasTextAt(canvas, "Type O variables [0] Name (Eq.Fact.):", 10));
    EXPECT_TRUE(HasTextAt(canvas, "Type A variables [1] Name (Eq.Fact.): A_TUBERS (1.00000000)", 10));
    EXPECT_EQ(canvas.FindText("No dataset loaded."), nullptr);
    EXPECT_EQ(RunProgressText(doc), "");
}

TEST(StatusPanel, ShowsTheActiveRunWithItsTimesAndWeights) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    FakeLoaded(doc);
    doc.runs.rsNRT.bRunning = 1;
    doc.runs.rsNRT.dPercent = 2.5;
    doc.runs.rsNRT.SetTexts("0 days, 0 hours, 1 minutes, 2 seconds", "unknown");
    doc.nrt.iIter = 4;
    doc.nrt.iMaxIterRun = 100;
    doc.nrt.dPctDone = 45;
    doc.track.mDispW = Matrix(3, 1, 1.0);
    doc.track.dDispLu = 0.125;
    CZELKView view(doc);
    RecordingCanvas canvas;
    view.Draw(canvas);
    EXPECT_NE(canvas.FindText("Current method=NRT (45.0% complete)"), nullptr);
    EXPECT_NE(canvas.FindText("Elapsed time: 0 days, 0 hours, 1 minutes, 2 seconds"), nullptr);
    EXPECT_NE(canvas.FindText("Remaining time: unknown"), nullptr);
    EXPECT_NE(canvas.FindText("Exploring (Iteration 3 of 100): Lu=0.12500000"), nullptr);
    EXPECT_NE(canvas.FindText("w=<1.00000000,1.00000000,1.00000000>"), nullptr);
    EXPECT_EQ(RunProgressText(doc),
              "NRT iteration 4 of 100: 45.0% of the iteration (2.5% of the run) - elapsed: 0 days, 0 "
              "hours, 1 minutes, 2 seconds - remaining: unknown");
    doc.runs.rsNRT.bRunning = 0;
}

}  // namespace
}  // namespace zelk
