// The Newton-Raphson run's step machine: the set-up, the parameters of an iteration's start
// weights and the stepwise evaluation of the loss there; the shared pieces of the phases.
#include "runs/NrtRun.h"

#include <cmath>

#include "base/Format.h"
#include "base/Text.h"
#include "base/VarType.h"
#include "data/ProblemOf.h"

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

NrtOutcome NrtRun::Fail(const std::string& text) {
    NrtOutcome out;
    out.kind = NrtOutcome::Kind::Failed;
    out.message = text;
    return out;
}

Params NrtRun::CurrentParams() const {
    Params prm;
    prm.p = m_s.mV.Rows();
    prm.v = ToList(m_s.mV);
    prm.V = m_s.dV;
    return prm;
}

void NrtRun::RebuildProblem() {
    m_s.pProblem = std::make_shared<Problem>(MakeProblem(m_ctx.data, m_ctx.prep, true));
    m_s.adScale = m_s.pProblem->e;
    int next = 1;
    for (int t = 0; t < kNumTypes; ++t) {
        const int c = m_ctx.data.Count(t);
        m_s.iFirst[t] = c > 0 ? next : 0;
        m_s.iLast[t] = c > 0 ? next + c - 1 : 0;
        next += c;
    }
}

void NrtRun::Covariance() {
    LossState& l = m_s.loss;
    if (!m_s.bCovInputReady) return;
    const Params prm = CurrentParams();
    m_t.mCovV = CovarianceV(l.mHessV, l.mRecGrad, m_s.pProblem->s, l.dTripleWeight, l.dViolWeight);
    m_s.bCovInputReady = 0;
    m_t.mEigCovV = SymmetricEigenvalues(m_t.mCovV);
    m_t.mCovW = CovarianceW(m_t.mCovV, prm);
    m_t.mEigCovW = SymmetricEigenvalues(m_t.mCovW);
}

bool NrtRun::TypeAverages(const RealList& w, double avg[5]) const {
    double sum[kNumTypes] = {0, 0, 0, 0, 0};
    int count[kNumTypes] = {0, 0, 0, 0, 0};
    for (size_t k = 1; k <= w.size(); ++k) {
        int type = -1;
        for (int t = 0; t < kNumTypes && type < 0; ++t)
            if (m_s.iFirst[t] > 0 && static_cast<int>(k) >= m_s.iFirst[t] && static_cast<int>(k) <= m_s.iLast[t])
                type = t;
        if (type < 0) return false;
        sum[type] += w[k - 1];
        ++count[type];
    }
    for (int t = 0; t < kNumTypes; ++t) avg[t] = count[t] > 0 ? sum[t] / count[t] : 0.0;
    return true;
}

void NrtRun::RequestStop(NrtState& state) {
    state.bInitialised = 0;
    state.phase = NrtPhase::Parameters;
}

NrtOutcome NrtRun::Step(const NrtInput& in) {
    NrtOutcome out;
    if (m_s.bFinished) {
        out.kind = NrtOutcome::Kind::Idle;
        return out;
    }
    if (m_s.iIter - m_s.iIterBase < m_ctx.settings.iSDStepsToNR) {
        out.kind = NrtOutcome::Kind::Idle;
        return out;
    }
    if (AtSetUp()) {
        SetUp(out);
        return out;
    }
    if (m_s.bInitialised != 1) {
        if (m_s.iIter > 0) {
            Finish(out);
        } else {
            out.kind = NrtOutcome::Kind::EndedWithoutResults;  // nothing to write
        }
        return out;
    }
    switch (m_s.phase) {
        case NrtPhase::SetUp:  // only before the first iteration
        case NrtPhase::Parameters: Parameters(in, out); break;
        case NrtPhase::Evaluate: Evaluate(out); break;
        case NrtPhase::Update: Update(in, out); break;
        case NrtPhase::Redraw:
            out.redraw = true;
            m_s.phase = NrtPhase::Parameters;
            break;
    }
    return out;
}

