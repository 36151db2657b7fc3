// The data-file loader: reads and validates a tab-delimited data file into a data set.
#pragma once

#include <functional>
#include <string>

#include "data/DataSet.h"

namespace zelk {

struct LoadOutcome {
    bool ok = false;
    // The file could not be opened at all (absent, not a regular file, or held by a writer).
    bool unreadable = false;
    std::string message;  // why the load failed
};

// Reads the file with the sample-weight variable named sWeightVar (" " when none). On
// success `out` holds the data set; on failure it is left as it was.
LoadOutcome LoadDataFile(const std::string& path, const std::string& sWeightVar, DataSet& out);

// The control-record message (a name that is not C, O, N, A or W, no name at all, or
// the weight variable's name given twice).
extern const char* const kControlRecordMessage;

// Called between the counting pass and the reading pass with the path (tests use it to
// change the file in between). Empty in the program.
extern std::function<void(const std::string&)> g_dataLoaderBetweenPasses;

}  // namespace zelk
