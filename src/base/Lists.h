// The growable lists of the program: names, type letters and tokens; ranges and weights.
#pragma once

#include <string>
#include <vector>

namespace zelk {

using StringList = std::vector<std::string>;
using RealList = std::vector<double>;

}  // namespace zelk
