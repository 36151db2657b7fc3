// The result files of a Newton-Raphson run: the headings written at its first step and
// the tables written at its end, with the replicate-weight row of the Wrep file.
#pragma once

#include <string>

#include "app/TextUtil.h"

namespace zelk {

class CZELKDoc;

// Empties the result tables, sets the method text and the seven paths and, when the
// write rule allows, writes the heading lines of the six table files.
void NrtFirstStepWrites(CZELKDoc& doc);

// The end-of-run tables (covariances, distances, histories, averages, multipliers, v^2)
// and the Wrep row. Records the files written in doc.asFilesWritten. False when the
// Wrep file could not be opened (after its message): the run then ends without its
// final message.
bool NrtEndOfRunWrites(CZELKDoc& doc);

// The final message of a run: "Convergence attained. Results files written to\n" (or
// "not attained") and the six paths.
std::string NrtFinalMessage(const CZELKDoc& doc, int converged);

// The header line of a Wrep file and one data line.
std::string WrepHeader(const StringList& names);
std::string WrepRow(const std::string& weightVar, int converged, double lu, const RealList& w);

}  // namespace zelk
