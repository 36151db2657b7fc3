// The memory check of the Newton-Raphson and Surface commands: a run that needs more memory
// than the machine has is refused before it allocates anything, with a message that names
// the size needed, instead of failing half-way.
#pragma once

#include <string>

namespace zelk {

class CZELKDoc;

// Empty when a Newton-Raphson run of the loaded data set fits; else the refusal.
std::string NrtMemoryRefusal(const CZELKDoc& doc);
// Empty when a surface scan of `points` grid points fits; else the refusal.
std::string ScanMemoryRefusal(const CZELKDoc& doc, long long points);

}  // namespace zelk
