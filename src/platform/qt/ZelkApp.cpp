#include "platform/qt/ZelkApp.h"

#include <QApplication>
#include <QString>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>
#include <string>
#include <vector>

#include "app/Document.h"
#include "app/Startup.h"
#include "engine/Parallel.h"
#include "platform/qt/Headless.h"
#include "platform/qt/JsonSummary.h"
#include "platform/qt/LongOptions.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtPlatform.h"
#include "platform/TextFile.h"
#include "platform/qt/RecentFiles.h"
#include "platform/qt/ViewPicture.h"
#include "view/View.h"

namespace zelk {

namespace {

// The offscreen platform has no window manager; its notes about that are noise here.
void QuietHeadlessMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    if (message.contains("propagateSizeHints") || message.contains("This plugin does not support") ||
        message.contains("XDG_RUNTIME_DIR"))
        return;
    std::cerr << message.toStdString() << "\n";
}

// OMP_NUM_THREADS caps the engine's threads, for runs side by side on one machine.
void ApplyThreadLimit() {
    const char* v = std::getenv("OMP_NUM_THREADS");
    const int n = v != nullptr ? std::atoi(v) : 0;
    if (n > 0) SetEngineThreads(n);
}

// A path in full, as the summaries list every file.
std::string FullPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

}  // namespace

int RunZelkApp(int& argc, char** argv) {
    // --help, --version and usage errors need no display and touch no file.
    const LongOptions opts = ParseLongOptions(argc, argv);
    if (!opts.error.empty()) {
        std::cerr << opts.error << "\n";
        return 2;
    }
    if (opts.help) {
        std::cout << HelpText();
        return 0;
    }
    if (opts.version) {
        std::cout << VersionText();
        return 0;
    }
    const bool headless = opts.headless;
    const std::vector<std::string>& args = opts.args;
    if (headless && FindFileArgument(args).empty()) {
        std::cerr << "zelk: --headless needs a data file.\n\n" << UsageText();
        return 2;
    }
    if (!headless && !HasDisplay()) {
        std::cerr << NoDisplayText();
        return 2;
    }
    // A picture that could not be written would be known only at the end of the run: the
    // place is checked before anything runs (nothing is changed there).
    const std::string imagePath = opts.image.empty() ? std::string() : FullPath(opts.image);
    const QSize imageSize(opts.imageWidth, opts.imageHeight);
    if (!imagePath.empty() && PictureWouldReplaceDataFiles(imagePath, FullPath(FindFileArgument(args)))) {
        std::cerr << "zelk: the image " << imagePath
                  << " would replace the data file or one of its result files; name another file\n";
        return 2;
    }
    if (!imagePath.empty() && !CanWriteFile(imagePath)) {
        std::cerr << "zelk: cannot write the image " << imagePath
                  << " (no such directory, no permission, not a regular file, or in use)\n";
        return 1;
    }
    ApplyThreadLimit();
    if (headless) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(QuietHeadlessMessages);
    }

    QApplication app(argc, argv);
    // The toolkit applies the environment's locale; numbers are read and written in the C
    // library's own locale whatever it says (base/ also guards each conversion).
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setOrganizationName(kSettingsOrganisation);
    QApplication::setApplicationName(kSettingsApplication);
    QApplication::setQuitOnLastWindowClosed(false);
    // Desktops match the window with the menu entry (and its icon) by this name.
    QGuiApplication::setDesktopFileName("zelk");

    QtPlatform platform(args, headless);
    CZELKDoc doc(platform);  // reads ZELK.ini of the current directory
    CZELKView view(doc);
    MainWindow window(doc, view, headless);
    platform.SetMainWindow(&window);
    platform.SetViewWidget(window.View());
    if (headless) window.View()->SetPaintImage(false);

    const StartupResult started = RunStartup(doc, args);
    if (!started.ok) {
        doc.StopAllRunsAndJoin();
        if (headless && platform.messageBoxCount() == 0)
            std::cerr << "zelk: could not load " << started.file << "\n";
        return doc.iExitCode != 0 ? doc.iExitCode : 1;
    }
    if (!started.file.empty()) window.NoteOpened(QString::fromStdString(started.file));

    const bool batch = doc.cmd.iBatchNRT != 0 || doc.cmd.iBatchSUT != 0;
    if (headless && !batch && !doc.AnyRunActive()) {
        // A load with nothing to run: its picture when one is asked for, the report of the
        // data set, and the end.
        if (!imagePath.empty()) TakePicture(doc, imagePath, imageSize);
        std::cout << (opts.json ? LoadSummaryJson(doc) : LoadSummaryText(doc)) << std::flush;
        doc.StopAllRunsAndJoin();
        return doc.iExitCode;
    }

    RunMonitor monitor(doc, window, headless, std::cerr, headless ? TerminalColumns(2) : 0);
    platform.SetBeforeErrorOutput([&monitor] { monitor.BreakProgressLine(); });
    // A Newton-Raphson batch run's picture shows its final state: it is taken at the end
    // of the run, before the document empties itself.
    if (!imagePath.empty())
        platform.SetBatchRunEndAction([&](int kind) {
            if (kind == kRunNRT) TakePicture(doc, imagePath, imageSize);
        });
    app.exec();
    doc.StopAllRunsAndJoin();
    monitor.EndProgressLine();
    platform.SetBeforeErrorOutput(nullptr);
    platform.SetBatchRunEndAction(nullptr);

    if (batch && !doc.bBatchFinished && doc.iExitCode == 0) doc.iExitCode = 1;
    if (!imagePath.empty() && doc.bBatchFinished && doc.cmd.iBatchSUT == 2) {
        // A finished scan leaves an empty document: its picture is the surface as the
        // window shows it when the data file is opened again. The window has closed; its
        // view no longer draws.
        platform.SetViewWidget(nullptr);
        TakeReopenedPicture(doc, started.file, imagePath, imageSize);
    }
    if (headless && doc.bBatchFinished)
        std::cout << (opts.json ? RunSummaryJson(doc, started.file) : RunSummaryText(doc)) << std::flush;
    return doc.iExitCode;
}

}  // namespace zelk
