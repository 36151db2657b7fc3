// The reader of a history file (W, Gradient(v) or PreSet(w) history): finds its block,
// checks the header against the variable names and every data line against the column
// count, and loads the rows in iteration order.
#include <vector>

#include "base/Text.h"
#include "platform/TextFile.h"
#include "results/ResultIO.h"

namespace zelk {

namespace {

bool SameName(const StringList& expected, size_t i, const std::string& token) {
    return i < expected.size() && token == UpperCase(expected[i]);
}

ResultRead Fault(ResultRead rr, char fault, Matrix& out) {
    out.Clear();
    rr.fault = fault;
    return rr;
}

}  // namespace

ResultRead ReadHistoryFile(const std::string& path, const HistoryKind& kind, const StringList& names,
                           Matrix& out) {
    out = Matrix();
    ResultRead rr;
    TextReader in;
    if (!in.Open(path)) return rr;  // absent or held by another holder
    rr.present = true;
    const size_t K = kind.columns > 0 ? static_cast<size_t>(kind.columns) : 0;

    // Counting pass: the lines after the caption and the header, up to the first empty line.
    std::string line;
    long long count = 0;
    bool found = false;
    while (in.ReadLine(line))
        if (line == kind.caption) {
            found = true;
            break;
        }
    if (found && in.ReadLine(line))
        while (in.ReadLine(line) && !line.empty()) ++count;

    // Reading pass.
    if (!in.Rewind()) return Fault(rr, 'A', out);
    found = false;
    while (in.ReadLine(line))
        if (line == kind.caption) {
            found = true;
            break;
        }
    if (!found) return Fault(rr, 'A', out);

    std::string header;
    if (!in.ReadLine(header)) header.clear();
    const StringList tokens = SplitTokens(UpperCase(header), ' ');
    if (tokens.size() != K) return Fault(rr, 'B', out);
    if (!kind.lead.empty()) {
        if (tokens[0] != kind.lead) return Fault(rr, 'C', out);
        for (size_t i = 0; i + 1 < K; ++i)
            if (!SameName(names, i, tokens[i + 1])) return Fault(rr, 'D', out);
    } else {
        for (size_t i = 0; i < K; ++i)
            if (!SameName(names, i, tokens[i])) return Fault(rr, 'C', out);
    }

    // Data lines; an empty line ends the table and the line after it is skipped. The rows
    // are counted and filled by the same rule: a line of blanks is a data line (without
    // the K values it must have), not the end of the table, so that no counted row is
    // left unfilled.
    std::vector<double> values;
    long long filled = 0;
    while (in.ReadLine(line)) {
        if (line.empty()) {
            in.ReadLine(line);
            break;
        }
        const StringList fields = SplitTokens(line, ' ');
        // More rows than counted cannot happen with an unchanged file; refuse it rather
        // than write outside the matrix.
        if (fields.size() != K || filled >= count) return Fault(rr, '5', out);
        for (const auto& f : fields) values.push_back(CAtof(f));
        ++filled;
    }
    if (in.ReadLine(line)) return Fault(rr, 'E', out);
    if (count == 0) return Fault(rr, 'F', out);

    // Accepted: the rows counted are the rows filled (the file is held under its lock
    // between the passes). The first data line is the last row.
    const int R = static_cast<int>(count);
    out.Resize(R, static_cast<int>(K), kNotSet);
    for (long long j = 0; j < filled; ++j) {
        const int r = R - 1 - static_cast<int>(j);
        for (size_t c = 0; c < K; ++c) out.Set(r, static_cast<int>(c), values[static_cast<size_t>(j) * K + c]);
    }
    out.SetName(kind.caption);
    return rr;
}

}  // namespace zelk
