// The data-file loader's texts and its one test seam.
#pragma once

#include <functional>
#include <string>

namespace zelk {

// The control-record message (a name that is not C, O, N, A or W, no name at all, or
// the weight variable's name given twice).
extern const char* const kControlRecordMessage;

// Called between the counting pass and the reading pass with the path (tests use it to
// change the file in between). Empty in the program.
extern std::function<void(const std::string&)> g_dataLoaderBetweenPasses;

}  // namespace zelk
