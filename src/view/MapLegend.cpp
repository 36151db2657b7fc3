// The legend of the surface map: the preset weights and the surface minimum under the map
// (beside the cloud for four variables), and the right-aligned block with the method, the
// colour scale and slice, the contrast and the auto-scan speed.
#include <string>

#include "base/Format.h"
#include "view/MapParts.h"

namespace zelk {
namespace mapdraw {

namespace {

std::string Bracketed(const char* prefix, const double* w, int K) {
    std::string s = prefix;
    s += "<";
    for (int k = 0; k < K; ++k) {
        if (k > 0) s += ",";
        s += Format("%.8f", w[k]);
    }
    return s + ">";
}

std::string MethodName(const CZELKDoc& doc) {
    if (doc.runs.rsNRT.bRunning) return "NRT";
    if (doc.runs.rsSurface.bRunning) return "SuT";
    if (doc.runs.rsNRTReplay.bRunning) return "NRT Replay";
    return std::string();
}

std::string SurfaceType(const CZELKDoc& doc) {
    const DisplayState& d = doc.disp;
    std::string s = "Surface type=" + doc.surf.sLuScale;
    if (d.iSliceVar < 0) return s;
    const StringList names = doc.data.AnalysisNames();
    if (d.iSliceVar == 0)
        s += " (w. Lu=";
    else if (d.iSliceVar <= static_cast<int>(names.size()))
        s += " (w. " + names[d.iSliceVar - 1] + "=";
    else
        return s;
    s += Format("%.1f%%", d.iSlicePos * 0.1);
    s += d.dSliceBand < 0.010001 ? Format(" +/- %.2f%%)", d.dSliceBand) : Format(" +/- %.1f%%)", d.dSliceBand);
    return s;
}

// Where the lines under the map start (the first of three, 20 pixels apart), and the
// right edge and top line of the block.
struct LegendPlace {
    double x = 0, y = 0;
    double blockX = 0, blockY = 0;
    bool ok = false;
};

LegendPlace PlaceOf(const MapScene& s) {
    const MapGeometry& g = s.geo;
    const int offset = s.doc.disp.iLegendOffsetX;
    LegendPlace p;
    if (s.K == 2 || s.K == 3) {
        p.x = g.ox;
        p.y = g.oy + 70;
        p.blockX = g.ox + g.sx + 50 + offset;
        p.blockY = s.K == 2 ? g.oy - g.sy - 110 : g.oy - g.sy + 40;
        p.ok = true;
    } else if (s.K == 4) {
        const CloudProjection P(g);
        const ScreenPoint a = P(4, 2, 2), b = P(4, 3, 3);
        if (!a.ok || !b.ok) return p;
        p.x = a.x;
        p.y = a.y;
        p.blockX = b.x + 210 + offset;
        p.blockY = b.y - 55;
        p.ok = true;
    }
    return p;
}

}  // namespace

void DrawLegend(Canvas& c, const MapScene& s) {
    const LegendPlace at = PlaceOf(s);
    if (!at.ok) return;
    const CZELKDoc& doc = s.doc;
    const int K = s.K;
    auto text = [&c](double x, double y, const std::string& t, bool right = false) {
        c.Text(ToPixel(x), ToPixel(y), t, right);
    };

    const double* preset = Column(doc.track.mDispPresetW, K);
    if (s.level == 0 && preset) {
        c.SetTextColor(kGrey);
        text(at.x, at.y, Bracketed("W Preset=", preset, K));
    }
    if (s.surfaceFile && s.level < 2) {
        c.SetTextColor(kBlack);
        text(at.x, at.y + 20, Format("Min(Lu) on surface file is Lu=%.8f", doc.surf.dMinLu));
        text(at.x, at.y + 40, Bracketed("at point ", doc.surf.mMinLuW.Data(), K));
    }

    c.SetTextColor(kBlack);
    std::string method = "Current method=" + MethodName(doc);
    if (MethodName(doc) == "NRT Replay") method += doc.disp.bRepeat ? " (Repeat=ON)" : " (Repeat=OFF)";
    text(at.blockX, at.blockY, method, true);
    text(at.blockX, at.blockY + 20, SurfaceType(doc), true);
    text(at.blockX, at.blockY + 40, Format("dPercSurfMap=%.2f", doc.opt.dPercSurfMap), true);
    const int speed = doc.runs.rsAutoScan.bRunning ? doc.runs.rsAutoScan.iProgress.load() : 0;
    if (speed != 0) text(at.blockX, at.blockY + 60, Format("AutoScan speed=%d", speed < 0 ? -speed : speed), true);
}

std::vector<Rect> LegendAreas(const MapScene& s) {
    std::vector<Rect> out;
    const LegendPlace at = PlaceOf(s);
    if (!at.ok) return out;
    if (s.K == 4) {
        // The lines beside the cloud (under the flat maps the frame clears their strip).
        const int x = ToPixel(at.x), y = ToPixel(at.y);
        out.push_back(Rect{x - 30, y, x + 700, y + 60});
    }
    // The block: four lines, right-aligned, of at most about 70 characters.
    const int bx = ToPixel(at.blockX), by = ToPixel(at.blockY);
    out.push_back(Rect{bx - 500, by, bx + 2, by + 80});
    return out;
}

}  // namespace mapdraw
}  // namespace zelk
