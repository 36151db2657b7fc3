// The surface file beside a data file: its name and its reader.
#pragma once

#include <string>

#include "base/Lists.h"
#include "base/Matrix.h"

namespace zelk {

// The data path with ".DSSuT.out" (De Soete surface) or ".SuT.out".
std::string SurfaceFilePath(const std::string& dataPath, bool deSoete);

struct SurfaceRead {
    bool present = false;  // the file could be opened
    int condition = 0;     // 0 when accepted, else the number of the failed check
    bool bZeroLu = false;  // some point has |Lu| < 1e-8
};

// Reads the "W history" block of a surface file for the analysis variables `names`: rows of
// Lu, the weights and a 0 column, in file order, into `out` (empty unless accepted).
SurfaceRead ReadSurfaceFile(const std::string& path, const StringList& names, Matrix& out);

}  // namespace zelk
