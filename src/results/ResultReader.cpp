// Reading the result files of a data file being opened: the ten files of the two method
// sets are read and checked one by one, then checked against each other. An invalid file
// or a mismatch rejects the set with the question whether to delete that method's files.
#include "results/ResultSet.h"

#include "base/Format.h"
#include "results/ResultIO.h"

namespace zelk {

namespace {

enum Method { kSdt = 0, kNrt = 1 };
const char* const kMethodCode[2] = {"SDT", "NRT"};

// Condition numbers of a history file, by condition A, B, C, D, E, F (0: not used).
struct HistoryNumbers {
    int a, b, c, d, e, f;
};

int HistoryNumber(const HistoryNumbers& n, char fault) {
    switch (fault) {
        case 'A': return n.a;
        case 'B': return n.b;
        case 'C': return n.c;
        case 'D': return n.d;
        case 'E': return n.e;
        case 'F': return n.f;
        default: return 5;  // every bad data line of every history file
    }
}

int CovNumber(Method m, char fault) {
    const int base = m == kSdt ? 46 : 39;  // A .. G in order
    return base + (fault - 'A');
}

// The six paths of a method's set as listed in the question, each followed by "\n".
std::string SixPaths(const std::string& dataPath, Method m) {
    const std::string prefix = dataPath + "." + kMethodCode[m];
    std::string text;
    for (const char* suffix : {".Whist.out", ".Phist.out", ".Ghist.out", ".Dist.out", ".CovW.out", ".Cov.out"})
        text += prefix + suffix + "\n";
    return text;
}

struct MethodFiles {
    Matrix* whist;
    Matrix* ghist;
    Matrix* phist;
    Matrix* covW;
    Matrix* covV;
    std::string* whistFile;
    std::string* ghistFile;
    std::string* phistFile;
    std::string* covWFile;
    std::string* covFile;
};

MethodFiles FilesOf(ResultFiles& res, Method m) {
    if (m == kSdt)
        return {&res.mSdtWhist,     &res.mSdtGhist,     &res.mSdtPhist,     &res.mSdtCovW,    &res.mSdtCovV,
                &res.sSdtWhistFile, &res.sSdtGhistFile, &res.sSdtPhistFile, &res.sSdtCovWFile, &res.sSdtCovFile};
    return {&res.mNrtWhist,     &res.mNrtGhist,     &res.mNrtPhist,     &res.mNrtCovW,    &res.mNrtCovV,
            &res.sNrtWhistFile, &res.sNrtGhistFile, &res.sNrtPhistFile, &res.sNrtCovWFile, &res.sNrtCovFile};
}

// The first failing cross-file check of one group, or an empty text.
std::string MissingPartner(const std::string& presentFile, const std::string& partnerFile,
                           const std::string& text) {
    if (!presentFile.empty() && partnerFile.empty()) return presentFile + text;
    return std::string();
}

}  // namespace

ResultSetCheck ReadResultSet(const std::string& dataPath, const StringList& asVarname, int p,
                             ResultFiles& res) {
    // Nothing of an earlier data file stays.
    for (Method m : {kSdt, kNrt}) {
        MethodFiles f = FilesOf(res, m);
        for (Matrix* mx : {f.whist, f.ghist, f.phist, f.covW, f.covV}) *mx = Matrix();
        for (std::string* s : {f.whistFile, f.ghistFile, f.phistFile, f.covWFile, f.covFile}) s->clear();
    }

    // The writers cut names to 12 characters; compare with the names cut the same way.
    StringList names;
    for (const auto& nm : asVarname) names.push_back(Cut12(nm));

    // The question for an invalid file set.
    auto reject = [&](Method m, const std::string& text) {
        ResultSetCheck check;
        check.rejected = true;
        check.question = text + SixPaths(dataPath, m);
        check.deletePrefix = dataPath + "." + kMethodCode[m];
        return check;
    };
    auto invalid = [&](Method m, int number, const std::string& path) {
        return reject(m, Format("Invalid file (%d) ", number) + path + ". Delete the following files?\n");
    };

    struct HistoryVisit {
        Method method;
        int kind;  // 0: W, 1: Gradient(v), 2: PreSet(w)
        HistoryNumbers numbers;
    };
    const HistoryKind kinds[3] = {{"W history", p + 1, "LU"},
                                  {"Gradient(v) history", p - 1, ""},
                                  {"PreSet(w) history", p, ""}};
    const char* const suffixes[3] = {".Whist.out", ".Ghist.out", ".Phist.out"};
    const HistoryVisit histories[6] = {
        {kSdt, 0, {1, 2, 3, 4, 6, 7}},       {kNrt, 0, {8, 9, 10, 11, 13, 14}},
        {kSdt, 1, {15, 16, 17, 0, 19, 20}},  {kNrt, 1, {21, 22, 23, 0, 25, 26}},
        {kSdt, 2, {27, 28, 29, 0, 31, 32}},  {kNrt, 2, {33, 34, 35, 0, 37, 38}}};
    for (const HistoryVisit& v : histories) {
        const std::string path = dataPath + "." + kMethodCode[v.method] + suffixes[v.kind];
        MethodFiles f = FilesOf(res, v.method);
        Matrix* target[3] = {f.whist, f.ghist, f.phist};
        std::string* field[3] = {f.whistFile, f.ghistFile, f.phistFile};
        const ResultRead rr = ReadHistoryFile(path, kinds[v.kind], names, *target[v.kind]);
        if (!rr.present) continue;
        if (rr.fault != 0) return invalid(v.method, HistoryNumber(v.numbers, rr.fault), path);
        *field[v.kind] = path;
    }

    struct CovVisit {
        Method method;
        bool weights;  // Cov(w) rather than Cov(v)
    };
    const CovVisit covs[4] = {{kNrt, true}, {kSdt, true}, {kNrt, false}, {kSdt, false}};
    for (const CovVisit& v : covs) {
        const std::string path = dataPath + "." + kMethodCode[v.method] + (v.weights ? ".CovW.out" : ".Cov.out");
        MethodFiles f = FilesOf(res, v.method);
        const ResultRead rr = ReadCovFile(path, v.weights ? "Cov(w)*10^" : "Cov(v)*10^", v.weights ? p : p - 1,
                                          names, v.weights ? *f.covW : *f.covV);
        if (!rr.present) continue;
        if (rr.fault != 0) return invalid(v.method, CovNumber(v.method, rr.fault), path);
        *(v.weights ? f.covWFile : f.covFile) = path;
    }

    // Cross-file checks: every file of a set needs the W history, and the histories agree
    // in their number of rows (an absent file has none).
    const std::string tail = "\nDelete the following files?\n";
    auto rowCheck = [](const std::string& a, const Matrix& ma, const std::string& b, const Matrix& mb) {
        if (ma.Rows() == mb.Rows()) return std::string();
        return a + " and " + b + " do not have the same number of records " +
               Format("(%d!=%d).", ma.Rows(), mb.Rows());
    };
    for (int group = 0; group < 4; ++group) {
        for (Method m : {kSdt, kNrt}) {
            const MethodFiles f = FilesOf(res, m);
            std::string text;
            if (group == 0) {  // checks 1-3 (SDT), 4-6 (NRT)
                text = MissingPartner(*f.ghistFile, *f.whistFile, " does not have a matching W history file.");
                if (text.empty())
                    text = MissingPartner(*f.whistFile, *f.ghistFile,
                                          " does not have a matching Gradient(v) history file.");
                if (text.empty()) text = rowCheck(*f.whistFile, *f.whist, *f.ghistFile, *f.ghist);
            } else if (group == 1) {  // checks 7-9, 10-12
                text = MissingPartner(*f.phistFile, *f.whistFile, " does not have a matching W history file.");
                if (text.empty())
                    text = MissingPartner(*f.whistFile, *f.phistFile,
                                          " does not have a matching PreSet(w) history file.");
                if (text.empty()) text = rowCheck(*f.whistFile, *f.whist, *f.phistFile, *f.phist);
            } else if (group == 2) {  // checks 13-14, 15-16
                text = MissingPartner(*f.covWFile, *f.whistFile, " does not have a matching W history file.");
                if (text.empty())
                    text = MissingPartner(*f.whistFile, *f.covWFile, " does not have a matching Cov(w) file.");
            } else {  // checks 17-18, 19-20
                text = MissingPartner(*f.covFile, *f.whistFile, " does not have a matching W history file.");
                if (text.empty())
                    text = MissingPartner(*f.whistFile, *f.covFile, " does not have a matching Cov(v) file.");
            }
            if (!text.empty()) return reject(m, text + tail);
        }
    }
    return ResultSetCheck();
}

}  // namespace zelk
