#include "platform/qt/Headless.h"

#include <QApplication>
#include <QWidget>

#include <chrono>
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
           "       zelk --headless DATAFILE [-NRT | -SUT] [-W=NAME] [-FWGT] [--json]\n"
           "                       [--image FILE.png [--image-size WxH]]\n"
           "       zelk --help | --version\n";
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
    for (const std::string& f : doc.asFilesNotWritten) s += "Not written: " + f + "\n";
    return s;
}

namespace {

// "H:MM:SS", with days in front when there are any.
std::string Clock(double seconds) {
    long long t = seconds > 0 ? static_cast<long long>(seconds) : 0;
    const long long days = t / 86400;
    t %= 86400;
    const std::string hms = Format("%lld:%02lld:%02lld", t / 3600, t / 60 % 60, t % 60);
    return days > 0 ? Format("%lldd ", days) + hms : hms;
}

}  // namespace

std::string TerminalProgressText(const CZELKDoc& doc) {
    const RunState* rs = nullptr;
    std::string s;
    if (doc.runs.rsNRT.bRunning) {
        rs = &doc.runs.rsNRT;
        s = Format("NRT iteration %d/%d %.1f%% (run %.1f%%)", doc.nrt.iIter, doc.nrt.iMaxIterRun,
                   doc.nrt.dPctDone, rs->dPercent.load());
    } else if (doc.runs.rsSurface.bRunning) {
        rs = &doc.runs.rsSurface;
        s = Format("SuT point %d/%d %.1f%%", rs->iProgress.load(), rs->iProgressMax.load(), rs->dPercent.load());
    } else if (doc.runs.rsNRTReplay.bRunning) {
        rs = &doc.runs.rsNRTReplay;
        s = Format("NRT Replay row %d/%d %.1f%%", rs->iProgress.load(), rs->iProgressMax.load(),
                   rs->dPercent.load());
    } else {
        return std::string();
    }
    s += ", elapsed " + Clock(rs->dElapsedSec.load());
    // Nothing done yet: the estimate, which divides by the fraction done, is unknown.
    s += ", remaining " + (rs->dPercent.load() > 0 ? Clock(rs->dRemainingSec.load()) : std::string("unknown"));
    if (rs->bPaused) s += ", paused";
    return s;
}

long long ProgressStep(const CZELKDoc& doc) {
    constexpr long long kKind = 1000000000000LL;
    if (doc.runs.rsNRT.bRunning) return doc.nrt.iIter;
    if (doc.runs.rsSurface.bRunning) return kKind + static_cast<long long>(doc.runs.rsSurface.dPercent.load());
    return 2 * kKind + doc.runs.rsNRTReplay.iProgress.load();
}

RunMonitor::RunMonitor(CZELKDoc& doc, MainWindow& window, bool headless, std::ostream& err,
                       int terminalColumns)
    : m_doc(doc),
      m_window(window),
      m_headless(headless),
      m_progress(err, terminalColumns),
      m_clock([] {
          const auto t = std::chrono::steady_clock::now().time_since_epoch();
          return std::chrono::duration<double>(t).count();
      }) {
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

    const CommandLine& cmd = m_doc.cmd;
    const bool finished = cmd.iBatchNRT == 2 || cmd.iBatchSUT == 2;
    const bool surfacePending = cmd.iBatchSUT == 1 && !m_doc.runs.rsSurface.bRunning;
    const bool nrtPending = cmd.iBatchNRT == 1 && !m_doc.runs.rsNRT.bRunning;
    const bool canAct = !m_doc.bNoData || m_doc.bBatchRunStarted;
    // A batch run that is due (or done) is acted on by the next repaint; make sure there
    // is one, so that a batch never waits for a person.
    if (finished || ((surfacePending || nrtPending) && canAct)) m_doc.RedrawAllViews();

    if (!m_headless) return;
    // A terminal line has to fit the width: it gets the short form.
    const std::string progress = m_progress.OnTerminal() ? TerminalProgressText(m_doc) : RunProgressText(m_doc);
    if (progress.empty()) {
        m_progress.End();
    } else {
        if (m_progress.OnTerminal()) {
            // The terminal may have been resized.
            const int columns = TerminalColumns(2);
            if (columns > 0) m_progress.SetColumns(columns);
        }
        m_progress.Update("zelk: " + progress, ProgressStep(m_doc), m_clock());
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
