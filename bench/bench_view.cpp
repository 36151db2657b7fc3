// Drawing the window's text panels: a full draw of the flower data set (8 variables) in the
// middle of a Newton-Raphson run (after its third update: the current-row table, the run
// block, the v column with the 7 x 7 Hessian), on the recording canvas and, when the
// benchmarks are built with Qt, on the window's image canvas (a 1600 x 1000 QImage, the
// painter begun and ended per draw as the view widget does); and the progress-only draw
// that animates the percentage inside an iteration.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "BenchPlatform.h"
#include "BenchTempDir.h"
#include "app/Document.h"
#include "platform/Platform.h"
#include "support/RecordingCanvas.h"
#include "view/View.h"

#ifdef ZELK_BENCH_QT
#include <QGuiApplication>
#include <QImage>

#include "platform/qt/QtCanvas.h"
#endif

namespace zelk {
namespace {

// The flower data set loaded from a copy and a run stepped to just after its third update.
struct MidRun {
    BenchPlatform pf;
    CZELKDoc doc{pf, false};
    CZELKView view{doc};
    bool ok = false;

    MidRun() {
        const std::string path = BenchTempDir("zelk_bench_view") + "/flower.dat";
        {
            std::ifstream in(ZELK_SOURCE_DIR "/examples/flower.dat", std::ios::binary);
            std::ofstream out(path, std::ios::binary);
            out << in.rdbuf();
        }
        doc.bManualStepping = 1;
        if (!doc.OnOpenDocument(path)) return;
        doc.OnAnalyzeNrt();
        for (int i = 0; i < 100000 && doc.runs.rsNRT.bRunning && !(doc.nrt.iIter == 3 && doc.nrt.phase == NrtPhase::Parameters); ++i)
            doc.OnStepMessage(RunMessage::NrtStep);
        doc.nrt.dPctDone = 50;
        ok = doc.runs.rsNRT.bRunning && doc.track.mDispHess.Rows() == 7;
    }
    ~MidRun() { doc.runs.rsNRT.bRunning = 0; }
};

void BM_FullDrawRecordingCanvas(benchmark::State& state) {
    MidRun m;
    if (!m.ok) {
        state.SkipWithError("the run did not reach its third update");
        return;
    }
    RecordingCanvas canvas;
    size_t texts = 0;
    for (auto _ : state) {
        canvas.texts.clear();
        canvas.filled.clear();
        m.doc.disp.bRedrawAll = 1;
        m.view.Draw(canvas);
        texts = canvas.texts.size();
    }
    state.counters["texts"] = static_cast<double>(texts);
}
BENCHMARK(BM_FullDrawRecordingCanvas)->Unit(benchmark::kMicrosecond);

#ifdef ZELK_BENCH_QT
void EnsureGuiApplication() {
    static std::unique_ptr<QGuiApplication> app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "bench_view";
        static char* argv[] = {name, nullptr};
        return std::make_unique<QGuiApplication>(argc, argv);
    }();
}

void QtDraws(benchmark::State& state, bool progressOnly) {
    EnsureGuiApplication();
    MidRun m;
    if (!m.ok) {
        state.SkipWithError("the run did not reach its third update");
        return;
    }
    QImage image(1600, 1000, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QtCanvas canvas(image);
        m.view.Draw(canvas);
    }
    m.doc.disp.bProgressOnly = progressOnly ? 1 : 0;
    int step = 0;
    for (auto _ : state) {
        m.doc.disp.bRedrawAll = 1;
        m.doc.nrt.dPctDone = (step++ % 1000) / 10.0;
        QtCanvas canvas(image);
        m.view.Draw(canvas);
    }
    m.doc.disp.bProgressOnly = 0;
}

void BM_FullDrawQtImageCanvas(benchmark::State& state) { QtDraws(state, false); }
void BM_ProgressOnlyDrawQtImageCanvas(benchmark::State& state) { QtDraws(state, true); }
BENCHMARK(BM_FullDrawQtImageCanvas)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProgressOnlyDrawQtImageCanvas)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
}  // namespace zelk

BENCHMARK_MAIN();
