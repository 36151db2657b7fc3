// The widget of the view: owns the persistent image the view draws into. Every redraw of
// the document draws into the image at once; paint events only copy the image.
#pragma once

#include <QImage>
#include <QWidget>

namespace zelk {

class CZELKView;

class ViewWidget : public QWidget {
    Q_OBJECT
public:
    ViewWidget(CZELKView& view, QWidget* parent = nullptr);

    // Draws the view into the image now (a call made while a draw is running is done
    // right after it), then schedules the blit.
    void Redraw();
    const QImage& Image() const { return m_image; }
    // Sizes the image (kept content, new area white) without drawing.
    void ResizeImage(const QSize& size);
    // Off: the view still runs every draw (it acts on the batch switches) but paints
    // nothing (the headless mode, where no one looks at the image).
    void SetPaintImage(bool on) { m_paintImage = on; }

signals:
    // A draw into the image has finished (the status bar reads the same counters now).
    void Drawn();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The keys and the mouse go to the view's controls.
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    CZELKView& m_view;
    QImage m_image;
    bool m_drawing = false;
    bool m_pending = false;
    bool m_paintImage = true;
};

}  // namespace zelk
