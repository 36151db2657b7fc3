#include "platform/qt/QtCanvas.h"

#include <QFontMetrics>

namespace zelk {

namespace {

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

}  // namespace

QtCanvas::QtCanvas(QImage& image) : m_image(image) {
    // Take the scan lines before the painter starts, so that SetPixel never detaches.
    m_bits = m_image.bits();
    m_bytesPerLine = m_image.bytesPerLine();
    m_painter.begin(&m_image);
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
    m_pen = QPen(Qt::black, 1, Qt::SolidLine);
    m_pen.setCosmetic(true);
    m_painter.setPen(m_pen);
    m_painter.setBrush(Qt::white);
    m_painter.setBackground(Qt::white);
    m_painter.setBackgroundMode(Qt::OpaqueMode);
}

QtCanvas::~QtCanvas() {
    if (m_painter.isActive()) m_painter.end();
}

int QtCanvas::PixelSizeForPoints(int points) const {
    const int dpi = m_image.logicalDpiY() > 0 ? m_image.logicalDpiY() : 96;
    return (points * dpi + 36) / 72;  // rounded, as the text font's height is computed
}

void QtCanvas::SetPen(PenStyle style, int width, Rgb color) {
    m_pen = QPen(ToQColor(color), width, style == PenStyle::Dotted ? Qt::DotLine : Qt::SolidLine,
                 Qt::RoundCap, Qt::RoundJoin);
    m_pen.setCosmetic(true);
    m_painter.setPen(m_pen);
}

void QtCanvas::SetBrush(Rgb color) { m_painter.setBrush(ToQColor(color)); }

void QtCanvas::SetFont(int pointSize, int weight) {
    QFont font = m_painter.font();
    font.setPixelSize(PixelSizeForPoints(pointSize));
    font.setWeight(weight >= 600 ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    m_painter.setFont(font);
}

void QtCanvas::SetTextColor(Rgb color) { m_textColor = ToQColor(color); }

void QtCanvas::SetBackground(Rgb color, bool opaque) {
    m_painter.setBackground(ToQColor(color));
    m_painter.setBackgroundMode(opaque ? Qt::OpaqueMode : Qt::TransparentMode);
}

void QtCanvas::Text(int x, int y, const std::string& text, bool rightAligned) {
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QFontMetrics fm(m_painter.font());
    const int width = fm.horizontalAdvance(s);
    const int left = rightAligned ? x - width : x;
    if (m_painter.backgroundMode() == Qt::OpaqueMode)
        m_painter.fillRect(QRect(left, y, width, fm.height()), m_painter.background());
    m_painter.save();
    m_painter.setPen(m_textColor);
    m_painter.setBackgroundMode(Qt::TransparentMode);
    m_painter.drawText(QPoint(left, y + fm.ascent()), s);
    m_painter.restore();
}

void QtCanvas::FillRect(const Rect& r, Rgb color) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    m_painter.fillRect(QRect(r.left, r.top, r.Width(), r.Height()), ToQColor(color));
}

void QtCanvas::MoveTo(int x, int y) { m_pos = QPoint(x, y); }

void QtCanvas::LineTo(int x, int y) {
    const QPoint to(x, y);
    m_painter.drawLine(m_pos, to);
    m_pos = to;
}

void QtCanvas::Ellipse(const Rect& r) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    // The bounding box excludes its right and bottom edges.
    m_painter.drawEllipse(QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)));
}

void QtCanvas::SetPixel(int x, int y, Rgb color) {
    if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height() || !m_bits) return;
    reinterpret_cast<QRgb*>(m_bits + y * m_bytesPerLine)[x] = qRgb(color.r, color.g, color.b);
}

void QtCanvas::SetPixels(const Pixel* pixels, int count) {
    if (!m_bits) return;
    const unsigned w = static_cast<unsigned>(m_image.width()), h = static_cast<unsigned>(m_image.height());
    for (int i = 0; i < count; ++i) {
        const Pixel& p = pixels[i];
        // One unsigned comparison per axis also refuses negative coordinates.
        if (static_cast<unsigned>(p.x) >= w || static_cast<unsigned>(p.y) >= h) continue;
        reinterpret_cast<QRgb*>(m_bits + p.y * m_bytesPerLine)[p.x] = qRgb(p.color.r, p.color.g, p.color.b);
    }
}

Rect QtCanvas::ClipBox() { return ClientRect(); }

Rect QtCanvas::ClientRect() { return Rect{0, 0, m_image.width(), m_image.height()}; }

}  // namespace zelk
