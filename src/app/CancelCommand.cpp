// The cancel command (Escape): it asks before it stops the active run.
#include "app/Document.h"
#include "runs/NrtRun.h"

namespace zelk {

namespace {
const char* const kCancelQuestion = "Are you sure you want to cancel this run?";
}

// Escape: asks before it stops the active run. The run is held while the question is
// open, so no step runs in between.
void CZELKDoc::OnCancelKey() {
    if (runs.rsNRT.bRunning) {
        RunState& rs = runs.rsNRT;
        if (disp.bMouseDrag && rs.bPaused) {
            // A pick in progress: Escape ends it and puts the run back where it was.
            disp.bMouseDrag = 0;
            runs.SetTimingSuspended(0);
            disp.mPickW = disp.mPickWSaved;
            const Matrix& wh = track.mWHist;
            const int last = wh.Rows() - 1;
            nrt.mStartW = last >= 0 && wh.Cols() == data.iNumVar
                              ? ToColumn(RealList(wh.Row(last), wh.Row(last) + wh.Cols()))
                              : nrt.mInitW;
            if (nrt.bInitialised && !nrt.bFinished && nrt.phase != NrtPhase::SetUp) {
                nrt.phase = NrtPhase::Parameters;
                rs.bStepRequest = 1;
            }
            rs.bPaused = 0;
            disp.bPointReset = 1;
            RedrawAll();
            return;
        }
        rs.bPaused = 1;
        if (Message(kCancelQuestion, MsgIcon::Stop, MsgButtons::OkCancel) == MsgAnswer::Ok) {
            rs.bStopRequest = 1;
            NrtRun::RequestStop(nrt);
        }
        rs.bPaused = 0;
        return;
    }
    const bool surface = runs.rsSurface.bRunning != 0;
    const bool replaying = runs.rsNRTReplay.bRunning != 0;
    if (!surface && !replaying) return;
    RunState& rs = surface ? runs.rsSurface : runs.rsNRTReplay;
    rs.bPaused = 1;
    if (Message(kCancelQuestion, MsgIcon::Stop, MsgButtons::OkCancel) == MsgAnswer::Ok) {
        int& initialised = surface ? scan.bInitialised : replay.bInitialised;
        if (initialised == 1) initialised = 0;
    }
    rs.bPaused = 0;
}

}  // namespace zelk
