// The main window built offscreen: its menus, its title and the start screen in its image.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QFileInfo>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>

#include "app/Document.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtCanvas.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/RecentFiles.h"
#include "qt/QtTestApp.h"
#include "platform/qt/ViewWidget.h"
#include "view/Controls.h"
#include "view/View.h"

namespace zelk {
namespace {

struct Shell {
    QtPlatform pf{{"zelk"}, true};
    CZELKDoc doc{pf, false};
    CZELKView view{doc};
    MainWindow window{doc, view, true};
    Shell() {
        pf.SetMainWindow(&window);
        pf.SetViewWidget(window.View());
    }
};

QStringList MenuTexts(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->isVisible()) out << a->text();
    return out;
}

bool IsDark(QRgb c) { return qRed(c) < 100 && qGreen(c) < 100 && qBlue(c) < 100; }

TEST(MainWindow, MenusAndTitle) {
    TestApp();
    Shell s;
    const QList<QAction*> top = s.window.menuBar()->actions();
    ASSERT_EQ(top.size(), 4);
    EXPECT_EQ(top[0]->text(), "&File");
    EXPECT_EQ(top[1]->text(), "&Analyze");
    EXPECT_EQ(top[2]->text(), "&View");
    EXPECT_EQ(top[3]->text(), "&Help");
    const QStringList file = MenuTexts(top[0]->menu());
    ASSERT_GE(file.size(), 4);
    EXPECT_EQ(file.first(), "&New\tCtrl+N");
    EXPECT_EQ(file[1], "&Open...\tCtrl+O");
    EXPECT_EQ(file.last(), "E&xit");
    EXPECT_EQ(MenuTexts(top[1]->menu()),
              QStringList({"Newton-Raphson", "Surface", "Newton-Raphson Replay"}));
    EXPECT_EQ(MenuTexts(top[2]->menu()), QStringList({"&Toolbar", "&Status Bar"}));
    EXPECT_EQ(MenuTexts(top[3]->menu()), QStringList({"&Keys...", "&About ZELK..."}));
    // Help > Keys lists the key table the handlers dispatch through, row for row.
    top[3]->menu()->actions().first()->trigger();
    const QList<QTableWidget*> tables = s.window.findChildren<QTableWidget*>();
    ASSERT_EQ(tables.size(), 1);
    ASSERT_EQ(tables[0]->rowCount(), static_cast<int>(ControlTable().size()));
    for (int r = 0; r < tables[0]->rowCount(); ++r)
        EXPECT_EQ(tables[0]->item(r, 0)->text().toStdString(), ControlTable()[r].keys);

    s.window.RefreshStatus();
    EXPECT_EQ(s.window.windowTitle(), "Untitled - ZELK");
    EXPECT_EQ(s.window.MessagePaneText(), "Ready");
}

TEST(MainWindow, StartScreenInTheImage) {
    TestApp();
    Shell s;
    s.window.View()->ResizeImage(QSize(1400, 900));
    s.pf.RedrawAllViews();
    const QImage& img = s.window.View()->Image();
    ASSERT_EQ(img.size(), QSize(1400, 900));
    const QString png = QString(ZELK_BINARY_DIR) + "/start-screen.png";
    EXPECT_TRUE(img.save(png));

    // White background away from the text.
    EXPECT_EQ(img.pixel(5, 5), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(700, 600), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(1390, 140), qRgb(255, 255, 255));
    // Dark text pixels in the "NOTES:" line at (10, 130), none above it.
    int dark = 0, darkAbove = 0;
    for (int y = 130; y < 146; ++y)
        for (int x = 10; x < 60; ++x) dark += IsDark(img.pixel(x, y));
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 300; ++x) darkAbove += IsDark(img.pixel(x, y));
    EXPECT_GT(dark, 20);
    EXPECT_EQ(darkAbove, 0);
    // The last line, "No dataset loaded.", starts at (10, 350).
    int darkLast = 0;
    for (int y = 350; y < 366; ++y)
        for (int x = 10; x < 120; ++x) darkLast += IsDark(img.pixel(x, y));
    EXPECT_GT(darkLast, 20);
}

