// The furniture of the surface map: the open frame of the Lu curve, the triangle with its
// ticks and grid lines, the cloud's axes, and what a run draws over the map (rings, dots
// and gradient arrows), recorded so that the next partial draw can paint it over.
#include <cmath>
#include <string>

#include "base/Format.h"
#include "view/MapParts.h"

namespace zelk {
namespace mapdraw {

namespace {

// Gradients whose components are all below this are not drawn.
constexpr double kZeroGradient = 1e-8;
// The longest arrow on the flat maps, in pixels, and in weight units on the cloud.
constexpr double kMaxFlatArrow = 100;
constexpr double kMaxCloudArrow = 2;

void Line(Canvas& c, double x1, double y1, double x2, double y2) {
    c.MoveTo(ToPixel(x1), ToPixel(y1));
    c.LineTo(ToPixel(x2), ToPixel(y2));
}

using Labels = std::vector<MapLabel>;

void Label(Labels& out, double x, double y, const std::string& s, bool right = false) {
    out.push_back(MapLabel{ToPixel(x), ToPixel(y), s, right});
}

// The strips below and left of the flat maps, cleared before their ticks are written.
void ClearStrips(Canvas& c, const MapGeometry& g) {
    c.FillRect(Rect{ToPixel(g.ox), ToPixel(g.oy + 10), ToPixel(g.ox + 500), ToPixel(g.oy + 150)}, kWhite);
    c.FillRect(Rect{ToPixel(g.ox - 70), ToPixel(g.oy - g.sy), ToPixel(g.ox - 10), ToPixel(g.oy + 10)}, kWhite);
}

void CurveFrame(Canvas& c, const MapGeometry& g, Labels& labels) {
    const double ox = g.ox, oy = g.oy, sx = g.sx, sy = g.sy;
    c.SetPen(PenStyle::Solid, 1, kBlack);
    c.MoveTo(ToPixel(ox), ToPixel(oy - sy));
    c.LineTo(ToPixel(ox), ToPixel(oy));
    c.LineTo(ToPixel(ox + sx), ToPixel(oy));
    c.LineTo(ToPixel(ox + sx), ToPixel(oy - sy));
    ClearStrips(c, g);
    const char* const texts[] = {"0", "1", "2"};
    for (int k = 0; k < 3; ++k) {
        const double x = ox + k * sx / 2;
        Line(c, x, oy, x, oy + 10);
        Label(labels, x - 3, oy + 20, texts[k]);
    }
    Line(c, ox, oy, ox - 10, oy);
    Label(labels, ox - 20, oy - 6, "Min(Lu)", true);
    Line(c, ox, oy - sy, ox - 10, oy - sy);
    Label(labels, ox - 20, oy - sy - 6, "Max(Lu)", true);
}

void TriangleFrame(Canvas& c, const CZELKDoc& doc, const MapGeometry& g, Labels& labels) {
    const double ox = g.ox, oy = g.oy, sx = g.sx, sy = g.sy;
    const bool grid = doc.disp.bGridLines != 0;
    c.SetPen(PenStyle::Solid, 1, kBlack);
    c.MoveTo(ToPixel(ox), ToPixel(oy - sy));
    c.LineTo(ToPixel(ox), ToPixel(oy));
    c.LineTo(ToPixel(ox + sx), ToPixel(oy));
    c.LineTo(ToPixel(ox), ToPixel(oy - sy));
    ClearStrips(c, g);
    const char* const texts[] = {"0", "1", "2", "3"};
    for (int k = 0; k <= 3; ++k) {
        // w1 ticks, up to the slanted edge with grid lines.
        const double x = ox + k * sx / 3;
        Line(c, x, grid ? oy - (3 - k) * sy / 3 : oy, x, oy + 10);
        Label(labels, x - 3, oy + 20, texts[k]);
        // w2 ticks.
        const double y = oy - k * sy / 3;
        Line(c, grid ? ox + (3 - k) * sx / 3 : ox, y, ox - 10, y);
        Label(labels, ox - 30, y - 6, texts[k]);
    }
    const StringList names = doc.data.AnalysisNames();
    if (names.size() >= 2) {
        Label(labels, ox, oy + 50, names[0]);
        // Above the top of the w2 axis, clear of its label "3".
        Label(labels, ox - 50, oy - sy - 30, names[1]);
    }
}

struct Dir {
    double x = 0, y = 0;
};

Dir Unit(double x, double y) {
    const double l = std::hypot(x, y);
    if (!(l > 1e-9)) return Dir{};
    return Dir{x / l, y / l};
}

// Text placed beside a point in the direction d: right-aligned when d points left, above
// the point when d points up (the text's top-left anchor is moved by its size, about 7
// pixels a character and 12 pixels high).
void LabelToward(Labels& c, ScreenPoint p, Dir d, const std::string& s) {
    const double width = 7.0 * s.size();
    double x = p.x, y = p.y - 6;
    bool right = false;
    if (d.x < -0.4)
        right = true;
    else if (d.x <= 0.4)
        x -= width / 2;
    if (d.y < -0.4)
        y = p.y - 13;
    else if (d.y > 0.4)
        y = p.y + 1;
    Label(c, x, y, s, right);
}

void CloudAxes(Canvas& c, const CZELKDoc& doc, const MapGeometry& g, Labels& labels) {
    const CloudProjection P(g);
    const ScreenPoint o = P(0, 0, 0);
    if (!o.ok) return;
    const double ends[3][3] = {{5, 0, 0}, {0, 5, 0}, {0, 0, 5}};
    ScreenPoint end[3];
    Dir u[3];
    for (int a = 0; a < 3; ++a) {
        end[a] = P(ends[a][0], ends[a][1], ends[a][2]);
        u[a] = end[a].ok ? Unit(end[a].x - o.x, end[a].y - o.y) : Dir{};
    }
    c.SetPen(PenStyle::Solid, 1, kBlack);
    const StringList names = doc.data.AnalysisNames();
    for (int a = 0; a < 3; ++a) {
        if (!end[a].ok) continue;
        Line(c, o.x, o.y, end[a].x, end[a].y);
        if (a < static_cast<int>(names.size()))
            LabelToward(labels, ScreenPoint{end[a].x + 8 * u[a].x, end[a].y + 8 * u[a].y, true}, u[a], names[a]);
        // Ticks at the whole weights 1..4, across the axis; their labels on the side away
        // from the other two axes.
        Dir n{-u[a].y, u[a].x};
        const Dir others{u[(a + 1) % 3].x + u[(a + 2) % 3].x, u[(a + 1) % 3].y + u[(a + 2) % 3].y};
        if (n.x * others.x + n.y * others.y > 0) n = Dir{-n.x, -n.y};
        for (int k = 1; k <= 4; ++k) {
            double w[3] = {0, 0, 0};
            w[a] = k;
            const ScreenPoint t = P(w[0], w[1], w[2]);
            if (!t.ok) continue;
            Line(c, t.x - 4 * n.x, t.y - 4 * n.y, t.x + 4 * n.x, t.y + 4 * n.y);
            LabelToward(labels, ScreenPoint{t.x + 9 * n.x, t.y + 9 * n.y, true}, n, Format("%d", k));
        }
    }
    // "0" at the origin, on the side away from the three axes.
    const Dir away = Unit(-(u[0].x + u[1].x + u[2].x), -(u[0].y + u[1].y + u[2].y));
    const Dir d = away.x == 0 && away.y == 0 ? Dir{-1, 0} : away;
    LabelToward(labels, ScreenPoint{o.x + 8 * d.x, o.y + 8 * d.y, true}, d, "0");
}

bool IsZero(const double* g, int n) {
    for (int k = 0; k < n; ++k)
        if (!(std::fabs(g[k]) < kZeroGradient)) return false;
    return true;
}

// The last row of a history as a pointer to its K entries, or null.
const double* LastRow(const Matrix& m, int K) {
    if (m.Rows() == 0 || m.Cols() != K) return nullptr;
    return m.Row(m.Rows() - 1);
}

// A gradient arrow from weights w: on the flat map (mult g1, mult g2) in pixels up to 100;
// on the cloud to the projection of w + mult g, the step at most 2 long in weight space.
void GradientArrow(Overlay& o, const MapScene& s, const double* w, const double* g, PenStyle shaft) {
    const double mult = s.doc.opt.dMultAxes;
    const ScreenPoint from = s.Place(w);
    if (!from.ok) return;
    if (s.K == 3) {
        o.Arrow(from, FlatArrowTip(from, g[0], g[1], mult), shaft);
        return;
    }
    double d[3] = {mult * g[0], mult * g[1], mult * g[2]};
    const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (!std::isfinite(len)) return;
    if (len > kMaxCloudArrow)
        for (double& x : d) x *= kMaxCloudArrow / len;
    const CloudProjection P(s.geo);
    const ScreenPoint tip = P(w[0] + d[0], w[1] + d[1], w[2] + d[2]);
    if (tip.ok) o.Arrow(from, tip, shaft);
}

}  // namespace

const double* Column(const Matrix& m, int K) {
    if (m.Rows() != K || m.Cols() != 1) return nullptr;
    return m.Data();
}

ScreenPoint MapScene::Place(const double* w) const {
    switch (K) {
        case 2: return ScreenPoint{geo.ox + w[0] * geo.sx / 2, geo.oy, true};
        case 3: return TrianglePoint(geo, w[0], w[1]);
        case 4: return CloudProjection(geo)(w[0], w[1], w[2]);
        default: return ScreenPoint{0, 0, false};
    }
}

void Overlay::Ring(ScreenPoint p, Rgb pen, Rgb dot) {
    if (!p.ok) return;
    const int x = ToPixel(p.x), y = ToPixel(p.y);
    m_canvas.SetPen(PenStyle::Solid, 1, pen);
    m_canvas.SetBrush(kWhite);
    m_canvas.Ellipse(Rect{x - 4, y - 4, x + 4, y + 4});
    m_canvas.SetBrush(dot);
    m_canvas.Ellipse(Rect{x - 1, y - 1, x + 1, y + 1});
    m_record.push_back(MapStroke{MapStroke::Kind::Ring, x - 4, y - 4, x + 4, y + 4, 1});
}

void Overlay::Segment(ScreenPoint a, ScreenPoint b, int width, PenStyle style) {
    const int x1 = ToPixel(a.x), y1 = ToPixel(a.y), x2 = ToPixel(b.x), y2 = ToPixel(b.y);
    m_canvas.SetPen(style, width, kBlack);
    m_canvas.MoveTo(x1, y1);
    m_canvas.LineTo(x2, y2);
    m_record.push_back(MapStroke{MapStroke::Kind::Line, x1, y1, x2, y2, width});
}

void Overlay::Arrow(ScreenPoint from, ScreenPoint tip, PenStyle shaft) {
    Segment(from, tip, 1, shaft);
    const double len = std::hypot(tip.x - from.x, tip.y - from.y);
    if (!(len > 1e-9) || !std::isfinite(len)) return;
    const double ux = (tip.x - from.x) / len, uy = (tip.y - from.y) / len;
    auto back = [&](double k) { return ScreenPoint{tip.x - k * ux, tip.y - k * uy, true}; };
    Segment(back(2), back(4), 2);
    Segment(back(4), back(6), 3);
}

void EraseStrokes(Canvas& c, const std::vector<MapStroke>& strokes) {
    c.SetBrush(kWhite);
    for (const MapStroke& s : strokes) {
        if (s.kind == MapStroke::Kind::Ring) {
            c.SetPen(PenStyle::Solid, 3, kWhite);
            c.Ellipse(Rect{s.x1, s.y1, s.x2, s.y2});
        } else {
            c.SetPen(PenStyle::Solid, s.width > 1 ? 9 : 3, kWhite);
            c.MoveTo(s.x1, s.y1);
            c.LineTo(s.x2, s.y2);
        }
    }
}

ScreenPoint FlatArrowTip(ScreenPoint from, double g1, double g2, double mult) {
    double dx = mult * g1, dy = mult * g2;
    const double len = std::hypot(dx, dy);
    if (!std::isfinite(len)) return from;
    if (len >= kMaxFlatArrow) {
        dx *= kMaxFlatArrow / len;
        dy *= kMaxFlatArrow / len;
    }
    return ScreenPoint{from.x + dx, from.y - dy, true};
}

std::vector<MapLabel> DrawFrameLines(Canvas& c, const MapScene& s) {
    Labels labels;
    switch (s.K) {
        case 2: CurveFrame(c, s.geo, labels); break;
        case 3: TriangleFrame(c, s.doc, s.geo, labels); break;
        case 4: CloudAxes(c, s.doc, s.geo, labels); break;
        default: break;
    }
    return labels;
}

void DrawFrame(Canvas& c, const MapScene& s) {
    const Labels labels = DrawFrameLines(c, s);
    c.SetTextColor(kBlack);
    for (const MapLabel& l : labels) c.Text(l.x, l.y, l.text, l.rightAligned);
    // The legend of the curve goes on in grey.
    if (s.K == 2) c.SetTextColor(kGrey);
}

std::vector<Rect> FrameLabelAreas(const MapScene& s) {
    // The labels' places without drawing: the frame drawn on a canvas that keeps nothing.
    NullCanvas nothing;
    std::vector<Rect> out;
    for (const MapLabel& l : DrawFrameLines(nothing, s)) {
        // At most about 9 pixels a character of the 8-point bold font, 12 pixels high.
        const int width = 9 * static_cast<int>(l.text.size()) + 2;
        const int left = l.rightAligned ? l.x - width : l.x - 2;
        out.push_back(Rect{left, l.y - 3, left + width + 4, l.y + 16});
    }
    return out;
}

void DrawMinimum(Overlay& o, const MapScene& s) {
    if (!s.surfaceFile) return;
    o.Ring(s.Place(s.doc.surf.mMinLuW.Data()), kBlack, kBlack);
}

void DrawRunMarkers(Overlay& o, const MapScene& s) {
    const CZELKDoc& doc = s.doc;
    const RunTrack& t = doc.track;
    const int K = s.K;
    const double* cur = s.current ? s.current->Data() : nullptr;
    if (K == 2) {
        // The curve's axis shows where the run is.
        if (cur) o.Ring(s.Place(cur), kBlack, kBlack);
        return;
    }
    const double* preset = Column(t.mDispPresetW, K);
    if (preset && s.level != 3) o.Ring(s.Place(preset), kGrey, kGrey);
    if (cur == nullptr) return;

    const double* grad = Column(t.mDispGradW, K);
    if (doc.disp.bMouseDrag) {
        // A pick in progress: where the run's history stands, and its gradient.
        const double* hw = LastRow(t.mWHist, K);
        if (hw && (std::fabs(hw[0] - cur[0]) >= 1e-8 || std::fabs(hw[1] - cur[1]) >= 1e-8)) {
            o.Ring(s.Place(hw), kBlack, kBlack);
            const double* hg = LastRow(t.mGwHist, K);
            bool differs = hg != nullptr && grad == nullptr;
            if (hg && grad)
                for (int k = 0; k < K; ++k) differs = differs || std::fabs(hg[k] - grad[k]) >= 1e-8;
            if (hg && differs && !IsZero(hg, K)) GradientArrow(o, s, hw, hg, PenStyle::Solid);
        }
    }
    const double* gv = Column(t.mDispGradV, K - 1);
    if (gv && !IsZero(gv, K - 1)) GradientArrow(o, s, cur, gv, PenStyle::Dotted);
    o.Ring(s.Place(cur), kBlack, kBlack);
    if (grad && !IsZero(grad, K)) GradientArrow(o, s, cur, grad, PenStyle::Solid);
}

}  // namespace mapdraw
}  // namespace zelk
