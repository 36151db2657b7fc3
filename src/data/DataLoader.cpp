// The data-file loader: a counting pass, the control record with its type-order rules,
// a reading pass into matrices sized once, the validation of values and sample weights,
// and the removal of the records of weight zero. The caller's data set is replaced only
// when everything has passed, so a failed load never leaves a part of the file.
#include "data/DataLoader.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

#include "base/Format.h"
#include "base/Text.h"
#include "base/VarType.h"
#include "platform/TextFile.h"

namespace zelk {

const char* const kControlRecordMessage =
    "Invalid control record in data file. Control record must contain the variable names.\n"
    "Names must be unique and each name must begin with C, O, N, A or W.";

std::function<void(const std::string&)> g_dataLoaderBetweenPasses;

namespace {

constexpr double kFillC = -9999999;
const char* const kSpaceMessage = "Data file contains one or more SPACE characters. File must be tab-delimited.";
const char* const kOrderTail = "C, O, N, A or W.";

// Column kinds of the control record.
enum ColumnKind { kColC, kColO, kColN, kColA, kColWeight, kColOtherW };

struct Column {
    ColumnKind kind;
    int type;   // kTypeC .. kTypeA for analysis columns
    int index;  // running index within the type
};

// Keeps the rows whose flag is 0, in order.
Matrix KeepRows(const Matrix& m, const std::vector<int>& drop, int kept) {
    Matrix out(kept, m.Cols(), 0.0, m.Name());
    int r2 = 0;
    for (int r = 0; r < m.Rows(); ++r) {
        if (drop[r]) continue;
        for (int c = 0; c < m.Cols(); ++c) out(r2, c) = m(r, c);
        ++r2;
    }
    return out;
}

}  // namespace

LoadOutcome LoadDataFile(const std::string& path, const std::string& sWeightVar, DataSet& out) {
    const std::string unreadable = "Could not read from " + path + ". File may be in use by another process.";
    LoadOutcome outcome;
    auto fail = [&outcome](const std::string& text) {
        outcome.message = text;
        return outcome;
    };

    // The open. A pipe or a device is never read (it could block or never end).
    TextReader in;
    if (!in.Open(path)) {
        outcome.unreadable = true;
        return fail(unreadable);
    }

    // Counting pass.
    std::string line;
    long long lines = 0;
    while (in.ReadLine(line)) ++lines;
    if (lines - 1 < 2) return fail("<2 data records found in " + path + ".");
    if (lines - 1 > INT_MAX / 2) return fail("Data file " + path + " is too large to load.");
    const int n = static_cast<int>(lines - 1);

    // Back to the start for the reading pass (the lock is kept).
    if (g_dataLoaderBetweenPasses) g_dataLoaderBetweenPasses(path);
    if (!in.Rewind() || !in.ReadLine(line)) return fail(unreadable);

    // The control record.
    if (line.empty())
        return fail(std::string("Invalid control record in data file (length=0). Control record must contain the "
                                "variable names.\n") +
                    "Names must be unique and each name must begin with C, O, N, A or W.");
    line = UpperCase(line);
    if (line.find(' ') != std::string::npos) return fail(kSpaceMessage);

    DataSet d;
    d.sDataPath = path;
    d.asVarname = SplitTokens(line, '\t');
    d.iNumVarAll = static_cast<int>(d.asVarname.size());
    if (d.iNumVarAll == 0) return fail(kControlRecordMessage);
    d.asVartype.resize(d.asVarname.size());

    // Classification and type order.
    const std::string weightVar = UpperCase(sWeightVar);
    const bool weightNamed = sWeightVar != " ";
    bool weightFound = false;
    std::vector<Column> cols(d.asVarname.size());
    char prev = 0;
    for (size_t j = 0; j < d.asVarname.size(); ++j) {
        const std::string& name = d.asVarname[j];
        const char letter = name[0];
        const char* order = nullptr;
        const char* allowed = nullptr;
        Column col{kColOtherW, -1, -1};
        switch (letter) {
            case 'C':
                col = {kColC, kTypeC, d.iNumC++};
                order = "Invalid data file (C). Variables must be in the following order by type:\n";
                allowed = "C";
                break;
            case 'O':
                col = {kColO, kTypeO, d.iNumO++};
                order = "Invalid data file (CO). Variables must be in the following order by type:\n";
                allowed = "CO";
                break;
            case 'N':
                col = {kColN, kTypeN, d.iNumN++};
                order = "Invalid data file (CON). Variables must be in the following order by type:\n";
                allowed = "CON";
                break;
            case 'A':
                col = {kColA, kTypeA, d.iNumA++};
                order = "Invalid data file (CONA). Variables must be in the following order by type:\n";
                allowed = "CONSA";
                break;
            case 'W':
                ++d.iNumW;
                order = "Invalid data file (CONAW). Variables must be in the following order by type:\n";
                allowed = "CONSAW";
                if (weightNamed && name == weightVar) {
                    // One column only can be the sample weight.
                    if (weightFound) return fail(kControlRecordMessage);
                    weightFound = true;
                    col.kind = kColWeight;
                }
                break;
            default:
                // S is not accepted either: the data file has no symmetric binaries.
                return fail(kControlRecordMessage);
        }
        d.asVartype[j] = std::string(1, letter);
        const bool ok = prev == 0 ? letter != 'W' : std::string(allowed).find(prev) != std::string::npos;
        if (!ok) return fail(std::string(order) + kOrderTail + "\n(" + name + ")");
        prev = letter;
        cols[j] = col;
    }

    // The named weight variable must be there.
    if (weightNamed && !weightFound)
        return fail("Weight variable " + sWeightVar +
                    " was specified on command line but not found in input dataset.\n");

    // Names, counts and matrices sized once.
    d.asWeightVar = {weightNamed ? weightVar : std::string("_ONE_")};
    d.iNumVar = d.iNumVarAll - d.iNumW;
    for (size_t j = 0; j < cols.size(); ++j) {
        if (cols[j].type < 0) continue;
        StringList& names = d.Names(cols[j].type);
        names.push_back(d.asVarname[j]);
    }
    const int width = std::max({d.iNumC, d.iNumO, d.iNumN, d.iNumA, 1});
    if (static_cast<long long>(n) * width > INT_MAX) return fail("Data file " + path + " is too large to load.");
    try {
        for (int t = 0; t < kNumTypes; ++t) {
            if (d.Count(t) >= 1) d.Data(t).Resize(n, d.Count(t), t == kTypeC ? kFillC : -1);
        }
        d.mWeight.Resize(n, 1, weightNamed ? -1 : 1);
        d.aiDropRec.assign(static_cast<size_t>(n), 0);
    } catch (const std::bad_alloc&) {
        return fail("Data file " + path + " is too large to load.");
    }

    // Reading pass. Lines beyond the counted number (the file grew) are only counted.
    long long read = 0;
    while (in.ReadLine(line)) {
        const long long r = read++;
        if (r >= n) continue;
        if (line.empty()) return fail("Invalid data record in data file (length=0).");
        line = UpperCase(line);
        if (line.find(' ') != std::string::npos) return fail(kSpaceMessage);
        const StringList tok = SplitTokens(line, '\t');
        if (tok.size() != cols.size())
            return fail(Format("Invalid data file. One or more records contains a number of tokens inconsistent "
                               "with the control record.\n(%d!=%d)",
                               static_cast<int>(std::min<size_t>(tok.size(), INT_MAX)), d.iNumVarAll));
        for (size_t j = 0; j < cols.size(); ++j) {
            const Column& c = cols[j];
            switch (c.kind) {
                case kColC: {
                    const double v = CAtof(tok[j]);
                    if (std::fabs(v - kFillC) < 1e-9)
                        return fail("Restricted value in type C variable " + d.asVarname[j] + ". (-999999999)");
                    d.mDataC(static_cast<int>(r), c.index) = v;
                    break;
                }
                case kColO:
                case kColN:
                case kColA:
                    d.Data(c.type)(static_cast<int>(r), c.index) = CAtoi(tok[j]);
                    break;
                case kColWeight: d.mWeight(static_cast<int>(r), 0) = CAtof(tok[j]); break;
                case kColOtherW: break;
            }
        }
    }

    // The file changed between the passes.
    if (read != n) {
        return fail(Format("Fatal error 2007.10.13.4 (%d!=%d",
                           static_cast<int>(std::min<long long>(read, INT_MAX)), n));
    }

    // Validation of values and sample weights; weights near zero mark the record.
    // A value that is not a finite number is invalid as well.
    for (int r = 0; r < n; ++r) {
        for (size_t j = 0; j < cols.size(); ++j) {
            const Column& c = cols[j];
            bool bad = false;
            switch (c.kind) {
                case kColC: {
                    const double v = d.mDataC(r, c.index);
                    bad = !std::isfinite(v) || std::fabs(v - kFillC) < 1e-6;
                    break;
                }
                case kColO:
                case kColN:
                case kColA: bad = d.Data(c.type)(r, c.index) < 0; break;
                case kColWeight: {
                    const double w = d.mWeight(r, 0);
                    bad = !std::isfinite(w) || w < -1e-6;
                    if (!bad && w < 1e-6) d.aiDropRec[static_cast<size_t>(r)] = 1;
                    break;
                }
                case kColOtherW: break;
            }
            if (bad)
                return fail(Format("Invalid data or sample weight (Record==%d,Column==%d", r + 1,
                                   static_cast<int>(j) + 1));
        }
    }

    // Records of weight zero leave every matrix; aiDropRec keeps the file's numbering.
    int dropped = 0;
    for (int f : d.aiDropRec) dropped += f;
    d.iNumRec = n - dropped;
    if (dropped > 0) {
        for (int t = 0; t < kNumTypes; ++t) {
            if (d.Count(t) >= 1) d.Data(t) = KeepRows(d.Data(t), d.aiDropRec, d.iNumRec);
        }
        d.mWeight = KeepRows(d.mWeight, d.aiDropRec, d.iNumRec);
    }

    if (d.iNumRec < 2) return fail("<2 data records with weight>0 found in " + path + ".");

    in.Close();
    out = std::move(d);
    outcome.ok = true;
    return outcome;
}

}  // namespace zelk
