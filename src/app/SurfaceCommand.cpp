// The Surface command: it starts the scan, adapts each step of the scan to the document,
// writes the surface file at the end and reports.
#include "app/Document.h"
#include "base/Format.h"
#include "results/ResultIO.h"
#include "results/SurfaceFile.h"
#include "results/TableFile.h"
#include "runs/SurfaceScan.h"

namespace zelk {

namespace {

// The end of the scan: the surface file, the report and the reset (the map is only ever
// drawn from a file read at load).
void FinishScan(CZELKDoc& doc) {
    const int p = doc.data.iNumVar;
    RunState& rs = doc.runs.rsSurface;
    const std::string path = SurfaceFilePath(doc.data.sDataPath, doc.opt.bDeSoeteSurface == 1);

    StringList cols{"Lu"};
    for (const auto& name : doc.data.AnalysisNames()) cols.push_back(name);
    const std::string text = ResultTablesText(doc.data.sDataPath, "Surface T", true, Matrix(), StringList(),
                                              SurfaceRowsTable(doc.scan, p), cols, false);
    const WriteFault fault = WriteTextFile(path, text, true);
    if (fault != WriteFault::None) doc.Message(WriteFaultText(path, false, fault));

    rs.iProgress = doc.scan.iIter;
    rs.dPercent = 100.0;

    std::string report = "Surface file written to " + path + ".\nReopen " + doc.data.sDataPath +
                         " to see the surface.\n\n" + Format("%d iterations in ", doc.scan.iIter) +
                         TimeText(rs.dElapsedSec.load()) + "\n";
    if (doc.scan.iDroppedPoints >= 1)
        report += Format("WARNING: %d iterations dropped due to divide by zero.", doc.scan.iDroppedPoints);
    if (doc.cmd.iBatchSUT == 0) doc.Message(report, MsgIcon::Information);

    rs.bRunning = 0;
    doc.asFilesWritten = StringList{path};
    doc.cmd.iLastRunIter = doc.scan.iIter;
    doc.cmd.dLastRunElapsedSec = rs.dElapsedSec.load();
    if (doc.cmd.iBatchSUT == 1) {
        doc.cmd.iBatchSUT = 2;
        doc.bBatchFinished = 1;
    }
    doc.OnNewDocument();
}

}  // namespace

void CZELKDoc::ScanSurfaceStep() {
    if (!runs.rsSurface.bRunning) return;  // a stray step after the scan has ended
    if (data.iNumVar < 2 || data.iNumVar > 4) return;
    RunState& rs = runs.rsSurface;
    if (!scan.bScanBegun) {
        // The file's heading lines at the first step (a failure is reported; the scan goes
        // on).
        track.sMethodTitle = "Surface T";
        const std::string path = SurfaceFilePath(data.sDataPath, opt.bDeSoeteSurface == 1);
        const std::string header =
            ResultTablesText(data.sDataPath, "Surface T", true, Matrix(), StringList(), Matrix(), StringList(), false);
        const WriteFault fault = WriteTextFile(path, header, true);
        if (fault != WriteFault::None) Message(WriteFaultText(path, true, fault));
        surf.mSurface.Clear();
    }
    ScanSettings set;
    set.bDeSoeteSurface = opt.bDeSoeteSurface == 1;
    set.iStepBudgetMs = iStepBudgetMs;
    set.bOneItemPerStep = bOneItemPerStep != 0;
    const ScanOutcome out = zelk::ScanSurfaceStep(scan, track, data, prep, surf.grid, set);
    rs.iProgressMax = scan.iPointsMax;
    rs.iProgress = scan.iIter;
    for (const std::string& r : out.reports) Message(r);
    switch (out.kind) {
        case ScanOutcome::Kind::Failed: Fatal(out.message); return;
        case ScanOutcome::Kind::Ended: rs.bRunning = 0; return;
        case ScanOutcome::Kind::Finished: FinishScan(*this); return;
        case ScanOutcome::Kind::Continue: break;
    }
    if (out.redraw) RedrawAllViews();
}

void CZELKDoc::OnAnalyzeSurface() {
    const int p = data.iNumVar;
    if (p > 4) {
        Message("Surface maps are only available for data with <=4 variables.");
        return;
    }
    if (runs.rsNRT.bRunning || runs.rsSurface.bRunning || bNoData == 1) return;
    if (p < 2) {
        Message("Surface maps are only available for data with >=2 variables.");
        return;
    }
    if (!surf.grid.bGridValid) {
        Message(surf.grid.sSurfaceRefusal.empty()
                    ? std::string("The surface grid is not set up, so no surface can be scanned.")
                    : surf.grid.sSurfaceRefusal);
        return;
    }

    // A replay shares the published tables with the scan: it ends.
    runs.rsNRTReplay.bRunning = 0;
    replay.bInitialised = 0;

    surf.mSurface.Clear();
    surf.sLuScale = " ";
    RunState& rs = runs.rsSurface;
    rs.Reset(opt.iThreadPriority12345);
    rs.bRunning = 1;
    rs.dwStartTick = platform.TickCount();
    rs.iProgressMax = 0;
    rs.iProgress = 0;
    rs.bViewTarget = 1;
    scan = ScanState();
    StartPacingThread(kRunSurface);
}

}  // namespace zelk
