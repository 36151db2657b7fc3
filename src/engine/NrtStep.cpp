// The Newton-Raphson run as a state machine, one step per step message. Phases:
// 0 set-up, 1 parameters, 2 pairs, 3 distance matrix, 4 classification, 5 penalty,
// 6 triples, 7 Newton update (NrtUpdate.cpp), 8 redraw.
//
// The unit of stepping: phase 2 works on whole rows of record pairs (the pairs (i, j),
// j > i, of one record i) and phase 6 on chunks of triples (all triples with one first
// record). A step takes as many rows or chunks as fit in doc.iStepBudgetMs, and exactly
// one when doc.bOneItemPerStep is set; the results do not depend on the grouping.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>
#include <vector>

#include "app/Document.h"
#include "engine/NrtRun.h"
#include "engine/Parallel.h"
#include "results/EndOfRunWrites.h"

namespace zelk {

namespace {

using SteadyClock = std::chrono::steady_clock;

class StepBudget {
public:
    explicit StepBudget(const CZELKDoc& doc)
        : m_one(doc.bOneItemPerStep != 0),
          m_end(SteadyClock::now() + std::chrono::milliseconds(doc.iStepBudgetMs)) {}
    // True when another item fits in this step (the first always does).
    bool More(int done) const {
        if (done == 0) return true;
        if (m_one) return false;
        return SteadyClock::now() < m_end;
    }

private:
    bool m_one;
    SteadyClock::time_point m_end;
};

Matrix* Components(LossState& l, int t) {
    Matrix* m[] = {&l.mDistC, &l.mDistO, &l.mDistN, &l.mDistS, &l.mDistA};
    return m[t];
}

// Phase 0.
void SetUp(CZELKDoc& doc) {
    NrtState& nrt = doc.nrt;
    const int p = doc.data.iNumVar;
    NrtFirstStepWrites(doc);

    RealList w(static_cast<size_t>(p), 1.0);
    const StringList& init = doc.opt.asInitW;
    if (init.size() == 1) {
        if (init[0] != "1") {
            doc.Fatal("Fatal error 2008.12.9.1");
            return;
        }
    } else if (static_cast<int>(init.size()) == p) {
        for (int k = 0; k < p; ++k) w[k] = CAtof(init[k]);
    } else {
        doc.Fatal("Fatal error 2008.12.9.2");
        return;
    }
    nrt.mInitW = ToColumn(w);
    nrt.mPresetW = nrt.mInitW;
    nrt.mStartW = nrt.mInitW;
    nrt.mCurW = nrt.mInitW;

    NrtRebuildProblem(doc);
    nrt.bCalibDone = doc.opt.bCalib ? 0 : 1;
    nrt.bConverged = 0;
    nrt.bInitialised = 1;
    nrt.dTriplesDone = nrt.dPctBefore = nrt.dPctDone = 0;
    doc.runs.rsNRT.iProgress = 0;
    nrt.iNRTPhase = 1;
}

// Phase 1.
void Parameters(CZELKDoc& doc) {
    NrtState& nrt = doc.nrt;
    const int p = doc.data.iNumVar;
    const int n = doc.data.iNumRec;
    // The forced step (after a restart or a pick) has been taken: this iteration starts
    // from the requested point.
    doc.runs.rsNRT.bStepRequest = 0;

    RealList wp(static_cast<size_t>(p));
    double sum = 0;
    for (int k = 0; k < p; ++k) {
        wp[k] = nrt.mStartW.Get(k, 0) / p;
        sum += wp[k];
    }
    if (!(std::fabs(sum - 1.0) <= 1e-5)) {
        doc.Fatal("Fatal error 3.1");
        return;
    }
    const double V = 1.0 / wp[p - 1];
    nrt.mV = Matrix(p, 1, 0.0);
    double sumV2 = 0;
    for (int k = 0; k < p; ++k) {
        const double v = std::sqrt(wp[k] * V);
        nrt.mV.Set(k, 0, v);
        sumV2 += v * v;
    }
    if (!(std::fabs(nrt.mV.Get(p - 1, 0) - 1.0) <= 1e-6)) {
        doc.Fatal("Fatal error 2008.02.23.1");
        return;
    }
    if (!(std::fabs(sumV2 / V - 1.0) <= 1e-8)) {
        doc.Fatal("Fatal error 3.2.1");
        return;
    }
    nrt.dV = V;
    nrt.mVFree = nrt.mV.Sub(1, p - 1, 1, 1);
    nrt.mCurW = nrt.mStartW;

    // The pair rows overwrite every pair of the components; their storage is kept from one
    // iteration to the next (the triangle below the diagonal stays 0).
    for (int t = 0; t < kNumTypes; ++t) {
        Matrix& c = *Components(doc.loss, t);
        if (c.Rows() != n || c.Cols() != n) c = Matrix(n, n, 0.0);
    }
    doc.loss.mDist = Matrix(n, n, 0.0);
    nrt.iPairI = 0;
    nrt.iPairJ = 1;
    nrt.dTriplesDone = 0;
    nrt.iNRTPhase = 2;
}

// Phase 2: rows of pairs.
void Pairs(CZELKDoc& doc) {
    NrtState& nrt = doc.nrt;
    const int n = doc.data.iNumRec;
    const Params prm = NrtParams(doc);
    Matrix comps[kNumTypes];
    for (int t = 0; t < kNumTypes; ++t) comps[t] = std::move(*Components(doc.loss, t));
    bool ok = true;
    StepBudget budget(doc);
    int done = 0;
    // Rows side by side, a few per core at a time (each writes only its own row); one row
    // per step when the steps are counted one item each.
    const int batch = doc.bOneItemPerStep ? 1 : 4 * EngineThreads();
    std::vector<unsigned char> bad(static_cast<size_t>(batch), 0);
    while (nrt.iPairI < n - 1 && budget.More(done)) {
        const int r0 = nrt.iPairI, r1 = std::min(n - 1, r0 + batch);
        ParallelFor(r0, r1, [&](int i) {
            bad[i - r0] = ComputePairRow(*nrt.pProblem, prm, i, comps) ? 0 : 1;
        });
        for (int i = r0; i < r1 && ok; ++i) {
            if (bad[i - r0]) {
                ok = false;  // the rows before the failing one are done
                break;
            }
            ++nrt.iPairI;
            nrt.iPairJ = nrt.iPairI + 1;
            ++done;
        }
        if (!ok) break;
    }
    for (int t = 0; t < kNumTypes; ++t) *Components(doc.loss, t) = std::move(comps[t]);
    if (!ok) {
        doc.Fatal(kDivideByZeroA);
        return;
    }
    if (nrt.iPairI >= n - 1) nrt.iNRTPhase = 3;
}

// Phase 3.
void DistanceMatrix(CZELKDoc& doc) {
    LossState& l = doc.loss;
    const int n = doc.data.iNumRec;
    Matrix comps[kNumTypes];
    for (int t = 0; t < kNumTypes; ++t) comps[t] = std::move(*Components(l, t));
    DistFailure failure;
    BuildDistMatrix(comps, n, l.mDist, failure);
    for (int t = 0; t < kNumTypes; ++t) *Components(l, t) = std::move(comps[t]);
    if (failure.kind != 0) {
        doc.Fatal(DistFailureText(failure));
        return;
    }
    const int q = doc.data.iNumVar - 1;
    l.dLu = 0;
    l.dViolCount = l.dViolWeight = l.dTripleWeight = 0;
    l.mGradV = Matrix(q, 1, 0.0);
    l.mHessV = Matrix(q, q, 0.0);
    l.dSumWeights = 0;
    for (double s : doc.nrt.pProblem->s) l.dSumWeights += s;
    doc.nrt.iNRTPhase = 4;
}

// Phase 4.
void Classify(CZELKDoc& doc) {
    LossState& l = doc.loss;
    ClassifyTriples(l.mDist, doc.nrt.pProblem->s, l.dTripleWeight, l.dViolWeight, l.dViolCount);
    doc.nrt.iNRTPhase = 5;
}

// Phase 5.
void Penalty(CZELKDoc& doc) {
    NrtState& nrt = doc.nrt;
    LossState& l = doc.loss;
    const int n = doc.data.iNumRec;
    const int q = doc.data.iNumVar - 1;
    const Params prm = NrtParams(doc);
    EngineError err;
    ComputePenalty(prm, doc.prep.dPenaltyPow, l.dPenalty, l.mPenaltyGrad, l.mPenaltyHess, err);
    if (err) {
        doc.Fatal(err.text);
        return;
    }
    l.adRecTripleWeight = Matrix(1, n, 0.0);
    l.adRecTripleCount = Matrix(1, n, 0.0);
    l.mRecGrad = Matrix(q, n, 0.0);
    l.dViolCount2 = 0;
    nrt.iTripI = 0;
    nrt.iTripJ = 1;
    nrt.iTripK = 2;
    if (!nrt.pPass) nrt.pPass = std::make_shared<DerivativePass>();
    nrt.pPassParams = std::make_shared<Params>(prm);
    nrt.pPass->Begin(*nrt.pProblem, *nrt.pPassParams, l.mDist, l.dPenalty, l.mPenaltyGrad, l.mPenaltyHess);
    nrt.iChunk = 0;
    nrt.iNRTPhase = 6;
}

// Phase 6: chunks of triples.
void Triples(CZELKDoc& doc) {
    NrtState& nrt = doc.nrt;
    DerivativePass& pass = *nrt.pPass;
    const int chunks = pass.NumChunks();
    if (doc.data.iNumRec < 3) {
        // No triple at all (fewer than three records).
        nrt.iNRTPhase = 1;
        doc.RedrawAllViews();
        return;
    }
    const double before = nrt.dPctDone;
    StepBudget budget(doc);
    int done = 0;
    EngineError err;
    while (nrt.iChunk < chunks && budget.More(done)) {
        pass.RunChunks(nrt.iChunk, nrt.iChunk + 1, err);
        if (err) break;
        nrt.dTriplesDone += pass.TriplesInChunk(nrt.iChunk);
        ++nrt.iChunk;
        ++done;
    }
    if (err) {
        doc.Fatal(err.text);
        return;
    }
    const double total = doc.prep.dNumTriples > 0 ? doc.prep.dNumTriples : 1.0;
    nrt.dPctBefore = before;
    nrt.dPctDone = nrt.dTriplesDone / total * 100.0;
    if (nrt.iChunk >= chunks) {
        LossState& l = doc.loss;
        pass.Finish(l, err);
        if (err) {
            doc.Fatal(err.text);
            return;
        }
        nrt.iNRTPhase = 7;
        l.bCovInputReady = 1;
        l.mHessCopy = l.mHessV;
        nrt.iTripI = doc.data.iNumRec - 3;
        nrt.iTripJ = doc.data.iNumRec - 2;
        nrt.iTripK = doc.data.iNumRec - 1;
    }
    if (std::floor(10.0 * nrt.dPctDone) != std::floor(10.0 * nrt.dPctBefore)) doc.RedrawAllViews();
}

}  // namespace

void CZELKDoc::NrtStep() {
    if (bNoData == 1) {
        Fatal("No data to analyze!");
        return;
    }
    if (nrt.iIter - nrt.iIterBase < opt.iSDStepsToNR) return;
    if (nrt.iIter == 0 && nrt.iNRTPhase == 0) {
        SetUp(*this);
        return;
    }
    if (nrt.bInitialised != 1) {
        if (nrt.iIter > 0) {
            NrtFinish(*this);
        } else {
            // Stopped before the first update: nothing to write.
            OnNewDocument();
        }
        return;
    }
    switch (nrt.iNRTPhase) {
        case 1: Parameters(*this); break;
        case 2: Pairs(*this); break;
        case 3: DistanceMatrix(*this); break;
        case 4: Classify(*this); break;
        case 5: Penalty(*this); break;
        case 6: Triples(*this); break;
        case 7: NrtUpdate(*this); break;
        case 8:
            RedrawAllViews();
            nrt.iNRTPhase = 1;
            break;
        default: nrt.iNRTPhase = 1; break;
    }
}

}  // namespace zelk
