// What the shell does around the window: the check for a display, the usage text, and
// the monitor that keeps batch runs moving, prints progress in the headless mode and
// ends a headless run once nothing is left to do.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <iosfwd>
#include <string>

#include "platform/qt/ProgressLine.h"

namespace zelk {

class CZELKDoc;
class MainWindow;
class Platform;

// True when a window can be shown: DISPLAY or WAYLAND_DISPLAY is set, or the Qt
// platform is forced to one that needs no display (offscreen, minimal).
bool HasDisplay();

std::string UsageText();
// The line printed when the window cannot open for want of a display.
std::string NoDisplayText();

// The summary of the loaded data set, and of the finished batch run.
std::string LoadSummaryText(const CZELKDoc& doc);
std::string RunSummaryText(const CZELKDoc& doc);

// The progress line on a terminal, short enough for 80 columns:
// "NRT iteration 3/100 45.0% (run 7.9%), elapsed 0:00:12, remaining 0:00:15".
std::string TerminalProgressText(const CZELKDoc& doc);

// Where the run is, for the progress lines: changes from one iteration (a surface scan:
// one whole percent; a replay: one row) to the next.
long long ProgressStep(const CZELKDoc& doc);

class RunMonitor : public QObject {
    Q_OBJECT
public:
    // terminalColumns: the width of the terminal that err writes to, 0 when it is not a
    // terminal (see ProgressLine).
    RunMonitor(CZELKDoc& doc, MainWindow& window, bool headless, std::ostream& err,
               int terminalColumns = 0);
    // One pass of the monitor (the timer calls it every 250 ms).
    void Tick();
    // Clears a progress line left on the terminal before other text goes to err.
    void BreakProgressLine() { m_progress.Break(); }
    void EndProgressLine() { m_progress.End(); }
    // Tests: the clock of the progress lines, in seconds.
    void SetClock(std::function<double()> clock) { m_clock = std::move(clock); }

private:
    CZELKDoc& m_doc;
    MainWindow& m_window;
    bool m_headless;
    QTimer m_timer;
    ProgressLine m_progress;
    std::function<double()> m_clock;
    int m_idleTicks = 0;
};

}  // namespace zelk
