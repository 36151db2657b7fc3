// Command-line state, read again on every open.
#pragma once

#include <string>
#include <vector>

namespace zelk {

struct CommandLine {
    int iBatchNRT = 0;  // 0 off; 1 start at the first repaint; 2 finished, close
    int iBatchSUT = 0;
    int bFWGT = 0;
    std::string sWeightVar = " ";  // " " when no "-W=" was given

    // Outcome of the last finished Newton-Raphson run (kept across the document reset
    // that ends a batch run, for the headless summary).
    int bLastRunConverged = 0;
    double dLastRunLu = 0;
    std::vector<double> adLastRunW;
    std::vector<std::string> asLastRunNames;
    std::string sLastRunCalibFailure;  // why calibration did not settle, or empty
    unsigned uLastRunSeed = 0;         // the seed of its random restarts
    // Iterations of the last Newton-Raphson run (points of the last surface scan), and
    // its elapsed time in seconds.
    int iLastRunIter = 0;
    double dLastRunElapsedSec = 0;
};

}  // namespace zelk
