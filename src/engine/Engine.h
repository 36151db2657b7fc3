// The optimisation engine's operations: distance components, the weighted distance
// matrix, the classification of triples, the penalty, the derivative pass, the loss
// alone (for surfaces), and the numerical kernels. Pure functions and small pass objects;
// failures are reported through EngineError and the caller decides what to do with them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/Format.h"
#include "base/Lists.h"
#include "base/Matrix.h"
#include "engine/LossState.h"

namespace zelk {

struct EngineError {
    bool failed = false;
    std::string text;
    void Fail(const std::string& t) {
        if (!failed) {
            failed = true;
            text = t;
        }
    }
    explicit operator bool() const { return failed; }
};

// Everything the loss needs about the data, in variable order C, O, N, S, A.
struct Problem {
    int n = 0;
    int p = 0;
    int first[5] = {0, 0, 0, 0, 0};  // 0-based index of the type's first variable
    int count[5] = {0, 0, 0, 0, 0};  // variables of the type (0 when absent)
    const Matrix* data[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};  // n x count
    RealList e;  // p scales
    RealList s;  // n sample weights (all 1 when not applied)
    double nN = 0, nS = 0, nA = 0;
    double penaltyPow = 2.0 / 3.0;
};

// Checks the type layout of a problem (blocks in the order C, O, N, S, A inside the p
// variables); the loader never produces a bad one. Fills err with the layout message.
void CheckProblemLayout(const Problem& pb, EngineError& err);

// v (p entries, v_p = 1) and V = sum of v^2.
struct Params {
    int p = 0;
    RealList v;
    double V = 0;
};
// v_k = sqrt(w_k / w_p).
Params ParamsFromWeights(const RealList& w);
// w_k = p v_k^2 / V.
RealList WeightsFromParams(const Params& prm);

// The one check of a weight vector before it becomes parameters: the weights sum to p
// (within 1e-5 after division by p), the last parameter is 1 (within 1e-6) and the
// squared parameters sum to V (within a relative 1e-8). Each caller reports a fault with
// its own text.
enum class WeightFault { None, SumNotP, LastNotOne, SumOfSquares };
struct CheckedWeights {
    WeightFault fault = WeightFault::None;
    Params prm;       // v_k = sqrt(w_k / p * V), V = p / w_p
    RealList v2;      // v_k^2 as w_k / p * V (each weight over the last one)
};
CheckedWeights CheckWeights(const RealList& w);

// The five components of the pair (i, j) at prm. False, without a message, when the
// divisor of the type-A component is below 1e-8 in absolute value.
bool PairComponents(const Problem& pb, const Params& prm, int i, int j, double out[5]);
extern const char* const kDivideByZeroA;  // "Fatal error: Divide by zero in type a distance component"

// Gradient (p-1) and Hessian ((p-1)x(p-1), row-major) of D^2(i, j) in v_1..v_{p-1}
// (reference, exact). False on the type-A divide by zero.
bool PairDerivatives(const Problem& pb, const Params& prm, int i, int j, double* grad, double* hess);

// The squared distances D^2(i, j), j > i, of one row (the five components added in type
// order) into row i of the n x n matrix d2, with 0 on the diagonal; the lower triangle is
// left alone. False on the type-A divide by zero.
bool ComputePairRow(const Problem& pb, const Params& prm, int i, Matrix& d2);

// mDist in place from the squared distances of its upper triangle: the checks of the
// diagonal and of negative entries, the square roots, and the mirror.
struct DistFailure {
    int kind = 0;  // 0 none, 1 diagonal not 0, 2 negative entry
    int i = 0, j = 0;
    double value = 0;
};
void BuildDistMatrix(int n, Matrix& mDist, DistFailure& failure);
// The same in parts that a run spreads over steps: the diagonal checked first, then the
// rows [r0, r1) in order (r0 a multiple of kDistTileRows). False on a failure.
constexpr int kDistTileRows = 64;
bool CheckDistDiagonal(int n, const Matrix& mDist, DistFailure& failure);
bool BuildDistRows(int n, Matrix& mDist, int r0, int r1, DistFailure& failure);
// "Fatal error #2007.10.27.1" / "Fatal error #2007.10.27.2" for the optimiser.
std::string DistFailureText(const DistFailure& f);

// The classification sums of the triples, one entry per first record in tw, vw, vc (n
// entries each): a group of 16 first records at a time (they meet each row of the distance
// matrix together), each group's middle records in parts, so that a run can spread even
// one group over steps. The sums do not depend on the parts nor on the number of threads.
class TripleClassifier {
public:
    void Begin(int n);
    // About `triples` more triples (at least one middle record's); a finished group's
    // sums go to tw, vw, vc. True once every first record is done.
    bool Step(const Matrix& mDist, const RealList& s, double triples, std::vector<double>& tw,
              std::vector<double>& vw, std::vector<double>& vc);
    bool Done() const;

private:
    static constexpr int kGroupRows = 16;
    int n_ = 0, g0_ = 0, j_ = 0;  // the current group's first record and next middle record
    std::vector<double> pt_, pw_, pc_;  // the group's pair sums, (i - g0) n + j
    std::vector<int> parts_;
};
// Classification of all triples (deterministic for any thread count).
void ClassifyTriples(const Matrix& mDist, const RealList& s, double& tripleWeight,
                     double& violWeight, double& violCount);

// Penalty P = (prod w)^pow with its gradient and Hessian in v_1..v_{p-1}.
void ComputePenalty(const Params& prm, double pow, double& P, Matrix& grad, Matrix& hess,
                    EngineError& err);

// The derivative pass over all triples, split in chunks (one chunk: the triples whose first
// record lies in a block of consecutive records and whose middle record lies in a range;
// its slices run side by side on all cores).
// Chunks run in order and may be grouped in any way across calls; the result is the same bit
// for bit, for any grouping and any thread count.
class DerivativePass {
public:
    DerivativePass();
    ~DerivativePass();
    DerivativePass(const DerivativePass&) = delete;
    DerivativePass& operator=(const DerivativePass&) = delete;

