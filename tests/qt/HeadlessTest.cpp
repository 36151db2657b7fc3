// The monitor of the headless mode and of batch runs: a batch never idles, a headless run
// ends once nothing is left to do, and progress lines go to stderr (in a log: one per
// iteration, at most one a second).
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <sstream>

#include "app/Document.h"
#include "platform/qt/Headless.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtPlatform.h"
#include "qt/QtTestApp.h"
#include "platform/qt/ViewWidget.h"
#include "view/View.h"

namespace zelk {
namespace {

struct HeadlessShell {
    QtPlatform pf{{"zelk", "data.dat", "-NRT"}, true};
    CZELKDoc doc{pf, false};
    CZELKView view{doc};
    MainWindow window{doc, view, true};
    std::ostringstream err;
    HeadlessShell() {
        pf.SetMainWindow(&window);
        pf.SetViewWidget(window.View());
        pf.SetErrorStream(&err);
        window.View()->SetPaintImage(false);
    }
};

void Deliver() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

TEST(Headless, EndsWhenNothingIsLeftToDo) {
    TestApp();
    HeadlessShell s;
    RunMonitor monitor(s.doc, s.window, true, s.err);
    monitor.Tick();
    EXPECT_FALSE(s.window.IsClosing());  // one idle pass is not yet the end
    monitor.Tick();
    Deliver();
    EXPECT_TRUE(s.window.IsClosing());
}

TEST(Headless, FinishedBatchClosesWithoutAPerson) {
    TestApp();
    HeadlessShell s;
    s.doc.cmd.iBatchNRT = 2;
    RunMonitor monitor(s.doc, s.window, false, s.err);  // the window mode acts the same
    monitor.Tick();
    Deliver();
    EXPECT_TRUE(s.window.IsClosing());
}

TEST(Headless, RefusedBatchRunReportsOnceAndEndsWithAFailure) {
    TestApp();
    HeadlessShell s;
    // A loaded data set with one analysis variable: Newton-Raphson has nothing to do.
    s.doc.bNoData = 0;
    s.doc.data.iNumVar = 1;
    s.doc.data.iNumC = 1;
    s.doc.data.iNumRec = 5;
    s.doc.cmd.iBatchNRT = 1;
    RunMonitor monitor(s.doc, s.window, true, s.err);
    monitor.Tick();
    Deliver();
    EXPECT_TRUE(s.window.IsClosing());
    EXPECT_EQ(s.doc.iExitCode, 1);
    EXPECT_NE(s.err.str().find("Newton-Raphson needs at least two analysis variables."), std::string::npos)
        << s.err.str();
    EXPECT_EQ(s.pf.messageBoxCount(), 1);
}

TEST(Headless, ProgressLinesWhileARunIsActive) {
    TestApp();
    HeadlessShell s;
    RunMonitor monitor(s.doc, s.window, true, s.err);  // stderr is a log, not a terminal
    double now = 0;
    monitor.SetClock([&now] { return now; });
    s.doc.runs.rsNRT.bRunning = 1;
    s.doc.nrt.iIter = 3;
    s.doc.nrt.iMaxIterRun = 100;
    s.doc.nrt.dPctDone = 45;
    s.doc.runs.rsNRT.SetTexts("0 days, 0 hours, 0 minutes, 12 seconds", "0 days, 0 hours, 0 minutes, 15 seconds");
    // Two seconds of passes (every 250 ms) in one iteration, then two quick iterations.
    for (int i = 0; i < 8; ++i, now += 0.25) monitor.Tick();
    s.doc.nrt.iIter = 4;
    monitor.Tick();
    now += 0.25;
    s.doc.nrt.iIter = 5;
    monitor.Tick();
    s.doc.runs.rsNRT.bRunning = 0;
    const std::string out = s.err.str();
    // Iterations count from 0, as on the panel ("Exploring (Iteration 2 of 100)").
    EXPECT_NE(out.find("zelk: NRT iteration 2 of 100: 45.0% of the iteration"), std::string::npos) << out;
    EXPECT_NE(out.find("elapsed: 0 days, 0 hours, 0 minutes, 12 seconds"), std::string::npos) << out;
    EXPECT_NE(out.find("remaining: 0 days, 0 hours, 0 minutes, 15 seconds"), std::string::npos) << out;
    EXPECT_NE(out.find("\nzelk: NRT iteration 3 of 100"), std::string::npos) << out;
    EXPECT_EQ(out.find("iteration 4"), std::string::npos) << out;
    size_t lines = 0;
    for (char c : out) lines += c == '\n';
    EXPECT_EQ(lines, 2u);
    EXPECT_FALSE(s.window.IsClosing());
}

TEST(Headless, TerminalLineShortForm) {
    TestApp();
    HeadlessShell s;
    EXPECT_EQ(TerminalProgressText(s.doc), "");
    RunState& rs = s.doc.runs.rsNRT;
    rs.bRunning = 1;
    s.doc.nrt.iIter = 12;
    s.doc.nrt.iMaxIterRun = 1000;
    s.doc.nrt.dPctDone = 45;
    rs.dElapsedSec = 2 * 86400 + 3 * 3600 + 4 * 60 + 5.9;
    EXPECT_EQ(TerminalProgressText(s.doc),
              "NRT iteration 12/1000 45.0% (run 0.0%), elapsed 2d 3:04:05, remaining unknown");
    rs.dPercent = 1.2;
    rs.dRemainingSec = 75;
    rs.bPaused = 1;
    const std::string line = "zelk: " + TerminalProgressText(s.doc);
    EXPECT_EQ(line, "zelk: NRT iteration 12/1000 45.0% (run 1.2%), elapsed 2d 3:04:05, remaining 0:01:15, paused");
    rs.bRunning = 0;
}

TEST(Headless, DisplayCheckAndTexts) {
    EXPECT_NE(NoDisplayText().find("--headless"), std::string::npos);
    EXPECT_NE(UsageText().find("--headless"), std::string::npos);
}

}  // namespace
}  // namespace zelk
