#include "platform/qt/QtCanvas.h"

#include <QFontMetrics>
#include <QTextLayout>
#include <QtMath>

namespace zelk {

namespace {

QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

QString ToQString(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The panels' layout was made for a narrow sans serif; DejaVu Sans Condensed is one that
// is on every machine the program is installed on (fonts-dejavu-extra).
const QStringList& PanelFontFamilies() {
    static const QStringList families{"DejaVu Sans Condensed", "Liberation Sans", "Arial", "DejaVu Sans"};
    return families;
}

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
    font.setFamilies(PanelFontFamilies());
    font.setPixelSize(PixelSizeForPoints(pointSize));
    font.setWeight(weight >= 600 ? QFont::Bold : QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    m_painter.setFont(font);
    m_metrics = QFontMetrics(m_painter.font());
    m_lastWidth = -1;
}

void QtCanvas::SetTextColor(Rgb color) { m_textColor = ToQColor(color); }

void QtCanvas::SetBackground(Rgb color, bool opaque) {
    m_painter.setBackground(ToQColor(color));
    m_painter.setBackgroundMode(opaque ? Qt::OpaqueMode : Qt::TransparentMode);
}

int QtCanvas::TextWidth(const std::string& text) {
    // The view asks for the width of the line it has just drawn: shaped once, not twice.
    if (m_lastWidth >= 0 && text == m_lastText) return m_lastWidth;
    m_lastText = text;
    m_lastWidth = m_metrics.horizontalAdvance(ToQString(text));
    return m_lastWidth;
}

void QtCanvas::Text(int x, int y, const std::string& text, bool rightAligned) {
    // One layout gives both the width and the glyphs, laid out from the top-left corner.
    QTextLayout layout(ToQString(text), m_painter.font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    const int width = qCeil(line.horizontalAdvance());
    m_lastText = text;
    m_lastWidth = width;

    const int left = rightAligned ? x - width : x;
    const bool opaque = m_painter.backgroundMode() == Qt::OpaqueMode;
    if (opaque) {
        m_painter.fillRect(QRect(left, y, width, m_metrics.height()), m_painter.background());
        m_painter.setBackgroundMode(Qt::TransparentMode);
    }
    m_painter.setPen(m_textColor);
    layout.draw(&m_painter, QPointF(left, y));
    m_painter.setPen(m_pen);
    if (opaque) m_painter.setBackgroundMode(Qt::OpaqueMode);
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
