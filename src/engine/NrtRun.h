// The Newton-Raphson run's operations shared between its phases: the Newton update, the
// random restart, the calibration of the equalising multipliers and the finish step.
// Each reports a failure through doc.Fatal; after a false result the caller returns at
// once (the document has been emptied).
#pragma once

#include <string>

#include "app/TextUtil.h"
#include "engine/Engine.h"
#include "engine/Matrix.h"

namespace zelk {

class CZELKDoc;

// Message of a Newton step that leaves the weights undefined (not a number).
extern const char* const kNrtNotFiniteText;

// Phase 7: the Newton update with its bounds, histories, covariance and control.
void NrtUpdate(CZELKDoc& doc);
// A descent converged and restarts remain: the next descent's start point.
void NrtRandomRestart(CZELKDoc& doc);
// Calibration of the C, O and N multipliers. True when the multipliers have settled
// (the control goes on); false when the run restarted with new multipliers or failed.
bool NrtCalibrationStep(CZELKDoc& doc);
// The finish step: last covariance, checks, result files, end of the run, message.
void NrtFinish(CZELKDoc& doc);

// Mean weight of each type C, O, N, S, A over w (0 for a type without variables). False
// after doc.Fatal(fatalText) when a weight index lies outside every type block.
bool NrtTypeAverages(CZELKDoc& doc, const RealList& w, double avg[5], const char* fatalText);
// Rebuilds the scale vector e and the data view of the loss from the prepared ranges.
void NrtRebuildProblem(CZELKDoc& doc);
// Cov(v), Cov(w) and their eigenvalues at the current point, when a derivative pass
// completed since the last computation.
void NrtCovariance(CZELKDoc& doc);

// The weights after the bounds: every free weight within [minW, p - minW], the last
// one taking the rest of the sum p; when the last one leaves the bounds, the free weight
// with the most room (the first on ties) absorbs the difference.
RealList NrtBoundWeights(RealList w, double minW);

// Params of the current iteration (v, V).
Params NrtParams(const CZELKDoc& doc);
RealList ToList(const Matrix& column);
Matrix ToColumn(const RealList& values);

}  // namespace zelk
