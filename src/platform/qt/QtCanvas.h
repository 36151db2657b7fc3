// The Canvas of the window: paints into a persistent QImage. Shapes and text go through
// a QPainter without anti-aliasing (an erase pass in white covers exactly what was drawn);
// single pixels are written straight into the image's scan lines.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "platform/Canvas.h"

namespace zelk {

class QtCanvas : public Canvas {
public:
    // The image must be in QImage::Format_RGB32 or Format_ARGB32(_Premultiplied) and
    // outlive the canvas. Painting ends when the canvas is destroyed.
    explicit QtCanvas(QImage& image);
    ~QtCanvas() override;
    QtCanvas(const QtCanvas&) = delete;
    QtCanvas& operator=(const QtCanvas&) = delete;

    void SetPen(PenStyle style, int width, Rgb color) override;
    void SetBrush(Rgb color) override;
    void SetFont(int pointSize, int weight) override;
    void SetTextColor(Rgb color) override;
    void SetBackground(Rgb color, bool opaque) override;
    void Text(int x, int y, const std::string& text, bool rightAligned = false) override;
    int TextWidth(const std::string& text) override;
    void FillRect(const Rect& r, Rgb color) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Ellipse(const Rect& r) override;
    void SetPixel(int x, int y, Rgb color) override;
    void SetPixels(const Pixel* pixels, int count) override;
    Rect ClipBox() override;
    Rect ClientRect() override;

    // Pixel size of a font of the given point size on this image (its logical DPI).
    int PixelSizeForPoints(int points) const;

private:
    QImage& m_image;
    uchar* m_bits = nullptr;
    qsizetype m_bytesPerLine = 0;
    QPainter m_painter;
    QPen m_pen;
    QFontMetrics m_metrics{QFont()};
    std::string m_lastText;  // the last text measured or drawn, and its width
    int m_lastWidth = -1;
    QColor m_textColor = Qt::black;
    QPoint m_pos;
};

}  // namespace zelk
