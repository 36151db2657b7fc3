// The memory a Newton-Raphson run or a surface scan needs at its peak, from the size of
// the data set: what the command compares with what the machine has before it starts.
#pragma once

namespace zelk {

// A Newton-Raphson run of n records and p analysis variables: one evaluation with its
// derivatives, the distance matrix the run keeps of its last iteration, and the end of
// the run, when the texts of the result files (the n x n distance file above all) are made
// while the evaluation's buffers still exist.
double NrtRunBytes(double n, double p);

// A surface scan of `points` grid points: the loss-only evaluations that run at once (one
// per core for small data sets, else one), the scanned points and the surface file's text.
double SurfaceScanBytes(double n, double p, double points);

// True when a matrix of the run would have more elements than a matrix can index.
bool RunMatricesTooLarge(double n, double p);

}  // namespace zelk
