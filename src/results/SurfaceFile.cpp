// The surface-file reader at load: checks the file line by line against the loaded
// variables and keeps its points.
#include "results/SurfaceFile.h"

#include <cmath>

#include "base/Format.h"
#include "base/Text.h"
#include "platform/TextFile.h"

namespace zelk {

namespace {

// The formatter prints an infinite or undefined real either with "#IN" after its
// first "." or, as this program's "%12.8f" does, as inf / -inf / nan / -nan.
bool NotFiniteToken(const std::string& tok) {
    size_t dot = tok.find('.');
    if (dot != std::string::npos && tok.compare(dot + 1, 3, "#IN") == 0) return true;
    std::string t = UpperCase(tok);
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.erase(0, 1);
    return t.compare(0, 3, "INF") == 0 || t.compare(0, 3, "NAN") == 0;
}

}  // namespace

std::string SurfaceFilePath(const std::string& dataPath, bool deSoete) {
    return dataPath + (deSoete ? ".DSSuT.out" : ".SuT.out");
}

SurfaceRead ReadSurfaceFile(const std::string& path, const StringList& names, Matrix& out) {
    SurfaceRead result;
    out.Clear();
    const int p = static_cast<int>(names.size());
    TextReader in;
    if (!in.Open(path)) return result;  // absent or in use: no surface file
    result.present = true;

    // Counting pass: the lines after the caption and the header, up to an empty line.
    std::string line;
    int count = 0;
    bool caption = false;
    while (in.ReadLine(line)) {
        if (line == "W history") {
            caption = true;
            break;
        }
    }
    if (caption && in.ReadLine(line)) {
        while (in.ReadLine(line) && !line.empty()) ++count;
    }

    int condition = 0;
    Matrix work;
    int rows = 0;
    in.Rewind();
    caption = false;
    while (in.ReadLine(line)) {
        if (line == "W history") {
            caption = true;
            break;
        }
    }
    if (!caption) condition = 1;

    if (!condition) {
        std::string header;
        if (!in.ReadLine(header)) header.clear();
        StringList tok = SplitTokens(UpperCase(header), ' ');
        if (static_cast<int>(tok.size()) != p + 1) {
            condition = 2;
        } else if (tok[0] != "LU") {
            condition = 3;
        } else {
            // The writer cuts names to 12 characters; compare them cut the same way.
            for (int i = 0; i < p && !condition; ++i)
                if (tok[i + 1] != UpperCase(names[i]).substr(0, 12)) condition = 4;
        }
    }

    if (!condition) {
        work.Resize(count, p + 2, kNotSet);
        while (in.ReadLine(line)) {
            StringList tok = SplitTokens(line, ' ');
            if (tok.empty()) {
                in.ReadLine(line);  // one further line is read and ignored
                break;
            }
            if (static_cast<int>(tok.size()) != p + 1) {
                condition = 5;
                break;
            }
            if (NotFiniteToken(tok[0])) continue;
            if (rows >= count) {  // the file grew between the two passes
                condition = 6;
                break;
            }
            double* row = work.Row(rows++);
            for (int k = 0; k <= p; ++k) row[k] = CAtof(tok[k]);
            row[p + 1] = 0;
            if (std::fabs(row[0]) < 1e-8) result.bZeroLu = true;
        }
    }
    if (!condition && in.ReadLine(line)) condition = 6;
    if (!condition && rows == 0) condition = 7;

    if (condition) {
        result.condition = condition;
        result.bZeroLu = false;
        return result;
    }

    out.Resize(rows, p + 2, 0.0);
    for (int r = 0; r < rows; ++r)
        for (int k = 0; k < p + 2; ++k) out(r, k) = work(r, k);
    return result;
}

}  // namespace zelk
