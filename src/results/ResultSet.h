// The check of the result files found beside a data file at load.
#pragma once

#include <string>

#include "base/Lists.h"
#include "results/ResultFiles.h"

namespace zelk {

struct ResultSetCheck {
    bool rejected = false;
    std::string question;      // asks whether to delete the rejected method's files
    std::string deletePrefix;  // the data path and ".NRT" or ".SDT"
};

// Reads and checks the result files of both methods for the data file at dataPath with the
// names asVarname (all names, file order) and p analysis variables. Accepted files fill the
// loaded histories, covariances and their paths in `res` (emptied first).
ResultSetCheck ReadResultSet(const std::string& dataPath, const StringList& asVarname, int p, ResultFiles& res);

}  // namespace zelk
