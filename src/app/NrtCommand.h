// The Newton-Raphson command: why it refuses a data set it cannot analyse.
#pragma once

#include <string>

namespace zelk {

class CZELKDoc;

// Empty when the loaded data set can be analysed by Newton-Raphson; otherwise the
// message that explains why not (one analysis variable, fewer than three records, a run
// held by ISDSTEPSTONR, calibration without A variables).
std::string NrtRefusalText(const CZELKDoc& doc);

}  // namespace zelk
