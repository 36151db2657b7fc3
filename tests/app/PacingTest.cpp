// The pacing threads: elapsed time with suspension, remaining time, priorities, the end
// of a loop, and shutdown.
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "app/Pacing.h"
#include "support/NrtTestData.h"

namespace zelk {
namespace {

using namespace nrttest;

// Waits (bounded) until cond holds.
template <class F>
bool WaitFor(F cond, int ms = 5000) {
    for (int i = 0; i < ms; ++i) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return cond();
}

// A surface "run" on an empty document: its steps do nothing (no variables), so the
// loop can be watched on its own.
void StartIdleSurfaceRun(CZELKDoc& doc, int progressMax) {
    RunState& rs = doc.runs.rsSurface;
    rs.bRunning = 1;
    rs.iProgressMax = progressMax;
    doc.StartPacingThread(kRunSurface);
}

TEST(Pacing, ElapsedTimeStopsWhileSuspendedAndRemainingWaitsForProgress) {
    FakePlatform pf;
    pf.autoTick = false;
    CZELKDoc doc(pf, false);
    RunState& rs = doc.runs.rsSurface;
    StartIdleSurfaceRun(doc, 100);
    ASSERT_TRUE(WaitFor([&] { return rs.Elapsed() == "0 seconds"; }));
    // Nothing done yet: the remaining time is unknown, never a division by zero.
    EXPECT_EQ(rs.Remaining(), kRemainingUnknown);
    EXPECT_EQ(rs.dRemainingSec.load(), 0.0);
    pf.tick = 1000;
    ASSERT_TRUE(WaitFor([&] { return std::fabs(rs.dElapsedSec.load() - 1.0) < 1e-9; }));

    rs.bTimingSuspended = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pf.tick = 5000;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_NEAR(rs.dElapsedSec.load(), 1.0, 1e-9);
    rs.bTimingSuspended = 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // The first pass after the suspension only re-reads the clock.
    EXPECT_NEAR(rs.dElapsedSec.load(), 1.0, 1e-9);
    rs.iProgress = 50;
    pf.tick = 7000;
    ASSERT_TRUE(WaitFor([&] { return std::fabs(rs.dElapsedSec.load() - 3.0) < 1e-9 && rs.dPercent.load() == 50.0; }));
    ASSERT_TRUE(WaitFor([&] { return rs.Remaining() == "0 days, 0 hours, 0 minutes, 3 seconds"; }));
    EXPECT_EQ(rs.Elapsed(), "0 days, 0 hours, 0 minutes, 3 seconds");

    rs.bRunning = 0;
    ASSERT_TRUE(WaitFor([&] { return doc.runs.bThreadDone[kRunSurface].load() == 1; }));
    // The loop's end resets the run state with priority 2.
    EXPECT_EQ(rs.iPriority12345.load(), 2);
    EXPECT_EQ(rs.bThreadStarted.load(), 0);
    EXPECT_EQ(rs.Elapsed(), "");
}

TEST(Pacing, TickCountWrapsWithoutLosingTime) {
    FakePlatform pf;
    pf.autoTick = false;
    pf.tick = 0xFFFFFC18u;  // 1000 ms before the wrap
    CZELKDoc doc(pf, false);
    RunState& rs = doc.runs.rsSurface;
    StartIdleSurfaceRun(doc, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    pf.tick = 1000;  // 2000 ms later, after the wrap
    ASSERT_TRUE(WaitFor([&] { return std::fabs(rs.dElapsedSec.load() - 2.0) < 1e-9; }));
    doc.StopAllRunsAndJoin();
}

TEST(Pacing, PriorityFollowsTheRunStateAndIgnoresOtherValues) {
    for (int prio : {0, 1, 3, 5, 6}) {
        FakePlatform pf;
        CZELKDoc doc(pf, false);
        RunState& rs = doc.runs.rsSurface;
        rs.iPriority12345 = prio;
        StartIdleSurfaceRun(doc, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        doc.StopAllRunsAndJoin();
        if (prio == 0 || prio == 6) {
            EXPECT_TRUE(pf.priorities.empty()) << prio;
        } else {
            ASSERT_FALSE(pf.priorities.empty());
            for (int level : pf.priorities) EXPECT_EQ(level, prio - 3);
        }
    }
}

TEST(Pacing, HeldNrtRunGetsNoSteps) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string dir = MakeTempDir();
    FillData(doc, dir + "/tiny.dat", TinyColumns());
    doc.opt.iMaxIterBudget = 100000;
    doc.opt.dConvCrit = -1;  // never converges
    doc.OnAnalyzeNrt();
    ASSERT_EQ(doc.runs.rsNRT.bRunning.load(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    // Held: the phase no longer moves.
    doc.runs.rsNRT.bPaused = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    int phase;
    {
        // Read under the window-thread lock of the fake (steps run under it).
        pf.RunInWindowThread([&] { phase = static_cast<int>(doc.nrt.phase) * 1000000 + doc.nrt.iIter; });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    int later;
    pf.RunInWindowThread([&] { later = static_cast<int>(doc.nrt.phase) * 1000000 + doc.nrt.iIter; });
    EXPECT_EQ(phase, later);
    doc.StopAllRunsAndJoin();
    EXPECT_EQ(doc.runs.bThreadDone[kRunNRT].load(), 1);
}

TEST(Pacing, CompleteRunThroughThePacingThread) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string dir = MakeTempDir();
    FillData(doc, dir + "/tiny.dat", TinyColumns());
    doc.OnAnalyzeNrt();
    ASSERT_TRUE(WaitFor([&] { return doc.runs.bThreadDone[kRunNRT].load() == 1; }, 60000));
    std::string last;
    pf.RunInWindowThread([&] { last = pf.LastBox(); });
    EXPECT_EQ(last.rfind("Convergence attained. Results files written to\n", 0), 0u) << last;
    EXPECT_EQ(doc.runs.rsNRT.bRunning.load(), 0);
    EXPECT_EQ(doc.runs.rsNRT.iPriority12345.load(), 2);
    EXPECT_TRUE(Exists(dir + "/tiny.dat.NRT.Whist.out"));
    EXPECT_EQ(pf.showMaximised, 1);
    // A second run starts a new thread after joining the first.
    doc.OnAnalyzeNrt();
    ASSERT_TRUE(WaitFor([&] { return doc.runs.bThreadDone[kRunNRT].load() == 1; }, 60000));
    EXPECT_EQ(doc.runs.rsNRT.bRunning.load(), 0);
}

TEST(Pacing, ClosingDuringARunStopsAndJoins) {
    FakePlatform pf;
    auto doc = std::make_unique<CZELKDoc>(pf, false);
    FillData(*doc, MakeTempDir() + "/tiny.dat", TinyColumns());
    doc->opt.iMaxIterBudget = 100000;
    doc->opt.dConvCrit = -1;  // never converges
    doc->OnAnalyzeNrt();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(doc->AnyRunActive());
    doc.reset();  // the destructor stops every run and joins its thread
    // Nothing is sent any more: the thread has ended with the document.
    const size_t priorities = pf.priorities.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(pf.priorities.size(), priorities);
}

}  // namespace
}  // namespace zelk
