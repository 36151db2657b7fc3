// The key table and the handlers of the keys and the mouse.
#include "view/Controls.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "app/Document.h"
#include "base/Format.h"
#include "view/Projection.h"
#include "view/SurfaceMap.h"

namespace zelk {

namespace {

constexpr double kDegree = 0.017453292519943295;   // radians
constexpr double kTurn = 0.2617993877991494;       // 15 degrees
constexpr double kToDegrees = 57.29577951308232;
constexpr int kPickRadius = 25;                    // pixels, the four-variable pick

int K(const CZELKDoc& doc) { return doc.data.iNumVar; }
bool Map34(const CZELKDoc& doc) { return K(doc) == 3 || K(doc) == 4; }
bool SurfaceLoaded(const CZELKDoc& doc) { return !doc.surf.sSurfaceFile.empty() && doc.surf.mSurface.Rows() > 0; }

// Changes that a running step reads are made while the run is held.
template <class F>
void Held(CZELKDoc& doc, F change) {
    doc.HoldActiveRun();
    change(doc.disp);
    doc.ReleaseActiveRun();
    doc.RedrawAll();
}

// A turn of the cloud about its vertical axis; a full turn either way is 0 again.
void TurnZ(CZELKDoc& doc, double by) {
    Held(doc, [by](DisplayState& d) {
        d.qz += by;
        const double deg = d.qz * kToDegrees;
        if (deg >= 359.99999999 || deg <= -359.99999999) d.qz = 0;
    });
}

void MoveOrigin(CZELKDoc& doc, double dx, double dy) {
    Held(doc, [dx, dy](DisplayState& d) {
        d.dOriginX += dx;
        d.dOriginY += dy;
    });
}

void Power(CZELKDoc& doc, double by) {
    const std::string& s = doc.surf.sLuScale;
    if (s.empty() || s[0] != 'P') return;
    doc.opt.dSurfacePow += by;
    doc.surf.sLuScale = Format("Pow(Lu,%.1f)", doc.opt.dSurfacePow);
    doc.RecomputeSurfaceColours();
    doc.RedrawAllViews();
}

void Sleep(CZELKDoc& doc, int by) {
    Options& o = doc.opt;
    if (by < 0 && o.iSleepMilli <= 0) return;
    o.iSleepMilli += by;
    for (RunState* rs : {&doc.runs.rsAutoScan, &doc.runs.rsNRTReplay})
        if (rs->bRunning) rs->iSleepMilli = o.iSleepMilli;
    doc.disp.bEraseOptions4 = 1;
    doc.RedrawAllViews();
}

void Toggle(CZELKDoc& doc, int& flag) {
    flag = flag ? 0 : 1;
    doc.RedrawAll();
}

// ---- the key-down table
void KeyEscape(CZELKDoc& doc, bool) { doc.OnCancelKey(); }
void KeyUp(CZELKDoc& doc, bool) {
    if (Map34(doc) && doc.disp.iSliceVar != -1) doc.SliceForward();
}
void KeyDown(CZELKDoc& doc, bool) {
    if (Map34(doc) && doc.disp.iSliceVar != -1) doc.SliceBackward();
}
void KeyLeft(CZELKDoc& doc, bool ctrl) {
    if (ctrl) doc.disp.iLegendOffsetX -= 10;
    if (Map34(doc) && SurfaceLoaded(doc)) doc.PreviousSliceMode();
}
void KeyRight(CZELKDoc& doc, bool ctrl) {
    if (ctrl) doc.disp.iLegendOffsetX += 10;
    if (Map34(doc) && SurfaceLoaded(doc)) doc.NextSliceMode();
}
void KeyPageUp(CZELKDoc& doc, bool) {
    if (K(doc) == 4) Held(doc, [](DisplayState& d) { d.d3dscale += 50; });
    if (K(doc) == 3) Held(doc, [](DisplayState& d) {
            d.dMapScaleX += 50;
            d.dMapScaleY += 50;
        });
}
void KeyInsert(CZELKDoc& doc, bool) {
    if (K(doc) == 4) Held(doc, [](DisplayState& d) { d.d3dscale -= 50; });
    if (K(doc) == 3) Held(doc, [](DisplayState& d) {
            d.dMapScaleX = std::max(50.0, d.dMapScaleX - 50);
            d.dMapScaleY = std::max(50.0, d.dMapScaleY - 50);
        });
}
void KeyPageDown(CZELKDoc& doc, bool) {
    if (K(doc) == 4) TurnZ(doc, kTurn);
}
void KeyDelete(CZELKDoc& doc, bool) {
    if (K(doc) == 4) TurnZ(doc, -kTurn);
}
void KeyHome(CZELKDoc& doc, bool) {
    if (K(doc) == 4) Held(doc, [](DisplayState& d) {
            d.qx = 30 * kDegree;
            d.qy = 0;
            d.qz = 225 * kDegree;
            d.d3dscale = 850;
            d.dOriginX = 1150;
            d.dOriginY = -125;
            d.dMapScaleX = d.dMapScaleY = 200;
        });
    if (K(doc) == 3) Held(doc, [](DisplayState& d) {
            d.dOriginX = 700;
            d.dOriginY = 650;
            d.dMapScaleX = d.dMapScaleY = 450;
        });
}
void KeySpace(CZELKDoc& doc, bool) {
    if (doc.disp.iSliceVar != 0 && !doc.runs.rsSurface.bRunning) doc.NextColourScale();
}

// ---- the character table
void CharRepeat(CZELKDoc& doc, bool) {
    doc.disp.bRepeat = doc.disp.bRepeat ? 0 : 1;
    doc.RedrawAllViews();
}
void CharPriority(CZELKDoc& doc, bool) {
    int& p = doc.opt.iThreadPriority12345;
    p = p >= 5 || p < 1 ? 1 : p + 1;
    for (RunState* rs : {&doc.runs.rsNRT, &doc.runs.rsSurface})
        if (rs->bRunning) rs->iPriority12345 = p;
    doc.disp.bEraseOptions1 = 1;
    doc.RedrawAllViews();
}
void CharHessian(CZELKDoc& doc, bool) {
    doc.disp.bHessianStrict = doc.disp.bHessianStrict ? 0 : 1;
    doc.disp.bRedrawPick = 1;
    doc.RedrawAllViews();
}
void CharPowerUp(CZELKDoc& doc, bool) { Power(doc, 0.1); }
void CharPowerDown(CZELKDoc& doc, bool) { Power(doc, -0.1); }
void CharContrastUp(CZELKDoc& doc, bool) {
    double& c = doc.opt.dPercSurfMap;
    if (!(c < 0.99999999)) return;
    c += c < 0.09999999 ? 0.01 : 0.1;
    doc.RecomputeSurfaceColours();
    doc.RedrawAllViews();
}
void CharContrastDown(CZELKDoc& doc, bool) {
    double& c = doc.opt.dPercSurfMap;
    if (!(c >= 0.01000001)) return;
    c -= c < 0.19999999 ? 0.01 : 0.1;
    doc.RecomputeSurfaceColours();
    doc.RedrawAllViews();
}
void CharLeft(CZELKDoc& doc, bool) { MoveOrigin(doc, -50, 0); }
void CharRight(CZELKDoc& doc, bool) { MoveOrigin(doc, 50, 0); }
void CharUp(CZELKDoc& doc, bool) { MoveOrigin(doc, 0, -50); }
void CharDown(CZELKDoc& doc, bool) { MoveOrigin(doc, 0, 50); }
void CharAutoScanFaster(CZELKDoc& doc, bool) {
    if (doc.disp.iSliceVar != -1) doc.AutoScanFaster();
}
void CharAutoScanSlower(CZELKDoc& doc, bool) { doc.AutoScanSlower(); }
void CharSleepDown(CZELKDoc& doc, bool) { Sleep(doc, -5); }
void CharSleepUp(CZELKDoc& doc, bool) { Sleep(doc, 5); }
void CharHighRes(CZELKDoc& doc, bool) {
    doc.opt.bHighRes = doc.opt.bHighRes ? 0 : 1;
    doc.disp.bEraseOptions4 = 1;
    doc.disp.bRedrawSlice = 1;
    doc.RedrawAllViews();
}
void CharFit(CZELKDoc& doc, bool) {
    if (!Map34(doc)) return;
    doc.HoldActiveRun();
    FitMap(doc);
    doc.ReleaseActiveRun();
    doc.RedrawAll();
}
void CharGridLines(CZELKDoc& doc, bool) { Toggle(doc, doc.disp.bGridLines); }
void CharLegend(CZELKDoc& doc, bool) {
    doc.disp.iLegendLevel = (doc.disp.iLegendLevel + 1) % 4;
    doc.RedrawAll();
}
void CharBand(CZELKDoc& doc, bool) {
    double& b = doc.disp.dSliceBand;
    if (b < 0.010001)
        b = 1.0;
    else if (b < 0.100001)
        b = 0.01;
    else
        b -= 0.1;
    doc.RedrawAll();
}
void CharSized(CZELKDoc& doc, bool) { Toggle(doc, doc.disp.bSizedMarkers); }
void CharUpdateAll(CZELKDoc& doc, bool) { Toggle(doc, doc.opt.bAlwaysUpdateAll); }
void CharGraphOnly(CZELKDoc& doc, bool) {
    if (!doc.runs.rsSurface.bRunning) Toggle(doc, doc.disp.bGraphOnly);
}

using Kind = ControlEntry::Kind;
int VK(VirtualKey k) { return static_cast<int>(k); }

std::vector<ControlEntry> BuildTable() {
    auto key = [](std::vector<int> codes, const char* keys, const char* when, const char* effect,
                  void (*act)(CZELKDoc&, bool)) {
        ControlEntry e;
        e.kind = Kind::KeyDown;
        e.codes = std::move(codes);
        e.keys = keys;
        e.when = when;
        e.effect = effect;
        e.act = act;
        return e;
    };
    auto chr = [](const char* chars, const char* keys, const char* when, const char* effect,
                  void (*act)(CZELKDoc&, bool), bool passOn = false) {
        ControlEntry e;
        e.kind = Kind::Char;
        for (const char* c = chars; *c; ++c) e.codes.push_back(static_cast<unsigned char>(*c));
        e.keys = keys;
        e.when = when;
        e.effect = effect;
        e.act = act;
        e.passOn = passOn;
        return e;
    };
    auto mouse = [](const char* keys, const char* when, const char* effect) {
        ControlEntry e;
        e.kind = Kind::Mouse;
        e.keys = keys;
        e.when = when;
        e.effect = effect;
        return e;
    };
    return {
        key({VK(VirtualKey::Escape)}, "Escape", "a run is active",
            "asks \"Are you sure you want to cancel this run?\"; OK stops the run (its results so far are "
            "written); during a pick of a held run it ends the pick instead",
            KeyEscape),
        key({VK(VirtualKey::Up)}, "Up", "K = 3 or 4, in a slice mode",
            "slice forward (positions 1, 5, 10, ..., 1000)", KeyUp),
        key({VK(VirtualKey::Down)}, "Down", "K = 3 or 4, in a slice mode", "slice backward", KeyDown),
        key({VK(VirtualKey::Left)}, "Left", "K = 3 or 4 with a surface file",
            "previous slice mode (every point, by Lu level, by weight 1 to K); with Ctrl also moves the "
            "legend 10 pixels left",
            KeyLeft),
        key({VK(VirtualKey::Right)}, "Right", "K = 3 or 4 with a surface file",
            "next slice mode; with Ctrl also moves the legend 10 pixels right", KeyRight),
        key({VK(VirtualKey::PageUp)}, "Page Up", "K = 3 or 4", "enlarge the map by 50", KeyPageUp),
        key({VK(VirtualKey::Insert)}, "Insert", "K = 3 or 4", "shrink the map by 50 (the triangle not below 50)",
            KeyInsert),
        key({VK(VirtualKey::PageDown)}, "Page Down", "K = 4", "turn the cloud by +15 degrees", KeyPageDown),
        key({VK(VirtualKey::Delete)}, "Delete", "K = 4", "turn the cloud by -15 degrees", KeyDelete),
        key({VK(VirtualKey::Home)}, "Home", "K = 3 or 4",
            "the map's home place (K = 4: angles 30, 0, 225 degrees, scale 850)", KeyHome),
        key({VK(VirtualKey::Space)}, "Space", "not slicing by Lu level, no surface scan running",
            "next colour scale: Log(Lu), Pow(Lu,x), Lu, none, 1", KeySpace),
        chr("r", "R", "always", "replays start again at their end, on or off", CharRepeat, true),
        chr("t", "T", "always", "priority of the run threads: 1, 2, 3, 4, 5, 1, ...", CharPriority, true),
        chr("h", "H", "always", "strict colouring of the Hessian (yellow when not positive definite), on or off",
            CharHessian, true),
        chr("+=", "+ or =", "the power colour scale", "exponent +0.1", CharPowerUp, true),
        chr("-_", "- or _", "the power colour scale", "exponent -0.1", CharPowerDown, true),
        chr(".>", ". or >", "contrast below 1", "contrast up (by 0.01 below 0.1, else by 0.1)", CharContrastUp, true),
        chr(",<", ", or <", "contrast above 0.01", "contrast down (to 0.01 at the least)", CharContrastDown, true),
        chr("4", "4", "always", "move the map 50 pixels left", CharLeft),
        chr("6", "6", "always", "move the map 50 pixels right", CharRight),
        chr("8", "8", "always", "move the map 50 pixels up", CharUp),
        chr("2", "2", "always", "move the map 50 pixels down", CharDown),
        chr("]", "]", "in a slice mode", "start the auto-scan of the slices, or make it faster (speed 1 to 10)",
            CharAutoScanFaster),
        chr("[", "[", "the auto-scan is running", "make the auto-scan slower; at speed 1 stop it",
            CharAutoScanSlower),
        chr(";:", "; or :", "the pause is above 0", "pause between replay steps -5 ms", CharSleepDown),
        chr("'\"", "' or \"", "always", "pause between replay steps +5 ms", CharSleepUp),
        chr("x", "X", "always", "every point of the three- and four-variable maps, or every 25th", CharHighRes),
        chr("z", "Z", "K = 3 or 4 with a surface file", "fit the map to the surface's range of weights", CharFit),
        chr("a", "A", "always", "grid lines of the triangle map, on or off", CharGridLines),
        chr("s", "S", "always", "hide more of the map's legend: 0, 1, 2, 3 levels", CharLegend),
        chr("v", "V", "always", "width of the slice band: 1.0, 0.9, ..., 0.1, 0.01, 1.0", CharBand),
        chr("c", "C", "always", "four-variable points as glyphs sized by the first weight, on or off", CharSized),
        chr("u", "U", "always", "redraw the whole window at every update, on or off", CharUpdateAll),
        chr("g", "G", "no surface scan running", "graphs only, on or off", CharGraphOnly),
        mouse("Right button, drag", "K = 3 or 4, no surface scan running",
              "holds the Newton-Raphson run and picks a start point under the pointer (K = 3: the point of "
              "the triangle; K = 4: the nearest point of the cloud within 25 pixels); on release the run goes "
              "on from the picked weights"),
        mouse("Left button", "K = 3 or 4, no surface scan running", "picks once, as a right-button drag released "
                                                                       "at once"),
    };
}

const ControlEntry* Find(Kind kind, int code) {
    for (const ControlEntry& e : ControlTable())
        if (e.kind == kind && std::find(e.codes.begin(), e.codes.end(), code) != e.codes.end()) return &e;
    return nullptr;
}

// The mouse acts on the three- and four-variable maps, never during a surface scan, and
// not while a run is within its last iterations.
bool MouseApplies(const CZELKDoc& doc) {
    if (!Map34(doc) || doc.runs.rsSurface.bRunning) return false;
    return !(doc.runs.rsNRT.bRunning && doc.nrt.iIter > doc.nrt.iMaxIterRun - 3);
}

void Pick(CZELKDoc& doc, int x, int y) {
    doc.disp.iMouseX = x;
    doc.disp.iMouseY = y;
    Matrix w;
    if (PickWeights(doc, x, y, w) && doc.runs.rsNRT.bRunning) doc.MovePickedStart(w);
    // A held auto-scan goes on.
    doc.runs.rsAutoScan.bPaused = 0;
}

void StartPick(CZELKDoc& doc, int x, int y) {
    if (doc.runs.rsNRT.bRunning) doc.runs.rsNRT.bPaused = 1;
    Pick(doc, x, y);
}

}  // namespace

const std::vector<ControlEntry>& ControlTable() {
    static const std::vector<ControlEntry> table = BuildTable();
    return table;
}

bool OnKeyDown(CZELKDoc& doc, VirtualKey key, bool ctrl) {
    if (!doc.platform.IsMainWindowForeground()) return false;
    const ControlEntry* e = Find(Kind::KeyDown, VK(key));
    if (!e) return false;
    e->act(doc, ctrl);
    return true;
}

bool OnChar(CZELKDoc& doc, int code) {
    if (code >= 'A' && code <= 'Z') code = code - 'A' + 'a';
    const ControlEntry* e = Find(Kind::Char, code);
    if (!e) return false;
    e->act(doc, false);
    return !e->passOn;
}

void OnRightButtonDown(CZELKDoc& doc, int x, int y) {
    if (!MouseApplies(doc)) return;
    StartPick(doc, x, y);
    if (doc.bNoData) return;
    doc.disp.bMouseDrag = 1;
    doc.runs.SetTimingSuspended(1);
}

void OnMouseMove(CZELKDoc& doc, int x, int y) {
    if (!doc.disp.bMouseDrag || !Map34(doc) || doc.runs.rsSurface.bRunning) return;
    Pick(doc, x, y);
}

void OnRightButtonUp(CZELKDoc& doc) {
    if (!doc.disp.bMouseDrag) return;
    doc.EndPick();
}

void OnLeftButtonDown(CZELKDoc& doc, int x, int y) {
    if (!MouseApplies(doc)) return;
    StartPick(doc, x, y);
    doc.EndPick();
}

bool PickWeights(const CZELKDoc& doc, int x, int y, Matrix& w) {
    const DisplayState& d = doc.disp;
    if (K(doc) == 3) {
        if (d.dMapScaleX == 0 || d.dMapScaleY == 0) return false;
        const double w1 = (x - d.dOriginX) / d.dMapScaleX * 3;
        const double w2 = (d.dOriginY - y) / d.dMapScaleY * 3;
        const double w3 = 3 - w1 - w2;
        const double lo = doc.opt.dMinValidW;
        if (!(std::min({w1, w2, w3}) >= lo && std::max({w1, w2, w3}) <= 3 - lo)) return false;
        w = Matrix(3, 1);
        w(0, 0) = w1;
        w(1, 0) = w2;
        w(2, 0) = w3;
        return true;
    }
    if (K(doc) != 4) return false;
    const MapPoints pts = MapPointsOf(doc, 4);
    const SliceFilter slice = MakeSliceFilter(d, doc.data.iNumVar, pts);
    const CloudProjection project(MapGeometryOf(d, 4));
    double best = 1e6;
    int found = -1;
    for (int r = 0; r < pts.count; ++r) {
        const double* pw = pts.W(r);
        if (!slice.Passes(pts.Lu(r), pw)) continue;
        const ScreenPoint s = project(pw[0], pw[1], pw[2]);
        if (!s.ok) continue;
        const double dist = std::hypot(s.x - x, s.y - y);
        if (dist < best) {
            best = dist;
            found = r;
        }
    }
    if (found < 0 || best > kPickRadius) return false;
    const double* pw = pts.W(found);
    w = Matrix(4, 1);
    for (int k = 0; k < 3; ++k) w(k, 0) = pw[k];
    w(3, 0) = 4 - pw[0] - pw[1] - pw[2];
    return true;
}

void FitMap(CZELKDoc& doc) {
    const Matrix& s = doc.surf.mSurface;
    const int k = K(doc);
    if ((k != 3 && k != 4) || s.Rows() == 0 || s.Cols() != k + 2) return;
    double lo[3], hi[3];
    for (int c = 0; c < k - 1; ++c) {
        lo[c] = hi[c] = s(0, c + 1);
        for (int r = 1; r < s.Rows(); ++r) {
            lo[c] = std::min(lo[c], s(r, c + 1));
            hi[c] = std::max(hi[c], s(r, c + 1));
        }
        if (!std::isfinite(lo[c]) || !std::isfinite(hi[c])) return;
    }
    DisplayState& d = doc.disp;
    if (k == 3) {
        // The smaller of the two enlargements that fit each weight's range into the map's
        // three units; a range without width does not limit it.
        double f = 0;
        for (int c = 0; c < 2; ++c) {
            if (!(hi[c] > lo[c])) continue;
            const double fc = 3 / (hi[c] - lo[c]);
            f = f == 0 ? fc : std::min(f, fc);
        }
        if (!(f > 0) || !std::isfinite(f)) return;
        d.dMapScaleX = d.dMapScaleY = 450 * f;
        d.dOriginX = 700 - 450 * f * lo[0] / 3;
        d.dOriginY = 650 + 450 * f * lo[1] / 3;
        return;
    }
    // The cloud: the corners of the weight box as they are drawn now (angles and scale), set
    // against the whole simplex (the vertices 0 and 4 of each weight) as the home place shows
    // it. The box's leftmost corner goes to the simplex's leftmost vertex (w1 = 4) and its
    // vertical middle to the simplex's, so the box comes back to where the home place shows
    // the cloud, whatever the angles and the scale.
    MapGeometry g = MapGeometryOf(d, 4);
    g.ox = 1150;
    g.oy = -125;
    const CloudProjection project(g);
    double xMin = 0, yMin = 0, yMax = 0;
    bool any = false;
    for (int c = 0; c < 8; ++c) {
        const ScreenPoint p = project(c & 1 ? hi[0] : lo[0], c & 2 ? hi[1] : lo[1], c & 4 ? hi[2] : lo[2]);
        if (!p.ok) continue;
        xMin = any ? std::min(xMin, p.x) : p.x;
        yMin = any ? std::min(yMin, p.y) : p.y;
        yMax = any ? std::max(yMax, p.y) : p.y;
        any = true;
    }
    MapGeometry home = g;
    home.qx = 30 * kDegree;
    home.qy = 0;
    home.qz = 225 * kDegree;
    home.d3dscale = 850;
    const CloudProjection homeProject(home);
    double sxMin = 0, syMin = 0, syMax = 0;
    bool simplex = false;
    for (const ScreenPoint& p : {homeProject(0, 0, 0), homeProject(4, 0, 0), homeProject(0, 4, 0), homeProject(0, 0, 4)}) {
        if (!p.ok) continue;
        sxMin = simplex ? std::min(sxMin, p.x) : p.x;
        syMin = simplex ? std::min(syMin, p.y) : p.y;
        syMax = simplex ? std::max(syMax, p.y) : p.y;
        simplex = true;
    }
    if (!any || !simplex) return;
    d.dOriginX = 1150 - (xMin - sxMin);
    d.dOriginY = -125 - ((yMin + yMax) / 2 - (syMin + syMax) / 2);
}

}  // namespace zelk
