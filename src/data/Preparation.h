// Data preparation: the scaled range of every analysis variable, the constants that depend
// on n and p, the value-type checks and the check of the initial weights.
#pragma once

#include <string>

#include "base/Lists.h"
#include "data/DataSet.h"
#include "data/Prepared.h"

namespace zelk {

// How a variable's scaled range is formed: raw range ^ rangePow[type] * eqFactMult[type].
// With a sample-weight variable and without "-FWGT" (keepZeroRangeAsOne) a variable of zero
// range gets the divisor 1 instead of failing.
struct RangeRule {
    const double* eqFactMult = nullptr;  // 5 entries, C O N S A
    const double* rangePow = nullptr;    // 5 entries
    bool keepZeroRangeAsOne = false;
};

// The ranges and constants of a freshly loaded data set. Returns the message of the first
// variable of zero range, or an empty text.
std::string PrepareData(const DataSet& data, const RangeRule& rule, Prepared& prep);
// The ranges again with the current multipliers (calibration changes them).
void RecomputeRanges(const DataSet& data, const RangeRule& rule, Prepared& prep);

// The first value-type fault of the data (O and N non-negative integers, S and A 0 or 1),
// or an empty text.
std::string ValueTypeError(const DataSet& data);

// Checks the initial weights against p; a bad list is replaced by the single token "1" and
// the message returned (empty when the list was valid).
std::string CheckInitW(StringList& asInitW, int p, double dNumVar);

}  // namespace zelk
