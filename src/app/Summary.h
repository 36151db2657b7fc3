// Plain-text summaries of a loaded data set and of a finished run, for the headless mode.
#pragma once

#include <string>

#include "base/Format.h"
#include "base/Lists.h"
#include "base/Text.h"

namespace zelk {

class CZELKDoc;

// The data file, the records (and how many were dropped for a zero weight), p, each
// analysis variable with its type letter and scaled range, and the weight variable.
std::string LoadSummary(const CZELKDoc& doc);

// Converged or not, the final Lu, the weights with their names and the files written;
// one item per line.
std::string RunSummary(const CZELKDoc& doc, bool converged, double lu, const RealList& w,
                       const StringList& files);
// The same for the last finished Newton-Raphson run that the document remembers.
std::string RunSummary(const CZELKDoc& doc);

}  // namespace zelk
