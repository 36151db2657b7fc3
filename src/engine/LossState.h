// The quantities of one evaluation of the loss and its derivatives at one point.
#pragma once

#include "base/Matrix.h"

namespace zelk {

// Quantities of one evaluation of the loss and its derivatives.
struct LossState {
    // n x n weighted distances: the pair rows write the squared distances into the upper
    // triangle, the distance stage takes their roots and mirrors them.
    Matrix mDist;
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
};

}  // namespace zelk
