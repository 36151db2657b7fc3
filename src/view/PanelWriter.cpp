#include "view/PanelWriter.h"

#include <algorithm>

namespace zelk {

namespace {

bool Overlap(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

PanelLine* PanelWriter::Find(int key) {
    for (PanelLine& line : m_memo.lines)
        if (line.key == key) return &line;
    return nullptr;
}

void PanelWriter::Invalidate(const Rect& r, const PanelLine* except) {
    for (PanelLine& line : m_memo.lines)
        if (&line != except && line.valid && Overlap(line.box, r)) line.valid = false;
}

void PanelWriter::DrawLine(PanelLine& line) {
    if (!m_colorSet || !(m_canvasColor == line.color)) {
        m_canvas.SetTextColor(line.color);
        m_canvasColor = line.color;
        m_colorSet = true;
    }
    m_canvas.Text(line.x, line.y, line.text, line.rightAligned);
    const int w = m_canvas.TextWidth(line.text);
    const int left = line.rightAligned ? line.x - w : line.x;
    // One pixel either side for glyphs that reach past their advance.
    line.box = Rect{left - 1, line.y, left + w + 2, line.y + kTextBandHeight};
    line.valid = true;
}

void PanelWriter::Put(int key, int x, int y, const std::string& text, bool rightAligned) {
    PanelLine* line = Find(key);
    if (line != nullptr) {
        if (line->valid && line->x == x && line->y == y && line->rightAligned == rightAligned &&
            line->color == m_color && line->text == text)
            return;
        // Wipe the old text; neighbours it cut into are drawn again later.
        m_canvas.FillRect(line->box, kWhite);
        Invalidate(line->box, line);
    } else {
        m_memo.lines.emplace_back();
        line = &m_memo.lines.back();
        line->key = key;
    }
    line->x = x;
    line->y = y;
    line->rightAligned = rightAligned;
    line->text = text;
    line->color = m_color;
    DrawLine(*line);
}

void PanelWriter::Fill(const Rect& r) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    m_canvas.FillRect(r, kWhite);
    Invalidate(r, nullptr);
}

void PanelWriter::Wipe(const Rect& r) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    m_canvas.FillRect(r, kWhite);
    auto& lines = m_memo.lines;
    lines.erase(std::remove_if(lines.begin(), lines.end(), [&r](const PanelLine& l) { return Overlap(l.box, r); }),
                lines.end());
}

void PanelWriter::Finish() {
    // What is left of the cut lines is wiped first (a wipe that cuts into a neighbour makes
    // it one of them), then they are drawn whole on white.
    auto& lines = m_memo.lines;
    std::vector<char> wiped(lines.size(), 0);
    for (bool more = true; more;) {
        more = false;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].valid || wiped[i]) continue;
            m_canvas.FillRect(lines[i].box, kWhite);
            wiped[i] = 1;
            Invalidate(lines[i].box, &lines[i]);
            more = true;
        }
    }
    for (size_t i = 0; i < lines.size(); ++i)
        if (wiped[i]) DrawLine(lines[i]);
}

}  // namespace zelk
