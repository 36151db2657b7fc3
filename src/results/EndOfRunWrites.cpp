// The writes of a Newton-Raphson run. The six table files are written only when no
// sample-weight variable was named or "-FWGT" was given; the Wrep file only when a
// weight variable was named. Many batch processes may append to one Wrep file at the
// same time: each takes the file's lock (waiting for it) and writes its row in one call.
#include "results/EndOfRunWrites.h"

#include <cmath>

#include "app/Document.h"
#include "engine/Engine.h"
#include "platform/TextFile.h"

namespace zelk {

namespace {

bool WriteSixFiles(const CZELKDoc& doc) { return doc.cmd.sWeightVar == " " || doc.cmd.bFWGT == 1; }
bool WriteWrep(const CZELKDoc& doc) { return doc.cmd.sWeightVar != " "; }

void ClearTables(ResultFiles& res) {
    res.mResultTable = Matrix();
    res.mResultTable2 = Matrix();
    res.asResultCols.clear();
    res.asResultCols2.clear();
}

Matrix Reversed(const Matrix& m, const std::string& caption) {
    Matrix out(m.Rows(), m.Cols(), 0.0, caption);
    for (int r = 0; r < m.Rows(); ++r)
        for (int c = 0; c < m.Cols(); ++c) out.Set(r, c, m.Get(m.Rows() - 1 - r, c));
    return out;
}

Matrix RowOf(const RealList& values, const std::string& caption) {
    Matrix m(1, static_cast<int>(values.size()), 0.0, caption);
    for (size_t k = 0; k < values.size(); ++k) m.Set(0, static_cast<int>(k), values[k]);
    return m;
}

// A covariance matrix scaled by 10^k, k from its largest element.
Matrix ScaledCovariance(const Matrix& cov, const char* captionFormat) {
    const int k = cov.Empty() ? 0 : CovScaleExponent(cov.Max());
    Matrix out = cov.Scale(std::pow(10.0, k));
    out.SetName(Format(captionFormat, k));
    return out;
}

StringList FirstNames(const StringList& names, int count) {
    return StringList(names.begin(), names.begin() + std::max(0, std::min(count, static_cast<int>(names.size()))));
}

}  // namespace

std::string WrepHeader(const StringList& names) {
    std::string line = FitRight12("REPWGT") + " " + FitRight12("BCONV") + " " + FitRight12("LU");
    for (const auto& n : names) line += " " + FitRight12(n);
    return line + "\n";
}

std::string WrepRow(const std::string& weightVar, int converged, double lu, const RealList& w) {
    std::string line = FitRight12(weightVar) + " " + Real12(converged) + " " + Real12(lu);
    for (double x : w) line += " " + Real12(x);
    return line + "\n";
}

void NrtFirstStepWrites(CZELKDoc& doc) {
    ResultFiles& res = doc.res;
    ClearTables(res);
    res.sMethodTitle = "Newton-Raphson T";
    const std::string& path = doc.data.sDataPath;
    res.sWrepPath = path + ".NRT.Wrep.out";
    res.sPhistPath = path + ".NRT.Phist.out";
    res.sGhistPath = path + ".NRT.Ghist.out";
    res.sWhistPath = path + ".NRT.Whist.out";
    res.sCovPath = path + ".NRT.Cov.out";
    res.sCovWPath = path + ".NRT.CovW.out";
    res.sDistPath = path + ".NRT.Dist.out";
    res.bEndWritesDone = 0;
    doc.asFilesWritten.clear();
    if (!WriteSixFiles(doc)) return;
    for (const std::string* f : {&res.sPhistPath, &res.sGhistPath, &res.sWhistPath, &res.sCovWPath,
                                 &res.sCovPath, &res.sDistPath})
        doc.WriteTables(*f, 1, 0);
}

bool NrtEndOfRunWrites(CZELKDoc& doc) {
    ResultFiles& res = doc.res;
    const NrtState& nrt = doc.nrt;
    const int p = doc.data.iNumVar;
    const int n = doc.data.iNumRec;
    const StringList names = doc.data.AnalysisNames();
    const double iterations = nrt.iIter - 1;
    const double converged = nrt.bConverged;
    doc.asFilesWritten.clear();

    if (WriteSixFiles(doc)) {
        bool okCovW, okCov, okDist, okGhist, okPhist, okWhist = true;
        // 1. Cov(w).
        ClearTables(res);
        res.mResultTable2 = ScaledCovariance(doc.loss.mCovW, "Cov(w)*10^%d");
        res.asResultCols2 = names;
        okCovW = doc.WriteTables(res.sCovWPath, 1, 1);
        // 2. Cov(v).
        ClearTables(res);
        res.mResultTable2 = ScaledCovariance(doc.loss.mCovV, "Cov(v)*10^%d");
        res.asResultCols2 = FirstNames(names, p - 1);
        okCov = doc.WriteTables(res.sCovPath, 1, 1);
        // 3. Weighted distances.
        ClearTables(res);
        res.mResultTable2 = nrt.mLastDist;
        res.mResultTable2.SetName("Weighted distance matrix");
        for (int r = 1; r <= n; ++r) res.asResultCols2.push_back(Format("%d", r));
        okDist = doc.WriteTables(res.sDistPath, 1, 1);
        // 4. Gradient(v) history.
        ClearTables(res);
        res.mResultTable = RowOf({iterations, converged}, "Results");
        res.asResultCols = {"Iterations", "Convergence"};
        res.mResultTable2 = Reversed(nrt.mGHist, "Gradient(v) history");
        res.asResultCols2 = FirstNames(names, p - 1);
        okGhist = doc.WriteTables(res.sGhistPath, 0, 0);
        // 5. PreSet(w) history.
        ClearTables(res);
        res.mResultTable = RowOf({iterations, converged}, "Results");
        res.asResultCols = {"Iterations", "Convergence"};
        res.mResultTable2 = Reversed(nrt.mPHist, "PreSet(w) history");
        res.asResultCols2 = names;
        okPhist = doc.WriteTables(res.sPhistPath, 0, 0);
        // 6. Results with the loss.
        ClearTables(res);
        res.mResultTable = RowOf({iterations, converged, nrt.dDispLu}, "Results");
        res.asResultCols = {"Iterations", "Convergence", "LUT"};
        okWhist = doc.WriteTables(res.sWhistPath, 0, 0) && okWhist;
        // 7. Mean weight per type (S is not reported).
        ClearTables(res);
        const double* a = nrt.adFinalAvgW;
        res.mResultTable = RowOf({a[kTypeC], a[kTypeO], a[kTypeN], a[kTypeA]}, "Avg.W.");
        res.asResultCols = {"C", "O", "N", "A"};
        okWhist = doc.WriteTables(res.sWhistPath, 0, 0) && okWhist;
        // 8. Multipliers.
        ClearTables(res);
        const double* o = doc.opt.dOrgEqFactMult;
        const double* e = doc.opt.dEqFactMult;
        res.mResultTable = RowOf({o[kTypeC], o[kTypeO], o[kTypeN], o[kTypeA]}, "dOrgEqFactMult");
        res.asResultCols = {"C", "O", "N", "A"};
        res.mResultTable2 = RowOf({e[kTypeC], e[kTypeO], e[kTypeN], e[kTypeA]}, "dEqFactMult");
        res.asResultCols2 = {"C", "O", "N", "A"};
        okWhist = doc.WriteTables(res.sWhistPath, 0, 0) && okWhist;
        // 9. v^2.
        ClearTables(res);
        res.mResultTable2 = nrt.mFinalV2;
        res.mResultTable2.SetName("v^2");
        res.asResultCols2 = names;
        okWhist = doc.WriteTables(res.sWhistPath, 0, 0) && okWhist;
        // 10. W history, last iteration first.
        ClearTables(res);
        Matrix both(nrt.mWHist.Rows(), p + 1, 0.0);
        for (int r = 0; r < nrt.mWHist.Rows(); ++r) {
            both.Set(r, 0, nrt.mLuHist.Get(r, 0));
            for (int k = 0; k < p; ++k) both.Set(r, k + 1, nrt.mWHist.Get(r, k));
        }
        res.mResultTable2 = Reversed(both, "W history");
        res.asResultCols2 = StringList{"Lu"};
        for (const auto& nm : names) res.asResultCols2.push_back(nm);
        okWhist = doc.WriteTables(res.sWhistPath, 0, 0) && okWhist;
        ClearTables(res);

        if (okWhist) doc.asFilesWritten.push_back(res.sWhistPath);
        if (okPhist) doc.asFilesWritten.push_back(res.sPhistPath);
        if (okGhist) doc.asFilesWritten.push_back(res.sGhistPath);
        if (okDist) doc.asFilesWritten.push_back(res.sDistPath);
        if (okCovW) doc.asFilesWritten.push_back(res.sCovWPath);
        if (okCov) doc.asFilesWritten.push_back(res.sCovPath);
    }

    // 11. The replicate-weight row.
    if (WriteWrep(doc)) {
        const bool create = doc.cmd.bFWGT == 1;
        TextWriter out;
        if (!out.Open(res.sWrepPath, create ? TextWriter::Mode::CreateTruncate : TextWriter::Mode::AppendExisting,
                      true)) {
            doc.Message((create ? "Could not create " : "Could not write to ") + res.sWrepPath +
                            ". File may be in use by another process. Click Save to try again.",
                        MsgIcon::Stop, MsgButtons::Ok);
            return false;
        }
        std::string text = create ? WrepHeader(names) : std::string();
        const int last = nrt.mWHist.Rows() - 1;
        RealList w;
        double lu = 0;
        if (last >= 0) {
            lu = nrt.mLuHist.Get(last, 0);
            for (int k = 0; k < p; ++k) w.push_back(nrt.mWHist.Get(last, k));
        }
        text += WrepRow(doc.cmd.sWeightVar, nrt.bConverged, lu, w);
        const bool written = out.Write(text);
        const bool closed = out.Close();
        if (!written || !closed) {
            doc.Message("Could not write to " + res.sWrepPath +
                            ". File may be in use by another process. Click Save to try again.",
                        MsgIcon::Stop, MsgButtons::Ok);
            return false;
        }
        doc.asFilesWritten.push_back(res.sWrepPath);
    }
    return true;
}

std::string NrtFinalMessage(const CZELKDoc& doc, int converged) {
    const ResultFiles& res = doc.res;
    std::string text = converged ? "Convergence attained. Results files written to\n"
                                 : "Convergence not attained. Results files written to\n";
    text += res.sWhistPath + ",\n" + res.sPhistPath + ",\n" + res.sGhistPath + ",\n" + res.sDistPath +
            " and\n" + res.sCovWPath + " and\n" + res.sCovPath + ".";
    return text;
}

}  // namespace zelk
