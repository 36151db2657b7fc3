// Result files: the tables a write puts into a file, the paths of the current run and
// the histories and covariances read back at load.
#pragma once

#include <string>

#include "app/TextUtil.h"
#include "engine/Matrix.h"

namespace zelk {

struct ResultFiles {
    std::string sMethodTitle;
    Matrix mResultTable, mResultTable2;
    StringList asResultCols, asResultCols2;
    std::string sWhistPath, sPhistPath, sGhistPath, sDistPath, sCovPath, sCovWPath, sWrepPath;

    Matrix mNrtWhist, mSdtWhist, mNrtGhist, mSdtGhist, mNrtPhist, mSdtPhist;
    Matrix mNrtCovW, mSdtCovW, mNrtCovV, mSdtCovV;
    std::string sNrtWhistFile, sSdtWhistFile, sNrtGhistFile, sSdtGhistFile, sNrtPhistFile,
        sSdtPhistFile, sNrtCovWFile, sSdtCovWFile, sNrtCovFile, sSdtCovFile;

    // Set once the end-of-run writes of a run have been made, so they are never repeated.
    int bEndWritesDone = 0;
};

}  // namespace zelk
