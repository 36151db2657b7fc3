#include "platform/qt/ZelkApp.h"

#include <QApplication>
#include <QString>

#include <clocale>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/Document.h"
#include "app/Startup.h"
#include "platform/qt/Headless.h"
#include "platform/qt/MainWindow.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/RecentFiles.h"
#include "view/View.h"

namespace zelk {

namespace {

const char* const kHeadlessSwitch = "--headless";

// The offscreen platform has no window manager; its notes about that are noise here.
void QuietHeadlessMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    if (message.contains("propagateSizeHints") || message.contains("This plugin does not support") ||
        message.contains("XDG_RUNTIME_DIR"))
        return;
    std::cerr << message.toStdString() << "\n";
}

}  // namespace

int RunZelkApp(int& argc, char** argv) {
    bool headless = false;
    bool help = false;
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], kHeadlessSwitch) == 0) {
            headless = true;
            continue;
        }
        if (i > 0 && (std::strcmp(argv[i], "--help") == 0)) help = true;
        args.emplace_back(argv[i]);
    }
    if (help) {
        std::cout << UsageText();
        return 0;
    }
    if (headless && FindFileArgument(args).empty()) {
        std::cerr << "zelk: --headless needs a data file.\n\n" << UsageText();
        return 2;
    }
    if (!headless && !HasDisplay()) {
        std::cerr << NoDisplayText();
        return 2;
    }
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
        std::cout << LoadSummaryText(doc) << std::flush;
        doc.StopAllRunsAndJoin();
        return doc.iExitCode;
    }

    RunMonitor monitor(doc, window, headless, std::cerr);
    app.exec();
    doc.StopAllRunsAndJoin();

    if (batch && !doc.bBatchFinished && doc.iExitCode == 0) doc.iExitCode = 1;
    if (headless && doc.bBatchFinished) std::cout << RunSummaryText(doc) << std::flush;
    return doc.iExitCode;
}

}  // namespace zelk
