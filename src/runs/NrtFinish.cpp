// The finish step of the Newton-Raphson run: the last covariance and the checks of the final
// weights, with what the result files need (v^2 and the mean weight per type). The caller
// writes the files and reports.
#include "runs/NrtRun.h"

#include "base/Format.h"

namespace zelk {

void NrtRun::Finish(NrtOutcome& out) {
    NrtState& s = m_s;
    Covariance();
    if (m_ctx.settings.bCalib && !s.bCalibDone && s.sCalibFailure.empty())
        s.sCalibFailure = Format("the run ended after %d calibrations, before the multipliers settled",
                                 s.iCalibrations);

    const Matrix& wh = m_t.mWHist;
    const int last = wh.Rows() - 1;
    const RealList w = last >= 0 ? RealList(wh.Row(last), wh.Row(last) + wh.Cols()) : ToList(s.mCurW);
    const CheckedWeights cw = CheckWeights(w);
    switch (cw.fault) {
        case WeightFault::SumNotP: out = Fail("Fatal error 3.1b"); return;
        case WeightFault::LastNotOne: out = Fail("Fatal error 2008.02.23.1b"); return;
        case WeightFault::SumOfSquares: out = Fail("Fatal error 3.2.1b"); return;
        case WeightFault::None: break;
    }
    const int p = static_cast<int>(w.size());
    Matrix v2(1, p, 0.0, "v^2");
    for (int k = 0; k < p; ++k) v2.Set(0, k, cw.v2[k]);
    s.mFinalV2 = v2;
    if (!TypeAverages(w, s.adFinalAvgW)) {
        out = Fail("Fatal error 2008.08.22.1b");
        return;
    }
    s.bFinished = 1;
    s.phase = NrtPhase::Parameters;
    out.kind = NrtOutcome::Kind::Finished;
}

}  // namespace zelk
