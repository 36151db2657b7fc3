// The result files of a data set: the paths of the current run's files and the histories and
// covariances read back at load.
#pragma once

#include <string>

#include "base/Matrix.h"

namespace zelk {

struct ResultFiles {
    std::string sWhistPath, sPhistPath, sGhistPath, sDistPath, sCovPath, sCovWPath, sWrepPath;

    Matrix mNrtWhist, mSdtWhist, mNrtGhist, mSdtGhist, mNrtPhist, mSdtPhist;
    Matrix mNrtCovW, mSdtCovW, mNrtCovV, mSdtCovV;
    std::string sNrtWhistFile, sSdtWhistFile, sNrtGhistFile, sSdtGhistFile, sNrtPhistFile,
        sSdtPhistFile, sNrtCovWFile, sSdtCovWFile, sNrtCovFile, sSdtCovFile;
};

}  // namespace zelk
