// Replay of a stored Newton-Raphson run: one stored iteration per pacing step, rebuilt
// into the run histories and the displays as if the run were going on.
#include "runs/Replay.h"

#include <cmath>

#include "base/Format.h"
#include "engine/Engine.h"

namespace zelk {

namespace {

Matrix RowAsColumn(const Matrix& m, int r, int c0, int count) {
    Matrix out(count, 1);
    for (int k = 0; k < count; ++k) out(k, 0) = m(r, c0 + k);
    return out;
}

void AppendMatrixRow(Matrix& hist, const Matrix& column, bool start) {
    if (start) hist.Clear();
    hist.AppendRow(column.Data(), column.Rows());
}

}  // namespace

bool StoredRunFits(const StoredRun& run, int p) {
    return p >= 2 && run.whist.Rows() > 0 && run.whist.Cols() == p + 1 && run.ghist.Cols() == p - 1 &&
           run.ghist.Rows() >= run.whist.Rows() && run.phist.Cols() == p && run.phist.Rows() >= run.whist.Rows();
}

ReplayOutcome ReplayStep(ReplayState& replay, RunTrack& t, const StoredRun& run, int p, bool bRepeat) {
    ReplayOutcome out;
    if (replay.iIter == 0) {
        t.ClearTables();
        t.mDispGradV.Clear();
        t.mDispGradW.Clear();
        t.mDispHess.Clear();
        t.mDispEigHess.Clear();
        t.mCovV.Clear();
        t.mCovW.Clear();
        t.mEigCovV.Clear();
        t.mEigCovW.Clear();
        t.sMethodTitle = "Newton-Raphson Replay";
        replay.bInitialised = 1;
        t.mDispW.Clear();
        t.mDispV.Clear();
        t.dDispLu = 0;
    }

    // The histories may have been emptied under the replay (a new run): end it, even
    // with Repeat on.
    if (!StoredRunFits(run, p)) {
        replay.bInitialised = 0;
        out.ended = true;
        return out;
    }
    const int rows = run.whist.Rows();
    if (replay.iIter >= rows) replay.bInitialised = 0;

    if (replay.bInitialised != 1) {
        if (bRepeat)
            replay.iIter = 0;
        else
            out.ended = true;
        return out;
    }

    const int b = replay.iIter;
    const bool start = b == 0;
    Matrix w = RowAsColumn(run.whist, b, 1, p);
    Matrix g = RowAsColumn(run.ghist, b, 0, p - 1);
    Matrix preset = RowAsColumn(run.phist, b, 0, p);
    const double lu = run.whist(b, 0);

    double luRow[1] = {lu};
    if (start) t.mLuHist.Clear();
    t.mLuHist.AppendRow(luRow, 1);
    AppendMatrixRow(t.mWHist, w, start);
    AppendMatrixRow(t.mGHist, g, start);
    AppendMatrixRow(t.mPHist, preset, start);
    t.mDispPresetW = preset;

    replay.iIter += 1;

    // Gradient in w from the gradient in v (the files do not hold it).
    const RealList gv(g.Data(), g.Data() + (p - 1));
    const RealList wv(w.Data(), w.Data() + p);
    const RealList gw = GradientInW(gv, wv);
    Matrix gwCol(p, 1);
    for (int k = 0; k < p && k < static_cast<int>(gw.size()); ++k) gwCol(k, 0) = gw[k];
    AppendMatrixRow(t.mGwHist, gwCol, start);
    t.mDispGradW = gwCol;

    // Current-row table: the loss and weights, then the gradient in w.
    t.asResultCols2 = StringList{"Lu"};
    for (const auto& name : run.names) t.asResultCols2.push_back(name);
    Matrix table(2, p + 1, 0.0, Format("Current w (iteration %d of %d)", replay.iIter, rows));
    table(0, 0) = t.mLuHist(t.mLuHist.Rows() - 1, 0);
    for (int k = 0; k < p; ++k) table(0, 1 + k) = t.mWHist(t.mWHist.Rows() - 1, k);
    table(1, 0) = kNotSet;
    for (int k = 0; k < p; ++k) table(1, 1 + k) = gwCol(k, 0);
    t.mResultTable2 = table;

    // Free parameters of the row (non-finite when the last weight is 0; shown as such).
    Matrix v(p - 1, 1);
    for (int k = 0; k < p - 1; ++k) v(k, 0) = std::sqrt(w(k, 0) / w(p - 1, 0));
    t.mDispV = v;
    t.mDispGradV = g;
    t.mDispHess = Matrix(p - 1, p - 1, 0.0);
    t.mDispEigHess = Matrix(p - 1, 1, 0.0);
    t.dDispLu = lu;
    t.mDispW = w;

    if (replay.iIter >= rows) replay.bInitialised = 0;
    return out;
}

}  // namespace zelk