void NrtRun::SetUp(NrtOutcome& out) {
    const int p = m_ctx.data.iNumVar;
    RealList w(static_cast<size_t>(p), 1.0);
    const StringList& init = m_ctx.settings.asInitW;
    if (init.size() == 1) {
        if (init[0] != "1") {
            out = Fail("Fatal error 2008.12.9.1");
            return;
        }
    } else if (static_cast<int>(init.size()) == p) {
        for (int k = 0; k < p; ++k) w[k] = CAtof(init[k]);
    } else {
        out = Fail("Fatal error 2008.12.9.2");
        return;
    }
    m_s.mInitW = ToColumn(w);
    m_s.mPresetW = m_s.mInitW;
    m_s.mStartW = m_s.mInitW;
    m_s.mCurW = m_s.mInitW;

    RebuildProblem();
    m_s.bCalibDone = m_ctx.settings.bCalib ? 0 : 1;
    m_s.bConverged = 0;
    m_s.bInitialised = 1;
    m_s.dTriplesDone = m_s.dPctBefore = m_s.dPctDone = 0;
    m_s.phase = NrtPhase::Parameters;
}

void NrtRun::Parameters(const NrtInput& in, NrtOutcome& out) {
    // The forced step (after a restart or a pick) has been taken: this iteration starts
    // from the requested point.
    out.forcedStepTaken = true;
    m_s.bRepeatForHessian = in.forced ? 1 : 0;
    const int p = m_ctx.data.iNumVar;
    const CheckedWeights cw = CheckWeights(ToList(m_s.mStartW));
    switch (cw.fault) {
        case WeightFault::SumNotP: out = Fail("Fatal error 3.1"); return;
        case WeightFault::LastNotOne: out = Fail("Fatal error 2008.02.23.1"); return;
        case WeightFault::SumOfSquares: out = Fail("Fatal error 3.2.1"); return;
        case WeightFault::None: break;
    }
    m_s.mV = ToColumn(cw.prm.v);
    m_s.dV = cw.prm.V;
    m_s.mVFree = m_s.mV.Sub(1, p - 1, 1, 1);
    m_s.mCurW = m_s.mStartW;

    if (!m_s.pEval) m_s.pEval = std::make_shared<Evaluator>();
    m_s.pEval->Begin(*m_s.pProblem, cw.prm, m_s.loss);
    m_s.dTriplesDone = 0;
    m_s.phase = NrtPhase::Evaluate;
}

void NrtRun::Evaluate(NrtOutcome& out) {
    Evaluator& ev = *m_s.pEval;
    const bool triples = ev.Stage() == EvalStage::Triples;
    const double before = m_s.dPctDone;
    EngineError err;
    const StepBudget budget(m_ctx.settings.iStepBudgetMs, m_ctx.settings.bOneItemPerStep);
    if (!ev.Step(budget, err)) {
        out = Fail(err.text);
        return;
    }
    if (ev.NoTriples()) {
        // No triple at all (fewer than three records): the iteration starts again.
        m_s.phase = NrtPhase::Parameters;
        out.redraw = true;
        return;
    }
    if (!triples) return;
    const double total = m_ctx.prep.dNumTriples > 0 ? m_ctx.prep.dNumTriples : 1.0;
    m_s.dTriplesDone = ev.TriplesDone();
    m_s.dPctBefore = before;
    m_s.dPctDone = m_s.dTriplesDone / total * 100.0;
    if (ev.Done()) {
        m_s.phase = NrtPhase::Update;
        m_s.bCovInputReady = 1;
        m_s.mHessCopy = m_s.loss.mHessV;
    }
    if (std::floor(10.0 * m_s.dPctDone) != std::floor(10.0 * m_s.dPctBefore)) {
        out.redraw = true;
        out.progressOnly = m_s.phase == NrtPhase::Evaluate;  // the displays change at the update
    }
}

}  // namespace zelk
