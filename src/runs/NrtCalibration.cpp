// Calibration of the equalising multipliers: the C, O and N multipliers are scaled until
// the mean weight of each of these types matches the mean weight of the A variables.
#include <cmath>

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
    bool settled = true;
    for (int t = 0; t < kNumTypes; ++t)
        if (!(std::fabs(mult[t] - last[t]) < m_ctx.settings.dConvCrit)) settled = false;
    if (settled) {
        s.bCalibDone = 1;
        return true;
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
