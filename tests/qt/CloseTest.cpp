// Closing the window while a pacing thread is sending steps ends cleanly: the thread is
// stopped and joined, its pending send is delivered, nothing hangs.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <sstream>

#include <chrono>
#include <thread>

#include "app/Document.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtPlatform.h"
#include "qt/QtTestApp.h"
#include "platform/qt/ViewWidget.h"
#include "view/Controls.h"
#include "view/View.h"

namespace zelk {
namespace {

struct Shell {
    QtPlatform pf{{"zelk"}, false};
    CZELKDoc doc{pf, false};
    CZELKView view{doc};
    MainWindow window{doc, view, false};
    Shell() {
        pf.SetMainWindow(&window);
        pf.SetViewWidget(window.View());
    }
};

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST(Close, MidRunStopsAndJoinsThePacingThread) {
    TestApp();
    Shell s;
    RunState& rs = s.doc.runs.rsAutoScan;
    // The auto-scan as the keys start it, at its fastest pace: a send every 25 ms.
    s.doc.disp.iSliceVar = 1;
    for (int i = 0; i < 10; ++i) OnChar(s.doc, ']');
    ASSERT_EQ(rs.iProgress, -10);
    ASSERT_TRUE(s.doc.runs.hRunThread[kRunAutoScan].joinable());
    Pump(150);

    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(s.window.close());
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_TRUE(s.window.IsClosing());
    EXPECT_EQ(rs.bRunning, 0);
    EXPECT_FALSE(s.doc.runs.hRunThread[kRunAutoScan].joinable());
}

TEST(Close, ACloseInsideAStepWaitsForTheStepToReturn) {
    TestApp();
    Shell s;
    s.doc.runs.bInSend[kRunNRT] = 1;
    EXPECT_FALSE(s.window.close());
    EXPECT_FALSE(s.window.IsClosing());
    s.doc.runs.bInSend[kRunNRT] = 0;
    Pump(200);
    EXPECT_TRUE(s.window.IsClosing());
}

TEST(Close, TheViewTakesTheKeysAndTheCharacters) {
    TestApp();
    QtPlatform pf({"zelk"}, true);
    std::ostringstream err;
    pf.SetErrorStream(&err);
    CZELKDoc doc(pf, false);
    CZELKView view(doc);
    MainWindow window(doc, view, true);
    pf.SetMainWindow(&window);
    // A character applies whether or not the window is in front; upper and lower case alike.
    for (int key : {Qt::Key_A, Qt::Key_A}) {
        const int before = doc.disp.bGridLines;
        QKeyEvent a(QEvent::KeyPress, key, Qt::NoModifier, "a");
        QCoreApplication::sendEvent(window.View(), &a);
        EXPECT_NE(doc.disp.bGridLines, before);
    }
    // Key-down events need the window in front, which a headless window never is: Escape
    // during a scan asks nothing and the scan goes on.
    doc.runs.rsSurface.bRunning = 1;
    doc.scan.bInitialised = 1;
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(window.View(), &esc);
    EXPECT_EQ(err.str().find("Are you sure"), std::string::npos) << err.str();
    EXPECT_EQ(doc.scan.bInitialised, 1);
    doc.runs.rsSurface.bRunning = 0;
}

}  // namespace
}  // namespace zelk
