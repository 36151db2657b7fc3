// One full evaluation of the loss at one point: the pair components, the distance matrix,
// the classification of the triples, the penalty and the derivative pass, giving Lu with
// its gradient, Hessian and per-record terms (each record's mean gradient over its
// triples, the input of the covariance). A run advances it stage by stage, a
// time-boxed batch of pair rows or triple chunks per step; tests, benchmarks and one-off
// callers evaluate at once. Both go through the same stages, and the result does not
// depend on how the work was grouped into steps.
#pragma once

#include <memory>
#include <vector>

#include "base/StepBudget.h"
#include "engine/Engine.h"
#include "engine/LossState.h"

namespace zelk {

// Triples covers the gradients of the pairs (rows at a time) and the chunks of triples;
// Sums adds the chunks' sums up into the loss, gradient, Hessian and per-record terms.
enum class EvalStage { Pairs, Distances, Classification, Penalty, Triples, Sums, Done };

// Which derivative pass the triples go through: the factorised one of the program, or the
// straightforward per-triple one (tests and benchmarks compare the two).
enum class PassKind { Fast, Reference };

class Evaluator {
public:
    Evaluator();
    ~Evaluator();
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    // Starts an evaluation of pb at prm into out. pb must outlive the evaluation; the
    // component and distance buffers of out are kept when their size fits.
    void Begin(const Problem& pb, const Params& prm, LossState& out, PassKind kind = PassKind::Fast);
    EvalStage Stage() const { return m_stage; }
    bool Done() const { return m_stage == EvalStage::Done; }

    // One step: pair rows or triple chunks while the budget lasts, or the whole of a one-shot
    // stage. False after a failure (err holds its message, and the evaluation stops).
    bool Step(const StepBudget& budget, EngineError& err);

    // Progress of the triple stage.
    double TriplesDone() const { return m_triplesDone; }
    // True when the data have no triple at all (fewer than three records): the triple stage
    // then ends without a pass.
    bool NoTriples() const { return m_noTriples; }

private:
    bool Pairs(const StepBudget& budget, EngineError& err);
    bool Triples(const StepBudget& budget, EngineError& err);
    void ClearUnfinishedDist();

    const Problem* m_pb = nullptr;
    Params m_prm;
    LossState* m_out = nullptr;
    PassKind m_kind = PassKind::Fast;
    EvalStage m_stage = EvalStage::Done;
    int m_nextRow = 0;
    int m_distRow = -1;                    // next row of the distances (-1: the diagonal)
    TripleClassifier m_classifier;
    std::vector<double> m_tw, m_vw, m_vc;  // classification sums per first record
    int m_nextChunk = 0;
    double m_triplesDone = 0;
    double m_msPerTriple = 0;  // the pace of the last chunk of triples (0: none yet)
    bool m_noTriples = false;
    bool m_freshDist = false;  // mDist was allocated by this evaluation, not yet whole
    std::unique_ptr<DerivativePass> m_pass;
};

// The whole evaluation at once. False after a failure (err holds its message).
bool EvaluateFull(const Problem& pb, const Params& prm, LossState& out, EngineError& err,
                  PassKind kind = PassKind::Fast);

}  // namespace zelk
