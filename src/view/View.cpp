#include "view/View.h"

#include "app/Document.h"
#include "platform/Canvas.h"
#include "view/SurfaceMap.h"

namespace zelk {

void CZELKView::Draw(Canvas& canvas) {
    // A batch run pending or finished: the trigger starts it or closes the application,
    // and nothing is drawn.
    if (m_doc.BatchTrigger()) return;

    canvas.SetFont(kViewFontPoints, kViewFontWeight);

    const Rect client = canvas.ClientRect();
    if (client.Width() <= 0 || client.Height() <= 0) return;

    canvas.SetBackground(kWhite, true);
    canvas.SetTextColor(kBlack);

    if (m_doc.bNoData) {
        DrawStartScreen(canvas);
        return;
    }
    DrawStatusPanel(m_doc, canvas);
    // The panel has cleared the window: the map is drawn whole (the headless mode shows
    // no map).
    if (!m_doc.platform.IsHeadless()) DrawSurfaceMap(m_doc, canvas, false);
}

}  // namespace zelk
