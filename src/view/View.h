// CZELKView: the one view of the document. It draws everything the window shows against
// a Canvas. The state it draws from is the document's; of its own it keeps only what is
// on the picture now (the text lines it drew, so that a partial draw can skip the lines
// that did not change and wipe exactly the ones that did).
#pragma once

#include <string>

#include "view/PanelWriter.h"

namespace zelk {

class Canvas;
class CZELKDoc;

// The text font of every panel: 8 points, bold.
constexpr int kViewFontPoints = 8;
constexpr int kViewFontWeight = 700;

// The counters that the panels and the status bar's progress line both show, read at one
// moment from the document (view/RunCounters.cpp).
struct RunCounters {
    int kind = -1;           // the active run (kRunNRT, kRunSurface, kRunNRTReplay) or -1
    std::string method;      // "NRT", "SuT", "NRT Replay": the run whose point is shown; or ""
    int iIter = 0;           // that run's iteration counter
    int iMaxIter = 0;        // the iteration budget of a Newton-Raphson run
    int iProgress = 0, iProgressMax = 0;  // the active run's progress counters
    double dPctRun = 0;      // its percentage done, by its progress rule
    double dPctIter = 0;     // percentage of the current Newton-Raphson iteration
    int iRestartShown = 0, iNumRandRestart = 0, iBestIndex = 0;
};
RunCounters CountersOf(const CZELKDoc& doc);

class CZELKView {
public:
    explicit CZELKView(CZELKDoc& doc) : m_doc(doc) {}

    // The draw. Acts first on the batch switches of the command line (a finished batch run
    // closes the application; a pending one is started), then decides between a full and a
    // partial draw and draws the start screen, or the panels of the loaded data set, into
    // the persistent picture behind the canvas, without clearing it first.
    void Draw(Canvas& canvas);
    // The window was resized: the next draws are full ones for a while.
    void OnSize();
    // A whole picture of what the window shows now, drawn into a blank canvas (the size
    // of the picture is the canvas's): the same panels and the same map, the map drawn
    // also in the headless mode. It leaves the batch switches alone (nothing is started or
    // closed) and makes the window's next draw a full one.
    void DrawPicture(Canvas& canvas);

    CZELKDoc& Document() { return m_doc; }

private:
    // The start screen, or the panels of a loaded data set with the map over them.
    void DrawView(Canvas& canvas, bool full, const RunCounters& rc, bool picture);
    // The panels of a loaded data set; false when the draw was abandoned. `picture`: the
    // map is drawn whatever the mode.
    bool DrawPanels(Canvas& canvas, bool full, const RunCounters& rc, bool picture);

    CZELKDoc& m_doc;
    PanelMemo m_memo;
};

// The start screen shown while no data set is loaded (view/StartScreen.cpp).
void DrawStartScreen(Canvas& canvas);


// The one-line progress text of the active run, or empty when no run is active. Used by
// the status bar and by the progress lines of the headless mode.
std::string RunProgressText(const CZELKDoc& doc);

}  // namespace zelk
