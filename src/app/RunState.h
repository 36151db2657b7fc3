// The pacing record of one run kind. Fields shared with the pacing thread are atomics;
// the window's thread and the pacing thread are the only two that touch them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zelk {

struct RunState {
    std::atomic<int> bRunning{0};
    std::atomic<int> bPaused{0};
    std::atomic<int> bInMessage{0};
    std::atomic<int> bStepRequest{0};
    std::atomic<int> bTimingSuspended{0};
    std::atomic<int> bStopRequest{0};
    std::atomic<int> iProgress{0};  // the auto-scan: its signed speed (the sign is the direction)
    std::atomic<int> iProgressMax{0};
    std::atomic<int> iSleepMilli{10};
    std::atomic<int> iPriority12345{3};
    std::atomic<std::uint32_t> dwStartTick{0};
    std::atomic<double> dElapsedSec{0};
    std::atomic<double> dRemainingSec{0};
    std::atomic<double> dPercent{0};
    // Texts written by the pacing thread and read by the view: guarded by textLock.
    mutable std::mutex textLock;
    std::string sElapsed;
    std::string sRemaining;
    std::atomic<int> bViewTarget{0};    // 1 once the command has named the view as the target
    std::atomic<int> bThreadStarted{0};  // 1 once the starter has stored the thread

    void Reset(int priority12345);
    std::string Elapsed() const {
        std::lock_guard<std::mutex> g(textLock);
        return sElapsed;
    }
    std::string Remaining() const {
        std::lock_guard<std::mutex> g(textLock);
        return sRemaining;
    }
    void SetTexts(std::string elapsed, std::string remaining) {
        std::lock_guard<std::mutex> g(textLock);
        sElapsed = std::move(elapsed);
        sRemaining = std::move(remaining);
    }
};

inline void RunState::Reset(int priority12345) {
    bRunning = 0;
    bPaused = 0;
    bInMessage = 0;
    bStepRequest = 0;
    bStopRequest = 0;
    bTimingSuspended = 0;
    iProgress = 0;
    iProgressMax = 0;
    iSleepMilli = 10;
    iPriority12345 = priority12345;
    dwStartTick = 0;
    dElapsedSec = 0;
    dRemainingSec = 0;
    dPercent = 0;
    SetTexts(std::string(), std::string());
    bViewTarget = 0;
    bThreadStarted = 0;
}

enum RunKind { kRunNRT = 0, kRunSurface = 1, kRunAutoScan = 2, kRunNRTReplay = 3, kNumRunKinds = 4 };

struct RunStates {
    RunState rsNRT, rsSurface, rsAutoScan, rsNRTReplay;
    std::thread hRunThread[kNumRunKinds];
    // Set by a pacing thread as its very last act, so the window's thread can join it
    // without waiting on a thread that is still inside a send.
    std::atomic<int> bThreadDone[kNumRunKinds] = {{1}, {1}, {1}, {1}};
    // Generation of the current pacing thread of each kind: a thread whose generation is
    // no longer current ends without touching the run state.
    std::atomic<int> iGeneration[kNumRunKinds] = {{0}, {0}, {0}, {0}};
    // 1 while the window's thread runs a step message of that kind.
    std::atomic<int> bInSend[kNumRunKinds] = {{0}, {0}, {0}, {0}};
    // Threads left behind while their own send was running; joined at shutdown.
    std::vector<std::thread> aOldThreads;
    // Set by each pacing thread as its very last act (whatever its generation).
    std::shared_ptr<std::atomic<int>> pThreadFinished[kNumRunKinds];
    std::mutex endLock;  // orders a thread's final reset against a new start

    // The pick-pause: no run's elapsed time advances while a pick is in progress.
    void SetTimingSuspended(int on) {
        for (RunState* r : {&rsNRT, &rsSurface, &rsAutoScan, &rsNRTReplay}) r->bTimingSuspended = on;
    }

    RunState& Get(int kind) {
        RunState* r[] = {&rsNRT, &rsSurface, &rsAutoScan, &rsNRTReplay};
        return *r[kind];
    }
};

}  // namespace zelk
