// Replay of a stored Newton-Raphson run: one stored iteration per pacing step, rebuilt
// into the run histories and the displays as if the run were going on.
#include <cmath>

#include "app/Document.h"
#include "engine/Engine.h"

namespace zelk {

namespace {

// The loaded histories fit the loaded variables: W (p+1 columns), Gradient(v) (p-1)
// and PreSet(w) (p), with at least as many gradient and preset rows as W rows.
bool HistoriesFit(const CZELKDoc& doc) {
    const int p = doc.data.iNumVar;
    const ResultFiles& r = doc.res;
    return p >= 2 && r.mNrtWhist.Rows() > 0 && r.mNrtWhist.Cols() == p + 1 &&
           r.mNrtGhist.Cols() == p - 1 && r.mNrtGhist.Rows() >= r.mNrtWhist.Rows() &&
           r.mNrtPhist.Cols() == p && r.mNrtPhist.Rows() >= r.mNrtWhist.Rows();
}

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

void CZELKDoc::OnAnalyzeNrtReplay() {
    RunState& rs = runs.rsNRTReplay;
    if (rs.bRunning || runs.rsSurface.bRunning || bNoData == 1 || res.mNrtWhist.Rows() == 0 ||
        res.mNrtGhist.Rows() == 0)
        return;
    if (!HistoriesFit(*this)) return;

    rs.Reset(opt.iThreadPriority12345);
    rs.iSleepMilli = opt.iSleepMilli;
    rs.bRunning = 1;
    rs.iProgress = 0;
    rs.iProgressMax = res.mNrtWhist.Rows();
    rs.dwStartTick = platform.TickCount();
    rs.dElapsedSec = 0;
    rs.dRemainingSec = 0;
    rs.SetTexts(std::string(), std::string());
    rs.hView = 1;
    nrt.iIter = 0;
    StartPacingThread(kRunNRTReplay);
}

void CZELKDoc::ReplayNrtStep() {
    if (bNoData == 1) {
        Fatal("No data to analyze!");
        return;
    }
    RunState& rs = runs.rsNRTReplay;
    const int p = data.iNumVar;

    if (nrt.iIter == 0) {
        res.mResultTable.Clear();
        res.mResultTable2.Clear();
        res.asResultCols.clear();
        res.asResultCols2.clear();
        nrt.mDispGradV.Clear();
        nrt.mDispGradW.Clear();
        nrt.mDispHess.Clear();
        nrt.mDispEigHess.Clear();
        loss.mCovV.Clear();
        loss.mCovW.Clear();
        loss.mEigHess.Clear();
        loss.mEigCovV.Clear();
        loss.mEigCovW.Clear();
        res.sMethodTitle = "Newton-Raphson Replay";
        replay.bInitialised = 1;
        nrt.bConverged = 0;
        nrt.mCurW.Clear();
        nrt.mDispW.Clear();
        nrt.mDispV.Clear();
        nrt.dDispLu = 0;
        loss.dLu = 0;
        loss.mGradV.Clear();
        loss.mHessV.Clear();
    }

    // The histories may have been emptied under the replay (a new run): end it, even
    // with Repeat on.
    if (!HistoriesFit(*this)) {
        replay.bInitialised = 0;
        rs.bRunning = 0;
        RedrawAllViews();
        return;
    }
    if (nrt.iIter >= res.mNrtWhist.Rows()) replay.bInitialised = 0;

    if (replay.bInitialised != 1) {
        if (disp.bRepeat == 1) {
            nrt.iIter = 0;
            rs.iProgress = 0;
        } else {
            rs.bRunning = 0;
        }
        RedrawAllViews();
        return;
    }

    const int b = nrt.iIter;
    const bool start = b == 0;
    const int rows = res.mNrtWhist.Rows();

    Matrix w = RowAsColumn(res.mNrtWhist, b, 1, p);
    Matrix g = RowAsColumn(res.mNrtGhist, b, 0, p - 1);
    Matrix preset = RowAsColumn(res.mNrtPhist, b, 0, p);
    const double lu = res.mNrtWhist(b, 0);

    double luRow[1] = {lu};
    if (start) nrt.mLuHist.Clear();
    nrt.mLuHist.AppendRow(luRow, 1);
    AppendMatrixRow(nrt.mWHist, w, start);
    AppendMatrixRow(nrt.mGHist, g, start);
    AppendMatrixRow(nrt.mPHist, preset, start);
    nrt.mCurW = w;
    loss.mGradV = g;
    nrt.mPresetW = preset;
    nrt.mDispPresetW = preset;
    loss.dLu = lu;

    nrt.iIter += 1;
    rs.iProgress = nrt.iIter;

    // Gradient in w from the gradient in v (the files do not hold it).
    RealList gv(g.Data(), g.Data() + (p - 1));
    RealList wv(w.Data(), w.Data() + p);
    RealList gw = GradientInW(gv, wv);
    Matrix gwCol(p, 1);
    for (int k = 0; k < p && k < static_cast<int>(gw.size()); ++k) gwCol(k, 0) = gw[k];
    AppendMatrixRow(nrt.mGwHist, gwCol, start);
    nrt.mDispGradW = gwCol;

    // Current-row table: the loss and weights, then the gradient in w.
    res.asResultCols2 = StringList{"Lu"};
    for (const auto& name : data.AnalysisNames()) res.asResultCols2.push_back(name);
    Matrix table(2, p + 1, 0.0, Format("Current w (iteration %d of %d)", nrt.iIter, rows));
    table(0, 0) = nrt.mLuHist(nrt.mLuHist.Rows() - 1, 0);
    for (int k = 0; k < p; ++k) table(0, 1 + k) = nrt.mWHist(nrt.mWHist.Rows() - 1, k);
    table(1, 0) = kNotSet;
    for (int k = 0; k < p; ++k) table(1, 1 + k) = gwCol(k, 0);
    res.mResultTable2 = table;

    // Free parameters of the row (non-finite when the last weight is 0; shown as such).
    Matrix v(p - 1, 1);
    for (int k = 0; k < p - 1; ++k) v(k, 0) = std::sqrt(w(k, 0) / w(p - 1, 0));
    nrt.mDispV = v;
    nrt.mDispGradV = g;
    nrt.mDispHess = Matrix(p - 1, p - 1, 0.0);
    nrt.mDispEigHess = Matrix(p - 1, 1, 0.0);
    nrt.dDispLu = lu;
    nrt.mDispW = w;

    if (nrt.iIter >= rows) replay.bInitialised = 0;
    RedrawAllViews();
}

}  // namespace zelk
