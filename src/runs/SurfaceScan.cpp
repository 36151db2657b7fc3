// The surface scan's step: it walks the grid, evaluates the loss at every valid point and
// keeps the points for the surface file.
#include "runs/SurfaceScan.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>

#include "base/Format.h"
#include "data/ProblemOf.h"
#include "engine/Engine.h"
#include "engine/Parallel.h"

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

const ScanTexts& TextsFor(int p) { return p == 2 ? kTexts2 : p == 3 ? kTexts3 : kTexts4; }

enum class PointResult { Evaluated, Dropped, Finished, Stopped };

// The first step: the counters and the rows of the scan.
void BeginScan(ScanState& scan, RunTrack& track, const SurfaceGrid& grid, int p) {
    track.ClearTables();
    track.mDispGradV.Clear();
    track.mDispGradW.Clear();
    track.sMethodTitle = "Surface T";

    scan.bInitialised = 1;
    const int count = static_cast<int>(grid.CountValid());
    scan.iPointsMax = count;
    scan.mWRows.Resize(count, p, kNotSet);
    scan.mLuRows.Resize(count, 1, kNotSet);
    scan.iSurfaceCand = -1;
    for (double& c : scan.adSurfaceCur) c = 0;
    scan.bScanBegun = 1;
}

std::string DistText(const DistFailure& f, bool distB) {
    if (!distB) return DistFailureText(f);
    return f.kind == 1 ? "Fatal error #2007.10.27.1b" : "Fatal error #2007.10.27.2b";
}

// Losses of the points ahead, evaluated side by side (see Prefetch), by candidate.
using LossCache = std::map<long long, LossOnly>;

struct ScanRun {
    ScanState& scan;
    RunTrack& track;
    const SurfaceGrid& grid;
    const Problem& pb;
    const ScanTexts& tx;
    const ScanSettings& set;
    ScanOutcome& out;
};

// The next valid point: its checks, its loss and its display (the redraw is the caller's,
// once per step).
PointResult NextPoint(ScanRun& run, LossCache& cache) {
    ScanState& scan = run.scan;
    const SurfaceGrid& grid = run.grid;
    const ScanTexts& tx = run.tx;
    const int p = grid.p;
    scan.iIter += 1;

    double w[4] = {0, 0, 0, 0};
    long long cand = scan.iSurfaceCand + 1;
    if (scan.bInitialised != 1) return PointResult::Finished;
    if (p == 2) {
        // Two variables: the scan ends at the first point that is not valid.
        if (cand >= grid.candidates || !grid.Point(cand, w)) return PointResult::Finished;
    } else {
        while (cand < grid.candidates && !grid.Point(cand, w)) ++cand;
        if (cand >= grid.candidates) return PointResult::Finished;
    }
    const int row = scan.iIter - 1;
    if (row < 0 || row >= scan.mLuRows.Rows()) return PointResult::Finished;

    scan.iSurfaceCand = cand;
    for (int d = 0; d < 3; ++d) scan.adSurfaceCur[d] = d < p - 1 ? w[d] : 0;
    auto stop = [&run](const std::string& text) {
        run.out.kind = ScanOutcome::Kind::Failed;
        run.out.message = text;
        return PointResult::Stopped;
    };
    if (std::fabs(w[p - 1]) < 1e-6) return stop("Error: The last weight cannot equal 0");

    // The parameters of the point and their invariants.
    const RealList wl(w, w + p);
    const CheckedWeights cw = CheckWeights(wl);
    if (cw.fault == WeightFault::SumNotP) return stop(tx.sumToP);
    if (cw.fault == WeightFault::LastNotOne) return stop(tx.lastV);
    if (cw.fault == WeightFault::SumOfSquares) run.out.reports.push_back(tx.sumV2);

    const RealList wBack = WeightsFromParams(cw.prm);
    double sumBack = 0;
    for (double x : wBack) sumBack += x;
    if (std::fabs(sumBack - p) > 1e-6) return stop(Format(tx.weightSum, sumBack));

    LossOnly loss;
    const auto hit = cache.find(cand);
    if (hit != cache.end()) {
        loss = hit->second;
        cache.erase(hit);
    } else {
        EvaluateLossOnly(run.pb, wl, run.set.bDeSoeteSurface, loss);
    }
    if (loss.dropped) {
        // A vanishing type-A divisor drops the point; the next one takes its row.
        scan.iIter -= 1;
        scan.iPointsMax -= 1;
        scan.iDroppedPoints += 1;
        return PointResult::Dropped;
    }
    if (loss.dist.kind != 0) return stop(DistText(loss.dist, tx.distB));
    if (loss.Lu < -1e-8) return stop(Format(tx.negativeLoss, loss.Lu));

    scan.mLuRows(row, 0) = loss.Lu;
    for (int k = 0; k < p; ++k) scan.mWRows(row, k) = w[k];

    Matrix cur(1, p + 1, 0.0, Format("Current w (iteration %d)", scan.iIter));
    cur(0, 0) = loss.Lu;
    for (int k = 0; k < p; ++k) cur(0, 1 + k) = w[k];
    run.track.mResultTable2 = cur;
    scan.mCurW.Resize(p, 1);
    for (int k = 0; k < p; ++k) scan.mCurW(k, 0) = w[k];
    scan.dLu = loss.Lu;
    return PointResult::Evaluated;
}

