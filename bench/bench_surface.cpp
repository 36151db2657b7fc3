// Surface scans driven through the real step machine (the Surface command, then the
// step messages by hand): the default two-variable grid of flower2.dat (1999 points) and
// the default four-variable grid of flower4.dat and of a generated 50-record data set of
// four continuous variables (79,079 points each). The flower files live in bench/data.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "BenchPlatform.h"
#include "BenchTempDir.h"
#include "app/Document.h"
#include "platform/Platform.h"

namespace zelk {
namespace {

std::string CopyToTemp(const char* name) {
    const std::string dir = BenchTempDir("zelk_bench_surface");
    std::string dst = dir + "/" + name;
    std::ifstream in(std::string(ZELK_SOURCE_DIR "/examples") + "/" + name, std::ios::binary);
    std::ofstream out(dst, std::ios::binary);
    out << in.rdbuf();
    return dst;
}

// 50 records of four continuous variables drawn at random (nearly every triple violates).
std::string GeneratedFourContinuous() {
    const std::string dst = BenchTempDir("zelk_bench_surface") + "/random50.dat";
    std::ofstream out(dst);
    out << "C_A\tC_B\tC_C\tC_D\n";
    unsigned x = 12345;
    for (int r = 0; r < 50; ++r)
        for (int k = 0; k < 4; ++k) {
            x = x * 1103515245u + 12345u;
            out << 1 + (x >> 8) % 1000 << (k < 3 ? "\t" : "\n");
        }
    return dst;
}

void ScanDefaultGrid(benchmark::State& state, const char* name, int expectPoints) {
    const std::string data = name[0] == '/' ? std::string(name) : CopyToTemp(name);
    BenchPlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    long long steps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove((data + ".SuT.out").c_str());
        if (!doc.OnOpenDocument(data)) {
            state.SkipWithError("the data file did not load");
            break;
        }
        const int total = doc.surf.mSurface.Rows();  // the bare grid shown before a scan
        state.ResumeTiming();
        doc.OnAnalyzeSurface();
        while (doc.runs.rsSurface.bRunning) {
            doc.OnStepMessage(RunMessage::SurfaceStep);
            ++steps;
        }
        state.PauseTiming();
        if (total != expectPoints) state.SkipWithError("unexpected grid size");
        state.ResumeTiming();
    }
    state.counters["points"] = expectPoints;
    state.counters["steps_per_scan"] =
        state.iterations() ? static_cast<double>(steps) / static_cast<double>(state.iterations()) : 0;
    state.counters["sec_per_point"] = benchmark::Counter(
        static_cast<double>(expectPoints) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    std::remove((data + ".SuT.out").c_str());
}

void BM_SurfaceScan2Vars(benchmark::State& state) { ScanDefaultGrid(state, "flower2.dat", 1999); }
void BM_SurfaceScan4Vars(benchmark::State& state) { ScanDefaultGrid(state, "flower4.dat", 79079); }

void BM_SurfaceScan4VarsGenerated50(benchmark::State& state) {
    const std::string data = GeneratedFourContinuous();
    ScanDefaultGrid(state, data.c_str(), 79079);
}

BENCHMARK(BM_SurfaceScan2Vars)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SurfaceScan4VarsGenerated50)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_SurfaceScan4Vars)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace zelk

BENCHMARK_MAIN();
