// Data preparation: the scaled range of every analysis variable, the constants that
// depend on n and p, and the check of the initial weights.
#include "data/Preparation.h"

#include <cmath>

#include "base/Format.h"
#include "base/Text.h"
#include "base/VarType.h"

namespace zelk {

namespace {

// Largest minus smallest value of one column over the loaded records.
double RawRange(const Matrix& m, int col) {
    if (m.Rows() == 0) return 0;
    return m.ColMax(col) - m.ColMin(col);
}

// One variable's scaled range under the rule.
double ScaledRange(const DataSet& data, const RangeRule& rule, int t, int k) {
    return std::pow(RawRange(data.Data(t), k), rule.rangePow[t]) * rule.eqFactMult[t];
}

}  // namespace

std::string PrepareData(const DataSet& data, const RangeRule& rule, Prepared& prep) {
    prep.dNumN = data.iNumN;
    prep.dNumS = data.iNumS;
    prep.dNumA = data.iNumA;
    for (int t = 0; t < kNumTypes; ++t) prep.Range(t).assign(static_cast<size_t>(data.Count(t)), 0.0);
    const double n = data.iNumRec;
    prep.dNumTriples = n * ((n - 1) * (n - 2)) * 0.16666666666666666;

    for (int t = 0; t < kNumTypes; ++t) {
        RealList& ranges = prep.Range(t);
        for (int k = 0; k < data.Count(t); ++k) {
            double range = ScaledRange(data, rule, t, k);
            ranges[k] = range;
            if (std::fabs(range) < 1e-6 && rule.keepZeroRangeAsOne) ranges[k] = range = 1;
            if (std::fabs(range) < 1e-6) return "Error: Variable " + data.Names(t)[k] + " has 0 range in full sample";
        }
    }
    return std::string();
}

void RecomputeRanges(const DataSet& data, const RangeRule& rule, Prepared& prep) {
    // The same replacement as at the load: with a sample weight (and no "-FWGT") a
    // variable of zero range keeps the divisor 1 whatever the multipliers become.
    for (int t = 0; t < kNumTypes; ++t) {
        RealList& ranges = prep.Range(t);
        ranges.assign(static_cast<size_t>(data.Count(t)), 0.0);
        for (int k = 0; k < data.Count(t); ++k) {
            double range = ScaledRange(data, rule, t, k);
            if (std::fabs(range) < 1e-6 && rule.keepZeroRangeAsOne) range = 1;
            ranges[k] = range;
        }
    }
}

std::string CheckInitW(StringList& w, int p, double dNumVar) {
    std::string text;
    if (w.size() == 1) {
        if (w[0] != "1") text = "Invalid asInitW (if one token then you must set asInitW=1). Resetting to asInitW=1";
    } else if (static_cast<int>(w.size()) != p) {
        text = Format("Invalid asInitW (does not have 1 or %d tokens). Resetting to asInitW=1", p);
    } else {
        // Every start weight is a positive number (0 or less cannot be a weight: the run
        // would stop with a fatal error at its first step).
        double sum = 0;
        bool positive = true;
        for (const std::string& tok : w) {
            const double x = CAtof(tok);
            positive = positive && x > 0 && std::isfinite(x);
            sum += x;
        }
        if (!positive)
            text = "Invalid asInitW (each weight must be a number >0). Resetting to asInitW=1";
        else if (!(std::fabs(sum - dNumVar) <= 1e-8))
            text = Format("Invalid asInitW (sum=%.6f!=%.6f). Resetting to asInitW=1", sum, dNumVar);
    }
    if (!text.empty()) w = StringList{"1"};
    return text;
}

}  // namespace zelk
