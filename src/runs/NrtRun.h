// The Newton-Raphson run as a step machine. Each step performs one phase of the current
// iteration (or a time-boxed batch of the evaluation) and returns what the caller has to
// do: nothing more, redraw, request a forced step, write the results of a finished run,
// or report a failure. The run never shows a message and never touches files.
#pragma once

#include <functional>
#include <string>

#include "base/Lists.h"
#include "data/DataSet.h"
#include "data/Preparation.h"
#include "data/Prepared.h"
#include "runs/NrtState.h"
#include "runs/RunTrack.h"

namespace zelk {

// Calibration ends without settling after this many calibrations, or when a multiplier
// leaves [kCalibRange^-1, kCalibRange] times its original value.
constexpr int kMaxCalibrations = 50;
constexpr double kCalibRange = 1e6;

// The options a run reads.
struct NrtSettings {
    int iMaxIterBudget = 100;  // iterations for all restarts together
    double dConvCrit = 0.000001;
    double dMinValidW = 0.000001;
    double dMaxRandRestartDist = 0.5;
    int iNumRandRestart = 0;
    int bCalib = 0;
    int iSDStepsToNR = 0;
    StringList asInitW{"1"};
    // A step works for about this long on a batch of pair rows or triple chunks;
    // bOneItemPerStep makes every batch one item.
    int iStepBudgetMs = 10;
    bool bOneItemPerStep = false;
};

// What a run works on besides its own state. Calibration changes the multipliers and the
// prepared ranges.
struct NrtContext {
    const DataSet& data;
    Prepared& prep;
    double* eqFactMult;      // 5 multipliers, C O N S A
    double* lastEqFactMult;  // their values before the latest calibration
    const double* orgEqFactMult;  // their values as read from the options
    RangeRule rangeRule;     // how ranges are recomputed (reads eqFactMult)
    NrtSettings settings;
    std::function<int()> rand;  // 0 .. 32767
};

// The run-state flags a step reads.
struct NrtInput {
    bool paused = false;
    bool forced = false;       // a forced step is pending
    bool stopRequest = false;  // the user confirmed stopping the run
};

struct NrtOutcome {
    enum class Kind {
        Continue,             // the run goes on
        Idle,                 // nothing was done
        Finished,             // the results are ready to be written
        EndedWithoutResults,  // stopped before its first update: the document is emptied
        Failed,               // message holds the text; the document is emptied
    };
    Kind kind = Kind::Continue;
    std::string message;
    bool redraw = false;
    bool progressOnly = false;       // the redraw shows a new percentage of the iteration only
    bool forcedStepTaken = false;    // clears the pending forced step
    bool requestForcedStep = false;  // asks for a forced step (after the redraw)
};

class NrtRun {
public:
    NrtRun(NrtState& state, RunTrack& track, const NrtContext& ctx)
        : m_s(state), m_t(track), m_ctx(ctx) {}

    // True before the first step of a run (the caller makes its first-step writes then).
    bool AtSetUp() const { return m_s.iIter == 0 && m_s.phase == NrtPhase::SetUp; }
    NrtOutcome Step(const NrtInput& in);

    // A user stop: the next step finishes the run with its results so far (or ends it
    // without results before the first update).
    static void RequestStop(NrtState& state);
    // The bounds on the weights after a Newton step: every free weight within
    // [minW, p - minW], the last one taking the rest of the sum p; when the last one
    // leaves the bounds, the free weight with the most room (the first on ties) absorbs
    // the difference.
    static RealList BoundWeights(RealList w, double minW);

private:
    NrtOutcome Fail(const std::string& text);
    void SetUp(NrtOutcome& out);
    void Parameters(const NrtInput& in, NrtOutcome& out);
    void Evaluate(NrtOutcome& out);
    void Update(const NrtInput& in, NrtOutcome& out);
    void Finish(NrtOutcome& out);
    void RandomRestart(NrtOutcome& out);
    // True when the multipliers have settled (the control goes on); false when the run
    // restarted with new multipliers or calibration gave up (the run then ends).
    bool Calibrate(NrtOutcome& out);
    // Ends the run at the current point, or first returns to a better best point.
    void EndRun(bool converged, NrtOutcome& out);
    void Covariance();
    // Rebuilds the scale vector and the data view of the loss from the prepared ranges.
    void RebuildProblem();
    // Mean weight of each type over w; false when a weight lies outside every type block.
    bool TypeAverages(const RealList& w, double avg[5]) const;
    Params CurrentParams() const;

    NrtState& m_s;
    RunTrack& m_t;
    const NrtContext& m_ctx;
};

RealList ToList(const Matrix& column);
Matrix ToColumn(const RealList& values);

// Message of a Newton step that leaves the weights undefined (not a number).
extern const char* const kNrtNotFiniteText;

}  // namespace zelk
