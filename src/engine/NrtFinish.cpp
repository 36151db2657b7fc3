// The finish step of the Newton-Raphson run: the last covariance, the checks of the
// final weights, the result files, the end of the run and its message.
#include <cmath>

#include "app/Document.h"
#include "engine/NrtRun.h"
#include "results/EndOfRunWrites.h"

namespace zelk {

namespace {

// v^2 of the final weights (each weight over the last one) with the checks of the
// parameters; false after the fatal message.
bool FinalV2(CZELKDoc& doc, const RealList& w) {
    const int p = static_cast<int>(w.size());
    double sum = 0;
    for (double x : w) sum += x / p;
    if (!(std::fabs(sum - 1.0) <= 1e-5)) {
        doc.Fatal("Fatal error 3.1b");
        return false;
    }
    const double V = 1.0 / (w[p - 1] / p);
    RealList v2(static_cast<size_t>(p));
    double sumV2 = 0;
    for (int k = 0; k < p; ++k) {
        v2[k] = (w[k] / p) * V;
        sumV2 += v2[k];
    }
    if (!(std::fabs(std::sqrt(v2[p - 1]) - 1.0) <= 1e-6)) {
        doc.Fatal("Fatal error 2008.02.23.1b");
        return false;
    }
    if (!(std::fabs(sumV2 / V - 1.0) <= 1e-8)) {
        doc.Fatal("Fatal error 3.2.1b");
        return false;
    }
    Matrix m(1, p, 0.0, "v^2");
    for (int k = 0; k < p; ++k) m.Set(0, k, v2[k]);
    doc.nrt.mFinalV2 = m;
    return true;
}

}  // namespace

void NrtFinish(CZELKDoc& doc) {
    NrtState& nrt = doc.nrt;
    RunState& rs = doc.runs.rsNRT;
    if (doc.res.bEndWritesDone) {
        // The writes of this run are made once; a repeated finish only ends the run.
        nrt.iNRTPhase = 1;
        rs.bRunning = 0;
        return;
    }
    NrtCovariance(doc);

    const int last = nrt.mWHist.Rows() - 1;
    const RealList w = last >= 0 ? RealList(nrt.mWHist.Row(last), nrt.mWHist.Row(last) + nrt.mWHist.Cols())
                                 : ToList(nrt.mCurW);
    if (!FinalV2(doc, w)) return;
    double avg[kNumTypes];
    if (!NrtTypeAverages(doc, w, avg, "Fatal error 2008.08.22.1b")) return;
    for (int t = 0; t < kNumTypes; ++t) nrt.adFinalAvgW[t] = avg[t];

    doc.res.bEndWritesDone = 1;
    const bool written = NrtEndOfRunWrites(doc);

    // The outcome stays readable after the batch reset below.
    doc.cmd.bLastRunConverged = nrt.bConverged;
    doc.cmd.dLastRunLu = last >= 0 ? nrt.mLuHist.Get(last, 0) : nrt.dDispLu;
    doc.cmd.adLastRunW = w;
    doc.cmd.asLastRunNames = doc.data.AnalysisNames();
    doc.cmd.iLastRunIter = nrt.iIter - 1;
    doc.cmd.dLastRunElapsedSec = rs.dElapsedSec.load();

    nrt.iNRTPhase = 1;
    rs.bRunning = 0;
    if (!written) {
        // The Wrep row could not be written: no final message; a batch run ends with a
        // failure status at the next repaint.
        if (doc.cmd.iBatchNRT != 0 || doc.platform.IsHeadless()) doc.iExitCode = 1;
        return;
    }
    if (doc.cmd.iBatchNRT == 1) {
        doc.BatchCompletion(kRunNRT);
        return;
    }
    doc.Message(NrtFinalMessage(doc, nrt.bConverged), MsgIcon::Information, MsgButtons::Ok);
}

}  // namespace zelk
