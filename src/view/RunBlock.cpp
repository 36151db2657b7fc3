// The run block under the left column and the v column beside it: the progress of a
// surface scan, or the current point of the optimiser (or of the replay, or of the run
// that ended) with its loss, weights, gradients and Hessian.
#include <algorithm>
#include <cmath>

#include "app/Document.h"
#include "base/Format.h"
#include "base/VarType.h"
#include "view/Panels.h"

namespace zelk {

namespace {

constexpr Rgb kYellow{255, 255, 0};
const char* const kTypeCountFault = "Fatal error 2008.08.22.1";
const char* const kCurrentRowCaption = "Current w (iteration";
constexpr int kColumnGap = 20;

// Mean weight of each type block (C, O, N, S, A in that order); a type without variables
// has 0. False when a weight lies beyond every block.
bool TypeMeans(const DataSet& data, const Matrix& w, double mean[kNumTypes]) {
    int first = 0;
    for (int t = 0; t < kNumTypes; ++t) {
        const int n = data.Count(t);
        double sum = 0;
        for (int i = first; i < first + n && i < w.Size(); ++i) sum += w.Data()[i];
        mean[t] = n > 0 ? sum / n : 0.0;
        first += n;
    }
    return w.Size() <= first;
}

std::string EqFactLine(const double* m, const char* which) {
    return Format("dEqFactMult: C=%.8f, O=%.8f, N=%.8f, A=%.8f (%s)", m[kTypeC], m[kTypeO], m[kTypeN], m[kTypeA],
                  which);
}

void DrawScanBlock(PanelPass& pass, int k) {
    const CZELKDoc& doc = pass.doc;
    const RunCounters& c = pass.rc;
    PanelWriter& out = pass.out;
    auto put = [&](int line, const std::string& text) { out.Put(PanelKey(LineY(line), kSlotLeft), kLeftX, LineY(line), text); };

    out.SetColor(kBlack);
    put(k + 1, Format("Current method=SuT (%.1f%% complete)", c.dPctRun));
    put(k + 2, "Elapsed time: " + doc.runs.rsSurface.Elapsed());
    int next = k + 3;
    if (c.iProgress >= 1) {
        put(k + 4, Format("Iteration %d of %d", c.iProgress, c.iProgressMax));
        const Matrix& row = doc.track.mResultTable2;  // Lu and the weights of the current point
        if (!row.Empty()) {
            put(k + 5, Format("Exploring: Lu=%.8f", row.Get(0, 0)));
            put(k + 6, ListText("w=", row.Row(0) + 1, row.Cols() - 1, "%.8f"));
        }
        next = k + 7;
    }
    if (doc.scan.iDroppedPoints > 0) {
        out.SetColor(kGrey);
        put(next, Format("WARNING: %d iterations dropped due to divide by zero.", doc.scan.iDroppedPoints));
    }
}

// The v column on lines r and below, at x = 75p + 85 (75 more for two variables), or
// further right when the lines of the left column beside it (which end at leftEnd) are
// long, as they are while the gradient is large: the two never overlap.
void DrawVColumn(PanelPass& pass, int r, int leftEnd) {
    const CZELKDoc& doc = pass.doc;
    const RunTrack& t = doc.track;
    PanelWriter& out = pass.out;
    const int p = doc.data.iNumVar;
    const int x = std::max(75 * p + 85 + (p == 2 ? 75 : 0), leftEnd + kColumnGap);
    auto put = [&](int line, const std::string& text) { out.Put(PanelKey(LineY(line), kSlotV), x, LineY(line), text); };

    out.SetColor(kBlack);
    if (!t.mDispV.Empty()) put(r, ListText("v=", t.mDispV.Data(), std::min(t.mDispV.Size(), p - 1), "%.8f"));
    if (!t.mDispGradV.Empty()) put(r + 2, ListText("Gradient(v)=", t.mDispGradV, "%.6f"));
    const Matrix& h = t.mDispHess;
    if (pass.rc.method == "NRT Replay" || h.Empty()) return;

    // Yellow when the Hessian is not positive semi-definite; a Hessian that is zero within
    // 1e-9 stays black unless the strict rule is on.
    const Matrix& eig = t.mDispEigHess;
    bool negative = false;
    if (!eig.Empty()) {
        const double lo = *std::min_element(eig.Data(), eig.Data() + eig.Size());
        const double hi = *std::max_element(eig.Data(), eig.Data() + eig.Size());
        negative = lo < 0;
        if (!doc.disp.bHessianStrict && std::fabs(lo) < 1e-9 && std::fabs(hi) < 1e-9) negative = false;
    }
    out.SetColor(negative ? kYellow : kBlack);
    put(r + 3, "Hessian(v)=");
    for (int i = 0; i < h.Rows(); ++i) {
        std::string row = ListText(std::string(), h.Row(i), h.Cols(), "%.6f", i == 0 ? '<' : ' ', '>');
        if (i + 1 < h.Rows()) row.pop_back();  // only the last row closes the bracket
        put(r + 4 + i, row);
    }
    put(r + 4 + h.Rows(), ListText("Eigenvalues: ", eig.Data(), eig.Size(), "%.6f", '{', '}'));
}

}  // namespace

bool DrawRunBlock(PanelPass& pass, int k) {
    CZELKDoc& doc = pass.doc;
    if (doc.runs.rsSurface.bRunning) {
        DrawScanBlock(pass, k);
        return true;
    }
    const RunTrack& t = doc.track;
    if (t.mDispW.Empty() || doc.disp.bGraphOnly) return true;
    // The point has not moved since the last draw: its lines stand as they are.
    if (pass.unchanged) return true;

    const RunCounters& c = pass.rc;
    const Options& o = doc.opt;
    const int p = doc.data.iNumVar;
    PanelWriter& out = pass.out;
    auto put = [&](int line, const std::string& text) { out.Put(PanelKey(LineY(line), kSlotLeft), kLeftX, LineY(line), text); };

    out.SetColor(kBlack);
    put(k + 2, Format("Exploring (Iteration %d of %d): Lu=%.8f", c.iIter - 1, c.iMaxIter, t.dDispLu));
    double mean[kNumTypes];
    if (!TypeMeans(doc.data, t.mDispW, mean)) {
        doc.disp.sDrawFault = kTypeCountFault;
        return false;
    }
    put(k + 3, Format("Avg.W.: C=%.8f, O=%.8f, N=%.8f, A=%.8f", mean[kTypeC], mean[kTypeO], mean[kTypeN], mean[kTypeA]));
    put(k + 4, EqFactLine(o.dEqFactMult, "Current"));
    put(k + 5, EqFactLine(o.dLastEqFactMult, "Last"));
    put(k + 6, EqFactLine(o.dOrgEqFactMult, "Original"));
    const int r = k + 8;
    // From line r on, the lines beside the v column: note where the longest ends.
    int leftEnd = 0;
    auto putBeside = [&](int line, const std::string& text) {
        put(line, text);
        leftEnd = std::max(leftEnd, kLeftX + out.Width(text));
    };
    putBeside(r, ListText("w=", t.mDispW.Data(), std::min(t.mDispW.Size(), p), "%.8f"));
    if (!t.mDispGradW.Empty()) putBeside(r + 2, ListText("Gradient(w)=", t.mDispGradW, "%.6f"));

    const Matrix& table = t.mResultTable2;
    if (!table.Empty() && table.Name().compare(0, 20, kCurrentRowCaption) == 0) {
        const bool repeating = doc.runs.rsNRT.bRunning && doc.nrt.bRepeatForHessian;
        putBeside(r + 3, table.Name() + (repeating ? " (Repeating for Hessian)" : "") + Format(": Lu=%.8f", table.Get(0, 0)));
        const int n = std::min(table.Cols() - 1, p);
        putBeside(r + 4, ListText("w=", table.Row(0) + 1, n, "%.8f"));
        // The gradient at that point: the table's own row when it has one (the replay).
        if (table.Rows() >= 2)
            putBeside(r + 5, ListText("Gradient(w)=", table.Row(1) + 1, n, "%.6f"));
        else if (!t.mDispGradW.Empty())
            putBeside(r + 5, ListText("Gradient(w)=", t.mDispGradW, "%.6f"));
    }
    DrawVColumn(pass, r, leftEnd);
    return true;
}

}  // namespace zelk
