// The panel of a loaded data set: the data file, its variables with their scaled ranges,
// and the state of the active run with its current weights.
#include <string>

#include "app/Document.h"
#include "platform/Canvas.h"
#include "view/View.h"

namespace zelk {

namespace {

constexpr int kLeft = 10;
constexpr int kLineHeight = 20;

int LineY(int k) { return 10 + kLineHeight * k; }

// "<a,b,c>" with one format per entry.
std::string Bracketed(const char* prefix, const Matrix& m, const char* fmt) {
    std::string s = prefix;
    s += "<";
    for (int i = 0; i < m.Size(); ++i) {
        if (i > 0) s += ",";
        s += Format(fmt, m.Data()[i]);
    }
    s += ">";
    return s;
}

const char* const kTypeLetters[] = {"C", "O", "N", "S", "A"};

// Which run the panel and the progress texts describe: the Newton-Raphson run, then the
// surface scan, then the replay.
int ActiveRunKind(const CZELKDoc& doc) {
    if (doc.runs.rsNRT.bRunning) return kRunNRT;
    if (doc.runs.rsSurface.bRunning) return kRunSurface;
    if (doc.runs.rsNRTReplay.bRunning) return kRunNRTReplay;
    return -1;
}

const char* MethodName(int kind) {
    switch (kind) {
        case kRunNRT: return "NRT";
        case kRunSurface: return "SuT";
        case kRunNRTReplay: return "NRT Replay";
        default: return "";
    }
}

const RunState& StateOf(const CZELKDoc& doc, int kind) {
    switch (kind) {
        case kRunNRT: return doc.runs.rsNRT;
        case kRunSurface: return doc.runs.rsSurface;
        case kRunAutoScan: return doc.runs.rsAutoScan;
        default: return doc.runs.rsNRTReplay;
    }
}

}  // namespace

std::string RunProgressText(const CZELKDoc& doc) {
    const int kind = ActiveRunKind(doc);
    if (kind < 0) return std::string();
    const RunState& rs = StateOf(doc, kind);
    std::string s;
    switch (kind) {
        case kRunNRT:
            s = Format("NRT iteration %d of %d: %.1f%% of the iteration (%.1f%% of the run)",
                       doc.nrt.iIter, doc.nrt.iMaxIterRun, doc.nrt.dPctDone, rs.dPercent.load());
            break;
        case kRunSurface:
            s = Format("SuT point %d of %d: %.1f%%", rs.iProgress.load(), rs.iProgressMax.load(),
                       rs.dPercent.load());
            break;
        default:
            s = Format("NRT Replay row %d of %d: %.1f%%", rs.iProgress.load(),
                       rs.iProgressMax.load(), rs.dPercent.load());
            break;
    }
    const std::string elapsed = rs.Elapsed();
    const std::string remaining = rs.Remaining();
    s += " - elapsed: " + (elapsed.empty() ? std::string("0 seconds") : elapsed);
    s += " - remaining: " + (remaining.empty() ? std::string("unknown") : remaining);
    if (rs.bPaused) s += " - paused";
    return s;
}

void DrawStatusPanel(CZELKDoc& doc, Canvas& canvas) {
    canvas.FillRect(canvas.ClipBox(), kWhite);
    canvas.SetBackground(kWhite, false);
    canvas.SetTextColor(kBlack);

    const DataSet& data = doc.data;
    int k = 0;
    canvas.Text(kLeft, LineY(k++), "Input dataset: " + data.sDataPath + Format(" (N=%d)", data.iNumRec));
    std::string weightVar = data.asWeightVar.empty() ? std::string("_ONE_") : data.asWeightVar[0];
    canvas.Text(kLeft, LineY(k++),
                Format("Analysis variables: p=%d (C=%d, O=%d, N=%d, A=%d), sample weight: ", data.iNumVar,
                       data.iNumC, data.iNumO, data.iNumN, data.iNumA) +
                    weightVar);
    ++k;
    for (int t = 0; t < kNumTypes; ++t) {
        if (t == kTypeS) continue;  // the loader never produces S variables
        std::string line = Format("Type %s variables [%d] Name (Eq.Fact.):", kTypeLetters[t], data.Count(t));
        const StringList& names = data.Names(t);
        const RealList& ranges = doc.prep.Range(t);
        for (size_t i = 0; i < names.size(); ++i) {
            line += " " + names[i];
            if (i < ranges.size()) line += Format(" (%.8f)", ranges[i]);
        }
        canvas.Text(kLeft, LineY(k++), line);
    }
    ++k;

    const int kind = ActiveRunKind(doc);
    if (kind >= 0) {
        const RunState& rs = StateOf(doc, kind);
        const double percent = kind == kRunNRT ? doc.nrt.dPctDone : rs.dPercent.load();
        canvas.Text(kLeft, LineY(k++),
                    Format("Current method=%s (%.1f%% complete)", MethodName(kind), percent));
        const std::string elapsed = rs.Elapsed();
        const std::string remaining = rs.Remaining();
        canvas.Text(kLeft, LineY(k++), "Elapsed time: " + (elapsed.empty() ? std::string("0 seconds") : elapsed));
        canvas.Text(kLeft, LineY(k++),
                    "Remaining time: " + (remaining.empty() ? std::string("unknown") : remaining));
    } else {
        canvas.Text(kLeft, LineY(k++), "No run active. Choose Analyze->Newton-Raphson or Analyze->Surface.");
    }
    ++k;

    const NrtState& nrt = doc.nrt;
    const RunTrack& t = doc.track;
    if (kind == kRunSurface && !doc.scan.mCurW.Empty()) {
        canvas.Text(kLeft, LineY(k++), Format("Iteration %d of %d", doc.scan.iIter, doc.scan.iPointsMax));
        canvas.Text(kLeft, LineY(k++), Format("Exploring: Lu=%.8f", doc.scan.dLu));
        canvas.Text(kLeft, LineY(k++), Bracketed("w=", doc.scan.mCurW, "%.8f"));
    } else if (!t.mDispW.Empty()) {
        if (nrt.iIter > 0)
            canvas.Text(kLeft, LineY(k++),
                        Format("Exploring (Iteration %d of %d): Lu=%.8f", nrt.iIter - 1, doc.opt.iMaxIterBudget,
                               t.dDispLu));
        else
            canvas.Text(kLeft, LineY(k++), Format("Lu=%.8f", t.dDispLu));
        canvas.Text(kLeft, LineY(k++), Bracketed("w=", t.mDispW, "%.8f"));
        if (!t.mDispGradW.Empty()) canvas.Text(kLeft, LineY(k++), Bracketed("Gradient(w)=", t.mDispGradW, "%.6f"));
    }
    if (!nrt.mBestW.Empty()) canvas.Text(kLeft, LineY(k++), Bracketed("Last best w: ", nrt.mBestW, "%.8f"));
}

}  // namespace zelk