    void Begin(const Problem& pb, const Params& prm, const Matrix& mDist, double P,
               const Matrix& gradP, const Matrix& hessP);
    int NumChunks() const;
    double TriplesInChunk(int chunk) const;
    // The gradients of every pair, the first thing the chunks need: the next `rows` rows of
    // pairs (a run spreads them over steps; the first chunk does what is left). False on
    // the type-A divide by zero (err holds the message).
    bool PreparePairRows(int rows, EngineError& err);
    bool PairsPrepared() const;
    // Runs every chunk before c1 not yet run (chunks [c0, c1) when the earlier ones are done;
    // a chunk already run is not run again). On failure err holds the message and the pass
    // stops.
    void RunChunks(int c0, int c1, EngineError& err);
    // The per-row sums of the finish, the next `rows` rows (a run spreads them over steps;
    // Finish does what is left). True once every row is done; false otherwise or after a
    // failure (err set).
    bool FinishStep(int rows, EngineError& err);
    // Sums up into out: dLu, mGradV, mHessV, adRecTripleWeight, adRecTripleCount,
    // mRecGrad (not yet divided by the triple weights), dViolCount2.
    void Finish(LossState& out, EngineError& err);

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

// The straightforward per-triple pass (reference for tests and benchmarks): the same
// outputs as DerivativePass.
void ReferenceDerivativePass(const Problem& pb, const Params& prm, const Matrix& mDist,
                             double P, const Matrix& gradP, const Matrix& hessP,
                             LossState& out, EngineError& err);

// Lu alone at the weights w (all pairs and triples): for the surface scan.
struct LossOnly {
    double Lu = 0;
    double normaliser = 0;
    bool dropped = false;  // a type-A divisor vanished for some pair
    DistFailure dist;      // distance-matrix check failed
};
// deSoete: normaliser = sum over pairs of d^2; else (prod w)^penaltyPow.
void EvaluateLossOnly(const Problem& pb, const RealList& w, bool deSoete, LossOnly& out);

// Kernels.
void InvertInPlace(Matrix& a);                 // Crout, no pivoting
Matrix SymmetricEigenvalues(const Matrix& a);  // tred2 + tql1, ascending, n x 1
// Cov(v) from the Hessian sum, the per-record mean gradients ((p-1) x n), the sample
// weights, the triple weight T and the violation weight W.
Matrix CovarianceV(const Matrix& hessV, const Matrix& recGradMean, const RealList& s,
                   double T, double W);
Matrix CovarianceW(const Matrix& covV, const Params& prm);
// Exponent m of the output scaling 10^m for a matrix whose largest element is x.
int CovScaleExponent(double x);
// Gradient in w from the gradient in v and the weights (optimiser and replay).
RealList GradientInW(const RealList& gradV, const RealList& w);

}  // namespace zelk
