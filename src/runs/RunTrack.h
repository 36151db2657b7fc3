// What the current (or last) run shows and leaves: the result tables it publishes, the run
// histories, the display copies of the current point and the covariance there. The
// Newton-Raphson run builds them iteration by iteration, the replay rebuilds them from
// stored histories, and the view reads them.
#pragma once

#include <string>

#include "base/Lists.h"
#include "base/Matrix.h"

namespace zelk {

struct RunTrack {
    // The published tables (their names are their captions) with their column names.
    // While a run goes on, mResultTable2 is its current-row table ("Current w (iteration
    // ..."), which the window shows: Lu and the weights of the current point (the replay
    // adds a row with the gradient in w).
    std::string sMethodTitle;
    Matrix mResultTable, mResultTable2;
    StringList asResultCols, asResultCols2;

    // Histories, one row per recorded iteration.
    Matrix mLuHist, mWHist, mGHist, mGwHist, mPHist;

    // Display copies of the current point.
    Matrix mDispGradV, mDispGradW, mDispHess, mDispEigHess, mDispW, mDispV, mDispPresetW;
    double dDispLu = 0;
    std::string sCurWLabel;

    // Covariance of v and of w at the current point, with their eigenvalues.
    Matrix mCovV, mCovW, mEigCovV, mEigCovW;

    // Empties the published tables and their column names (a run's first step).
    void ClearTables() {
        mResultTable.Clear();
        mResultTable2.Clear();
        asResultCols.clear();
        asResultCols2.clear();
    }
};

// The Lu history and the W history side by side (the loss, then the p weights), one row
// per iteration in iteration order: the table the view shows and the result file keeps.
inline Matrix LuAndWeights(const Matrix& luHist, const Matrix& wHist, const std::string& caption) {
    const int rows = wHist.Rows();
    const int p = wHist.Cols();
    Matrix out(rows, p + 1, 0.0, caption);
    for (int r = 0; r < rows; ++r) {
        out.Set(r, 0, luHist.Get(r, 0));
        for (int k = 0; k < p; ++k) out.Set(r, k + 1, wHist.Get(r, k));
    }
    return out;
}

}  // namespace zelk
