// What the keys and the mouse change in the document: holding the run that a change would
// disturb, the slice position and mode, the colour scale, the auto-scan and the start point
// picked on the map. The view's controls decide when each applies.
#include <cstdlib>

#include "app/Document.h"
#include "base/Format.h"

namespace zelk {

namespace {

// The run that "hold" pauses: the Newton-Raphson run, else the replay.
RunState* HoldableRun(RunStates& runs) {
    if (runs.rsNRT.bRunning) return &runs.rsNRT;
    if (runs.rsNRTReplay.bRunning) return &runs.rsNRTReplay;
    return nullptr;
}

void SetScale(CZELKDoc& doc, const std::string& scale) {
    doc.surf.sLuScale = scale;
    doc.RecomputeSurfaceColours();
}

// After the slice mode changed: the uniform scale while slicing by Lu level, the
// logarithmic one when slicing by the first weight.
void ScaleForSliceMode(CZELKDoc& doc) {
    if (doc.disp.iSliceVar == 0) {
        doc.surf.sLuScale = "1";
        Matrix& s = doc.surf.mSurface;
        const int col = doc.data.iNumVar + 1;
        if (s.Cols() > col)
            for (int r = 0; r < s.Rows(); ++r) s(r, col) = 0;
    } else if (doc.disp.iSliceVar == 1) {
        SetScale(doc, "Log(Lu)");
    }
}

}  // namespace

void CZELKDoc::HoldActiveRun() {
    if (RunState* rs = HoldableRun(runs)) rs->bPaused = 1;
}

void CZELKDoc::ReleaseActiveRun() {
    if (RunState* rs = HoldableRun(runs)) rs->bPaused = 0;
}

void CZELKDoc::RedrawAll() {
    disp.bRedrawAll = 1;
    RedrawAllViews();
}

bool CZELKDoc::SliceForward() {
    if (disp.iSliceVar == -1) return false;
    disp.bRedrawSlice = 1;
    if (disp.iSlicePos >= 1000) return false;
    disp.iSlicePos = disp.iSlicePos <= 1 ? 5 : disp.iSlicePos + 5;
    RedrawAllViews();
    return true;
}

bool CZELKDoc::SliceBackward() {
    if (disp.iSliceVar == -1) return false;
    disp.bRedrawSlice = 1;
    if (disp.iSlicePos <= 1) return false;
    disp.iSlicePos = disp.iSlicePos <= 5 ? 1 : disp.iSlicePos - 5;
    RedrawAllViews();
    return true;
}

void CZELKDoc::NextSliceMode() {
    if (disp.iSliceVar >= data.iNumVar) return;
    ++disp.iSliceVar;
    ScaleForSliceMode(*this);
    disp.bRedrawSlice = 1;
    RedrawAllViews();
}

void CZELKDoc::PreviousSliceMode() {
    if (disp.iSliceVar <= -1) return;
    // Every point shown: nothing is left for the auto-scan to move.
    if (runs.rsAutoScan.bRunning && disp.iSliceVar == 0) runs.rsAutoScan.Reset(opt.iThreadPriority12345);
    --disp.iSliceVar;
    ScaleForSliceMode(*this);
    disp.bRedrawSlice = 1;
    RedrawAllViews();
}

void CZELKDoc::NextColourScale() {
    const std::string& s = surf.sLuScale;
    std::string next;
    if (s == "Log(Lu)")
        next = Format("Pow(Lu,%.1f)", opt.dSurfacePow);
    else if (!s.empty() && s[0] == 'P')
        next = "Lu";
    else if (s == "Lu")
        next = " ";
    else if (s == " ")
        next = "1";
    else
        next = !surf.sSurfaceFile.empty() ? "Log(Lu)" : " ";
    surf.sLuScale = next;
    disp.bRedrawSlice = 1;
    if (next != " ") RecomputeSurfaceColours();
    RedrawAllViews();
}

void CZELKDoc::AutoScanFaster() {
    RunState& rs = runs.rsAutoScan;
    if (!rs.bRunning) {
        rs.Reset(opt.iThreadPriority12345);
        rs.bRunning = 1;
        rs.iProgress = -1;
        rs.bViewTarget = 1;
        StartPacingThread(kRunAutoScan);
        return;
    }
    const int speed = rs.iProgress;
    if (std::abs(speed) >= 10) return;
    rs.bPaused = 1;
    rs.iProgress = speed < 0 ? speed - 1 : speed + 1;
    rs.bPaused = 0;
}

void CZELKDoc::AutoScanSlower() {
    RunState& rs = runs.rsAutoScan;
    if (!rs.bRunning) return;
    const int speed = rs.iProgress;
    if (std::abs(speed) <= 1) {
        rs.Reset(opt.iThreadPriority12345);
        RedrawAllViews();
        return;
    }
    rs.bPaused = 1;
    rs.iProgress = speed < 0 ? speed + 1 : speed - 1;
    rs.bPaused = 0;
}

void CZELKDoc::AutoScanStep() {
    RunState& rs = runs.rsAutoScan;
    if (!platform.IsMainWindowForeground() || !rs.bRunning) return;
    if (rs.iProgress < 0) {
        if (!SliceBackward()) {
            rs.iProgress = -rs.iProgress;
            SliceForward();
        }
    } else if (!SliceForward()) {
        rs.iProgress = -rs.iProgress;
        SliceBackward();
    }
}

bool CZELKDoc::MovePickedStart(const Matrix& w) {
    RunState& rs = runs.rsNRT;
    // Only a run that has set itself up and is not finishing takes a new start point.
    auto takes = [&] {
        return rs.bRunning && nrt.bInitialised && !nrt.bFinished && nrt.phase != NrtPhase::SetUp &&
               w.Rows() == data.iNumVar && w.Cols() == 1;
    };
    if (!takes()) return false;
    disp.mPickW = w;
    nrt.mStartW = w;
    RedrawAllViews();
    if (bNoData || !takes()) return false;
    // The next iteration starts from the picked point, at once, even while held.
    nrt.mStartW = w;
    nrt.phase = NrtPhase::Parameters;
    rs.bStepRequest = 1;
    return true;
}

void CZELKDoc::EndPick() {
    disp.bMouseDrag = 0;
    runs.SetTimingSuspended(0);
    disp.mPickWSaved = disp.mPickW;
    nrt.iIterBase = nrt.iIter;
    disp.bRedrawPick = 1;
    runs.rsNRT.bPaused = 0;
}

}  // namespace zelk
