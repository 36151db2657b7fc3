// Pacing threads: the text shown as the remaining time while nothing is done yet.
#pragma once

namespace zelk {

// Remaining time while the percentage done is still 0 (the estimate divides by it).
extern const char* const kRemainingUnknown;

}  // namespace zelk
