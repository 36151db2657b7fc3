// The state of a Newton-Raphson run: where the step machine stands, the weights of the
// current descent, the restarts and the calibration, and the evaluation of the current
// iteration.
#pragma once

#include <memory>
#include <string>

#include "base/Lists.h"
#include "base/Matrix.h"
#include "engine/Engine.h"
#include "engine/Evaluation.h"
#include "engine/LossState.h"

namespace zelk {

// The steps of one iteration. A run starts with its set-up; each iteration forms the
// parameters of its start weights, evaluates the loss there (a batch of pair rows or
// triple chunks per step), makes the Newton update with its control decision and redraws.
enum class NrtPhase { SetUp, Parameters, Evaluate, Update, Redraw };

struct NrtState {
    NrtPhase phase = NrtPhase::SetUp;
    int iIter = 0;      // iterations recorded; 0 before the first Newton update
    int iIterBase = 0;
    int iMaxIterRun = 0;  // the run's iteration budget (all restarts together)
    int bInitialised = 0;  // 0 again when the next step must finish the run
    int bFinished = 0;     // the finish step has run: later steps do nothing
    double dTriplesDone = 0, dPctBefore = 0, dPctDone = 0;  // progress of the iteration
    int bRepeatForHessian = 0;  // this iteration was started by a forced step (after a restart)
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

    int bCalibDone = 1;
    int bConverged = 0;
    // Calibrations made in this run, and why calibration ended without settling (empty
    // while it has not failed).
    int iCalibrations = 0;
    std::string sCalibFailure;
    // Updates that recorded no row because the weights did not move (they count against
    // the iteration budget, so a run whose weights settle still ends).
    int iStalled = 0;
    // The run ends with one more iteration at the best point found (it was better than
    // where the budget or the last descent left the run); its row is the run's last.
    int bFinalAtBest = 0;
    int bFinalConverged = 0;

    // The evaluation of the current iteration.
    std::shared_ptr<Problem> pProblem;
    std::shared_ptr<Evaluator> pEval;
    LossState loss;
    int bCovInputReady = 0;
    Matrix mHessCopy;

    // What the finish step leaves for the result files.
    Matrix mFinalV2;             // v^2 of the final weights (written as "v^2")
    Matrix mLastDist;            // mDist of the last completed iteration
    double adFinalAvgW[5] = {0, 0, 0, 0, 0};  // per-type mean of the final weights
};

}  // namespace zelk
