// The surface map drawn into the window's image (the Qt image canvas, offscreen): a full
// draw of the default four-variable cloud (79,079 points) and of the three-variable
// triangle (11,026 points) with a run's markers, a partial draw of the cloud after the
// markers moved, the same full draw on a canvas that draws nothing (the projection and
// filter alone), and the colour column of the cloud.
#include <benchmark/benchmark.h>

#include "BenchPlatform.h"
#include "BenchTempDir.h"
#include <stdlib.h>

#include <QGuiApplication>
#include <QImage>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "app/Document.h"
#include "base/Format.h"
#include "platform/Platform.h"
#include "platform/qt/QtCanvas.h"
#include "view/SurfaceMap.h"

namespace zelk {
namespace {


BenchPlatform Foreground() {
    BenchPlatform pf;
    pf.foreground = true;  // partial draws, as when the window is in front
    return pf;
}

// flower2/3/4.dat copied to a temporary directory with a surface file over the default
// grid (a smooth loss with its minimum inside), opened as the window would.
struct Loaded {
    BenchPlatform pf = Foreground();
    CZELKDoc doc{pf, false};
    bool ok = false;

    explicit Loaded(int K) {
        const std::string dir = BenchTempDir("zelk_bench_map");
        const std::string name = Format("flower%d.dat", K);
        const std::string data = dir + "/" + name;
        {
            std::ifstream in(std::string(ZELK_SOURCE_DIR "/examples/") + name, std::ios::binary);
            std::ofstream out(data, std::ios::binary);
            out << in.rdbuf();
        }
        doc.opt.asInitW = StringList{"1"};
        if (!doc.OnOpenDocument(data)) return;  // the bare grid
        const Matrix grid = doc.surf.mSurface;
        std::string text = "Data: " + data + "\nMethod: Surface T\n\nW history\n" + FitRight12("Lu");
        for (const auto& n : doc.data.AnalysisNames()) text += " " + FitRight12(n);
        text += "\n";
        for (int r = 0; r < grid.Rows(); ++r) {
            double lu = 1;
            for (int k = 0; k < K; ++k) lu += (grid(r, 1 + k) - 1.1) * (grid(r, 1 + k) - 1.1);
            text += Real12(lu);
            for (int k = 0; k < K; ++k) text += " " + Real12(grid(r, 1 + k));
            text += "\n";
        }
        std::ofstream(data + ".SuT.out") << text;
        ok = doc.OnOpenDocument(data) && doc.surf.mSurface.Rows() == grid.Rows();
        std::remove((data + ".SuT.out").c_str());
        std::remove(data.c_str());
        std::remove(dir.c_str());
    }
    // A run's display copies: weights, gradients in w and v, preset.
    void Markers(double shift) {
        const int K = doc.data.iNumVar;
        Matrix w(K, 1, 1.0), gw(K, 1), gv(K - 1, 1), pre(K, 1, 1.0);
        w(0, 0) += shift;
        w(K - 1, 0) -= shift;
        for (int k = 0; k < K; ++k) gw(k, 0) = (k % 2 ? 40.0 : -30.0) + 10 * shift;
        for (int k = 0; k < K - 1; ++k) gv(k, 0) = 0.2 - 0.1 * k;
        doc.track.mDispW = w;
        doc.track.mDispGradW = gw;
        doc.track.mDispGradV = gv;
        doc.track.mDispPresetW = pre;
    }
};

void FullDraw(benchmark::State& state, int K) {
    Loaded l(K);
    if (!l.ok) return state.SkipWithError("the data set did not load");
    l.Markers(0.3);
    QImage image(1600, 1000, QImage::Format_RGB32);
    for (auto _ : state) {
        QtCanvas canvas(image);
        canvas.SetFont(8, 700);
        canvas.FillRect(canvas.ClipBox(), kWhite);  // a full draw clears the window first
        DrawSurfaceMap(l.doc, canvas, false);
    }
    state.counters["points"] = l.doc.surf.mSurface.Rows();
}

void BM_MapFullDrawCloud4(benchmark::State& state) { FullDraw(state, 4); }
void BM_MapFullDrawTriangle3(benchmark::State& state) { FullDraw(state, 3); }
void BM_MapFullDrawCurve2(benchmark::State& state) { FullDraw(state, 2); }

void BM_MapPartialDrawCloud4(benchmark::State& state) {
    Loaded l(4);
    if (!l.ok) return state.SkipWithError("the data set did not load");
    QImage image(1600, 1000, QImage::Format_RGB32);
    image.fill(Qt::white);
    int i = 0;
    for (auto _ : state) {
        l.Markers(0.1 * (i++ % 8));
        QtCanvas canvas(image);
        canvas.SetFont(8, 700);
        DrawSurfaceMap(l.doc, canvas, true);
    }
}

void BM_MapFullDrawCloud4NoPixels(benchmark::State& state) {
    Loaded l(4);
    if (!l.ok) return state.SkipWithError("the data set did not load");
    l.Markers(0.3);
    NullCanvas canvas(Rect{0, 0, 1600, 1000});
    for (auto _ : state) DrawSurfaceMap(l.doc, canvas, false);
}

void BM_ColourColumnCloud4(benchmark::State& state) {
    Loaded l(4);
    if (!l.ok) return state.SkipWithError("the data set did not load");
    for (auto _ : state) l.doc.RecomputeSurfaceColours();
}

BENCHMARK(BM_MapFullDrawCloud4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapFullDrawTriangle3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapFullDrawCurve2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapPartialDrawCloud4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapFullDrawCloud4NoPixels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourColumnCloud4)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zelk

int main(int argc, char** argv) {
    // The image canvas needs Qt's GUI module for its fonts; no display is used.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
