// The files of a Newton-Raphson run. Many batch processes may append to one Wrep file at the
// same time: each takes the file's lock (waiting for it) and writes its row in one call.
#include "results/NrtFiles.h"

#include <algorithm>
#include <cmath>

#include "base/Format.h"
#include "engine/Engine.h"
#include "platform/TextFile.h"
#include "results/ResultIO.h"
#include "results/TableFile.h"
#include "runs/RunTrack.h"

namespace zelk {

namespace {

const char* const kMethodTitle = "Newton-Raphson T";

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

// One block of a file (the header lines are written once, before the first block).
std::string Block(const Matrix& table, const StringList& cols, const Matrix& table2 = Matrix(),
                  const StringList& cols2 = StringList(), bool rowLabels = false) {
    return ResultTablesText(std::string(), std::string(), false, table, cols, table2, cols2, rowLabels);
}

}  // namespace

NrtPaths NrtPathsFor(const std::string& path) {
    NrtPaths p;
    p.sWrepPath = path + ".NRT.Wrep.out";
    p.sPhistPath = path + ".NRT.Phist.out";
    p.sGhistPath = path + ".NRT.Ghist.out";
    p.sWhistPath = path + ".NRT.Whist.out";
    p.sCovPath = path + ".NRT.Cov.out";
    p.sCovWPath = path + ".NRT.CovW.out";
    p.sDistPath = path + ".NRT.Dist.out";
    return p;
}

std::string NrtHeaderText(const std::string& dataPath) {
    return ResultTablesText(dataPath, kMethodTitle, true, Matrix(), StringList(), Matrix(), StringList(), false);
}

NrtTexts NrtResultTexts(const NrtRecord& rec) {
    NrtTexts t;
    const StringList& names = rec.names;
    const int p = static_cast<int>(names.size());
    const int n = rec.dist->Rows();
    const std::string header = NrtHeaderText(rec.dataPath);
    const double iterations = rec.iterations;
    const double converged = rec.converged;
    const Matrix results = RowOf({iterations, converged}, "Results");
    const StringList resultCols{"Iterations", "Convergence"};

    t.covW = header + Block(Matrix(), StringList(), ScaledCovariance(*rec.covW, "Cov(w)*10^%d"), names, true);
    t.cov = header + Block(Matrix(), StringList(), ScaledCovariance(*rec.covV, "Cov(v)*10^%d"),
                           FirstNames(names, p - 1), true);
    StringList records;
    for (int r = 1; r <= n; ++r) records.push_back(Format("%d", r));
    t.dist = header + BlockText(*rec.dist, "Weighted distance matrix", records, true);
    t.ghist = header + Block(results, resultCols, Reversed(*rec.gHist, "Gradient(v) history"), FirstNames(names, p - 1));
    t.phist = header + Block(results, resultCols, Reversed(*rec.pHist, "PreSet(w) history"), names);

    // The W history file: the results with the loss, the mean weight per type (S is not
    // reported), the multipliers, v^2 and the history, last iteration first.
    const StringList types{"C", "O", "N", "A"};
    const double* a = rec.avgW;
    const double* o = rec.orgEqFactMult;
    const double* e = rec.eqFactMult;
    Matrix v2 = *rec.finalV2;
    v2.SetName("v^2");
    const Matrix both = LuAndWeights(*rec.luHist, *rec.wHist, std::string());
    StringList luNames{"Lu"};
    for (const auto& nm : names) luNames.push_back(nm);
    t.whist = header + Block(RowOf({iterations, converged, rec.lut}, "Results"), {"Iterations", "Convergence", "LUT"}) +
              Block(RowOf({a[0], a[1], a[2], a[4]}, "Avg.W."), types) +
              Block(RowOf({o[0], o[1], o[2], o[4]}, "dOrgEqFactMult"), types,
                    RowOf({e[0], e[1], e[2], e[4]}, "dEqFactMult"), types) +
              Block(Matrix(), StringList(), v2, names) +
              Block(Matrix(), StringList(), Reversed(both, "W history"), luNames);
    return t;
}

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

std::string WriteWrepRow(const std::string& path, bool create, const std::string& text) {
    if (create) {
        // A new table replaces the old one whole, once the appends under way are done.
        const FileSetWrite w = WriteFileSet({{path, text}}, true);
        return w.Ok() ? std::string() : w.message;
    }
    // The row is appended under the file's lock; a short or failed write cuts the file back
    // to its size before, so that no fragment runs into the next row.
    TextWriter out;
    if (!out.Open(path, TextWriter::Mode::AppendExisting, true)) return WriteFaultText(path, false, WriteFault::Open);
    const bool written = out.Write(text);
    const bool closed = out.Close();
    if (!written || !closed) return WriteFaultText(path, false, WriteFault::Write);
    return std::string();
}

StringList NrtSetPaths(const NrtPaths& p) {
    return {p.sWhistPath, p.sPhistPath, p.sGhistPath, p.sDistPath, p.sCovWPath, p.sCovPath};
}

FileSetWrite WriteNrtFileSet(const NrtPaths& p, NrtTexts t) {
    // The W history last: it is the file the next load looks at first. (The texts are
    // moved in one by one: a braced list would copy them, the distances' megabytes too.)
    std::vector<std::pair<std::string, std::string>> files;
    files.reserve(6);
    files.emplace_back(p.sCovWPath, std::move(t.covW));
    files.emplace_back(p.sCovPath, std::move(t.cov));
    files.emplace_back(p.sDistPath, std::move(t.dist));
    files.emplace_back(p.sGhistPath, std::move(t.ghist));
    files.emplace_back(p.sPhistPath, std::move(t.phist));
    files.emplace_back(p.sWhistPath, std::move(t.whist));
    return WriteFileSet(std::move(files));
}

namespace {

std::string PathList(const NrtPaths& p) {
    return p.sWhistPath + ",\n" + p.sPhistPath + ",\n" + p.sGhistPath + ",\n" + p.sDistPath + " and\n" + p.sCovWPath +
           " and\n" + p.sCovPath + ".";
}

}  // namespace

std::string NrtFinalMessage(const NrtPaths& p, int converged) {
    std::string text = converged ? "Convergence attained. Results files written to\n"
                                 : "Convergence not attained. Results files written to\n";
    return text + PathList(p);
}

std::string NrtNotWrittenMessage(const NrtPaths& p, int converged) {
    std::string text = converged ? "Convergence attained. " : "Convergence not attained. ";
    text += "The results files could not be written; the previous files, if any, are unchanged:\n";
    return text + PathList(p);
}

}  // namespace zelk
