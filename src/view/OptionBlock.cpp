// The option block on the right of the panel (x = 660): the options in force and the
// elapsed time of the active run.
#include "app/Document.h"
#include "base/Format.h"
#include "view/Panels.h"

namespace zelk {

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr int kOptionsRight = 1460;

// The elapsed-time text of the active run (empty when none is active).
std::string ActiveElapsed(const CZELKDoc& doc, int kind) {
    switch (kind) {
        case kRunNRT: return doc.runs.rsNRT.Elapsed();
        case kRunSurface: return doc.runs.rsSurface.Elapsed();
        case kRunNRTReplay: return doc.runs.rsNRTReplay.Elapsed();
        default: return std::string();
    }
}

}  // namespace

void DrawOptionBlock(PanelPass& pass, const Rect& clip) {
    CZELKDoc& doc = pass.doc;
    const Options& o = doc.opt;
    DisplayState& d = doc.disp;
    PanelWriter& out = pass.out;
    auto put = [&](int y, const std::string& text) { out.Put(PanelKey(y, kSlotOptions), kOptionsX, y, text); };

    out.SetColor(kBlack);
    if (d.bEraseOptions1) {
        out.Wipe(Rect{kOptionsX, 10, kOptionsRight, 50});
        d.bEraseOptions1 = 0;
    }
    put(10, Format("General options: iThreadPriority12345=%d, dMultAxes=%.8f,", o.iThreadPriority12345, o.dMultAxes));
    put(30, Format("dMaxRandRestartDist=%.8f, dMinValidW=%.8f, dPenaltyPow=%.8f", o.dMaxRandRestartDist,
                   o.dMinValidW, doc.prep.dPenaltyPow));
    if (d.bEraseOptions3) {
        out.Wipe(Rect{kOptionsX, 50, kOptionsRight, 70});
        d.bEraseOptions3 = 0;
    }
    put(50, Format("Newton-Raphson options: iMaxIter=%d, dConvCrit=%.8f", o.iMaxIterBudget, o.dConvCrit));
    if (d.bEraseOptions4) {
        out.Wipe(Rect{kOptionsX, 70, kOptionsRight, 110});
        d.bEraseOptions4 = 0;
    }
    put(70, Format(o.bHighRes ? "Real time control options: bHighRes=TRUE, qx=%.1f, qy=%.1f, qz=%.1f"
                              : "Real time control options: bHighRes=FALSE, qx=%.1f, qy=%.1f, qz=%.1f",
                   d.qx * kDegreesPerRadian, d.qy * kDegreesPerRadian, d.qz * kDegreesPerRadian));
    // The map's place and scale as the keys have moved them (from the options at each load).
    put(90, Format("d3dscale=%.1f, iOriginX=%.1f, iOriginY=%.1f, iSleepMilli=%d", d.d3dscale, d.dOriginX, d.dOriginY,
                   o.iSleepMilli));
    put(110, "Elapsed time: " + ActiveElapsed(doc, pass.rc.kind));

    out.Fill(Rect{clip.left, clip.bottom - 30, clip.right, clip.bottom});
    out.Fill(Rect{0, 10, 300, 150});
}

}  // namespace zelk
