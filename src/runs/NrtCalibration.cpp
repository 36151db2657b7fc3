// Calibration of the equalising multipliers: the C, O and N multipliers are scaled until
// the mean weight of each of these types matches the mean weight of the A variables.
#include <cmath>

#include "base/Format.h"
#include "base/VarType.h"
#include "runs/NrtRun.h"

namespace zelk {

bool NrtRun::Calibrate(NrtOutcome& out) {
    NrtState& s = m_s;
    double avg[kNumTypes];
    if (!TypeAverages(ToList(s.mCurW), avg)) {
        out = Fail("Fatal error 2008.08.22.1b2");
        return false;
    }
    double* mult = m_ctx.eqFactMult;
    double* last = m_ctx.lastEqFactMult;
    for (int t = 0; t < kNumTypes; ++t) last[t] = mult[t];
    // Types without variables keep their multiplier (their mean is not formed); so does
    // every type when there is no A variable to match (the command refuses that case).
    if (m_ctx.data.iNumA > 0) {
        const int scaled[] = {kTypeC, kTypeO, kTypeN};
        for (int t : scaled) {
            if (m_ctx.data.Count(t) == 0 || !(avg[t] > 0)) continue;
            mult[t] *= avg[kTypeA] / avg[t];
        }
    }
    // Settled when no multiplier moved by more than the convergence criterion relative to
    // its value. The rule need not settle (the A mean can stay out of reach of the others):
    // a multiplier that has drifted by a factor of a million, or too many calibrations,
    // end calibration unsettled, and the run then ends without convergence.
    bool settled = true;
    for (int t = 0; t < kNumTypes; ++t) {
        const double change = std::fabs(mult[t] - last[t]);
        if (!(last[t] != 0 ? change / std::fabs(last[t]) < m_ctx.settings.dConvCrit : change == 0)) settled = false;
    }
    if (settled) {
        s.bCalibDone = 1;
        return true;
    }
    ++s.iCalibrations;
    for (int t = 0; t < kNumTypes && s.sCalibFailure.empty(); ++t) {
        const double ratio = mult[t] / m_ctx.orgEqFactMult[t];
        if (!(ratio >= 1.0 / kCalibRange && ratio <= kCalibRange))
            s.sCalibFailure = Format("the %c multiplier reached %g times its original value",
                                     "CONSA"[t], ratio);
    }
    if (s.sCalibFailure.empty() && s.iCalibrations >= kMaxCalibrations)
        s.sCalibFailure = Format("the multipliers still moved after %d calibrations", s.iCalibrations);
    if (!s.sCalibFailure.empty()) {
        // The results are those of the multipliers the current point was found with.
        for (int t = 0; t < kNumTypes; ++t) mult[t] = last[t];
        s.bCalibDone = 0;
        s.bConverged = 0;
        s.bInitialised = 0;  // the next step writes the results so far
        s.mStartW = s.mCurW;
        s.phase = NrtPhase::Redraw;
        return false;
    }
    s.bCalibDone = 0;
    RecomputeRanges(m_ctx.data, m_ctx.rangeRule, m_ctx.prep);
    RebuildProblem();
    s.mStartW = s.mInitW;
    s.mPresetW = s.mInitW;
    s.mCurW = s.mInitW;
    out.redraw = true;
    s.phase = NrtPhase::Parameters;
    return false;
}

}  // namespace zelk
