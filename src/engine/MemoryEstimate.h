// What the engine's evaluations hold in memory at their peak, so that a run can be refused
// before it starts instead of failing half-way when the machine has too little memory.
#pragma once

namespace zelk {

// Bytes held by one full evaluation of the loss with its gradient and Hessian (the fast
// derivative pass) for n records and p analysis variables: the five component matrices and
// the distance matrix (O(n^2)), the pair data of the pass (O(n^2 p)), its slices and the
// per-record Hessian sums of its end (O(n p^2)). Computed in doubles, so sizes far beyond
// any machine are not wrapped around.
double EvaluationBytes(double n, double p);

// Bytes held by one evaluation of the loss alone (a surface point): the squared distances
// and the distance matrix.
double LossOnlyBytes(double n);

}  // namespace zelk
