// Run control: the run reset, the Newton-Raphson command, the step-message handlers and
// the shutdown of the pacing threads.
#include "app/RunControl.h"

#include "app/Document.h"

namespace zelk {

std::string NrtRefusalText(const CZELKDoc& doc) {
    if (doc.data.iNumVar < 2)
        return "Newton-Raphson needs at least two analysis variables. This data set has one, "
               "so its weight is fixed at 1 and there is nothing to optimise.";
    if (doc.data.iNumRec < 3)
        return Format("Newton-Raphson needs at least three records. This data set has %d, so "
                      "there is no triple of records to measure the ultrametric loss on.",
                      doc.data.iNumRec);
    if (doc.opt.iSDStepsToNR > 0)
        return Format("ISDSTEPSTONR=%d holds the Newton-Raphson run before its first step and "
                      "nothing advances it. Set ISDSTEPSTONR=0 in ZELK.ini to run.",
                      doc.opt.iSDStepsToNR);
    if (doc.opt.bCalib && doc.data.iNumA == 0)
        return "Calibration (BCALIB=1) scales the C, O and N multipliers to the average weight "
               "of the A variables, but this data set has no A variable. Set BCALIB=0 in "
               "ZELK.ini to run without calibration.";
    return std::string();
}

void CZELKDoc::RunReset() {
    for (int k = 0; k < kNumRunKinds; ++k) runs.Get(k).Reset(opt.iThreadPriority12345);
    loss = LossState();
    nrt = NrtState();
    nrt.iIter = 0;
    nrt.iIterBase = 0;
}

void CZELKDoc::OnAnalyzeNrt() {
    if (runs.rsNRT.bRunning || runs.rsSurface.bRunning || bNoData) return;
    const std::string refusal = NrtRefusalText(*this);
    if (!refusal.empty()) {
        Message(refusal, MsgIcon::Stop, MsgButtons::Ok);
        if (cmd.iBatchNRT != 0 || cmd.iBatchSUT != 0 || platform.IsHeadless()) iExitCode = 1;
        return;
    }
    // The command empties the loaded histories that a replay plays: the replay ends.
    runs.rsNRTReplay.bRunning = 0;
    EndPacingThread(kRunNRT);

    RunReset();
    nrt.iRestart = 0;
    nrt.mBestW.Clear();
    nrt.mPerturb.Clear();
    nrt.dBestLu = -1;
    RunState& rs = runs.rsNRT;
    rs.bRunning = 1;
    nrt.sRunMethod = "NRT";

    res.mNrtWhist.Clear();
    res.mNrtGhist.Clear();
    res.mNrtPhist.Clear();
    res.mNrtCovV.Clear();
    res.mNrtCovW.Clear();
    res.sNrtWhistFile.clear();
    res.sNrtGhistFile.clear();
    res.sNrtPhistFile.clear();
    res.sNrtCovFile.clear();
    res.sNrtCovWFile.clear();
    res.bEndWritesDone = 0;

    rs.dwStartTick = platform.TickCount();
    rs.dElapsedSec = 0;
    rs.dRemainingSec = 0;
    rs.dPercent = 0;
    rs.SetTexts(std::string(), std::string());

    nrt.iMaxIterRun = opt.iMaxIter;
    rs.iProgressMax = opt.iMaxIter;
    rs.hView = 1;
    StartPacingThread(kRunNRT);
}

void CZELKDoc::OnStepMessage(RunMessage msg) {
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
            // The slice stepping of the auto-scan belongs to the view's controls.
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
