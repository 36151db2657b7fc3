// Small pieces the phases of the Newton-Raphson run share: conversions, the data view
// of the loss, the covariance at the current point and the per-type mean weights.
#include <cmath>

#include "app/Document.h"
#include "engine/NrtRun.h"

namespace zelk {

const char* const kNrtNotFiniteText =
    "Fatal error: the Newton step gave weights that are not numbers (the Hessian cannot be "
    "inverted at this point). The run stops without results.";

RealList ToList(const Matrix& column) {
    RealList out(static_cast<size_t>(column.Size()));
    for (int k = 0; k < column.Size(); ++k) out[k] = column.Data()[k];
    return out;
}

Matrix ToColumn(const RealList& values) {
    Matrix m(static_cast<int>(values.size()), 1, 0.0);
    for (size_t k = 0; k < values.size(); ++k) m.Set(static_cast<int>(k), 0, values[k]);
    return m;
}

Params NrtParams(const CZELKDoc& doc) {
    Params prm;
    prm.p = doc.nrt.mV.Rows();
    prm.v = ToList(doc.nrt.mV);
    prm.V = doc.nrt.dV;
    return prm;
}

void NrtRebuildProblem(CZELKDoc& doc) {
    NrtState& nrt = doc.nrt;
    nrt.pProblem = std::make_shared<Problem>(MakeProblem(doc.data, doc.prep, true));
    nrt.adScale = nrt.pProblem->e;
    int next = 1;
    for (int t = 0; t < kNumTypes; ++t) {
        const int c = doc.data.Count(t);
        nrt.iFirst[t] = c > 0 ? next : 0;
        nrt.iLast[t] = c > 0 ? next + c - 1 : 0;
        next += c;
    }
}

void NrtCovariance(CZELKDoc& doc) {
    LossState& l = doc.loss;
    if (!l.bCovInputReady) return;
    const Params prm = NrtParams(doc);
    l.mCovV = CovarianceV(l.mHessV, l.mRecGrad, doc.nrt.pProblem->s, l.dTripleWeight, l.dViolWeight);
    l.bCovInputReady = 0;
    l.mEigCovV = SymmetricEigenvalues(l.mCovV);
    l.mCovW = CovarianceW(l.mCovV, prm);
    l.mEigCovW = SymmetricEigenvalues(l.mCovW);
}

bool NrtTypeAverages(CZELKDoc& doc, const RealList& w, double avg[5], const char* fatalText) {
    const NrtState& nrt = doc.nrt;
    double sum[kNumTypes] = {0, 0, 0, 0, 0};
    int count[kNumTypes] = {0, 0, 0, 0, 0};
    for (size_t k = 1; k <= w.size(); ++k) {
        int type = -1;
        for (int t = 0; t < kNumTypes && type < 0; ++t)
            if (nrt.iFirst[t] > 0 && static_cast<int>(k) >= nrt.iFirst[t] &&
                static_cast<int>(k) <= nrt.iLast[t])
                type = t;
        if (type < 0) {
            doc.Fatal(fatalText);
            return false;
        }
        sum[type] += w[k - 1];
        ++count[type];
    }
    for (int t = 0; t < kNumTypes; ++t) avg[t] = count[t] > 0 ? sum[t] / count[t] : 0.0;
    return true;
}

}  // namespace zelk
