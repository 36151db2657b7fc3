// CZELKView: the one view of the document. It draws everything the window shows against
// a Canvas and holds nothing but its drawing resources; the document holds the state.
#pragma once

#include <string>

namespace zelk {

class Canvas;
class CZELKDoc;

// The text font of every panel: 8 points, bold.
constexpr int kViewFontPoints = 8;
constexpr int kViewFontWeight = 700;

class CZELKView {
public:
    explicit CZELKView(CZELKDoc& doc) : m_doc(doc) {}

    // The full draw. Acts first on the batch switches of the command line (a finished
    // batch run closes the application; a pending one is started) and then draws the
    // start screen or the panels of the loaded data set.
    void Draw(Canvas& canvas);

    CZELKDoc& Document() { return m_doc; }

private:
    CZELKDoc& m_doc;
};

// The start screen shown while no data set is loaded (view/StartScreen.cpp).
void DrawStartScreen(Canvas& canvas);

// The panel of the loaded data set: data file, counts, variables with their ranges and
// the state of the active run (view/StatusPanel.cpp).
void DrawStatusPanel(CZELKDoc& doc, Canvas& canvas);

// The one-line progress text of the active run, or empty when no run is active. Used by
// the status bar and by the progress lines of the headless mode.
std::string RunProgressText(const CZELKDoc& doc);

}  // namespace zelk
