// The text panels of a loaded data set, drawn in this order by the view: the option block
// on the right, the left column, the run block under it and the v column beside it.
#pragma once

#include <string>

#include "base/Matrix.h"
#include "view/PanelWriter.h"
#include "view/View.h"

namespace zelk {

class CZELKDoc;

constexpr int kLeftX = 10;
constexpr int kOptionsX = 660;
constexpr int kLineHeight = 20;
// Left-column line k sits at this y.
inline int LineY(int k) { return 10 + kLineHeight * k; }

// What a draw of the panels works with.
struct PanelPass {
    CZELKDoc& doc;
    PanelWriter& out;
    const RunCounters& rc;
    Rect clip;
    bool full = false;       // the picture was cleared for this draw
    bool unchanged = false;  // a partial draw in which the run's point did not move
};

// The option block at x = 660, then the wipes that follow it.
void DrawOptionBlock(PanelPass& pass, const Rect& clip);
// Lines 0 to 14 and the current-row table; returns the line the run block counts on from.
int DrawLeftColumn(PanelPass& pass);
// The Random-restart line (line 12) with its strip; also the progress-only draw.
void DrawRestartLine(PanelPass& pass);
// The run block from line k, and the v column beside it. False when the draw must stop
// (the failure is in doc.disp.sDrawFault).
bool DrawRunBlock(PanelPass& pass, int k);

// --- texts (view/PanelText.cpp)
// prefix + "<" + entries joined by "," + ">" (or the given brackets).
std::string ListText(const std::string& prefix, const double* v, int n, const char* fmt, char open = '<',
                     char close = '>');
inline std::string ListText(const std::string& prefix, const Matrix& m, const char* fmt) {
    return ListText(prefix, m.Data(), m.Size(), fmt);
}
// prefix + path + suffix, with the middle of the path given up for "..." when the whole
// would reach past maxRight from x.
std::string FitPathLine(PanelWriter& out, int x, int maxRight, const std::string& prefix, const std::string& path,
                        const std::string& suffix);

}  // namespace zelk
