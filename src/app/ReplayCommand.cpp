// The Newton-Raphson Replay command: it plays the histories loaded with the data file,
// one stored iteration per step.
#include "app/Document.h"
#include "runs/Replay.h"

namespace zelk {

namespace {

StoredRun StoredOf(const CZELKDoc& doc, const StringList& names) {
    return StoredRun{doc.res.mNrtWhist, doc.res.mNrtGhist, doc.res.mNrtPhist, names};
}

}  // namespace

void CZELKDoc::OnAnalyzeNrtReplay() {
    RunState& rs = runs.rsNRTReplay;
    if (rs.bRunning || runs.rsSurface.bRunning || bNoData == 1 || res.mNrtWhist.Rows() == 0 ||
        res.mNrtGhist.Rows() == 0)
        return;
    const StringList names = data.AnalysisNames();
    if (!StoredRunFits(StoredOf(*this, names), data.iNumVar)) return;

    rs.Reset(opt.iThreadPriority12345);
    rs.iSleepMilli = opt.iSleepMilli;
    rs.bRunning = 1;
    rs.iProgress = 0;
    rs.iProgressMax = res.mNrtWhist.Rows();
    rs.dwStartTick = platform.TickCount();
    rs.dElapsedSec = 0;
    rs.dRemainingSec = 0;
    rs.SetTexts(std::string(), std::string());
    rs.bViewTarget = 1;
    replay.iIter = 0;
    StartPacingThread(kRunNRTReplay);
}

void CZELKDoc::ReplayNrtStep() {
    if (bNoData == 1) {
        Fatal("No data to analyze!");
        return;
    }
    RunState& rs = runs.rsNRTReplay;
    const StringList names = data.AnalysisNames();
    const ReplayOutcome out = ReplayStep(replay, track, StoredOf(*this, names), data.iNumVar, disp.bRepeat == 1);
    rs.iProgress = replay.iIter;
    if (out.ended) rs.bRunning = 0;
    if (out.redraw) RedrawAllViews();
}

}  // namespace zelk
