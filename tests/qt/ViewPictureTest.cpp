// Pictures of the view: the PNG of a headless batch's --image is the window's own picture
// of the same document, pixel for pixel, and File > Save Image... writes what the window
// shows; after a Newton-Raphson run the picture adds the run's final markers to the map;
// a picture that cannot or must not be written stops the batch before it runs.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "app/Document.h"
#include "base/Text.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/ViewPicture.h"
#include "platform/qt/ViewWidget.h"
#include "qt/QtTestApp.h"
#include "qt/ZelkRun.h"
#include "view/View.h"

namespace zelk {
namespace {

using namespace zelkrun;

// The window of a person (not the headless mode), with the options of dir's ZELK.ini.
struct Window {
    QtPlatform pf;
    CZELKDoc doc;
    CZELKView view{doc};
    MainWindow window{doc, view, false};
    explicit Window(const std::string& dir) : pf({"zelk"}, false), doc(pf, false) {
        pf.SetMainWindow(&window);
        pf.SetViewWidget(window.View());
        const QString before = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir));
        doc.ReadOptionsFile();
        QDir::setCurrent(before);
    }
};

QImage Load(const std::string& path) { return QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32); }

bool IsWhite(QRgb c) { return c == qRgb(255, 255, 255); }

class ViewPicture : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        if (access(Binary().c_str(), X_OK) != 0) GTEST_SKIP() << "zelk is not built";
        dir = FreshDir();
        ASSERT_FALSE(dir.empty());
        CopyExample("ZELK.ini", dir);
    }
    Result Zelk(const std::string& args) { return RunZelk(dir, "'" + Binary() + "' --headless " + args); }
    std::string dir;
};

TEST_F(ViewPicture, SurfaceBatchPictureIsTheWindowsPicture) {
    struct Case {
        int K;
        std::string sizeOption;
        QSize size;
    };
    for (const Case& c : {Case{2, "", QSize(1600, 1000)}, Case{3, " --image-size 1300x900", QSize(1300, 900)}}) {
        const std::string data = "flower" + std::to_string(c.K) + ".dat";
        CopyExample(data, dir);
        const Result r = Zelk(data + " -SUT --image map.png" + c.sizeOption);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "Surface scan finished.\nWritten: " + dir + "/" + data + ".SuT.out\nWritten: " + dir +
                             "/map.png\n");
        const QImage batch = Load(dir + "/map.png");
        ASSERT_EQ(batch.size(), c.size) << c.K;

        // The window opens the data file with its new surface.
        Window w(dir);
        w.window.View()->ResizeImage(c.size);
        ASSERT_TRUE(w.doc.OnOpenDocument(dir + "/" + data));
        const QImage shown = w.window.View()->Image().convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(shown == batch) << c.K;
        // The map is on it: the frame's corner at the origin, and the grid's points in grey.
        EXPECT_EQ(batch.pixel(700, 650), qRgb(0, 0, 0)) << c.K;
        int greys = 0;
        for (int y = 190; y < 650; ++y)
            for (int x = 701; x < 1150; ++x) greys += !IsWhite(batch.pixel(x, y)) && batch.pixel(x, y) != qRgb(0, 0, 0);
        if (c.K == 3) {
            EXPECT_GT(greys, 20000);
        }

        // File > Save Image... writes the picture the window shows; a place that takes no
        // file keeps nothing.
        ASSERT_TRUE(w.window.SaveImage(QString::fromStdString(dir + "/saved.png")));
        EXPECT_TRUE(Load(dir + "/saved.png") == shown) << c.K;
        EXPECT_NE(WritePicture(shown, dir), "");
    }
}

TEST_F(ViewPicture, NewtonRaphsonPictureAddsTheRunsFinalMarkers) {
    CopyExample("flower3.dat", dir);
    ASSERT_EQ(Zelk("flower3.dat -SUT").status, 0);
    ASSERT_EQ(Zelk("flower3.dat --image loaded.png").status, 0);
    const Result r = Zelk("flower3.dat -NRT --image run.png");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Written: " + dir + "/run.png\n"), std::string::npos) << r.out;

    // The final weights from the summary, on the triangle (origin 700, 650; a weight of 1
    // is 150 pixels); the start weights are 1, 1, 1.
    std::vector<double> w;
    const std::regex line(R"(^w \S+ +(\S+)$)", std::regex::multiline);
    for (std::sregex_iterator m(r.out.begin(), r.out.end(), line), end; m != end; ++m) w.push_back(CAtof((*m)[1]));  // the summary is in the C locale, whatever the test runs under
    ASSERT_EQ(w.size(), 3u) << r.out;
    const int fx = static_cast<int>(700 + w[0] * 150), fy = static_cast<int>(650 - w[1] * 150);
    const int px = 850, py = 500;

    const QImage before = Load(dir + "/loaded.png"), after = Load(dir + "/run.png");
    ASSERT_EQ(after.size(), QSize(1600, 1000));
    EXPECT_EQ(after.pixel(fx, fy), qRgb(0, 0, 0));        // the current weights' dot
    EXPECT_EQ(after.pixel(px, py), qRgb(128, 128, 128));  // the start weights' dot
    // On the map nothing else changed: every changed pixel belongs to one of the markers.
    int changed = 0, stray = 0;
    for (int y = 188; y < 663; ++y)
        for (int x = 688; x < 1163; ++x) {
            if (before.pixel(x, y) == after.pixel(x, y)) continue;
            ++changed;
            const bool near = std::hypot(x - fx, y - fy) <= 8 || std::hypot(x - px, y - py) <= 8;
            stray += !near;
        }
    EXPECT_GT(changed, 20);
    EXPECT_EQ(stray, 0);
}

// A picture that cannot be written, or that would replace the data file or a result file,
// stops the batch before it runs.
TEST_F(ViewPicture, PicturesThatMustNotBeWrittenStopTheBatchBeforeItRuns) {
    CopyExample("flower2.dat", dir);
    const std::string data = ReadAll(dir + "/flower2.dat");
    const struct {
        std::string image;
        int status;
        std::string message;
    } cases[] = {
        {"no-such-dir/map.png", 1, "zelk: cannot write the image " + dir + "/no-such-dir/map.png"},
        {"flower2.dat", 2, "zelk: the image " + dir + "/flower2.dat would replace the data file"},
        {"./flower2.dat.SuT.out", 2, "zelk: the image " + dir + "/flower2.dat.SuT.out would replace"},
    };
    for (const auto& c : cases) {
        const Result r = Zelk("flower2.dat -SUT --image " + c.image);
        EXPECT_EQ(r.status, c.status) << c.image;
        EXPECT_EQ(r.out, "") << c.image;
        EXPECT_EQ(r.err.find(c.message), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(access((dir + "/flower2.dat.SuT.out").c_str(), F_OK), 0) << c.image;
        EXPECT_EQ(ReadAll(dir + "/flower2.dat"), data) << c.image;
    }
}

}  // namespace
}  // namespace zelk