TEST(MainWindow, OpenedFilesGoIntoTheRecentFileList) {
    TestApp();
    QSettings(kSettingsOrganisation, kSettingsApplication).clear();
    QtPlatform pf({"zelk"}, false);
    CZELKDoc doc(pf, false);
    doc.opt.asInitW = {"1"};
    CZELKView view(doc);
    MainWindow window(doc, view, false);
    pf.SetMainWindow(&window);
    pf.SetViewWidget(window.View());
    EXPECT_TRUE(MenuTexts(window.FileMenu()).contains("Recent File"));

    const QString flower = QString(ZELK_SOURCE_DIR) + "/examples/flower.dat";
    ASSERT_TRUE(window.OpenFile(flower));
    window.RefreshStatus();
    EXPECT_EQ(window.windowTitle(), "flower.dat - ZELK");
    QStringList file = MenuTexts(window.FileMenu());
    EXPECT_FALSE(file.contains("Recent File"));
    EXPECT_TRUE(file.contains("&1 " + QFileInfo(flower).absoluteFilePath())) << file.join("|").toStdString();
    EXPECT_EQ(QSettings(kSettingsOrganisation, kSettingsApplication).value("Recent File List/File1").toString(),
              QFileInfo(flower).absoluteFilePath());

    // A file that cannot be opened leaves the list (after its message) and the document
    // is empty again.
    const QString missing = QString::fromStdString(::testing::TempDir()) + "/zelk-missing.dat";
    QString shown;
    WhenBoxOpens([&](QMessageBox* box) {
        shown = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_FALSE(window.OpenFile(missing));
    EXPECT_TRUE(shown.startsWith("Could not read from ")) << shown.toStdString();
    window.RefreshStatus();
    EXPECT_EQ(window.windowTitle(), "Untitled - ZELK");
    file = MenuTexts(window.FileMenu());
    EXPECT_TRUE(file.contains("&1 " + QFileInfo(flower).absoluteFilePath()));
    EXPECT_EQ(file.filter("zelk-missing").size(), 0);
    QSettings(kSettingsOrganisation, kSettingsApplication).clear();
}

TEST(QtCanvas, PixelsGoIntoTheImageAndShapesUseThePen) {
    TestApp();
    QImage img(200, 100, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QtCanvas c(img);
        c.SetPixel(3, 4, Rgb{10, 20, 30});
        c.SetPixel(-1, 4, kBlack);    // outside: ignored
        c.SetPixel(200, 100, kBlack);  // outside: ignored
        c.FillRect(Rect{50, 10, 60, 20}, kGrey);
        c.SetPen(PenStyle::Solid, 1, kBlack);
        c.MoveTo(100, 50);
        c.LineTo(150, 50);
        EXPECT_EQ(c.ClientRect().right, 200);
        EXPECT_EQ(c.ClipBox().bottom, 100);
    }
    EXPECT_EQ(img.pixel(3, 4), qRgb(10, 20, 30));
    EXPECT_EQ(img.pixel(55, 15), qRgb(128, 128, 128));
    EXPECT_EQ(img.pixel(60, 15), qRgb(255, 255, 255));  // right edge excluded
    EXPECT_EQ(img.pixel(120, 50), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(120, 51), qRgb(255, 255, 255));
}

TEST(QtCanvas, RightAlignedTextEndsAtItsPoint) {
    TestApp();
    QImage img(300, 60, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QtCanvas c(img);
        c.SetFont(8, 700);
        c.SetTextColor(kBlack);
        c.SetBackground(kWhite, false);
        c.Text(200, 10, "Right", true);
    }
    int darkRight = 0, darkLeft = 0;
    for (int y = 10; y < 30; ++y) {
        for (int x = 150; x < 200; ++x) darkLeft += IsDark(img.pixel(x, y));
        for (int x = 202; x < 300; ++x) darkRight += IsDark(img.pixel(x, y));
    }
    EXPECT_GT(darkLeft, 10);
    EXPECT_EQ(darkRight, 0);
}

}  // namespace
}  // namespace zelk
