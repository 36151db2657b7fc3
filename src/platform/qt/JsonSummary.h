// The summaries of the headless mode as one JSON object on a line (--json): for scripts
// in R or Python that would otherwise parse the text summaries.
#pragma once

#include <optional>
#include <string>

namespace zelk {

class CZELKDoc;

// The seed of the random generator that the last run drew its restarts from; none while
// the document does not record it (the summary then shows null).
std::optional<long long> LastRunSeed(const CZELKDoc& doc);

// The loaded data set: the data file, records (and those dropped for a zero weight), the
// analysis variables with their types and scaled ranges, the weight variable.
std::string LoadSummaryJson(const CZELKDoc& doc);

// The finished batch run of the data file dataFile. A Newton-Raphson run: converged,
// iterations, Lu, the weights by variable name, the seed, the files written and the
// elapsed seconds. A surface scan: the points, the files written and the elapsed seconds.
std::string RunSummaryJson(const CZELKDoc& doc, const std::string& dataFile);

}  // namespace zelk