// Evaluates the losses of up to `count` valid points after the current one on all cores.
// The loss of a point does not depend on when it is evaluated, so the file is the same as
// with one point per step.
void Prefetch(const ScanRun& run, int count, LossCache& cache) {
    const SurfaceGrid& grid = run.grid;
    const int p = grid.p;
    std::vector<long long> cands;
    std::vector<RealList> points;
    double w[4] = {0, 0, 0, 0};
    for (long long c = run.scan.iSurfaceCand + 1; c < grid.candidates && static_cast<int>(cands.size()) < count;
         ++c) {
        if (!grid.Point(c, w)) {
            if (p == 2) break;  // two variables end at the first invalid point
            continue;
        }
        cands.push_back(c);
        points.emplace_back(w, w + p);
    }
    std::vector<LossOnly> out(cands.size());
    ParallelFor(0, static_cast<int>(cands.size()),
                [&](int k) { EvaluateLossOnly(run.pb, points[k], run.set.bDeSoeteSurface, out[k]); });
    for (size_t k = 0; k < cands.size(); ++k) cache[cands[k]] = out[k];
}

}  // namespace

ScanOutcome ScanSurfaceStep(ScanState& scan, RunTrack& track, const DataSet& data, const Prepared& prep,
                            const GridSpec& gridOptions, const ScanSettings& set) {
    ScanOutcome out;
    const int p = data.iNumVar;
    const ScanTexts& tx = TextsFor(p);
    if (p < 2 || p > 4 || gridOptions.p != p) {
        out.kind = ScanOutcome::Kind::Failed;
        out.message = tx.guard;
        return out;
    }
    SurfaceGrid grid;
    if (!grid.Build(gridOptions) || grid.tooLarge) {  // the command refuses such grids
        out.kind = ScanOutcome::Kind::Ended;
        return out;
    }
    // The first step is keyed to its own flag, not to the counter: a dropped first point
    // takes the counter back to 0, and starting over would evaluate it again, for ever.
    if (!scan.bScanBegun) BeginScan(scan, track, grid, p);

    const Problem pb = MakeProblem(data, prep, false);
    ScanRun run{scan, track, grid, pb, tx, set, out};
    const auto t0 = std::chrono::steady_clock::now();
    bool evaluated = false;
    LossCache cache;
    // Small data sets evaluate several points side by side; a large one is already spread
    // over the cores inside each evaluation.
    const bool ahead = !set.bOneItemPerStep && pb.n < kScanAheadRecords && EngineThreads() > 1;
    for (;;) {
        if (ahead && cache.empty()) Prefetch(run, 8 * EngineThreads(), cache);
        const PointResult r = NextPoint(run, cache);
        if (r == PointResult::Stopped) return out;
        if (r == PointResult::Finished) {
            scan.iIter -= 1;
            out.kind = ScanOutcome::Kind::Finished;
            return out;
        }
        if (r == PointResult::Evaluated) evaluated = true;
        if (set.bOneItemPerStep) break;
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
        if (ms >= set.iStepBudgetMs && cache.empty()) break;  // nothing evaluated is thrown away
    }
    out.redraw = evaluated;
    return out;
}

Matrix SurfaceRowsTable(const ScanState& scan, int p) {
    // Only the points evaluated (a cancelled or early-ended scan leaves the rest of the rows
    // unset), the last one first.
    const int used = std::max(0, std::min(scan.iIter, scan.mLuRows.Rows()));
    Matrix table(used, p + 1, 0.0, "W history");
    for (int r = 0; r < used; ++r) {
        const int src = used - 1 - r;
        table(r, 0) = scan.mLuRows(src, 0);
        for (int k = 0; k < p; ++k) table(r, 1 + k) = scan.mWRows(src, k);
    }
    return table;
}

}  // namespace zelk
