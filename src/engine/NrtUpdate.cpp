// Phase 7 of the Newton-Raphson run: the Newton step on the free parameters, the bounds
// on the weights, the histories, the display copies, the covariance and the control
// decision (continue, converge, restart, calibrate, end).
#include <algorithm>
#include <cmath>

#include "app/Document.h"
#include "engine/NrtRun.h"

namespace zelk {

RealList NrtBoundWeights(RealList w, double minW) {
    const int p = static_cast<int>(w.size());
    const double dp = p;
    int r = 0;
    double best = -1;
    for (int k = 0; k < p - 1; ++k) {
        const double room = std::min(std::fabs(w[k] - minW), w[k]);
        if (room > best) {
            best = room;
            r = k;
        }
    }
    double sum = 0;
    for (int k = 0; k < p - 1; ++k) {
        if (w[k] < minW)
            w[k] = minW;
        else if (w[k] > dp - minW)
            w[k] = dp - minW;
        sum += w[k];
    }
    w[p - 1] = dp - sum;
    if (w[p - 1] < minW) {
        w[r] = w[r] - minW + w[p - 1];
        w[p - 1] = minW;
    } else if (w[p - 1] > dp - minW) {
        w[r] = w[r] - (dp - minW) + w[p - 1];
        w[p - 1] = dp - minW;
    }
    return w;
}

namespace {

bool SameAsLastRow(const Matrix& hist, const Matrix& w) {
    if (hist.Rows() == 0) return false;
    const double* last = hist.Row(hist.Rows() - 1);
    for (int k = 0; k < w.Rows(); ++k)
        if (!(std::fabs(last[k] - w.Get(k, 0)) < 1e-9)) return false;
    return true;
}

void AppendHistories(CZELKDoc& doc, const RealList& g, const RealList& gw) {
    NrtState& nrt = doc.nrt;
    nrt.mLuHist.AppendToColumn(doc.loss.dLu);
    nrt.mWHist.AppendRow(ToList(nrt.mCurW));
    nrt.mGHist.AppendRow(g);
    nrt.mGwHist.AppendRow(gw);
    nrt.mPHist.AppendRow(ToList(nrt.mPresetW));
}

// Publishes the recorded Lu and w rows as the table the view shows.
void PublishTable(CZELKDoc& doc) {
    const NrtState& nrt = doc.nrt;
    const int rows = nrt.mWHist.Rows();
    const int p = nrt.mWHist.Cols();
    Matrix t(rows, p + 1, 0.0, "W history");
    for (int r = 0; r < rows; ++r) {
        t.Set(r, 0, nrt.mLuHist.Get(r, 0));
        for (int k = 0; k < p; ++k) t.Set(r, k + 1, nrt.mWHist.Get(r, k));
    }
    doc.res.mResultTable = t;
    doc.res.asResultCols = StringList{"Lu"};
    for (const auto& name : doc.data.AnalysisNames()) doc.res.asResultCols.push_back(name);
}

// Ends the run at the current point: the next step writes the results.
void EndRun(CZELKDoc& doc) {
    doc.nrt.bInitialised = 0;
    doc.nrt.mStartW = doc.nrt.mCurW;
}

}  // namespace

void NrtUpdate(CZELKDoc& doc) {
    NrtState& nrt = doc.nrt;
    LossState& l = doc.loss;
    RunState& rs = doc.runs.rsNRT;
    const int p = doc.data.iNumVar;
    const int q = p - 1;
    const int n = doc.data.iNumRec;
    const double dp = p;

    // 1. Consistency of the pass.
    if (l.dViolCount2 != l.dViolCount) {
        doc.Fatal(Format("Fatal error #2007.10.30.2 (%.8f!=%.8f)", l.dViolCount2, l.dViolCount));
        return;
    }
    if (l.dLu < -1e-8) {
        doc.Fatal(Format("Fatal error 2007.10.30.3a (%.32f)", l.dLu));
        return;
    }
    for (int r = 0; r < n; ++r) {
        const double tw = l.adRecTripleWeight.Get(0, r);
        if (tw != 0)
            for (int k = 0; k < q; ++k) l.mRecGrad.Set(k, r, l.mRecGrad.Get(k, r) / tw);
    }

    // 2. Newton step on the free parameters (no line search, no damping).
    Matrix hinv = l.mHessV;
    InvertInPlace(hinv);
    const Matrix step = Mul(hinv, l.mGradV);
    RealList vNew(static_cast<size_t>(p), 1.0);
    for (int k = 0; k < q; ++k) vNew[k] = nrt.mV.Get(k, 0) - step.Get(k, 0);
    vNew[p - 1] = 1.0;
    double Vnew = 0;
    for (double v : vNew) Vnew += v * v;
    RealList wNew(static_cast<size_t>(p));
    double maxDv = 0;
    for (int k = 0; k < p; ++k) {
        wNew[k] = dp * vNew[k] * vNew[k] / Vnew;
        maxDv = std::max(maxDv, std::fabs(vNew[k] - nrt.mV.Get(k, 0)));
    }
    bool undefined = std::isnan(Vnew);
    for (double w : wNew) undefined = undefined || std::isnan(w);
    if (undefined && !(Vnew > 1e100)) {
        doc.Fatal(kNrtNotFiniteText);
        return;
    }

    // 3. Bounds.
    wNew = NrtBoundWeights(wNew, doc.opt.dMinValidW);
    double maxDw = 0;
    for (int k = 0; k < p; ++k) maxDw = std::max(maxDw, std::fabs(wNew[k] - nrt.mCurW.Get(k, 0)));

    // 4. Gradient in w at the current weights.
    const RealList g = ToList(l.mGradV);
    const RealList gw = GradientInW(g, ToList(nrt.mCurW));

    // 5. Histories.
    const bool forced = rs.bStepRequest != 0;
    if (nrt.iIter == 0) {
        nrt.mLuHist = Matrix();
        nrt.mWHist = Matrix();
        nrt.mGHist = Matrix();
        nrt.mGwHist = Matrix();
        nrt.mPHist = Matrix();
        AppendHistories(doc, g, gw);
        nrt.iIter = 1;
    } else if (!rs.bPaused && !forced && !SameAsLastRow(nrt.mWHist, nrt.mCurW)) {
        AppendHistories(doc, g, gw);
        ++nrt.iIter;
    }
    rs.iProgress = nrt.iIter;

    // 6. Runaway parameters.
    if (Vnew > 1e100) {
        doc.Fatal("Fatal error #2007.10.31.1.1");
        return;
    }

    // 7. Display copies; the next iteration's start point.
    nrt.mDispGradV = l.mGradV;
    nrt.mDispGradW = ToColumn(gw);
    nrt.mDispHess = l.mHessV;
    l.mEigHess = SymmetricEigenvalues(l.mHessV);
    nrt.mDispEigHess = l.mEigHess;
    nrt.mDispW = nrt.mCurW;
    nrt.mDispV = nrt.mV;
    nrt.mDispPresetW = nrt.mPresetW;
    nrt.dDispLu = l.dLu;
    nrt.sCurWLabel = Format("Current w (iteration %d of %d)", nrt.iIter - 1, doc.opt.iMaxIter);
    PublishTable(doc);
    nrt.mLastDist = l.mDist;
    if (!forced) nrt.mStartW = ToColumn(wNew);

    // 8. Covariance at the current point.
    NrtCovariance(doc);

    // 9. Control.
    const double conv = doc.opt.dConvCrit;
    if (doc.opt.bCalib && maxDw <= conv) {
        if (!NrtCalibrationStep(doc)) return;  // restarted with new multipliers, or failed
    }
    if (nrt.iIter == nrt.iMaxIterRun - 1 && !nrt.mBestW.Empty() &&
        !nrt.mCurW.EqualWithin(nrt.mBestW, 1e-9)) {
        // b. Last iteration but one: the final descent starts from the best point.
        nrt.mStartW = nrt.mBestW;
        nrt.mPresetW = nrt.mInitW;
        nrt.iNRTPhase = 1;
        doc.RedrawAllViews();
        if (doc.bNoData) return;
        rs.bStepRequest = 1;
    } else if (nrt.iIter >= nrt.iMaxIterRun + 1 || rs.bStopRequest) {
        EndRun(doc);  // c.
    } else if (maxDw > conv || nrt.bCalibDone == 0) {
        // d. Next iteration.
    } else if (nrt.iRestart >= doc.opt.iNumRandRestart + 1 || doc.opt.iNumRandRestart == 0 ||
               nrt.iIter >= nrt.iMaxIterRun) {
        // e. Converged for good.
        for (int k = 0; k < p; ++k) {
            const double w = nrt.mCurW.Get(k, 0);
            if (!(w >= doc.opt.dMinValidW - 1e-8 && w <= dp - doc.opt.dMinValidW + 1e-8)) {
                doc.Fatal("Fatal error 2008.02.23.1c");
                return;
            }
        }
        nrt.bConverged = 1;
        EndRun(doc);
    } else {
        NrtRandomRestart(doc);
        if (doc.bNoData) return;
    }
    nrt.iNRTPhase = 8;
}

}  // namespace zelk
