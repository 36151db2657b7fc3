// The replay of a stored Newton-Raphson run: one stored iteration per step, rebuilt into
// the run histories and the displays as if the run were going on. It writes no file.
#pragma once

#include "base/Lists.h"
#include "base/Matrix.h"
#include "runs/RunTrack.h"

namespace zelk {

struct ReplayState {
    int iIter = 0;         // stored rows played
    int bInitialised = 0;  // 1 while rows remain to be played
};

// The stored histories, in iteration order: W (R x p+1: Lu, then w), Gradient(v)
// (R x p-1) and PreSet(w) (R x p).
struct StoredRun {
    const Matrix& whist;
    const Matrix& ghist;
    const Matrix& phist;
    const StringList& names;  // the p analysis variable names
};

// True when the stored histories fit p variables (with at least as many gradient and
// preset rows as W rows).
bool StoredRunFits(const StoredRun& run, int p);

struct ReplayOutcome {
    bool ended = false;    // the replay is over (its run stops)
    bool redraw = true;
};

// One step: plays the next row, or, after the last one, starts again (bRepeat) or ends.
ReplayOutcome ReplayStep(ReplayState& replay, RunTrack& track, const StoredRun& run, int p, bool bRepeat);

}  // namespace zelk
