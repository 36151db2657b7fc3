// The Newton update of an iteration: the Newton step on the free parameters, the bounds on
// the weights, the histories, the display copies, the covariance and the control decision
// (continue, converge, restart, calibrate, end).
#include <algorithm>
#include <cmath>

#include "base/Format.h"
#include "runs/NrtRun.h"

namespace zelk {

RealList NrtRun::BoundWeights(RealList w, double minW) {
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

void AppendHistories(RunTrack& t, const NrtState& s, const RealList& g, const RealList& gw) {
    t.mLuHist.AppendToColumn(s.loss.dLu);
    t.mWHist.AppendRow(ToList(s.mCurW));
    t.mGHist.AppendRow(g);
    t.mGwHist.AppendRow(gw);
    t.mPHist.AppendRow(ToList(s.mPresetW));
}

}  // namespace

void NrtRun::Update(const NrtInput& in, NrtOutcome& out) {
    NrtState& s = m_s;
    LossState& l = s.loss;
    const NrtSettings& set = m_ctx.settings;
    const int p = m_ctx.data.iNumVar;
    const int q = p - 1;
    const double dp = p;

    // Consistency of the pass.
    if (l.dViolCount2 != l.dViolCount) {
        out = Fail(Format("Fatal error #2007.10.30.2 (%.8f!=%.8f)", l.dViolCount2, l.dViolCount));
        return;
    }
    if (l.dLu < -1e-8) {
        out = Fail(Format("Fatal error 2007.10.30.3a (%.32f)", l.dLu));
        return;
    }

    // The Newton step on the free parameters (no line search, no damping).
    Matrix hinv = l.mHessV;
    InvertInPlace(hinv);
    const Matrix step = Mul(hinv, l.mGradV);
    RealList vNew(static_cast<size_t>(p), 1.0);
    for (int k = 0; k < q; ++k) vNew[k] = s.mV.Get(k, 0) - step.Get(k, 0);
    vNew[p - 1] = 1.0;
    double Vnew = 0;
    for (double v : vNew) Vnew += v * v;
    RealList wNew(static_cast<size_t>(p));
    for (int k = 0; k < p; ++k) wNew[k] = dp * vNew[k] * vNew[k] / Vnew;
    bool undefined = std::isnan(Vnew);
    for (double w : wNew) undefined = undefined || std::isnan(w);
    if (undefined && !(Vnew > 1e100)) {
        out = Fail(kNrtNotFiniteText);
        return;
    }

    // Bounds.
    wNew = BoundWeights(wNew, set.dMinValidW);
    double maxDw = 0;
    for (int k = 0; k < p; ++k) maxDw = std::max(maxDw, std::fabs(wNew[k] - s.mCurW.Get(k, 0)));

    // Gradient in w at the current weights.
    const RealList g = ToList(l.mGradV);
    const RealList gw = GradientInW(g, ToList(s.mCurW));

    // Histories: a row per iteration that moved the weights (and the final row at the best
    // point, although that iteration was forced).
    const bool forced = in.forced;
    if (s.bFinalAtBest) {
        AppendHistories(m_t, s, g, gw);
        ++s.iIter;
    } else if (s.iIter == 0) {
        m_t.mLuHist = Matrix();
        m_t.mWHist = Matrix();
        m_t.mGHist = Matrix();
        m_t.mGwHist = Matrix();
        m_t.mPHist = Matrix();
        AppendHistories(m_t, s, g, gw);
        s.iIter = 1;
    } else if (!in.paused && !forced) {
        if (!SameAsLastRow(m_t.mWHist, s.mCurW)) {
            AppendHistories(m_t, s, g, gw);
            ++s.iIter;
        } else {
            ++s.iStalled;
        }
    }

    // Runaway parameters.
    if (Vnew > 1e100) {
        out = Fail("Fatal error #2007.10.31.1.1");
        return;
    }

    // Display copies; the next iteration's start point.
    m_t.mDispGradV = l.mGradV;
    m_t.mDispGradW = ToColumn(gw);
    m_t.mDispHess = l.mHessV;
    m_t.mDispEigHess = SymmetricEigenvalues(l.mHessV);
    m_t.mDispW = s.mCurW;
    m_t.mDispV = s.mV;
    m_t.mDispPresetW = s.mPresetW;
    m_t.dDispLu = l.dLu;
    m_t.sCurWLabel = Format("Current w (iteration %d of %d)", s.iIter - 1, set.iMaxIterBudget);
    // The current-row table the window shows: Lu and the weights of this point.
    Matrix cur(1, p + 1, 0.0, m_t.sCurWLabel);
    cur.Set(0, 0, l.dLu);
    for (int k = 0; k < p; ++k) cur.Set(0, k + 1, s.mCurW.Get(k, 0));
    m_t.mResultTable2 = cur;
    m_t.asResultCols2 = StringList{"Lu"};
    for (const auto& name : m_ctx.data.AnalysisNames()) m_t.asResultCols2.push_back(name);
    s.mLastDist = l.mDist;
    if (!forced) s.mStartW = ToColumn(wNew);

    // Covariance at the current point.
    Covariance();

    // Control: the first case that applies.
    const double conv = set.dConvCrit;
    if (s.bFinalAtBest) {
        // The iteration at the best point: the run ends there.
        s.bConverged = s.bFinalConverged;
        s.bInitialised = 0;
        s.mStartW = s.mCurW;
        s.phase = NrtPhase::Redraw;
        return;
    }
    if (set.bCalib && maxDw <= conv) {
        if (!Calibrate(out)) return;  // restarted with new multipliers, or gave up
    }
    if (s.iIter == s.iMaxIterRun - 1 && !s.mBestW.Empty() && !s.mCurW.EqualWithin(s.mBestW, 1e-9)) {
        // The last iteration but one: the final descent starts from the best point.
        s.mStartW = s.mBestW;
        s.mPresetW = s.mInitW;
        out.redraw = true;
        out.requestForcedStep = true;
    } else if (in.stopRequest) {
        s.bInitialised = 0;  // the user stopped the run: it ends where it is
        s.mStartW = s.mCurW;
    } else if (s.iIter + s.iStalled >= s.iMaxIterRun + 1) {
        EndRun(false, out);  // the iteration budget is spent
        return;
    } else if (maxDw > conv || s.bCalibDone == 0) {
        // The next iteration.
    } else if (s.iRestart >= set.iNumRandRestart + 1 || set.iNumRandRestart == 0 || s.iIter >= s.iMaxIterRun) {
        // Converged for good.
        for (int k = 0; k < p; ++k) {
            const double w = s.mCurW.Get(k, 0);
            if (!(w >= set.dMinValidW - 1e-8 && w <= dp - set.dMinValidW + 1e-8)) {
                out = Fail("Fatal error 2008.02.23.1c");
                return;
            }
        }
        EndRun(true, out);
        return;
    } else {
        RandomRestart(out);
    }
    s.phase = NrtPhase::Redraw;
}

void NrtRun::EndRun(bool converged, NrtOutcome& out) {
    NrtState& s = m_s;
    s.phase = NrtPhase::Redraw;
    if (!s.mBestW.Empty() && s.dBestLu + 1e-8 < s.loss.dLu && !s.mCurW.EqualWithin(s.mBestW, 1e-9)) {
        // An earlier descent found a lower loss: one more iteration evaluates the best point,
        // whose row then ends the history (every iteration before it stays).
        s.bFinalAtBest = 1;
        s.bFinalConverged = converged ? 1 : 0;
        s.mStartW = s.mBestW;
        s.mPresetW = s.mInitW;
        out.redraw = true;
        out.requestForcedStep = true;
        return;
    }
    s.bConverged = converged ? 1 : 0;
    s.bInitialised = 0;
    s.mStartW = s.mCurW;
}

}  // namespace zelk
