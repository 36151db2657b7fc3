#include "app/Summary.h"

#include "app/Document.h"
#include "base/Format.h"
#include "base/VarType.h"

namespace zelk {

namespace {

const char kTypeLetter[kNumTypes] = {'C', 'O', 'N', 'S', 'A'};

}  // namespace

std::string LoadSummary(const CZELKDoc& doc) {
    const DataSet& d = doc.data;
    if (doc.bNoData) return "No data set loaded.\n";
    int dropped = 0;
    for (int f : d.aiDropRec) dropped += f;
    std::string s = "Data file: " + d.sDataPath + "\n";
    s += Format("Records: %d", d.iNumRec);
    if (dropped > 0) s += Format(" (%d dropped for a zero weight)", dropped);
    s += "\n";
    s += Format("Analysis variables: %d\n", d.iNumVar);
    for (int t = 0; t < kNumTypes; ++t) {
        const StringList& names = d.Names(t);
        const RealList& ranges = doc.prep.Range(t);
        for (size_t k = 0; k < names.size(); ++k) {
            const double range = k < ranges.size() ? ranges[k] : 0.0;
            s += Format("  %c %-12s range %.8f\n", kTypeLetter[t], names[k].c_str(), range);
        }
    }
    const std::string weight = d.asWeightVar.empty() || d.asWeightVar[0] == "_ONE_" ? "(none)" : d.asWeightVar[0];
    s += "Weight variable: " + weight + "\n";
    const auto loaded = [&](const std::string& what, const std::string& path, int rows) {
        if (!path.empty()) s += Format("%s: %s (%d rows)\n", what.c_str(), path.c_str(), rows);
    };
    loaded("Newton-Raphson W history", doc.res.sNrtWhistFile, doc.res.mNrtWhist.Rows());
    loaded("Surface file", doc.surf.sSurfaceFile, doc.surf.mSurface.Rows());
    if (!doc.surf.sSurfaceFile.empty())
        s += Format("Surface Lu: min %.8f, max %.8f\n", doc.surf.dMinLu, doc.surf.dMaxLu);
    // A load writes nothing of its own; a picture of it may have been asked for.
    for (const std::string& f : doc.asFilesWritten) s += "Written: " + f + "\n";
    for (const std::string& f : doc.asFilesNotWritten) s += "Not written: " + f + "\n";
    return s;
}

std::string RunSummary(const CZELKDoc& doc, bool converged, double lu, const RealList& w,
                       const StringList& files) {
    // A batch run empties the document at its end: the names come from the run's record
    // then.
    StringList names = doc.data.AnalysisNames();
    if (names.size() != w.size()) names = doc.cmd.asLastRunNames;
    std::string s = converged ? "Convergence attained.\n" : "Convergence not attained.\n";
    s += Format("Lu=%.8f\n", lu);
    if (!doc.cmd.sLastRunCalibFailure.empty())
        s += "Calibration did not settle: " + doc.cmd.sLastRunCalibFailure + ".\n";
    s += Format("Random seed: %u\n", doc.cmd.uLastRunSeed);
    for (size_t k = 0; k < w.size(); ++k) {
        const std::string name = k < names.size() ? names[k] : Format("w%zu", k + 1);
        s += Format("w %-12s %.8f\n", name.c_str(), w[k]);
    }
    for (const std::string& f : files) s += "Written: " + f + "\n";
    // The files that could not be written (their previous contents are unchanged).
    for (const std::string& f : doc.asFilesNotWritten) s += "Not written: " + f + "\n";
    return s;
}

std::string RunSummary(const CZELKDoc& doc) {
    return RunSummary(doc, doc.cmd.bLastRunConverged != 0, doc.cmd.dLastRunLu, doc.cmd.adLastRunW,
                      doc.asFilesWritten);
}

}  // namespace zelk
