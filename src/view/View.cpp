// The view's draw: the checks at its entry, the choice between a full and a partial draw,
// the progress-only draw, and the order in which the panels (and, over them, the surface
// map and the graphs) are drawn.
#include "view/View.h"

#include <cmath>

#include "app/Document.h"
#include "platform/Canvas.h"
#include "view/Panels.h"
#include "view/SurfaceMap.h"

namespace zelk {

namespace {

// The weights of the point the run stands at: the scan's grid point, else the optimiser's
// (or the replay's) current weights.
const Matrix& CurrentWeights(const CZELKDoc& doc) {
    return doc.runs.rsSurface.bRunning ? doc.scan.mCurW : doc.track.mDispW;
}

bool SameDate(const SystemTime& a, const SystemTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

// Whole seconds from `since` to `now` on the same date.
int SecondsBetween(const SystemTime& since, const SystemTime& now) {
    return ((now.hour - since.hour) * 60 - since.minute + now.minute) * 60 - since.second + now.second;
}

// True when some weight moved by more than 1e-11 or crossed 0 since the last draw.
bool WeightsMoved(const Matrix& w, const Matrix& last) {
    if (w.Size() != last.Size()) return true;
    for (int i = 0; i < w.Size(); ++i) {
        const double a = w.Data()[i], b = last.Data()[i];
        if (std::fabs(a - b) > 1e-11 || (a < 0) != (b < 0)) return true;
    }
    return false;
}

// Notes when the window came to the front, then decides: true for a full draw. A draw is
// partial (only what changed) while a run with three or four weights (or a surface scan)
// is past its first iterations and the window has been in front for at least 3 seconds;
// the moment of coming to the front is noted before the decision, so the first draws
// after it (and after a resize, which clears bWasForeground) are full.
bool DecideFull(CZELKDoc& doc, const RunCounters& rc) {
    DisplayState& d = doc.disp;
    const bool front = doc.platform.IsMainWindowForeground();
    const SystemTime now = doc.platform.Now();
    if (front && !d.bWasForeground) {
        d.iIterAtForeground = rc.iIter;
        d.tForegroundSince = now;
    }
    d.bWasForeground = front ? 1 : 0;

    const bool runActive = rc.kind >= 0;
    const int weights = CurrentWeights(doc).Size();
    const bool partial = (runActive || doc.runs.rsAutoScan.bRunning) && (!runActive || rc.iIter >= 2) &&
                         (weights == 3 || weights == 4 || doc.runs.rsSurface.bRunning) && doc.data.iNumVar != 2 &&
                         !d.bRedrawAll && !doc.opt.bAlwaysUpdateAll && SameDate(now, d.tForegroundSince) &&
                         SecondsBetween(d.tForegroundSince, now) >= 3 && front;
    return !partial;
}

// Default place and scale of the surface map, until keys or the mouse change them.
void DefaultMapPositions(CZELKDoc& doc) { ApplyDefaultMapPlace(doc.disp, doc.data.iNumVar); }

// The surface map and the graphs with the run's markers go here, over the panels. In a
// partial draw (full false) the markers of the last draw are erased first; `unchanged`
// tells that the run's point has not moved since then.
void DrawMapAndGraphs(CZELKDoc& doc, Canvas& canvas, bool full, bool /*unchanged*/, bool picture) {
    // The headless mode shows no map (nobody sees it), unless a picture is taken.
    if (picture || !doc.platform.IsHeadless()) DrawSurfaceMap(doc, canvas, !full);
}

}  // namespace

void CZELKView::OnSize() { m_doc.disp.bWasForeground = 0; }

void CZELKView::Draw(Canvas& canvas) {
    // A batch run pending or finished: the trigger starts it or closes the application,
    // and nothing is drawn.
    if (m_doc.BatchTrigger()) return;
    canvas.SetFont(kViewFontPoints, kViewFontWeight);

    const RunCounters rc = CountersOf(m_doc);
    const bool full = DecideFull(m_doc, rc);

    const Rect client = canvas.ClientRect();
    if (client.Width() <= 0 || client.Height() <= 0) return;

    if (m_doc.disp.bProgressOnly) {
        // Only the percentage of the iteration changed: its line alone is drawn again.
        canvas.SetBackground(kWhite, true);
        canvas.SetTextColor(kBlack);
        PanelWriter out(canvas, m_memo);
        PanelPass pass{m_doc, out, rc, canvas.ClipBox()};
        DrawRestartLine(pass);
        out.Finish();
        return;
    }
    DrawView(canvas, full, rc, false);
}

void CZELKView::DrawPicture(Canvas& canvas) {
    canvas.SetFont(kViewFontPoints, kViewFontWeight);
    const Rect client = canvas.ClientRect();
    if (client.Width() <= 0 || client.Height() <= 0) return;
    m_memo.Clear();
    DrawView(canvas, true, CountersOf(m_doc), true);
    // What the picture's draw noted as drawn is not on the window's picture.
    m_doc.disp.bRedrawAll = 1;
}

void CZELKView::DrawView(Canvas& canvas, bool full, const RunCounters& rc, bool picture) {
    canvas.SetBackground(kWhite, true);
    canvas.SetTextColor(kBlack);
    DefaultMapPositions(m_doc);
    if (m_doc.bNoData) {
        m_memo.Clear();
        DrawStartScreen(canvas);
        return;
    }
    DrawPanels(canvas, full, rc, picture);
}

bool CZELKView::DrawPanels(Canvas& canvas, bool full, const RunCounters& rc, bool picture) {
    CZELKDoc& doc = m_doc;
    DisplayState& d = doc.disp;
    const Rect clip = canvas.ClipBox();
    const Matrix& w = CurrentWeights(doc);
    const int repeat = doc.runs.rsNRT.bRunning ? doc.nrt.bRepeatForHessian : 0;
    PanelWriter out(canvas, m_memo);

    canvas.SetPen(PenStyle::Solid, 3, kWhite);
    canvas.SetBrush(kWhite);
    bool unchanged = true;
    if (full) {
        canvas.FillRect(clip, kWhite);
        m_memo.Clear();
        d.bRedrawAll = 0;
        unchanged = false;
    } else if (rc.kind < 0) {
        // Only the auto-scan moves the map: the lower left column is wiped.
        const int top = kLineHeight * d.iTopFreeLine + 10;
        out.Wipe(Rect{0, top, kOptionsX, top + 2000});
    } else {
        unchanged = !(rc.iIter != d.iLastIterDrawn || repeat != d.iLastRepeatDrawn || d.bPointReset ||
                      d.bRedrawPick || WeightsMoved(w, d.mLastDrawnW));
    }
    canvas.SetBackground(kWhite, false);
    // A pick ended or the Hessian's colouring changed: the point's lines were drawn again.
    d.bRedrawPick = 0;
    d.iLastIterDrawn = rc.iIter;
    d.iLastRepeatDrawn = repeat;
    d.bLastHighRes = doc.opt.bHighRes;

    PanelPass pass{doc, out, rc, clip, full, unchanged};
    DrawOptionBlock(pass, clip);
    const int k = DrawLeftColumn(pass);
    if (!DrawRunBlock(pass, k)) return false;  // the document reports the failure
    out.Finish();
    DrawMapAndGraphs(doc, canvas, full, unchanged, picture);
    d.mLastDrawnW = w;
    return true;
}

}  // namespace zelk
