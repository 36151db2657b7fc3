// The pacing threads: one per active run. Each loops while its run is on, keeps the
// elapsed and remaining time, and delivers one step message per pass synchronously to
// the window's thread, where all analysis work happens.
#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <thread>

#include "app/Document.h"
#include "base/Format.h"
#include "app/Pacing.h"

namespace zelk {

const char* const kRemainingUnknown = "unknown";

namespace {

RunMessage MessageOf(int kind) {
    switch (kind) {
        case kRunNRT: return RunMessage::NrtStep;
        case kRunSurface: return RunMessage::SurfaceStep;
        case kRunNRTReplay: return RunMessage::NrtReplayStep;
        default: return RunMessage::AutoScanStep;
    }
}

// Priority 1..5 to the levels -2..+2; any other value keeps the thread's priority.
void ApplyPriority(Platform& pf, int priority12345) {
    if (priority12345 >= 1 && priority12345 <= 5) pf.SetCurrentThreadPriority(priority12345 - 3);
}

double PercentOf(int kind, const RunState& rs) {
    const double progress = rs.iProgress;
    const double max = rs.iProgressMax;
    switch (kind) {
        case kRunNRT: return progress * 100.0 / (max + 1.0);
        case kRunSurface: return rs.iProgress > 0 && max != 0 ? progress * 100.0 / max : 0.0;
        case kRunNRTReplay: return max != 0 ? progress * 100.0 / max : 0.0;
        default: return 0.0;
    }
}

// Elapsed time advances only while timing is not suspended; the first pass after a
// suspension only re-reads the clock. While nothing is done yet the remaining time is
// unknown (0 seconds, text "unknown"): the estimate divides by the percentage.
struct Clock {
    std::uint32_t last = 0;
    bool resync = false;

    void Pass(Platform& pf, RunState& rs) {
        if (rs.bTimingSuspended) {
            resync = true;
            return;
        }
        const std::uint32_t now = pf.TickCount();
        if (resync) {
            last = now;
            resync = false;
            return;
        }
        const double elapsed = rs.dElapsedSec + static_cast<std::uint32_t>(now - last) * 0.001;
        last = now;
        rs.dElapsedSec = elapsed;
        const double pct = rs.dPercent;
        std::string remainingText;
        if (pct > 0 && std::isfinite(pct)) {
            const double remaining = (100.0 - pct) / pct * elapsed;
            rs.dRemainingSec = remaining;
            remainingText = TimeText(remaining);
        } else {
            rs.dRemainingSec = 0;
            remainingText = kRemainingUnknown;
        }
        rs.SetTexts(TimeText(elapsed), remainingText);
    }
};

bool Current(RunStates& runs, int kind, int gen) { return runs.iGeneration[kind].load() == gen; }

void PacingLoop(CZELKDoc* doc, int kind, int gen, std::shared_ptr<std::atomic<int>> finished) {
    RunStates& runs = doc->runs;
    RunState& rs = runs.Get(kind);
    Platform& pf = doc->platform;
    const RunMessage msg = MessageOf(kind);

    while (rs.bThreadStarted == 0 && Current(runs, kind, gen) && rs.bRunning) pf.Sleep(1);

    Clock clock;
    clock.last = pf.TickCount();
    while (rs.bRunning && Current(runs, kind, gen)) {
        if (kind == kRunAutoScan) {
            const int speed = std::abs(rs.iProgress.load());
            pf.Sleep(static_cast<unsigned>((11 - std::min(speed, 10)) * 25));
            if (rs.bPaused) {
                pf.Sleep(1);
                continue;
            }
        } else {
            const bool held = rs.bPaused && !(kind != kRunSurface && rs.bStepRequest);
            if (held) {
                if (kind == kRunNRTReplay) clock.resync = true;
                pf.Sleep(1);
                continue;
            }
        }
        ApplyPriority(pf, rs.iPriority12345);
        if (kind != kRunAutoScan) {
            rs.dPercent = PercentOf(kind, rs);
            clock.Pass(pf, rs);
        }
        rs.bInMessage = 1;
        pf.RunInWindowThread([doc, &runs, &rs, kind, gen, msg] {
            // A send that arrives after its run was stopped does nothing.
            if (!rs.bRunning || !Current(runs, kind, gen)) return;
            runs.bInSend[kind] = 1;
            doc->OnStepMessage(msg);
            runs.bInSend[kind] = 0;
        });
        rs.bInMessage = 0;
        if (kind == kRunNRTReplay) pf.Sleep(static_cast<unsigned>(std::max(0, rs.iSleepMilli.load())));
    }

    {
        std::lock_guard<std::mutex> g(runs.endLock);
        if (Current(runs, kind, gen)) {
            if (kind == kRunSurface) pf.SetForegroundWindow(rs.bViewTarget);
            rs.Reset(2);
            runs.bThreadDone[kind] = 1;
        }
    }
    *finished = 1;
}

}  // namespace

void CZELKDoc::EndPacingThread(int kind) {
    std::thread& t = runs.hRunThread[kind];
    if (!t.joinable()) return;
    {
        // The old thread stops at its next check and leaves the run state alone.
        std::lock_guard<std::mutex> g(runs.endLock);
        ++runs.iGeneration[kind];
        runs.bThreadDone[kind] = 1;
    }
    if (runs.bInSend[kind]) {
        // Called from inside that thread's own send: it cannot end before this call
        // returns, so it is joined at shutdown.
        runs.aOldThreads.push_back(std::move(t));
        return;
    }
    std::shared_ptr<std::atomic<int>> finished = runs.pThreadFinished[kind];
    while (finished && !*finished) {
        platform.ProcessPendingSends();
        platform.Sleep(1);
    }
    t.join();
}

void CZELKDoc::StartPacingThread(int kind) {
    RunState& rs = runs.Get(kind);
    if (bManualStepping) {
        rs.bThreadStarted = 1;
        return;
    }
    const int running = rs.bRunning;
    EndPacingThread(kind);
    int gen;
    auto finished = std::make_shared<std::atomic<int>>(0);
    {
        std::lock_guard<std::mutex> g(runs.endLock);
        gen = ++runs.iGeneration[kind];
        runs.bThreadDone[kind] = 0;
        runs.pThreadFinished[kind] = finished;
        // An old thread that ended between the command and this call may have reset
        // the run state; the command's decision to run stands.
        if (running && !rs.bRunning) rs.bRunning = 1;
    }
    runs.hRunThread[kind] = std::thread(PacingLoop, this, kind, gen, finished);
    rs.bThreadStarted = 1;
}

}  // namespace zelk
