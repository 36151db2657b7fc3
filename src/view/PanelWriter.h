// The text lines of the panels as they stand on the picture, and the writer that puts
// lines there. The picture persists between draws and a partial draw does not clear it,
// so the writer remembers every line it drew (its place, text, colour and box): a line
// whose text is unchanged is skipped, a changed one has its old box wiped before the new
// text is drawn, and a line that a wipe of the draw cut into is drawn again whole.
#pragma once

#include <string>
#include <vector>

#include "platform/Canvas.h"

namespace zelk {

// Height of the band a text line covers below its top (the 8-point font is 13 pixels high
// at 96 dpi; lines are 20 pixels apart).
constexpr int kTextBandHeight = 18;

struct PanelLine {
    int key = 0;  // which line this is (PanelKey)
    int x = 0, y = 0;
    bool rightAligned = false;
    std::string text;
    Rgb color;
    Rect box;  // what the text covers
    bool valid = true;  // false once a wipe cut into the box
};

struct PanelMemo {
    std::vector<PanelLine> lines;
    void Clear() { lines.clear(); }
};

// A line's identity: its row (y) and a slot on that row. Slots: 0 the left column (x = 10
// and the run block), 1 the option block, 2 the v column, 3 a table row, 10+c the header
// field of table column c.
inline int PanelKey(int y, int slot) { return y * 1024 + slot; }
enum PanelSlot { kSlotLeft = 0, kSlotOptions = 1, kSlotV = 2, kSlotTableRow = 3, kSlotHeader = 10 };

class PanelWriter {
public:
    PanelWriter(Canvas& canvas, PanelMemo& memo) : m_canvas(canvas), m_memo(memo) {}

    // Colour of the lines put from now on.
    void SetColor(Rgb color) { m_color = color; }
    // Puts a line at (x, y), anchored top-left (or top-right). An unchanged, untouched line
    // is left as it is.
    void Put(int key, int x, int y, const std::string& text, bool rightAligned = false);
    // Fills with white; lines it cuts into are drawn again by Finish() unless put anew.
    void Fill(const Rect& r);
    // Fills with white and forgets the lines it cuts into (a wipe meant to remove them).
    void Wipe(const Rect& r);
    // Draws again the lines that a fill cut into and that were not put anew.
    void Finish();
    int Width(const std::string& text) { return m_canvas.TextWidth(text); }

private:
    PanelLine* Find(int key);
    void DrawLine(PanelLine& line);
    void Invalidate(const Rect& r, const PanelLine* except);

    Canvas& m_canvas;
    PanelMemo& m_memo;
    Rgb m_color = kBlack;
    bool m_colorSet = false;
    Rgb m_canvasColor = kBlack;
};

}  // namespace zelk
