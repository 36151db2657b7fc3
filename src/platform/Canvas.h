// The drawing door: what the view needs of a 2-D device. The Qt shell paints into a
// persistent image; tests record the calls.
#pragma once

#include <string>

namespace zelk {

struct Rgb {
    unsigned char r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kGrey{128, 128, 128};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

enum class PenStyle { Solid, Dotted };

// One pixel of a batch.
struct Pixel {
    int x = 0, y = 0;
    Rgb color;
};

class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void SetPen(PenStyle style, int width, Rgb color) = 0;
    virtual void SetBrush(Rgb color) = 0;
    // Point size and weight (700 = bold).
    virtual void SetFont(int pointSize, int weight) = 0;
    virtual void SetTextColor(Rgb color) = 0;
    virtual void SetBackground(Rgb color, bool opaque) = 0;
    // Text anchored at its top-left corner, or at its top-right corner when rightAligned.
    virtual void Text(int x, int y, const std::string& text, bool rightAligned = false) = 0;
    // Width in pixels of a text in the current font (the extent Text() covers).
    virtual int TextWidth(const std::string& text) = 0;
    virtual void FillRect(const Rect& r, Rgb color) = 0;
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual void Ellipse(const Rect& r) = 0;
    virtual void SetPixel(int x, int y, Rgb color) = 0;
    // A batch of single pixels (the points of the maps); pixels off the canvas are skipped.
    virtual void SetPixels(const Pixel* pixels, int count) {
        for (int i = 0; i < count; ++i) SetPixel(pixels[i].x, pixels[i].y, pixels[i].color);
    }
    virtual Rect ClipBox() = 0;
    virtual Rect ClientRect() = 0;
};

// A canvas that draws nothing, of a given size: for measuring what a draw would do.
class NullCanvas : public Canvas {
public:
    explicit NullCanvas(Rect size = Rect{}) : m_rect(size) {}
    void SetPen(PenStyle, int, Rgb) override {}
    void SetBrush(Rgb) override {}
    void SetFont(int, int) override {}
    void SetTextColor(Rgb) override {}
    void SetBackground(Rgb, bool) override {}
    void Text(int, int, const std::string&, bool) override {}
    int TextWidth(const std::string&) override { return 0; }
    void FillRect(const Rect&, Rgb) override {}
    void MoveTo(int, int) override {}
    void LineTo(int, int) override {}
    void Ellipse(const Rect&) override {}
    void SetPixel(int, int, Rgb) override {}
    void SetPixels(const Pixel*, int) override {}
    Rect ClipBox() override { return m_rect; }
    Rect ClientRect() override { return m_rect; }

private:
    Rect m_rect;
};

}  // namespace zelk
