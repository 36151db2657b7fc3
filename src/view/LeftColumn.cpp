// The left column of the panel (x = 10, line k at y = 10 + 20k): the data set, the surface
// file and the five result files, the variables of each type with their ranges, the
// restarts, the last random move, the best weights so far and the current-row table.
#include <algorithm>

#include "app/Document.h"
#include "base/Format.h"
#include "base/VarType.h"
#include "view/Panels.h"

namespace zelk {

namespace {

// Lines 0-5 share their rows with the option block: they end short of it.
constexpr int kPathLineRight = kOptionsX - 10;
constexpr int kTableX = 50;
constexpr int kTableFirstLine = 16;

const char* const kTypeLetters[] = {"C", "O", "N", "S", "A"};

// The path of a run's result file, or before any run the file accepted at load.
const std::string& FileShown(const std::string& runPath, const std::string& loaded) {
    return runPath.empty() ? loaded : runPath;
}

void PutLeft(PanelWriter& out, int k, const std::string& text) { out.Put(PanelKey(LineY(k), kSlotLeft), kLeftX, LineY(k), text); }

void PutPathLine(PanelWriter& out, int k, const std::string& prefix, const std::string& path,
                 const std::string& suffix = std::string()) {
    const int right = k <= 5 ? kPathLineRight : 1 << 30;
    PutLeft(out, k, FitPathLine(out, kLeftX, right, prefix, path, suffix));
}

// The current-row table: its name at x = 10 on line 16, the column names on the same
// line, one line per row below. The columns' names are cut or padded to 12 characters and
// each stands right-aligned over its column of "%12.8f" numbers; the header and the rows
// start at x = 50, or further right when the name would reach into them.
int DrawTable(PanelWriter& out, const Matrix& table, const StringList& cols) {
    const int yName = LineY(kTableFirstLine);
    out.Put(PanelKey(yName, kSlotLeft), kLeftX, yName, table.Name());
    const int x0 = std::max(kTableX, kLeftX + out.Width(table.Name() + "  "));

    std::vector<size_t> fieldEnds;  // of row 0, for the header
    for (int r = 0; r < table.Rows(); ++r) {
        std::string row;
        for (int c = 0; c < table.Cols(); ++c) {
            if (c > 0) row += ' ';
            row += Real12(table.Get(r, c));
            if (r == 0) fieldEnds.push_back(row.size());
        }
        const int y = LineY(kTableFirstLine + 1 + r);
        out.Put(PanelKey(y, kSlotTableRow), x0, y, row);
        if (r != 0) continue;
        const int n = std::min(static_cast<int>(cols.size()), table.Cols());
        for (int c = 0; c < n; ++c)
            out.Put(PanelKey(yName, kSlotHeader + c), x0 + out.Width(row.substr(0, fieldEnds[c])), yName,
                    FitRight12(cols[c]), true);
    }
    return kTableFirstLine + table.Rows();
}

}  // namespace

void DrawRestartLine(PanelPass& pass) {
    const RunCounters& c = pass.rc;
    pass.out.Fill(Rect{350, 250, 475, 270});
    pass.out.SetColor(kBlack);
    const std::string text =
        c.kind == kRunNRT
            ? Format("Random restart: %d of %d (best=%d), Newton-Raphson current iteration: %.1f%%", c.iRestartShown,
                     c.iNumRandRestart, c.iBestIndex, c.dPctIter)
            : Format("Random restart: %d of %d (best=%d), Newton-Raphson current iteration:", c.iRestartShown,
                     c.iNumRandRestart, c.iBestIndex);
    PutLeft(pass.out, 12, text);
}

int DrawLeftColumn(PanelPass& pass) {
    const CZELKDoc& doc = pass.doc;
    const DataSet& data = doc.data;
    const ResultFiles& res = doc.res;
    PanelWriter& out = pass.out;
    const bool graphOnly = doc.disp.bGraphOnly != 0;
    out.SetColor(kBlack);

    PutPathLine(out, 0, "Input dataset: ", data.sDataPath, Format(" (N=%d)", data.iNumRec));
    PutPathLine(out, 1, doc.opt.bDeSoeteSurface ? "De Soete Surface file: " : "Surface file: ", doc.surf.sSurfaceFile,
                Format(" (%d records)", doc.surf.mSurface.Rows()));
    PutPathLine(out, 2, "Newton-Raphson PreSet(w) history file: ", FileShown(res.sPhistPath, res.sNrtPhistFile));
    PutPathLine(out, 3, "Newton-Raphson W history file: ", FileShown(res.sWhistPath, res.sNrtWhistFile));
    PutPathLine(out, 4, "Newton-Raphson Gradient(v) history file: ", FileShown(res.sGhistPath, res.sNrtGhistFile));
    PutPathLine(out, 5, "Newton-Raphson Cov(w) file: ", FileShown(res.sCovWPath, res.sNrtCovWFile));
    PutPathLine(out, 6, "Newton-Raphson Cov(v) file: ", FileShown(res.sCovPath, res.sNrtCovFile));

    if (pass.full && !graphOnly) {
        int k = 8;
        for (int t = 0; t < kNumTypes; ++t) {
            if (t == kTypeS) continue;  // the loader never makes S variables
            std::string line = Format("Type %s variables [%d] Name (Eq.Fact.):", kTypeLetters[t], data.Count(t));
            const StringList& names = data.Names(t);
            const RealList& ranges = doc.prep.Range(t);
            for (size_t i = 0; i < names.size(); ++i)
                line += " " + names[i] + Format(" (%.8f)", i < ranges.size() ? ranges[i] : 0.0);
            PutLeft(out, k++, line);
        }
        DrawRestartLine(pass);
    }

    if (!graphOnly) {
        const NrtState& nrt = doc.nrt;
        // The move's line changes length from restart to restart: its row is wiped first
        // (for five or more weights the line may run past x = 575, so the whole row).
        out.Fill(Rect{75, 270, data.iNumVar < 5 ? 575 : pass.clip.right, 290});
        PutLeft(out, 13, nrt.mPerturb.Empty() ? std::string("Last random move:")
                                              : ListText("Last random move: ", nrt.mPerturb, "%.8f"));
        PutLeft(out, 14, nrt.mBestW.Empty() ? std::string("Last best w:") : ListText("Last best w: ", nrt.mBestW, "%.8f"));
    }

    pass.doc.disp.iTopFreeLine = 15;
    const Matrix& table = doc.track.mResultTable2;
    if (table.Empty() || graphOnly) return 15;
    return DrawTable(out, table, doc.track.asResultCols2);
}

}  // namespace zelk
