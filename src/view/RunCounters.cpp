// The counters shown by the panels and by the status bar's progress line. Both read them
// through CountersOf, so the two never tell different iterations or percentages.
#include <algorithm>

#include "app/Document.h"
#include "base/Format.h"
#include "view/View.h"

namespace zelk {

namespace {

// The run whose point the displays show when none is active: the last one that published.
std::string MethodOfTitle(const std::string& title) {
    if (title == "Newton-Raphson T") return "NRT";
    if (title == "Newton-Raphson Replay") return "NRT Replay";
    if (title == "Surface T") return "SuT";
    return std::string();
}

}  // namespace

RunCounters CountersOf(const CZELKDoc& doc) {
    RunCounters c;
    const RunStates& runs = doc.runs;
    const RunState* rs = nullptr;
    if (runs.rsNRT.bRunning) {
        c.kind = kRunNRT;
        c.method = "NRT";
        rs = &runs.rsNRT;
    } else if (runs.rsSurface.bRunning) {
        c.kind = kRunSurface;
        c.method = "SuT";
        rs = &runs.rsSurface;
    } else if (runs.rsNRTReplay.bRunning) {
        c.kind = kRunNRTReplay;
        c.method = "NRT Replay";
        rs = &runs.rsNRTReplay;
    } else {
        c.method = MethodOfTitle(doc.track.sMethodTitle);
    }

    if (c.method == "SuT")
        c.iIter = doc.scan.iIter;
    else if (c.method == "NRT Replay")
        c.iIter = doc.replay.iIter;
    else
        c.iIter = doc.nrt.iIter;
    c.iMaxIter = doc.opt.iMaxIterBudget;
    c.dPctIter = doc.nrt.dPctDone;

    if (rs != nullptr) {
        c.iProgress = rs->iProgress;
        c.iProgressMax = rs->iProgressMax;
        // The pacing threads' progress rules, on the counters as they are now.
        if (c.kind == kRunNRT)
            c.dPctRun = c.iProgress * 100.0 / (c.iProgressMax + 1.0);
        else if (c.iProgress > 0 && c.iProgressMax > 0)
            c.dPctRun = c.iProgress * 100.0 / c.iProgressMax;
    }

    c.iNumRandRestart = doc.opt.iNumRandRestart;
    // The counter runs one past the number of restarts for the final descent.
    c.iRestartShown = std::min(doc.nrt.iRestart, c.iNumRandRestart);
    c.iBestIndex = doc.nrt.iBestIndex;
    return c;
}

std::string RunProgressText(const CZELKDoc& doc) {
    const RunCounters c = CountersOf(doc);
    if (c.kind < 0) return std::string();
    const RunState& rs = c.kind == kRunNRT ? doc.runs.rsNRT
                         : c.kind == kRunSurface ? doc.runs.rsSurface
                                                 : doc.runs.rsNRTReplay;
    // Iterations are numbered from 0, as the panel's "Exploring (Iteration %d of %d)".
    const int shownIter = std::max(c.iIter - 1, 0);
    std::string s;
    switch (c.kind) {
        case kRunNRT:
            s = Format("NRT iteration %d of %d: %.1f%% of the iteration (%.1f%% of the run)", shownIter,
                       c.iMaxIter, c.dPctIter, c.dPctRun);
            break;
        case kRunSurface:
            s = Format("SuT iteration %d of %d: %.1f%%", c.iProgress, c.iProgressMax, c.dPctRun);
            break;
        default:
            s = Format("NRT Replay iteration %d (row %d of %d): %.1f%%", shownIter, c.iProgress, c.iProgressMax,
                       c.dPctRun);
            break;
    }
    const std::string elapsed = rs.Elapsed();
    const std::string remaining = rs.Remaining();
    s += " - elapsed: " + (elapsed.empty() ? std::string("0 seconds") : elapsed);
    s += " - remaining: " + (remaining.empty() ? std::string("unknown") : remaining);
    if (rs.bPaused) s += " - paused";
    return s;
}

}  // namespace zelk
