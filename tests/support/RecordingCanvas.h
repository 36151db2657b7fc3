// A Canvas that records every call, for asserting what is drawn where.
#pragma once

#include <string>
#include <vector>

#include "platform/Canvas.h"

namespace zelk {

struct DrawnText {
    int x, y;
    std::string text;
    bool rightAligned;
    Rgb color;
};
struct DrawnLine {
    int x1, y1, x2, y2;
};

class RecordingCanvas : public Canvas {
public:
    Rect client{0, 0, 1600, 1000};
    Rect clip{0, 0, 1600, 1000};
    std::vector<DrawnText> texts;
    std::vector<DrawnLine> lines;
    std::vector<Rect> filled;
    std::vector<Rect> ellipses;
    int pixels = 0;
    int fontPoints = 0, fontWeight = 0;

    const DrawnText* FindText(const std::string& s) const {
        for (const auto& t : texts)
            if (t.text == s) return &t;
        return nullptr;
    }

    void SetPen(PenStyle, int, Rgb) override {}
    void SetBrush(Rgb) override {}
    void SetFont(int points, int weight) override { fontPoints = points, fontWeight = weight; }
    void SetTextColor(Rgb c) override { m_textColor = c; }
    void SetBackground(Rgb, bool) override {}
    void Text(int x, int y, const std::string& s, bool right) override { texts.push_back({x, y, s, right, m_textColor}); }
    // A fixed-pitch model of the font: 7 pixels a character.
    int TextWidth(const std::string& s) override { return 7 * static_cast<int>(s.size()); }
    void FillRect(const Rect& r, Rgb) override { filled.push_back(r); }
    void MoveTo(int x, int y) override { m_x = x, m_y = y; }
    void LineTo(int x, int y) override {
        lines.push_back({m_x, m_y, x, y});
        m_x = x, m_y = y;
    }
    void Ellipse(const Rect& r) override { ellipses.push_back(r); }
    void SetPixel(int, int, Rgb) override { ++pixels; }
    Rect ClipBox() override { return clip; }
    Rect ClientRect() override { return client; }

private:
    int m_x = 0, m_y = 0;
    Rgb m_textColor = kBlack;
};

}  // namespace zelk
