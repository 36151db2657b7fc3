// The Qt platform: the synchronous send, the headless message boxes, the command line,
// the random generator and the clock.
#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <sstream>
#include <thread>

#include "platform/qt/QtPlatform.h"
#include "qt/QtTestApp.h"

namespace zelk {
namespace {

TEST(QtPlatform, SendFromAnotherThreadRunsInTheWindowThreadAndWaits) {
    QApplication& app = TestApp();
    QtPlatform pf({"zelk"}, true);
    QThread* windowThread = app.thread();
    std::atomic<bool> done{false};
    QThread* ranOn = nullptr;
    bool returnedAfterRun = false;
    std::thread sender([&] {
        int value = 0;
        pf.RunInWindowThread([&] {
            ranOn = QThread::currentThread();
            value = 42;
        });
        returnedAfterRun = value == 42;
        done = true;
    });
    for (int i = 0; i < 5000 && !done; ++i) {
        pf.ProcessPendingSends();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    sender.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(ranOn, windowThread);
    EXPECT_TRUE(returnedAfterRun);

    // From the window's thread the function runs at once.
    bool direct = false;
    pf.RunInWindowThread([&] { direct = true; });
    EXPECT_TRUE(direct);
}

TEST(QtPlatform, HeadlessMessageBoxPrintsTheTextAndABlankLine) {
    TestApp();
    QtPlatform pf({"zelk"}, true);
    std::ostringstream err;
    pf.SetErrorStream(&err);
    EXPECT_EQ(pf.MessageBox("Fatal error 3.1", MsgIcon::Stop, MsgButtons::Ok), MsgAnswer::Ok);
    EXPECT_EQ(err.str(), "Fatal error 3.1\n\n");

    // A text with its own line end is printed unchanged; a question takes Cancel, so
    // that no file is ever deleted without a person.
    err.str("");
    EXPECT_EQ(pf.MessageBox("Delete the files?\n", MsgIcon::Stop, MsgButtons::OkCancel), MsgAnswer::Cancel);
    EXPECT_EQ(err.str(), "Delete the files?\n\n");
    EXPECT_EQ(pf.messageBoxCount(), 2);
    EXPECT_TRUE(pf.IsHeadless());
}

TEST(QtPlatform, HeadlessBoxText) {
    EXPECT_EQ(HeadlessBoxText(""), "\n\n");
    EXPECT_EQ(HeadlessBoxText("a\nb"), "a\nb\n\n");
    EXPECT_EQ(HeadlessBoxText("Convergence attained. Results files written to\n/x\n"),
              "Convergence attained. Results files written to\n/x\n\n");
}

TEST(QtPlatform, CommandLineIsTheArgumentsJoinedBySpaces) {
    TestApp();
    QtPlatform pf({"/usr/bin/zelk", "flower.dat", "-nrt", "-W=w_r01"}, true);
    EXPECT_EQ(pf.CommandLine(), "/usr/bin/zelk flower.dat -nrt -W=w_r01");
}

TEST(QtPlatform, RandGivesTheCRuntimeSequence) {
    TestApp();
    QtPlatform pf({"zelk"}, true);
    pf.SeedRand(1);
    // The classic sequence of the C runtime's generator for seed 1.
    EXPECT_EQ(pf.Rand(), 41);
    EXPECT_EQ(pf.Rand(), 18467);
    EXPECT_EQ(pf.Rand(), 6334);
    pf.SeedRand(12345);
    for (int i = 0; i < 10000; ++i) {
        const int r = pf.Rand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
}

TEST(QtPlatform, TickCountAdvancesWithSleep) {
    TestApp();
    QtPlatform pf({"zelk"}, true);
    const std::uint32_t a = pf.TickCount();
    pf.Sleep(20);
    const std::uint32_t b = pf.TickCount();
    EXPECT_GE(static_cast<std::uint32_t>(b - a), 19u);
    const SystemTime t = pf.Now();
    EXPECT_GE(t.year, 2024);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
}

}  // namespace
}  // namespace zelk
