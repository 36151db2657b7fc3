#include "platform/qt/ViewWidget.h"

#include <QPainter>
#include <QResizeEvent>

#include "app/Document.h"
#include "platform/qt/QtCanvas.h"
#include "view/View.h"

namespace zelk {

namespace {

// A canvas that draws nothing, of the image's size.
class NullCanvas : public Canvas {
public:
    explicit NullCanvas(QSize size) : m_rect{0, 0, size.width(), size.height()} {}
    void SetPen(PenStyle, int, Rgb) override {}
    void SetBrush(Rgb) override {}
    void SetFont(int, int) override {}
    void SetTextColor(Rgb) override {}
    void SetBackground(Rgb, bool) override {}
    void Text(int, int, const std::string&, bool) override {}
    void FillRect(const Rect&, Rgb) override {}
    void MoveTo(int, int) override {}
    void LineTo(int, int) override {}
    void Ellipse(const Rect&) override {}
    void SetPixel(int, int, Rgb) override {}
    Rect ClipBox() override { return m_rect; }
    Rect ClientRect() override { return m_rect; }

private:
    Rect m_rect;
};

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
            NullCanvas canvas(m_image.size());
            m_view.Draw(canvas);
        }
        if (!m_pending) break;
    }
    m_drawing = false;
    update();
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
    // A resize forces full draws for a while.
    m_view.Document().disp.bWasForeground = 0;
    Redraw();
}

}  // namespace zelk
