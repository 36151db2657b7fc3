// The data view of the loss: what the engine needs of a loaded and prepared data set.
#pragma once

#include "data/DataSet.h"
#include "data/Prepared.h"
#include "engine/Engine.h"

namespace zelk {

// The problem of the data set with its prepared scales. useSampleWeights false gives every
// record weight 1 (the surface scan). The problem points into `data`, which must outlive it.
Problem MakeProblem(const DataSet& data, const Prepared& prep, bool useSampleWeights);

}  // namespace zelk
