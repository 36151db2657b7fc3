// The expected files of a complete Newton-Raphson run on the tiny data set: how they are
// made (the test compares with them; `make update-golden` rewrites them on purpose, never
// `make test`) and how a file is compared with its expected text: the layout exactly
// (lines, their lengths, the places of the blanks, every word) and the numbers within a
// stated tolerance, so that a change of the arithmetic in the last digits passes and any
// other change fails.
#pragma once

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>

#include "engine/TripleKernels.h"
#include "support/NrtTestData.h"

namespace zelk {
namespace golden {

// Numbers agree when |a - b| <= kTolerance * max(1, |b|).
constexpr double kTolerance = 1e-6;

inline const char* const kSuffixes[] = {".NRT.Whist.out", ".NRT.Phist.out", ".NRT.Ghist.out",
                                        ".NRT.Dist.out",  ".NRT.CovW.out",  ".NRT.Cov.out"};

inline std::string ExpectedDir() { return std::string(ZELK_SOURCE_DIR) + "/tests/results/expected/"; }

// The six files of the tiny run, by suffix, with the run's directory replaced by "DIR". The
// portable triple kernels give the same digits on every processor.
inline std::map<std::string, std::string> TinyRunFiles(std::string& error) {
    detail::SetKernelLevel(0);
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string dir = nrttest::MakeTempDir();
    nrttest::PrepareTiny(doc, dir);
    doc.OnAnalyzeNrt();
    nrttest::StepToEnd(doc);
    detail::SetKernelLevel(2);
    std::map<std::string, std::string> files;
    if (doc.iFatalCount != 0) {
        error = pf.LastBox();
        return files;
    }
    for (const char* s : kSuffixes) {
        std::string text = nrttest::ReadAll(dir + "/tiny.dat" + s);
        for (size_t at = text.find(dir); at != std::string::npos; at = text.find(dir)) text.replace(at, dir.size(), "DIR");
        files[s] = text;
    }
    return files;
}

inline bool IsNumber(const std::string& tok, double& value) {
    char* end = nullptr;
    value = std::strtod(tok.c_str(), &end);
    return !tok.empty() && end == tok.c_str() + tok.size();
}

// Empty when `actual` matches `expected`; else where and how they differ.
inline std::string Mismatch(const std::string& actual, const std::string& expected) {
    const auto a = testfs::Lines(actual), e = testfs::Lines(expected);
    if (a.size() != e.size()) return "line count " + std::to_string(a.size()) + " != " + std::to_string(e.size());
    for (size_t i = 0; i < a.size(); ++i) {
        const std::string where = "line " + std::to_string(i + 1) + ": \"" + a[i] + "\" vs \"" + e[i] + "\"";
        if (a[i].size() != e[i].size()) return where + " (length)";
        for (size_t c = 0; c < a[i].size(); ++c)
            if ((a[i][c] == ' ') != (e[i][c] == ' ')) return where + " (layout)";
        const StringList ta = SplitTokens(a[i], ' '), te = SplitTokens(e[i], ' ');
        for (size_t t = 0; t < ta.size(); ++t) {
            double x, y;
            if (IsNumber(ta[t], x) && IsNumber(te[t], y)) {
                if (!(std::fabs(x - y) <= kTolerance * std::max(1.0, std::fabs(y)))) return where + " (number)";
            } else if (ta[t] != te[t]) {
                return where + " (word)";
            }
        }
    }
    return std::string();
}

}  // namespace golden
}  // namespace zelk
