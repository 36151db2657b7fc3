// The Surface command: it starts the scan, adapts each step of the scan to the document,
// writes the surface file at the end and reports.
#include <new>

#include "app/Document.h"
#include "app/RunMemoryCheck.h"
#include "base/Format.h"
#include "results/ResultIO.h"
#include "results/SurfaceFile.h"
#include "results/TableFile.h"
#include "runs/SurfaceGrid.h"
#include "runs/SurfaceScan.h"

namespace zelk {

namespace {

// The end of the scan: the surface file, the report and the reset (the map is only ever
// drawn from a file read at load). The file replaces the previous one whole, or not at all;
// a scan that evaluated no point writes none (a file without points would only block the
// next load).
void FinishScan(CZELKDoc& doc) {
    const int p = doc.data.iNumVar;
    RunState& rs = doc.runs.rsSurface;
    const std::string path = SurfaceFilePath(doc.data.sDataPath, doc.opt.bDeSoeteSurface == 1);

    StringList cols{"Lu"};
    for (const auto& name : doc.data.AnalysisNames()) cols.push_back(name);
    const Matrix rows = SurfaceRowsTable(doc.scan, p);
    bool written = false;
    if (rows.Rows() > 0) {
        const WriteFault fault = WriteTextFile(
            path, ResultTablesText(doc.data.sDataPath, "Surface T", true, Matrix(), StringList(), rows, cols, false),
            true);
        written = fault == WriteFault::None;
        if (!written) doc.Message(WriteFaultText(path, true, fault));
    }

    rs.iProgress = doc.scan.iIter;
    rs.dPercent = 100.0;

    std::string report;
    if (written)
        report = "Surface file written to " + path + ".\nReopen " + doc.data.sDataPath + " to see the surface.\n\n";
    else if (rows.Rows() > 0)
        report = "The surface file " + path + " could not be written; the previous one, if any, is unchanged.\n\n";
    else
        report = "No grid point was evaluated, so no surface file was written.\n\n";
    report += Format("%d iterations in ", doc.scan.iIter) + TimeText(rs.dElapsedSec.load()) + "\n";
    if (doc.scan.iDroppedPoints >= 1)
        report += Format("WARNING: %d iterations dropped due to divide by zero.", doc.scan.iDroppedPoints);
    if (doc.cmd.iBatchSUT == 0) doc.Message(report, written ? MsgIcon::Information : MsgIcon::Stop);

    rs.bRunning = 0;
    doc.asFilesWritten.clear();
    doc.asFilesNotWritten.clear();
    (written ? doc.asFilesWritten : doc.asFilesNotWritten).push_back(path);
    if (!written && (doc.cmd.iBatchSUT != 0 || doc.platform.IsHeadless())) doc.iExitCode = 1;
    doc.cmd.iLastRunIter = doc.scan.iIter;
    doc.cmd.dLastRunElapsedSec = rs.dElapsedSec.load();
    if (doc.cmd.iBatchSUT == 1) {
        doc.cmd.iBatchSUT = 2;
        // A batch scan whose file was not written has not finished: it ends with a failure
        // status and without the summary of a finished scan.
        doc.bBatchFinished = written ? 1 : 0;
    }
    doc.OnNewDocument();
}

}  // namespace

void CZELKDoc::ScanSurfaceStep() {
    if (!runs.rsSurface.bRunning) return;  // a stray step after the scan has ended
    if (data.iNumVar < 2 || data.iNumVar > 4) return;
    RunState& rs = runs.rsSurface;
    if (!scan.bScanBegun) {
        // The first step checks that the surface file can be written at the end (nothing is
        // written now: the previous file stays whole until the new one replaces it). A scan
        // that could not save stops here.
        track.sMethodTitle = "Surface T";
        const std::string path = SurfaceFilePath(data.sDataPath, opt.bDeSoeteSurface == 1);
        const StringList faults = UnwritableFileMessages({path});
        if (!faults.empty()) {
            Message(faults.front());
            rs.bRunning = 0;
            if (cmd.iBatchSUT != 0 || platform.IsHeadless()) iExitCode = 1;
            return;
        }
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
    // A grid without a point to scan would only make a file without points; a scan larger
    // than the memory would fail half-way.
    long long points = 0;
    try {
        SurfaceGrid grid;
        points = grid.Build(surf.grid) && !grid.tooLarge ? grid.CountScanned() : 0;
    } catch (const std::bad_alloc&) {
        Message(kOutOfMemoryText);
        return;
    }
    std::string refusal = points > 0 ? ScanMemoryRefusal(*this, points)
                                     : "The surface grid has no point to scan with the grid options in force "
                                       "(DSURFACEBYW" + std::to_string(p) + "VARS, DSURFACEMINW1 to DSURFACEMAXW3), "
                                       "so no surface can be scanned.\nChange them in ZELK.ini and open the data "
                                       "file again.";
    if (!refusal.empty()) {
        Message(refusal);
        if (cmd.iBatchSUT != 0 || platform.IsHeadless()) iExitCode = 1;
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
