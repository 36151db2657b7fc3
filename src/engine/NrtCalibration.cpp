// Calibration of the equalising multipliers: the C, O and N multipliers are scaled until
// the mean weight of each of these types matches the mean weight of the A variables.
#include <cmath>

#include "app/Document.h"
#include "engine/NrtRun.h"

namespace zelk {

bool NrtCalibrationStep(CZELKDoc& doc) {
    NrtState& nrt = doc.nrt;
    Options& opt = doc.opt;
    double avg[kNumTypes];
    if (!NrtTypeAverages(doc, ToList(nrt.mCurW), avg, "Fatal error 2008.08.22.1b2")) return false;

    for (int t = 0; t < kNumTypes; ++t) opt.dLastEqFactMult[t] = opt.dEqFactMult[t];
    // Types without variables keep their multiplier (their mean is not formed); so does
    // every type when there is no A variable to match (the command refuses that case).
    if (doc.data.iNumA > 0) {
        const int scaled[] = {kTypeC, kTypeO, kTypeN};
        for (int t : scaled) {
            if (doc.data.Count(t) == 0 || !(avg[t] > 0)) continue;
            opt.dEqFactMult[t] *= avg[kTypeA] / avg[t];
        }
    }
    bool settled = true;
    for (int t = 0; t < kNumTypes; ++t)
        if (!(std::fabs(opt.dEqFactMult[t] - opt.dLastEqFactMult[t]) < opt.dConvCrit)) settled = false;
    if (settled) {
        nrt.bCalibDone = 1;
        return true;
    }
    nrt.bCalibDone = 0;
    doc.RecomputeRanges();
    NrtRebuildProblem(doc);
    nrt.mStartW = nrt.mInitW;
    nrt.mPresetW = nrt.mInitW;
    nrt.mCurW = nrt.mInitW;
    doc.RedrawAllViews();
    nrt.iNRTPhase = 1;
    return false;
}

}  // namespace zelk
