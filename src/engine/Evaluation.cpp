#include "engine/Evaluation.h"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#include "engine/Parallel.h"

namespace zelk {

namespace {

// The per-record gradient sums become means over each record's triples.
void RecordMeans(LossState& l) {
    const int n = l.adRecTripleWeight.Cols();
    const int q = l.mRecGrad.Rows();
    for (int r = 0; r < n; ++r) {
        const double tw = l.adRecTripleWeight.Get(0, r);
        if (tw != 0)
            for (int k = 0; k < q; ++k) l.mRecGrad.Set(k, r, l.mRecGrad.Get(k, r) / tw);
    }
}

}  // namespace

Evaluator::Evaluator() = default;
Evaluator::~Evaluator() = default;

void Evaluator::Begin(const Problem& pb, const Params& prm, LossState& out, PassKind kind) {
    m_pb = &pb;
    m_prm = prm;
    m_out = &out;
    m_kind = kind;
    m_nextRow = 0;
    m_nextChunk = 0;
    m_triplesDone = 0;
    m_noTriples = false;
    const int n = pb.n;
    // The pair rows overwrite the upper triangle with the diagonal and the distance stage
    // the lower one, so the storage of the last evaluation of this size is kept, and new
    // storage is not cleared first (its pages are then first touched by the rows, a few per
    // step, not all in this one). The last row has no pairs: its diagonal is set here.
    m_freshDist = out.mDist.Rows() != n || out.mDist.Cols() != n;
    if (m_freshDist) out.mDist = Matrix::Uninitialised(n, n);
    if (n > 0) out.mDist(n - 1, n - 1) = 0;
    m_stage = EvalStage::Pairs;
}

// A new distance matrix that will not be completed holds no unset values: 0 throughout.
void Evaluator::ClearUnfinishedDist() {
    if (!m_freshDist || !m_out) return;
    Matrix& d = m_out->mDist;
    d.Resize(d.Rows(), d.Cols(), 0.0);
}

bool Evaluator::Pairs(const StepBudget& budget, EngineError& err) {
    const Problem& pb = *m_pb;
    LossState& l = *m_out;
    const int n = pb.n;
    bool ok = true;
    int done = 0;
    // Rows side by side, a few per core at a time (each writes only its own row); one row
    // per step when the steps are counted one item each.
    const int batch = budget.OneItem() ? 1 : 4 * EngineThreads();
    std::vector<unsigned char> bad(static_cast<size_t>(batch), 0);
    while (m_nextRow < n - 1 && budget.More(done)) {
        const int r0 = m_nextRow, r1 = std::min(n - 1, r0 + batch);
        ParallelFor(r0, r1, [&](int i) { bad[i - r0] = ComputePairRow(pb, m_prm, i, l.mDist) ? 0 : 1; });
        for (int i = r0; i < r1; ++i) {
            if (bad[i - r0]) {
                ok = false;  // the rows before the failing one are done
                break;
            }
            ++m_nextRow;
            ++done;
        }
        if (!ok) break;
    }
    if (!ok) {
        ClearUnfinishedDist();
        err.Fail(kDivideByZeroA);
        return false;
    }
    if (m_nextRow >= n - 1) {
        m_stage = EvalStage::Distances;
        m_distRow = -1;
    }
    return true;
}

bool Evaluator::Triples(const StepBudget& budget, EngineError& err) {
    const Problem& pb = *m_pb;
    LossState& l = *m_out;
    if (pb.n < 3) {
        m_noTriples = true;
        m_stage = EvalStage::Done;
        return true;
    }
    if (m_kind == PassKind::Reference) {
        ReferenceDerivativePass(pb, m_prm, l.mDist, l.dPenalty, l.mPenaltyGrad, l.mPenaltyHess, l, err);
        if (err) return false;
        RecordMeans(l);
        m_triplesDone = pb.n * ((pb.n - 1.0) * (pb.n - 2.0)) / 6.0;
        m_stage = EvalStage::Done;
        return true;
    }
    DerivativePass& pass = *m_pass;
    const int chunks = pass.NumChunks();
    int done = 0;
    // The gradients of the pairs first, a few rows per core at a time.
    const int batch = budget.OneItem() ? 1 : 4 * EngineThreads();
    while (!pass.PairsPrepared() && budget.More(done)) {
        if (!pass.PreparePairRows(batch, err)) return false;
        ++done;
    }
    if (!pass.PairsPrepared()) return true;
    // A chunk that would overrun the time box at the last chunk's pace (or at an unknown
    // pace) waits for the next step, unless it is the step's first item.
    while (m_nextChunk < chunks && budget.More(done)) {
        const double triples = pass.TriplesInChunk(m_nextChunk);
        if (done > 0 && !budget.IsUnlimited() && (m_msPerTriple <= 0 || m_msPerTriple * triples > budget.RemainingMs()))
            break;
        const auto start = std::chrono::steady_clock::now();
        pass.RunChunks(m_nextChunk, m_nextChunk + 1, err);
        if (err) return false;
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (triples > 0) m_msPerTriple = ms / triples;
        m_triplesDone += triples;
        ++m_nextChunk;
        ++done;
    }
    if (m_nextChunk >= chunks) m_stage = EvalStage::Sums;
    return true;
}

bool Evaluator::Step(const StepBudget& budget, EngineError& err) {
    if (!m_pb || !m_out) return true;
    const Problem& pb = *m_pb;
    LossState& l = *m_out;
    const int n = pb.n;
    const int q = pb.p - 1;
    switch (m_stage) {
        case EvalStage::Pairs:
            return Pairs(budget, err);
        case EvalStage::Distances: {
            // The diagonal first, then the rows a tile at a time while the budget lasts.
            DistFailure failure;
            bool ok = true;
            if (m_distRow < 0) {
                ok = CheckDistDiagonal(n, l.mDist, failure);
                m_distRow = 0;
            }
            for (int done = 0; ok && m_distRow < n && budget.More(done); ++done) {
                ok = BuildDistRows(n, l.mDist, m_distRow, m_distRow + kDistTileRows, failure);
                m_distRow += kDistTileRows;
            }
            if (!ok) {
                ClearUnfinishedDist();
                err.Fail(DistFailureText(failure));
                return false;
            }
            if (m_distRow < n) return true;
            l.dLu = 0;
            l.dViolCount = l.dViolWeight = l.dTripleWeight = 0;
            l.mGradV = Matrix(q, 1, 0.0);
            l.mHessV = Matrix(q, q, 0.0);
            l.dSumWeights = 0;
            for (double s : pb.s) l.dSumWeights += s;
            m_classifier.Begin(n);
            m_tw.assign(n, 0.0);
            m_vw.assign(n, 0.0);
            m_vc.assign(n, 0.0);
            m_stage = EvalStage::Classification;
            return true;
        }
        case EvalStage::Classification: {
            // A few million triples per core at a time while the budget lasts (one middle
            // record of a group when the steps are counted one item each).
            const double part = budget.OneItem() ? 0.0 : 4.0e6 * EngineThreads();
            int done = 0;
            while (!m_classifier.Done() && budget.More(done)) {
                m_classifier.Step(l.mDist, pb.s, part, m_tw, m_vw, m_vc);
                ++done;
            }
            if (!m_classifier.Done()) return true;
            l.dTripleWeight = l.dViolWeight = l.dViolCount = 0;
            for (int i = 0; i < n; ++i) {
                l.dTripleWeight += m_tw[i];
                l.dViolWeight += m_vw[i];
                l.dViolCount += m_vc[i];
            }
            m_stage = EvalStage::Penalty;
            return true;
        }
        case EvalStage::Penalty:
            ComputePenalty(m_prm, pb.penaltyPow, l.dPenalty, l.mPenaltyGrad, l.mPenaltyHess, err);
            if (err) return false;
            l.adRecTripleWeight = Matrix(1, n, 0.0);
            l.adRecTripleCount = Matrix(1, n, 0.0);
            l.mRecGrad = Matrix(q, n, 0.0);
            l.dViolCount2 = 0;
            if (m_kind == PassKind::Fast) {
                if (!m_pass) m_pass = std::make_unique<DerivativePass>();
                m_pass->Begin(pb, m_prm, l.mDist, l.dPenalty, l.mPenaltyGrad, l.mPenaltyHess);
            }
            m_stage = EvalStage::Triples;
            return true;
        case EvalStage::Triples:
            return Triples(budget, err);
        case EvalStage::Sums: {
            // The per-row sums a few rows per core at a time, then the total.
            const int batch = budget.OneItem() ? 1 : 16 * EngineThreads();
            int done = 0;
            bool ready = false;
            while (!ready && budget.More(done)) {
                ready = m_pass->FinishStep(batch, err);
                if (err) return false;
                ++done;
            }
            if (!ready) return true;
            m_pass->Finish(l, err);
            if (err) return false;
            RecordMeans(l);
            m_stage = EvalStage::Done;
            return true;
        }
        case EvalStage::Done:
            return true;
    }
    return true;
}

bool EvaluateFull(const Problem& pb, const Params& prm, LossState& out, EngineError& err, PassKind kind) {
    Evaluator ev;
    ev.Begin(pb, prm, out, kind);
    const StepBudget all = StepBudget::Unlimited();
    while (!ev.Done())
        if (!ev.Step(all, err)) return false;
    return true;
}

}  // namespace zelk
