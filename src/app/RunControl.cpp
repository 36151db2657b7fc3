// Run control: the run reset, the step-message handlers and the shutdown of the pacing
// threads.
#include "app/Document.h"

#include <new>

namespace zelk {

const char* const kOutOfMemoryText =
    "Out of memory: this machine could not provide the memory needed, so the operation was "
    "stopped. Files written before are unchanged.";

void CZELKDoc::RunReset() {
    for (int k = 0; k < kNumRunKinds; ++k) runs.Get(k).Reset(opt.iThreadPriority12345);
    nrt = NrtState();
    track = RunTrack();
    scan = ScanState();
    disp.bPointReset = 0;
}

void CZELKDoc::OnStepMessage(RunMessage msg) {
    // The last defence against a lack of memory that the commands' estimates did not
    // foresee: the run ends with a message instead of the program.
    try {
        StepMessage(msg);
    } catch (const std::bad_alloc&) {
        Fatal(kOutOfMemoryText);
    }
}

void CZELKDoc::StepMessage(RunMessage msg) {
    auto maximiseOnce = [this] {
        if (platform.HasMainWindow() && opt.bAutoMinimize == 0) {
            platform.ShowMainWindow(true);
            opt.bAutoMinimize = 1;
        }
    };
    switch (msg) {
        case RunMessage::NrtStep:
            NrtStep();
            maximiseOnce();
            break;
        case RunMessage::SurfaceStep:
            if (data.iNumVar >= 2 && data.iNumVar <= 4) ScanSurfaceStep();
            maximiseOnce();
            break;
        case RunMessage::NrtReplayStep:
            ReplayNrtStep();
            break;
        case RunMessage::AutoScanStep:
            AutoScanStep();
            break;
    }
}

bool CZELKDoc::AnyRunActive() const {
    return runs.rsNRT.bRunning || runs.rsSurface.bRunning || runs.rsAutoScan.bRunning ||
           runs.rsNRTReplay.bRunning;
}

void CZELKDoc::StopAllRunsAndJoin() {
    for (int k = 0; k < kNumRunKinds; ++k) runs.Get(k).bRunning = 0;
    for (int k = 0; k < kNumRunKinds; ++k) {
        std::thread& t = runs.hRunThread[k];
        if (!t.joinable()) continue;
        std::shared_ptr<std::atomic<int>> finished = runs.pThreadFinished[k];
        while (finished && !*finished) {
            platform.ProcessPendingSends();
            platform.Sleep(1);
        }
        t.join();
    }
    for (std::thread& t : runs.aOldThreads)
        if (t.joinable()) t.join();
    runs.aOldThreads.clear();
}

}  // namespace zelk
