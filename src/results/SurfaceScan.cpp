// The surface scan: the Surface command, and the step that walks the grid, evaluates
// the loss at every valid point and, at the end, writes the surface file.
#include "results/SurfaceScan.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>

#include "app/Document.h"
#include "engine/Engine.h"
#include "engine/Parallel.h"
#include "results/SurfaceGrid.h"

namespace zelk {

namespace {

// The messages of one scan kind (the codes tell the two-, three- and four-variable
// scans apart).
struct ScanTexts {
    const char* guard;
    const char* weightSum;
    const char* negativeLoss;
    const char* sumToP;
    const char* lastV;
    const char* sumV2;
    bool distB;  // the four-variable scan's distance-matrix codes
};

const ScanTexts kTexts2 = {"Fatal error 2008.02.27.1c", "Fatal error 2008.12.13.1a (%.32f)",
                           "Fatal error 2007.10.30.3b (%.32f)", "Fatal error 3.1",
                           "Fatal error 2008.02.23.5", "Fatal error 3.2.5", false};
const ScanTexts kTexts3 = {"Fatal error 2008.02.27.1b", "Fatal error 2008.12.13.1b (%.32f)",
                           "Fatal error 2007.10.30.3c (%.32f)", "Fatal error 3.1",
                           "Fatal error 2008.02.23.5", "Fatal error 3.2.5", false};
const ScanTexts kTexts4 = {"Fatal error 2008.02.27.1", "Fatal error 2008.12.13.1c (%.32f)",
                           "Fatal error 2007.10.30.3d (%.32f)", "Fatal error 3.1b",
                           "Fatal error 2008.02.23.5b", "Fatal error 3.2.5b", true};

enum class PointResult { Evaluated, Dropped, Finished, Stopped };

std::string SurfacePath(const CZELKDoc& doc) {
    return doc.data.sDataPath + (doc.opt.bDeSoeteSurface == 1 ? ".DSSuT.out" : ".SuT.out");
}

// First step: the file's header lines, the run's counters and the history buffers.
void BeginScan(CZELKDoc& doc, const SurfaceGrid& grid) {
    const int p = doc.data.iNumVar;
    doc.res.mResultTable.Clear();
    doc.res.mResultTable2.Clear();
    doc.res.asResultCols.clear();
    doc.res.asResultCols2.clear();
    doc.surf.mSurface.Clear();
    doc.nrt.mDispGradV.Clear();
    doc.nrt.mDispGradW.Clear();

    doc.res.sMethodTitle = "Surface T";
    doc.res.sWhistPath = SurfacePath(doc);
    doc.WriteTables(doc.res.sWhistPath, 1, 0);  // a failure is reported; the scan goes on

    doc.nrt.bConverged = 0;
    doc.nrt.mStartW = Matrix(p, 1, 1.0);
    doc.nrt.adScale = doc.prep.Scales();
    doc.surf.bInitialised = 1;

    const int count = static_cast<int>(grid.CountValid());
    doc.runs.rsSurface.iProgressMax = count;
    doc.nrt.mWHist.Resize(count, p, kNotSet);
    doc.nrt.mLuHist.Resize(count, 1, kNotSet);
    doc.surf.iSurfaceCand = -1;
    for (double& c : doc.surf.adSurfaceCur) c = 0;
    doc.surf.bScanBegun = 1;
}

std::string DistText(const DistFailure& f, bool distB) {
    if (!distB) return DistFailureText(f);
    return f.kind == 1 ? "Fatal error #2007.10.27.1b" : "Fatal error #2007.10.27.2b";
}

// One grid point: the next valid point, its checks, its loss and its display (the
// redraw is the caller's, once per step).
// Losses of the points ahead, evaluated side by side (see Prefetch), by candidate.
using LossCache = std::map<long long, LossOnly>;

PointResult NextPoint(CZELKDoc& doc, const SurfaceGrid& grid, const Problem& pb,
                      const ScanTexts& tx, LossCache& cache) {
    const int p = grid.p;
    RunState& rs = doc.runs.rsSurface;
    doc.nrt.iIter += 1;

    double w[4] = {0, 0, 0, 0};
    long long cand = doc.surf.iSurfaceCand + 1;
    if (doc.surf.bInitialised != 1) return PointResult::Finished;
    if (p == 2) {
        // Two variables: the scan ends at the first point that is not valid.
        if (cand >= grid.candidates || !grid.Point(cand, w)) return PointResult::Finished;
    } else {
        while (cand < grid.candidates && !grid.Point(cand, w)) ++cand;
        if (cand >= grid.candidates) return PointResult::Finished;
    }
    const int row = doc.nrt.iIter - 1;
    if (row < 0 || row >= doc.nrt.mLuHist.Rows()) return PointResult::Finished;

    doc.surf.iSurfaceCand = cand;
    for (int d = 0; d < 3; ++d) doc.surf.adSurfaceCur[d] = d < p - 1 ? w[d] : 0;
    if (std::fabs(w[p - 1]) < 1e-6) {
        doc.Fatal("Error: The last weight cannot equal 0");
        return PointResult::Stopped;
    }

    // Free parameters and their invariants.
    RealList wl(w, w + p);
    Params prm = ParamsFromWeights(wl);
    double sum = 0;
    for (double x : wl) sum += x;
    if (std::fabs(sum - p) > 1e-5) {
        doc.Fatal(tx.sumToP);
        return PointResult::Stopped;
    }
    if (std::fabs(prm.v[p - 1] - 1.0) > 1e-6) {
        doc.Fatal(tx.lastV);
        return PointResult::Stopped;
    }
    const double expectV = p / w[p - 1];
    if (std::fabs(prm.V - expectV) > 1e-8 * std::fabs(expectV)) doc.Message(tx.sumV2);

    RealList wBack = WeightsFromParams(prm);
    double sumBack = 0;
    for (double x : wBack) sumBack += x;
    if (std::fabs(sumBack - p) > 1e-6) {
        doc.Fatal(Format(tx.weightSum, sumBack));
        return PointResult::Stopped;
    }

    LossOnly out;
    const auto hit = cache.find(cand);
    if (hit != cache.end()) {
        out = hit->second;
        cache.erase(hit);
    } else {
        EvaluateLossOnly(pb, wl, doc.opt.bDeSoeteSurface == 1, out);
    }
    if (out.dropped) {
        // A vanishing type-A divisor drops the point; the next one takes its row.
        doc.nrt.iIter -= 1;
        rs.iProgressMax = rs.iProgressMax - 1;
        doc.surf.iDroppedPoints += 1;
        return PointResult::Dropped;
    }
    if (out.dist.kind != 0) {
        doc.Fatal(DistText(out.dist, tx.distB));
        return PointResult::Stopped;
    }
    if (out.Lu < -1e-8) {
        doc.Fatal(Format(tx.negativeLoss, out.Lu));
        return PointResult::Stopped;
    }

    doc.loss.dLu = out.Lu;
    doc.nrt.mLuHist(row, 0) = out.Lu;
    for (int k = 0; k < p; ++k) doc.nrt.mWHist(row, k) = w[k];

    Matrix cur(1, p + 1, 0.0, Format("Current w (iteration %d)", doc.nrt.iIter));
    cur(0, 0) = out.Lu;
    for (int k = 0; k < p; ++k) cur(0, 1 + k) = w[k];
    doc.res.mResultTable2 = cur;
    doc.nrt.mCurW.Resize(p, 1);
    for (int k = 0; k < p; ++k) doc.nrt.mCurW(k, 0) = w[k];
    doc.nrt.mDispW = doc.nrt.mCurW;
    doc.nrt.dDispLu = out.Lu;

    rs.iProgress = doc.nrt.iIter;
    return PointResult::Evaluated;
}

// The end of the scan: the surface block, the report and the reset.
void FinishScan(CZELKDoc& doc) {
    const int p = doc.data.iNumVar;
    RunState& rs = doc.runs.rsSurface;

    StringList cols{"Lu"};
    for (const auto& name : doc.data.AnalysisNames()) cols.push_back(name);
    // Only the points evaluated so far (a cancelled or early-ended scan leaves the rest
    // of the buffers unset), the last one first.
    const int used = std::max(0, std::min(doc.nrt.iIter - 1, doc.nrt.mLuHist.Rows()));
    Matrix table(used, p + 1, 0.0, "W history");
    for (int r = 0; r < used; ++r) {
        const int src = used - 1 - r;
        table(r, 0) = doc.nrt.mLuHist(src, 0);
        for (int k = 0; k < p; ++k) table(r, 1 + k) = doc.nrt.mWHist(src, k);
    }

    Matrix keep1 = doc.res.mResultTable, keep2 = doc.res.mResultTable2;
    StringList keepCols1 = doc.res.asResultCols, keepCols2 = doc.res.asResultCols2;
    doc.res.mResultTable.Clear();
    doc.res.asResultCols.clear();
    doc.res.mResultTable2 = table;
    doc.res.asResultCols2 = cols;
    doc.WriteTables(doc.res.sWhistPath, 0, 0);
    doc.res.mResultTable = keep1;
    doc.res.mResultTable2 = keep2;
    doc.res.asResultCols = keepCols1;
    doc.res.asResultCols2 = keepCols2;

    doc.nrt.iIter -= 1;
    rs.iProgress = doc.nrt.iIter;
    rs.dPercent = 100.0;

    std::string text = "Surface file written to " + doc.res.sWhistPath + ".\nReopen " +
                       doc.data.sDataPath + " to see the surface.\n\n" +
                       Format("%d iterations in ", doc.nrt.iIter) +
                       TimeText(rs.dElapsedSec.load()) + "\n";
    if (doc.surf.iDroppedPoints >= 1)
        text += Format("WARNING: %d iterations dropped due to divide by zero.",
                       doc.surf.iDroppedPoints);
    if (doc.cmd.iBatchSUT == 0) doc.Message(text, MsgIcon::Information);

    rs.bRunning = 0;
    doc.asFilesWritten = StringList{doc.res.sWhistPath};
    doc.cmd.iLastRunIter = doc.nrt.iIter;
    doc.cmd.dLastRunElapsedSec = rs.dElapsedSec.load();
    if (doc.cmd.iBatchSUT == 1) {
        doc.cmd.iBatchSUT = 2;
        doc.bBatchFinished = 1;
    }
    // The map is only ever drawn from a file read at load.
    doc.OnNewDocument();
}

// Evaluates the losses of up to `count` valid points after the current one on all cores.
// The loss of a point does not depend on when it is evaluated, so the file is the same as
// with one point per step.
void Prefetch(const CZELKDoc& doc, const SurfaceGrid& grid, const Problem& pb, int count,
              LossCache& cache) {
    const int p = grid.p;
    std::vector<long long> cands;
    std::vector<RealList> points;
    double w[4] = {0, 0, 0, 0};
    for (long long c = doc.surf.iSurfaceCand + 1; c < grid.candidates && static_cast<int>(cands.size()) < count; ++c) {
        if (!grid.Point(c, w)) {
            if (p == 2) break;  // two variables end at the first invalid point
            continue;
        }
        cands.push_back(c);
        points.emplace_back(w, w + p);
    }
    std::vector<LossOnly> out(cands.size());
    const bool deSoete = doc.opt.bDeSoeteSurface == 1;
    ParallelFor(0, static_cast<int>(cands.size()),
                [&](int k) { EvaluateLossOnly(pb, points[k], deSoete, out[k]); });
    for (size_t k = 0; k < cands.size(); ++k) cache[cands[k]] = out[k];
}

void ScanSurface(CZELKDoc& doc, int nVar, const ScanTexts& tx) {
    if (doc.bNoData == 1 || doc.data.iNumVar != nVar) {
        doc.Fatal(tx.guard);
        return;
    }
    RunState& rs = doc.runs.rsSurface;
    SurfaceGrid grid;
    if (!grid.Build(doc) || grid.tooLarge) {  // the command refuses such grids
        rs.bRunning = 0;
        return;
    }
    // The first step is keyed to its own flag, not to iIter == 0: a dropped first point
    // takes iIter back to 0, and starting over would evaluate it again, for ever.
    if (!doc.surf.bScanBegun) BeginScan(doc, grid);

    const Problem pb = MakeProblem(doc.data, doc.prep, false);
    const auto t0 = std::chrono::steady_clock::now();
    bool evaluated = false;
    LossCache cache;
    // Small data sets evaluate several points side by side; a large one is already spread
    // over the cores inside each evaluation.
    const bool ahead = !doc.bOneItemPerStep && pb.n < 150 && EngineThreads() > 1;
    for (;;) {
        if (ahead && cache.empty()) Prefetch(doc, grid, pb, 8 * EngineThreads(), cache);
        PointResult r = NextPoint(doc, grid, pb, tx, cache);
        if (r == PointResult::Stopped) return;
        if (r == PointResult::Finished) {
            FinishScan(doc);
            return;
        }
        if (r == PointResult::Evaluated) evaluated = true;
        if (doc.bOneItemPerStep) break;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - t0)
                            .count();
        if (ms >= doc.iStepBudgetMs && cache.empty()) break;  // nothing evaluated is thrown away
    }
    if (evaluated) doc.RedrawAllViews();
}

}  // namespace

void ScanSurface2(CZELKDoc& doc) { ScanSurface(doc, 2, kTexts2); }
void ScanSurface3(CZELKDoc& doc) { ScanSurface(doc, 3, kTexts3); }
void ScanSurface4(CZELKDoc& doc) { ScanSurface(doc, 4, kTexts4); }

void CZELKDoc::ScanSurfaceStep() {
    if (!runs.rsSurface.bRunning) return;  // a stray step after the scan has ended
    switch (data.iNumVar) {
        case 2: ScanSurface2(*this); break;
        case 3: ScanSurface3(*this); break;
        case 4: ScanSurface4(*this); break;
        default: break;
    }
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
    if (!surf.bGridValid) {
        Message(surf.sSurfaceRefusal.empty()
                    ? std::string("The surface grid is not set up, so no surface can be scanned.")
                    : surf.sSurfaceRefusal);
        return;
    }

    // A replay shares the run histories and the iteration counter with the scan: it ends.
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
    rs.hView = 1;
    nrt.iIter = 0;
    surf.iDroppedPoints = 0;
    surf.bScanBegun = 0;
    StartPacingThread(kRunSurface);
}

}  // namespace zelk
