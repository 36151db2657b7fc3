// State of the optimiser: the loss pass quantities, the Newton-Raphson run, its
// histories, covariance and display copies.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/TextUtil.h"
#include "engine/Matrix.h"

namespace zelk {

class DerivativePass;
struct Problem;
struct Params;

// Quantities of one evaluation of the loss and its derivatives.
struct LossState {
    Matrix mDistC, mDistO, mDistN, mDistS, mDistA;  // n x n, i < j written
    Matrix mDist;                                   // n x n weighted distances
    double dLu = 0;
    Matrix mGradV;  // (p-1) x 1
    Matrix mHessV;  // (p-1) x (p-1)
    Matrix adRecTripleWeight;  // 1 x n
    Matrix adRecTripleCount;   // 1 x n
    Matrix mRecGrad;           // (p-1) x n
    double dTripleWeight = 0, dViolWeight = 0, dViolCount = 0, dViolCount2 = 0;
    double dSumWeights = 0;
    // Penalty and its derivatives in the free parameters.
    double dPenalty = 0;
    Matrix mPenaltyGrad;  // (p-1) x 1
    Matrix mPenaltyHess;  // (p-1) x (p-1)
    // Covariance and eigenvalues.
    Matrix mCovV, mCovW, mEigHess, mEigCovV, mEigCovW;
    Matrix mHessCopy;
    int bCovInputReady = 0;
};

// The Newton-Raphson run.
struct NrtState {
    int iNRTPhase = 0;
    int iIter = 0;
    int iIterBase = 0;
    int iMaxIterRun = 0;
    int bInitialised = 0;
    int iPairI = 0, iPairJ = 1;
    int iTripI = 0, iTripJ = 1, iTripK = 2;
    double dTriplesDone = 0, dPctBefore = 0, dPctDone = 0;
    std::string sRunMethod;  // "NRT" while a Newton-Raphson run is on

    Matrix mStartW, mInitW, mPresetW, mCurW;  // p x 1
    Matrix mBestW;                            // p x 1, empty until the first convergence
    double dBestLu = -1;
    int iRestart = 0;
    int iBestIndex = 0;
    Matrix mPerturb;  // p x 1

    Matrix mV;       // p x 1, v_p = 1
    Matrix mVFree;   // (p-1) x 1
    double dV = 0;   // sum of v^2
    RealList adScale;  // e, p entries
    int iFirst[5] = {0, 0, 0, 0, 0};  // 1-based first index of each type, 0 when absent
    int iLast[5] = {0, 0, 0, 0, 0};   // 1-based last index of each type, 0 when absent
    int bRebuildPerType = 1;

    // Histories, one row per recorded iteration.
    Matrix mLuHist, mWHist, mGHist, mGwHist, mPHist;

    // Display copies for the view.
    Matrix mDispGradV, mDispGradW, mDispHess, mDispEigHess, mDispW, mDispV, mDispPresetW;
    double dDispLu = 0;
    std::string sCurWLabel;

    int bCalibDone = 1;
    int bConverged = 0;

    // Work objects of the current pass (the data view and the chunked derivative pass).
    std::shared_ptr<Problem> pProblem;
    std::shared_ptr<DerivativePass> pPass;
    std::shared_ptr<Params> pPassParams;  // the parameters the pass was begun with
    int iChunk = 0;             // next chunk of the derivative pass
    Matrix mFinalV2;             // v^2 of the final weights (written as "v^2")
    Matrix mLastDist;            // mDist of the last completed iteration
    double adFinalAvgW[5] = {0, 0, 0, 0, 0};  // per-type mean of the final weights
};

}  // namespace zelk
