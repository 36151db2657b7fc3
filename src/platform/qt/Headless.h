// What the shell does around the window: the check for a display, the usage text, and
// the monitor that keeps batch runs moving, prints progress in the headless mode and
// ends a headless run once nothing is left to do.
#pragma once

#include <QObject>
#include <QTimer>

#include <iosfwd>
#include <string>

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

class RunMonitor : public QObject {
    Q_OBJECT
public:
    RunMonitor(CZELKDoc& doc, MainWindow& window, bool headless, std::ostream& err);
    // One pass of the monitor (the timer calls it every 250 ms).
    void Tick();

private:
    CZELKDoc& m_doc;
    MainWindow& m_window;
    bool m_headless;
    std::ostream& m_err;
    QTimer m_timer;
    int m_ticks = 0;
    int m_idleTicks = 0;
};

}  // namespace zelk
