#include "platform/qt/Headless.h"

#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <cstring>
#include <ostream>

#include "app/Document.h"
#include "app/Summary.h"
#include "platform/qt/MainWindow.h"
#include "view/View.h"

namespace zelk {

namespace {

bool EnvSet(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && v[0] != '\0';
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

bool HasDisplay() {
    if (EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY")) return true;
    const char* qpa = std::getenv("QT_QPA_PLATFORM");
    return qpa != nullptr && (StartsWith(qpa, "offscreen") || StartsWith(qpa, "minimal"));
}

std::string UsageText() {
    return "Usage: zelk [DATAFILE] [-NRT | -SUT] [-W=NAME] [-FWGT]\n"
           "       zelk --headless DATAFILE [-NRT | -SUT] [-W=NAME] [-FWGT]\n"
           "\n"
           "  DATAFILE   tab-delimited data file to open\n"
           "  -NRT       run Newton-Raphson on the data set, write the result files, then exit\n"
           "  -SUT       scan the loss surface (2 to 4 variables), write the surface file, then exit\n"
           "  -W=NAME    use the W variable NAME as the sample weight\n"
           "  -FWGT      a variable of zero range is an error even with a sample weight\n"
           "  --headless run without a window: messages go to stderr, nothing waits for an answer\n"
           "\n"
           "Exit status: 0 when the load or the run succeeded, 1 after an error, 2 for a usage error.\n";
}

std::string NoDisplayText() {
    return "zelk: cannot open the window: no display (neither DISPLAY nor WAYLAND_DISPLAY is set). "
           "Use \"zelk --headless DATAFILE [-NRT | -SUT]\" to run without a window.\n";
}

std::string LoadSummaryText(const CZELKDoc& doc) { return LoadSummary(doc); }

std::string RunSummaryText(const CZELKDoc& doc) {
    if (doc.cmd.iBatchSUT != 2) return RunSummary(doc);
    // A surface scan has no convergence and no final weights: it reports its file.
    std::string s = "Surface scan finished.\n";
    for (const std::string& f : doc.asFilesWritten) s += "Written: " + f + "\n";
    return s;
}

RunMonitor::RunMonitor(CZELKDoc& doc, MainWindow& window, bool headless, std::ostream& err)
    : m_doc(doc), m_window(window), m_headless(headless), m_err(err) {
    m_timer.setInterval(250);
    connect(&m_timer, &QTimer::timeout, this, &RunMonitor::Tick);
    m_timer.start();
}

void RunMonitor::Tick() {
    if (m_window.IsClosing()) return;
    // Nothing may happen under a step or a modal box: they come back here when done.
    for (int k = 0; k < kNumRunKinds; ++k)
        if (m_doc.runs.bInSend[k]) return;
    if (QApplication::activeModalWidget() != nullptr) return;
    ++m_ticks;

    const CommandLine& cmd = m_doc.cmd;
    const bool finished = cmd.iBatchNRT == 2 || cmd.iBatchSUT == 2;
    const bool surfacePending = cmd.iBatchSUT == 1 && !m_doc.runs.rsSurface.bRunning;
    const bool nrtPending = cmd.iBatchNRT == 1 && !m_doc.runs.rsNRT.bRunning;
    const bool canAct = !m_doc.bNoData || m_doc.bBatchRunStarted;
    // A batch run that is due (or done) is acted on by the next repaint; make sure there
    // is one, so that a batch never waits for a person.
    if (finished || ((surfacePending || nrtPending) && canAct)) m_doc.RedrawAllViews();

    if (!m_headless) return;
    if (m_ticks % 4 == 0) {
        const std::string progress = RunProgressText(m_doc);
        if (!progress.empty()) m_err << "zelk: " << progress << "\n" << std::flush;
    }
    if (m_doc.AnyRunActive()) {
        m_idleTicks = 0;
        return;
    }
    // No run, and the repaint above has started any batch run that was due: nothing is
    // left to do.
    if (++m_idleTicks >= 2) m_window.close();
}

}  // namespace zelk
