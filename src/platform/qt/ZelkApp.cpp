#include "platform/qt/ZelkApp.h"

#include <QApplication>
#include <QString>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <iostream>
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
#include "platform/qt/RecentFiles.h"
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
        // A load with nothing to run: report the data set and end.
        std::cout << (opts.json ? LoadSummaryJson(doc) : LoadSummaryText(doc)) << std::flush;
        doc.StopAllRunsAndJoin();
        return doc.iExitCode;
    }

    RunMonitor monitor(doc, window, headless, std::cerr, headless ? TerminalColumns(2) : 0);
    platform.SetBeforeErrorOutput([&monitor] { monitor.BreakProgressLine(); });
    app.exec();
    doc.StopAllRunsAndJoin();
    monitor.EndProgressLine();
    platform.SetBeforeErrorOutput(nullptr);

    if (batch && !doc.bBatchFinished && doc.iExitCode == 0) doc.iExitCode = 1;
    if (headless && doc.bBatchFinished)
        std::cout << (opts.json ? RunSummaryJson(doc, started.file) : RunSummaryText(doc)) << std::flush;
    return doc.iExitCode;
}

}  // namespace zelk
