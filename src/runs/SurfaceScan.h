// The surface scan: Lu at every valid point of the grid, one time-boxed batch of points per
// step (exactly one with one-item stepping), the points kept as rows for the surface file.
// The scan has its own counter and rows; it never shows a message and never touches files.
#pragma once

#include <string>
#include <vector>

#include "base/Matrix.h"
#include "data/DataSet.h"
#include "data/Prepared.h"
#include "runs/RunTrack.h"
#include "runs/SurfaceGrid.h"

namespace zelk {

struct ScanState {
    int iIter = 0;           // grid points evaluated (one ahead while a point is being taken)
    int bInitialised = 0;    // 0 makes the next step finish the scan (a cancel)
    int bScanBegun = 0;      // the first step has been made
    long long iSurfaceCand = -1;  // the current candidate of the grid, -1 before the first
    double adSurfaceCur[3] = {0, 0, 0};
    int iDroppedPoints = 0;  // points dropped for a vanishing type-A divisor
    int iPointsMax = 0;      // the valid points still to be evaluated, for the progress
    Matrix mLuRows, mWRows;  // the evaluated points in scan order
    Matrix mCurW;            // p x 1, the current point
    double dLu = 0;
};

// Data sets of fewer records evaluate several grid points side by side (one per core); a
// larger one is spread over the cores inside each evaluation.
constexpr int kScanAheadRecords = 150;

struct ScanSettings {
    bool bDeSoeteSurface = false;
    int iStepBudgetMs = 10;
    bool bOneItemPerStep = false;
};

struct ScanOutcome {
    enum class Kind { Continue, Finished, Failed, Ended };  // Ended: stopped without a file
    Kind kind = Kind::Continue;
    std::string message;              // Failed: the text (the document is emptied)
    std::vector<std::string> reports;  // messages that only report (the scan goes on)
    bool redraw = false;
};

// One step of the scan of p = 2, 3 or 4 variables. The first step starts the scan; the last
// one (no point left, or a cancel) returns Finished with the rows evaluated.
ScanOutcome ScanSurfaceStep(ScanState& scan, RunTrack& track, const DataSet& data, const Prepared& prep,
                            const GridSpec& gridOptions, const ScanSettings& set);

// The evaluated points as the surface file's "W history" block: Lu and the weights, the
// last point first.
Matrix SurfaceRowsTable(const ScanState& scan, int p);

}  // namespace zelk
