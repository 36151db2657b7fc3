// How long the window waits for one step of a Newton-Raphson run: every step of one
// iteration at n = 1000 records, p = 8 mixed variables, as the window would send them (a
// step works for about 10 ms on a batch of pair rows or one chunk of triples at least).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "BenchPlatform.h"
#include "BenchTempDir.h"
#include "app/Document.h"

namespace zelk {
namespace {

std::string GeneratedMixed(int n) {
    const std::string dst = BenchTempDir("zelk_bench_run") + "/mixed.dat";
    std::ofstream out(dst);
    out << "C_A\tC_B\tC_C\tO_D\tO_E\tN_F\tN_G\tA_H\n";
    unsigned x = 2024;
    auto next = [&x](unsigned m) {
        x = x * 1103515245u + 12345u;
        return (x >> 8) % m;
    };
    for (int r = 0; r < n; ++r)
        out << next(1000) << "\t" << next(500) << "\t" << next(200) << "\t" << 1 + next(5) << "\t" << next(10) << "\t"
            << 1 + next(4) << "\t" << next(3) << "\t" << next(2) << "\n";
    return dst;
}

void BM_NrtStepsOfOneIteration(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    double longest = 0, total = 0;
    int longestAt = 0;  // phase * 10 + evaluation stage of the longest step
    int steps = 0;
    for (auto _ : state) {
        const std::string data = GeneratedMixed(n);  // a fresh directory: no result files yet
        BenchPlatform pf;
        CZELKDoc doc(pf, false);
        doc.bManualStepping = 1;
        doc.opt.asInitW = {"1"};
        doc.opt.iMaxIterBudget = 0;  // one iteration, then the finish
        if (!doc.OnOpenDocument(data)) {
            state.SkipWithError(("the data set did not load: " + pf.lastBox).c_str());
            break;
        }
        doc.OnAnalyzeNrt();
        while (doc.runs.rsNRT.bRunning && doc.nrt.iIter == 0) {
            const int stage = doc.nrt.pEval ? static_cast<int>(doc.nrt.pEval->Stage()) : -1;
            const int phase = static_cast<int>(doc.nrt.phase);
            const auto t0 = std::chrono::steady_clock::now();
            doc.OnStepMessage(RunMessage::NrtStep);
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            if (ms > longest) {
                longest = ms;
                longestAt = phase * 10 + stage;
            }
            total += ms;
            ++steps;
        }
        doc.StopAllRunsAndJoin();
    }
    state.counters["longest_step_ms"] = longest;
    state.counters["longest_at"] = longestAt;
    state.counters["steps"] = steps / static_cast<double>(state.iterations());
    state.counters["iteration_s"] = total / 1000.0 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_NrtStepsOfOneIteration)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
}  // namespace zelk

BENCHMARK_MAIN();
