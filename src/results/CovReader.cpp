// The reader of a covariance file (Cov(w) or Cov(v)): a K x K block with the variable
// names as column names and row labels. The values are kept as written (scaled by the
// power of ten of the caption, which is kept as the matrix name).
#include <vector>

#include "base/Text.h"
#include "platform/TextFile.h"
#include "results/ResultIO.h"

namespace zelk {

namespace {

ResultRead Fault(ResultRead rr, char fault, Matrix& out) {
    out.Clear();
    rr.fault = fault;
    return rr;
}

}  // namespace

ResultRead ReadCovFile(const std::string& path, const std::string& captionPrefix, int columns,
                       const StringList& names, Matrix& out) {
    out = Matrix();
    ResultRead rr;
    TextReader in;
    if (!in.Open(path)) return rr;  // absent or held by another holder
    rr.present = true;
    const size_t K = columns > 0 ? static_cast<size_t>(columns) : 0;

    std::string line, caption;
    bool found = false;
    while (in.ReadLine(line))
        if (line.compare(0, captionPrefix.size(), captionPrefix) == 0) {
            found = true;
            caption = line;
            break;
        }
    if (!found) return Fault(rr, 'A', out);

    std::string header;
    if (!in.ReadLine(header)) header.clear();
    const StringList tokens = SplitTokens(UpperCase(header), ' ');
    if (tokens.size() != K) return Fault(rr, 'B', out);
    for (size_t i = 0; i < K; ++i)
        if (i >= names.size() || tokens[i] != UpperCase(names[i])) return Fault(rr, 'C', out);

    std::vector<double> values;
    size_t rows = 0;
    while (in.ReadLine(line)) {
        const StringList fields = SplitTokens(line, ' ');
        if (fields.empty()) {
            in.ReadLine(line);
            break;
        }
        if (fields.size() != K + 1) return Fault(rr, 'D', out);
        // Each row is labelled with the name of its variable (which also bounds the rows).
        if (rows >= names.size() || fields[0] != names[rows]) return Fault(rr, 'E', out);
        for (size_t c = 1; c < fields.size(); ++c) values.push_back(CAtof(fields[c]));
        ++rows;
    }
    if (in.ReadLine(line)) return Fault(rr, 'F', out);
    if (rows != K) return Fault(rr, 'G', out);

    out.Resize(static_cast<int>(K), static_cast<int>(K), kNotSet);
    for (size_t r = 0; r < K; ++r)
        for (size_t c = 0; c < K; ++c) out.Set(static_cast<int>(r), static_cast<int>(c), values[r * K + c]);
    out.SetName(caption);
    return rr;
}

}  // namespace zelk
