// The loss and its derivatives on generated mixed data (p = 8: 3 C, 2 O, 2 N, 1 A): one
// full evaluation (pairs, distance matrix, classification, penalty, derivative pass,
// covariance) with the fast pass and with the straightforward reference pass, for 1 and
// 2 threads; and the loss alone at one surface point of a 50-record, 4-variable data set.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "base/StepBudget.h"
#include "engine/Engine.h"
#include "engine/EngineTestData.h"
#include "engine/Evaluation.h"
#include "engine/Parallel.h"

namespace zelk {
namespace {

const int kMixed[5] = {3, 2, 2, 0, 1};

struct Fixture {
    OwnedProblem o;
    Params prm;
    Fixture(int n, const int counts[5], unsigned seed) {
        o = RandomProblem(n, counts, true, seed);
        FixPointers(o);
        RealList w;
        for (int k = 0; k < o.pb.p; ++k) w.push_back(0.6 + 0.8 * (k % 3) / 2.0);
        double sum = 0;
        for (double x : w) sum += x;
        for (double& x : w) x *= o.pb.p / sum;
        prm = ParamsFromWeights(w);
    }
};

// One iteration's evaluation and the covariance at its point; returns Lu. A run keeps its
// evaluator, and so the buffers of the derivative pass, from one iteration to the next;
// `fresh` starts each evaluation with a new one (a run's first evaluation).
double FullEvaluation(const Problem& pb, const Params& prm, PassKind kind, Evaluator& ev,
                      LossState& l, bool fresh) {
    EngineError err;
    Evaluator first;
    Evaluator& e = fresh ? first : ev;
    e.Begin(pb, prm, l, kind);
    while (!e.Done())
        if (!e.Step(StepBudget::Unlimited(), err)) break;
    const Matrix covV = CovarianceV(l.mHessV, l.mRecGrad, pb.s, l.dTripleWeight, l.dViolWeight);
    benchmark::DoNotOptimize(SymmetricEigenvalues(covV));
    benchmark::DoNotOptimize(SymmetricEigenvalues(CovarianceW(covV, prm)));
    benchmark::DoNotOptimize(SymmetricEigenvalues(l.mHessV));
    return l.dLu;
}

void Evaluate(benchmark::State& state, bool reference, bool fresh = false) {
    const int n = static_cast<int>(state.range(0));
    SetEngineThreads(static_cast<int>(state.range(1)));
    Fixture f(n, kMixed, 7);
    LossState l;
    Evaluator ev;
    const PassKind kind = reference ? PassKind::Reference : PassKind::Fast;
    for (auto _ : state) benchmark::DoNotOptimize(FullEvaluation(f.o.pb, f.prm, kind, ev, l, fresh));
    const double triples = double(n) * (n - 1) * (n - 2) / 6.0;
    state.counters["ns_per_triple"] =
        benchmark::Counter(triples, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    state.counters["peak_MiB"] = ru.ru_maxrss / 1024.0;
    SetEngineThreads(0);
}

void BM_FullEvaluationFast(benchmark::State& state) { Evaluate(state, false); }
void BM_FullEvaluationReference(benchmark::State& state) { Evaluate(state, true); }
void BM_FirstEvaluationFast(benchmark::State& state) { Evaluate(state, false, true); }

// This machine shares its memory bandwidth with others: the medians of a few repetitions.
BENCHMARK(BM_FullEvaluationFast)
    ->ArgsProduct({{100, 250, 300, 500, 1000}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
// A run's first evaluation also allocates (and the system maps) the pass's storage.
BENCHMARK(BM_FirstEvaluationFast)
    ->Args({1000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_FullEvaluationReference)
    ->ArgsProduct({{100, 250, 300}, {1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// Growth and peak memory at the largest size (run last: the peak counter is the process's).
BENCHMARK(BM_FullEvaluationFast)->Args({2000, 2})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The loss alone at one point of a 4-variable surface of 50 records (the default grid
// has 79,079 points: the whole surface costs 79,079 times this).
void BM_SurfacePointLossOnly(benchmark::State& state) {
    const int counts[5] = {2, 1, 0, 0, 1};
    Fixture f(50, counts, 3);
    for (auto& s : f.o.pb.s) s = 1.0;
    const RealList w = {0.7, 1.3, 1.1, 0.9};
    LossOnly out;
    for (auto _ : state) {
        EvaluateLossOnly(f.o.pb, w, false, out);
        benchmark::DoNotOptimize(out.Lu);
    }
    state.counters["surface_s"] =
        benchmark::Counter(79079.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SurfacePointLossOnly)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace zelk

BENCHMARK_MAIN();
