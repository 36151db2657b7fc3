// The result files of a Newton-Raphson run: their names, the texts written at the end of a
// run (covariances, distances, histories, averages, multipliers, v^2), the replicate-weight
// row of the Wrep file and the final message.
#pragma once

#include <string>

#include "base/Lists.h"
#include "base/Matrix.h"
#include "results/TableFile.h"

namespace zelk {

// The seven paths of a run's files beside the data file.
struct NrtPaths {
    std::string sWhistPath, sPhistPath, sGhistPath, sDistPath, sCovPath, sCovWPath, sWrepPath;
};
NrtPaths NrtPathsFor(const std::string& dataPath);

// What the end of a run writes.
struct NrtRecord {
    std::string dataPath;
    StringList names;        // the p analysis variable names
    int iterations = 0;      // the run's counter minus 1
    int converged = 0;
    double lut = 0;          // the loss of the last completed iteration
    const Matrix* covW = nullptr;
    const Matrix* covV = nullptr;
    const Matrix* dist = nullptr;       // n x n
    const Matrix* luHist = nullptr;     // iteration order
    const Matrix* wHist = nullptr;
    const Matrix* gHist = nullptr;
    const Matrix* pHist = nullptr;
    const Matrix* finalV2 = nullptr;    // 1 x p
    const double* avgW = nullptr;       // 5, C O N S A
    const double* orgEqFactMult = nullptr;
    const double* eqFactMult = nullptr;
};

// The whole text of each of the six table files, header included.
struct NrtTexts {
    std::string covW, cov, dist, ghist, phist, whist;
};
NrtTexts NrtResultTexts(const NrtRecord& rec);

// The text of a file's first-step state: its two header lines.
std::string NrtHeaderText(const std::string& dataPath);

// The six table files in the order of the final message: Whist, Phist, Ghist, Dist, CovW,
// Cov.
StringList NrtSetPaths(const NrtPaths& paths);

// Replaces the six table files with the texts of the run, all or nothing: when one of
// them cannot be written, none of them changes (the previous run's set stays whole).
FileSetWrite WriteNrtFileSet(const NrtPaths& paths, NrtTexts texts);

// The header line of a Wrep file and one data line.
std::string WrepHeader(const StringList& names);
std::string WrepRow(const std::string& weightVar, int converged, double lu, const RealList& w);
// Appends the row (with the header first when `create`, which truncates the file) under the
// file's lock, waiting for it. Returns the failure message, or an empty text.
std::string WriteWrepRow(const std::string& path, bool create, const std::string& text);

// "Convergence attained. Results files written to\n" (or "not attained") and the paths.
std::string NrtFinalMessage(const NrtPaths& paths, int converged);
// The final message of a run whose set could not be written: the convergence, that the
// files were not written and that the previous ones are unchanged, and the paths.
std::string NrtNotWrittenMessage(const NrtPaths& paths, int converged);

}  // namespace zelk
