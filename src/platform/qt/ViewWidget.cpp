#include "platform/qt/ViewWidget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include "app/Document.h"
#include "platform/qt/QtCanvas.h"
#include "view/Controls.h"
#include "view/View.h"

namespace zelk {

namespace {

bool VirtualKeyOf(int key, VirtualKey& out) {
    switch (key) {
        case Qt::Key_Escape: out = VirtualKey::Escape; return true;
        case Qt::Key_Up: out = VirtualKey::Up; return true;
        case Qt::Key_Down: out = VirtualKey::Down; return true;
        case Qt::Key_Left: out = VirtualKey::Left; return true;
        case Qt::Key_Right: out = VirtualKey::Right; return true;
        case Qt::Key_PageUp: out = VirtualKey::PageUp; return true;
        case Qt::Key_PageDown: out = VirtualKey::PageDown; return true;
        case Qt::Key_Insert: out = VirtualKey::Insert; return true;
        case Qt::Key_Delete: out = VirtualKey::Delete; return true;
        case Qt::Key_Home: out = VirtualKey::Home; return true;
        case Qt::Key_Space: out = VirtualKey::Space; return true;
        default: return false;
    }
}

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

namespace zelk {

void ViewWidget::keyPressEvent(QKeyEvent* event) {
    CZELKDoc& doc = m_view.Document();
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    bool handled = false;
    VirtualKey key;
    if (VirtualKeyOf(event->key(), key)) handled = OnKeyDown(doc, key, ctrl);
    // A key may also give a character; with Ctrl or Alt it is a shortcut, not a character.
    const QString text = event->text();
    if (!ctrl && !(event->modifiers() & Qt::AltModifier) && text.size() == 1) {
        const char16_t c = text.at(0).unicode();
        if (c > 32 && c < 127 && OnChar(doc, static_cast<int>(c))) handled = true;
    }
    if (handled)
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void ViewWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::RightButton)
        OnRightButtonDown(m_view.Document(), at.x(), at.y());
    else if (event->button() == Qt::LeftButton)
        OnLeftButtonDown(m_view.Document(), at.x(), at.y());
    QWidget::mousePressEvent(event);
}

void ViewWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) OnRightButtonUp(m_view.Document());
    QWidget::mouseReleaseEvent(event);
}

void ViewWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    OnMouseMove(m_view.Document(), at.x(), at.y());
    QWidget::mouseMoveEvent(event);
}

}  // namespace zelk
