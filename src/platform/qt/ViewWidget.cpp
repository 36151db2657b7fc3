#include "platform/qt/ViewWidget.h"

#include <QPainter>
#include <QResizeEvent>

#include "app/Document.h"
#include "platform/qt/QtCanvas.h"
#include "view/View.h"

namespace zelk {

namespace {


}  // namespace

ViewWidget::ViewWidget(CZELKView& view, QWidget* parent) : QWidget(parent), m_view(view) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
    ResizeImage(QSize(1600, 1000));
}

void ViewWidget::ResizeImage(const QSize& size) {
    if (size.isEmpty() || size == m_image.size()) return;
    QImage next(size, QImage::Format_RGB32);
    next.fill(Qt::white);
    if (!m_image.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, m_image);
    }
    m_image = next;
}

void ViewWidget::Redraw() {
    if (m_drawing) {
        // A redraw requested by something the draw itself did (a message, an emptied
        // document): draw again once the running draw has finished.
        m_pending = true;
        return;
    }
    m_drawing = true;
    for (int round = 0; round < 4; ++round) {
        m_pending = false;
        if (m_paintImage) {
            QtCanvas canvas(m_image);
            m_view.Draw(canvas);
        } else {
            NullCanvas canvas(Rect{0, 0, m_image.width(), m_image.height()});
            m_view.Draw(canvas);
        }
        if (!m_pending) break;
    }
    m_drawing = false;
    update();
    emit Drawn();
    // A consistency failure met by the draw is reported now that the draw has returned.
    m_view.Document().ReportDrawFault();
}

void ViewWidget::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect r = event->rect();
    p.drawImage(r, m_image, r);
    // Outside the image (a widget larger than the image for a moment): white.
    const QRegion outside = QRegion(r).subtracted(QRegion(m_image.rect()));
    for (const QRect& o : outside) p.fillRect(o, Qt::white);
}

void ViewWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (event->size().isEmpty()) return;
    ResizeImage(event->size());
    m_view.OnSize();
    Redraw();
}

}  // namespace zelk
